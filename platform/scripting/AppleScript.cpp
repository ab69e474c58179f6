// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/scripting/AppleScript.h"

#include "platform/panes/PaneHostInterface.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLoggingCategory>
#include <QStringList>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcScript, "pealix.applescript", QtWarningMsg)

constexpr int callTimeoutMs = 5000;

} // namespace

std::optional<QString> AppleScript::executeAndReturnError() const
{
    const QStringList lines = m_source.split(QLatin1Char('\n'));
    const QString prefix = QStringLiteral("tell application \"");
    if (lines.size() != 3 || lines[2] != QLatin1String("end tell") || !lines[0].startsWith(prefix) ||
        !lines[0].endsWith(QLatin1Char('"'))) {
        qCDebug(lcScript) << "not a script this platform runs:" << m_source;
        return std::nullopt;
    }
    const QString application = lines[0].mid(prefix.size(), lines[0].size() - prefix.size() - 1);
    const QString command = lines[1];
    if (application != QLatin1String("System Preferences"))
        return std::nullopt;

    QString method;
    if (command == QLatin1String("id of current pane"))
        method = QStringLiteral("CurrentPaneIdentifier");
    else if (command == QLatin1String("quit"))
        method = QStringLiteral("Quit");
    else
        return std::nullopt;

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    const QDBusMessage call = QDBusMessage::createMethodCall(
        PaneHostInterface::busName, PaneHostInterface::objectPath, PaneHostInterface::interfaceName, method);
    const QDBusMessage reply = bus.call(call, QDBus::Block, callTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCDebug(lcScript) << method << "failed:" << reply.errorMessage();
        return std::nullopt;
    }
    if (reply.arguments().isEmpty())
        return QString();
    return reply.arguments().constFirst().toString();
}

} // namespace platform
