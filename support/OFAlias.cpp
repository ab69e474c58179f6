// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/OFAlias.h"

#include "platform/core/Log.h"
#include "platform/files/Alias.h"

std::unique_ptr<OFAlias> OFAlias::initWithPath(const QString& path)
{
    auto data = platform::Alias::newAlias(path);
    if (!data)
        return nullptr;
    return std::unique_ptr<OFAlias>(new OFAlias(std::move(*data)));
}

std::unique_ptr<OFAlias> OFAlias::initWithData(const QByteArray& data)
{
    return std::unique_ptr<OFAlias>(new OFAlias(data));
}

QString OFAlias::pathAllowingUserInterface(bool allowUserInterface, bool* missingVolume,
                                           QDeadlineTimer searchDeadline) const
{
    // No file system here is mounted on request, so there is nothing to ask the user.
    Q_UNUSED(allowUserInterface);
    if (missingVolume)
        *missingVolume = false;
    const platform::Alias::Resolution found = platform::Alias::resolve(m_aliasHandle, searchDeadline);
    if (found.status == platform::Alias::noErr)
        return found.path;
    if (found.status == platform::Alias::nsvErr) {
        if (missingVolume)
            *missingVolume = true;
        return {};
    }
    platform::log(QStringLiteral("FSResolveAliasWithMountFlags -> %1").arg(found.status));
    return {};
}
