// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "testsupport/DesktopStandin.h"

#include <QTest>

DesktopStandin::DesktopStandin(const QString& busAddress, const QString& kind)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral(PEALIX_SOURCE_DIR "/tests/testsupport/desktop_standins.py"), busAddress, kind});
    m_ready = waitForLine("ready");
}

DesktopStandin::~DesktopStandin()
{
    stop();
}

bool DesktopStandin::send(const QByteArray& command)
{
    if (m_process.state() != QProcess::Running)
        return false;
    m_process.write(command + '\n');
    return waitForLine("done");
}

void DesktopStandin::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool DesktopStandin::waitForLine(const QByteArray& line)
{
    // The event loop runs meanwhile, so that the process under test sees the bus traffic.
    return QTest::qWaitFor(
        [&] {
            m_output += m_process.readAllStandardOutput();
            const qsizetype at = m_output.indexOf(line + '\n');
            if (at < 0)
                return false;
            m_output.remove(0, at + line.size() + 1);
            return true;
        },
        10000);
}
