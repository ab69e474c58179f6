// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/UpdateChecks.h"

#include "platform/core/Log.h"
#include "platform/update/UpdateExchange.h"

#include <QFile>
#include <QFileInfo>
#include <dlfcn.h>

namespace {

// Beside the platform library, wherever the installation put it.
QString libraryPath()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&platform::update::stateDirectory), &info) == 0 ||
        !info.dli_fname)
        return {};
    return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath() + QLatin1Char('/') +
           QLatin1String(updateChecksLibrary);
}

} // namespace

std::unique_ptr<UpdateChecks> UpdateChecks::load(const platform::Bundle& agentBundle,
                                                 platform::UpdaterDelegate* delegate)
{
    const QString path = libraryPath();
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
