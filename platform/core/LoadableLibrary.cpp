// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/core/LoadableLibrary.h"

#include "platform/core/Log.h"

#include <QFile>
#include <dlfcn.h>

namespace platform {

namespace {

QString lastError()
{
    const char* error = ::dlerror();
    return error ? QString::fromLocal8Bit(error) : QStringLiteral("its folder is unknown");
}

} // namespace

LoadableLibrary::LoadableLibrary(const QString& directory, const char* fileName, const QString& unavailable)
    : m_unavailable(unavailable)
{
    if (!directory.isEmpty())
        m_handle = ::dlopen(
            QFile::encodeName(directory + QLatin1Char('/') + QLatin1String(fileName)).constData(), RTLD_NOW);
    if (!m_handle)
        log(QStringLiteral("%1: %2").arg(m_unavailable, lastError()));
}

void* LoadableLibrary::symbol(const char* name) const
{
    if (!m_handle)
        return nullptr;
    void* found = ::dlsym(m_handle, name);
    if (!found)
        log(QStringLiteral("%1: %2").arg(m_unavailable, lastError()));
    return found;
}

} // namespace platform
