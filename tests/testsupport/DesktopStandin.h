// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One desktop service of desktop_standins.py on a bus: the notification server ("notifications"), logind
// ("login1"), the screen saver ("screensaver") or xfconf ("xfconf"), each publishing one boolean.

#include <QProcess>
#include <QString>

class DesktopStandin {
public:
    DesktopStandin(const QString& busAddress, const QString& kind);
    ~DesktopStandin();
    DesktopStandin(const DesktopStandin&) = delete;
    DesktopStandin& operator=(const DesktopStandin&) = delete;

    // Whether it owns its name on the bus.
    bool isReady() const { return m_ready; }
    // Sends one command ("set 1", "flap 100 0", "wrongtype", "mute") and waits until it was carried out.
    bool send(const QByteArray& command);
    void stop();

private:
    bool waitForLine(const QByteArray& line);

    QProcess m_process;
    QByteArray m_output;
    bool m_ready = false;
};
