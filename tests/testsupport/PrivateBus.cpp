// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "testsupport/PrivateBus.h"

#include <QDeadlineTimer>
#include <gtest/gtest.h>

PrivateBus::PrivateBus()
{
    m_had = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
    m_saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                   QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(5000))
        return;
    QByteArray line;
    const QDeadlineTimer deadline(5000);
    while (!line.contains('\n') && !deadline.hasExpired() && m_daemon.state() == QProcess::Running) {
        if (m_daemon.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            line += m_daemon.readAll();
    }
    const QByteArray address = line.left(line.indexOf('\n')).trimmed();
    if (address.isEmpty())
        return;
    m_address = QString::fromUtf8(address);
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
}

PrivateBus::~PrivateBus()
{
    if (m_had)
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_saved);
    else
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(3000);
        }
    }
}

namespace {

PrivateBus* programBus = nullptr;

class ProgramBusEnvironment : public ::testing::Environment {
public:
    void SetUp() override { programBus = new PrivateBus; }
    void TearDown() override
    {
        delete programBus;
        programBus = nullptr;
    }
};

} // namespace

PrivateBus* const& PrivateBus::forProgram()
{
    static const auto* const registered = ::testing::AddGlobalTestEnvironment(new ProgramBusEnvironment);
    (void)registered;
    return programBus;
}
