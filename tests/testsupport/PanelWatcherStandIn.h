#pragma once
// A panel's StatusNotifierWatcher on a test bus: what the tray icon code and the tray watch talk to.
//
// It connects under a connection of its own, as the panel's process would, exports itself at
// /StatusNotifierWatcher and records the items that register; an item whose bus name goes away is
// dropped, as a real watcher does when an application removes its icon.

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QStringList>

class QDBusServiceWatcher;

class PanelWatcherStandIn : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
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

    bool isHostRegistered() const { return hostRegistered; }
    // Bus names (with object path when one was given) of the items registered now.
    QStringList registeredItems() const { return m_items; }
    int protocolVersion() const { return 0; }

    bool hostRegistered = false;

public slots:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString& service);

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    void itemGone(const QString& busName);

    QString m_name;
    QDBusConnection m_connection;
    QDBusServiceWatcher* m_itemOwners = nullptr;
    QStringList m_items;
    bool m_ready = false;
};
