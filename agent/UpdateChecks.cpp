// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/UpdateChecks.h"

#include "platform/core/LoadableLibrary.h"
#include "platform/workspace/LaunchServices.h"

std::unique_ptr<UpdateChecks> UpdateChecks::load(const platform::Bundle& agentBundle,
                                                 platform::UpdaterDelegate* delegate)
{
    // Beside the platform library, with the platform's programs.
    const platform::LoadableLibrary library(platform::LaunchServices::programsDirectory(),
                                            updateChecksLibrary, QStringLiteral("Updates are not available"));
    auto* create = library.entry<UpdateChecksFactory>(updateChecksFactoryName);
    return create ? std::unique_ptr<UpdateChecks>(create(&agentBundle, delegate)) : nullptr;
}
