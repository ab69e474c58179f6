// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A panel's StatusNotifierWatcher on a test bus: what the tray icon code and the tray watch talk to.
//
// It connects under a connection of its own and answers from a thread of its own, as the panel's
// process would: Qt asks the watcher with blocking calls from the main thread. It exports
// /StatusNotifierWatcher, records the items that register, and drops an item whose bus name goes
// away, as a real watcher does when an application removes its icon. Signals arrive on the main thread.

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <atomic>

class PanelWatcherObject;

class PanelWatcherStandIn : public QObject {
    Q_OBJECT
public:
    explicit PanelWatcherStandIn(const QString& busAddress, QObject* parent = nullptr);
    ~PanelWatcherStandIn() override;

    // True once the connection is up and the object exported.
    bool isReady() const { return m_ready; }
    QDBusConnection connection() const { return m_connection; }
    // Claims or gives up the name org.kde.StatusNotifierWatcher: the panel starting or quitting.
    bool startPanel();
    void stopPanel();
    // A host (the panel's tray area) appears; hostRegistered may also be set before startPanel().
    void registerHost();
    // Bus names of the items registered now (with the object path when an item gave only a path).
    QStringList registeredItems() const;

    std::atomic<bool> hostRegistered = false;

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);

private:
    QString m_name;
    QDBusConnection m_connection;
    QThread m_thread;
    PanelWatcherObject* m_object = nullptr;
    bool m_ready = false;
};
