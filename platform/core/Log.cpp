// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/core/Log.h"

#include <QCoreApplication>
#include <cstdio>

namespace platform {

void log(const QString& message)
{
    const QString name = QCoreApplication::applicationName();
    const QByteArray line = (name.isEmpty() ? QStringLiteral("pealix") : name).toLocal8Bit() + ": " +
                            message.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
}

} // namespace platform
