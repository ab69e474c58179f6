// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "testsupport/PanelWatcherStandIn.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QMutex>

namespace {
const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
int connections = 0;
} // namespace

// The exported object; lives in the stand-in's thread.
class PanelWatcherObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    PanelWatcherObject(const QDBusConnection& connection, const std::atomic<bool>& host)
        : m_connection(connection), m_host(host)
    {
    }
    // Both run in the object's own thread: QtDBus gives an exported object helpers of its thread.
    bool exportObject()
    {
        m_owners = new QDBusServiceWatcher(QString(), m_connection,
                                           QDBusServiceWatcher::WatchForUnregistration, this);
        connect(m_owners, &QDBusServiceWatcher::serviceUnregistered, this, &PanelWatcherObject::itemGone);
        return m_connection.registerObject(watcherPath, this,
                                           QDBusConnection::ExportAllProperties |
                                               QDBusConnection::ExportAllSlots |
                                               QDBusConnection::ExportAllSignals);
    }
    void withdraw()
    {
        m_connection.unregisterObject(watcherPath);
        delete this;
    }
    bool isHostRegistered() const { return m_host; }
    int protocolVersion() const { return 0; }
    QStringList items() const
    {
        QMutexLocker lock(&m_mutex);
        return m_items;
    }
    void announceHost() { emit StatusNotifierHostRegistered(); }

public slots:
    void RegisterStatusNotifierItem(const QString& service)
    {
        // An item may name itself by object path only; its bus name is then the caller's.
        const bool pathOnly = service.startsWith(QLatin1Char('/'));
        const QString busName = pathOnly && calledFromDBus() ? message().service() : service;
        const QString item = pathOnly ? busName + service : service;
        {
            QMutexLocker lock(&m_mutex);
            if (m_items.contains(item))
                return;
            m_items.append(item);
        }
        m_owners->addWatchedService(busName);
        emit StatusNotifierItemRegistered(item);
    }
    void RegisterStatusNotifierHost(const QString&) { emit StatusNotifierHostRegistered(); }

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();
    void StatusNotifierHostUnregistered();

private:
    void itemGone(const QString& busName)
    {
        m_owners->removeWatchedService(busName);
        QStringList gone;
        {
            QMutexLocker lock(&m_mutex);
            for (qsizetype i = m_items.size() - 1; i >= 0; --i) {
                if (m_items[i] == busName || m_items[i].startsWith(busName + QLatin1Char('/')))
                    gone.append(m_items.takeAt(i));
            }
        }
        for (const QString& item : gone)
            emit StatusNotifierItemUnregistered(item);
    }

    QDBusConnection m_connection;
    const std::atomic<bool>& m_host;
    QDBusServiceWatcher* m_owners = nullptr;
    mutable QMutex m_mutex;
    QStringList m_items;
};

PanelWatcherStandIn::PanelWatcherStandIn(const QString& busAddress, QObject* parent)
    : QObject(parent), m_name(QStringLiteral("panel-stand-in-%1").arg(++connections)),
      m_connection(QDBusConnection::connectToBus(busAddress, m_name))
{
    if (!m_connection.isConnected())
        return;
    m_thread.start();
    m_object = new PanelWatcherObject(m_connection, hostRegistered);
    m_object->moveToThread(&m_thread);
    QMetaObject::invokeMethod(m_object, &PanelWatcherObject::exportObject, Qt::BlockingQueuedConnection,
                              &m_ready);
    connect(m_object, &PanelWatcherObject::StatusNotifierItemRegistered, this,
            &PanelWatcherStandIn::StatusNotifierItemRegistered);
    connect(m_object, &PanelWatcherObject::StatusNotifierItemUnregistered, this,
            &PanelWatcherStandIn::StatusNotifierItemUnregistered);
}

PanelWatcherStandIn::~PanelWatcherStandIn()
{
    if (m_object) {
        stopPanel();
        QMetaObject::invokeMethod(m_object, &PanelWatcherObject::withdraw, Qt::BlockingQueuedConnection);
        m_object = nullptr;
        m_thread.quit();
        m_thread.wait();
    }
    QDBusConnection::disconnectFromBus(m_name);
}

bool PanelWatcherStandIn::startPanel()
{
    return m_ready && m_connection.registerService(watcherService);
}

void PanelWatcherStandIn::stopPanel()
{
    if (m_connection.isConnected())
        m_connection.unregisterService(watcherService);
}

void PanelWatcherStandIn::registerHost()
{
    hostRegistered = true;
    if (m_object)
        QMetaObject::invokeMethod(m_object, &PanelWatcherObject::announceHost, Qt::BlockingQueuedConnection);
}

QStringList PanelWatcherStandIn::registeredItems() const
{
    return m_object ? m_object->items() : QStringList();
}

#include "PanelWatcherStandIn.moc"
