// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A private session bus for one test process: a dbus-daemon child whose address is exported as
// DBUS_SESSION_BUS_ADDRESS while the object lives.
//
// Qt connects to the session bus once per process, so create the bus before the first use of
// QDBusConnection::sessionBus() and keep it for the whole test program (SetUpTestSuite or a
// gtest Environment), not per test.

#include <QByteArray>
#include <QProcess>
#include <QString>

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // False when dbus-daemon could not be started or printed no address within five seconds.
    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }

    // A bus started before the first test of the program and stopped after the last; call at namespace
    // scope (the reference is null until the tests run):
    //     PrivateBus* const& bus = PrivateBus::forProgram();
    static PrivateBus* const& forProgram();

private:
    QProcess m_daemon;
    QString m_address;
    QByteArray m_saved;
    bool m_had = false;
};
