// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/UpdateChecks.h"

#include "platform/core/Log.h"
#include "platform/workspace/LaunchServices.h"

#include <QFile>
#include <dlfcn.h>

std::unique_ptr<UpdateChecks> UpdateChecks::load(const platform::Bundle& agentBundle,
                                                 platform::UpdaterDelegate* delegate)
{
    // Beside the platform library, with the platform's programs.
    const QString directory = platform::LaunchServices::programsDirectory();
    const QString path =
        directory.isEmpty() ? QString() : directory + QLatin1Char('/') + QLatin1String(updateChecksLibrary);
    // Never unloaded: the updater's objects and the libraries under it stay for the process's life.
    void* library = path.isEmpty() ? nullptr : ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW);
    auto* create =
        library ? reinterpret_cast<UpdateChecksFactory>(::dlsym(library, updateChecksFactoryName)) : nullptr;
    if (!create) {
        platform::log(
            QStringLiteral("Updates are not available: %1").arg(QString::fromLocal8Bit(::dlerror())));
        return nullptr;
    }
    return std::unique_ptr<UpdateChecks>(create(&agentBundle, delegate));
}
