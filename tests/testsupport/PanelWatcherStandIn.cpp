#include "testsupport/PanelWatcherStandIn.h"

#include <QDBusMessage>
#include <QDBusServiceWatcher>

namespace {
const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
int connections = 0;
} // namespace

PanelWatcherStandIn::PanelWatcherStandIn(const QString& busAddress, QObject* parent)
    : QObject(parent), m_name(QStringLiteral("fake-panel-%1").arg(++connections)),
      m_connection(QDBusConnection::connectToBus(busAddress, m_name))
{
    if (!m_connection.isConnected())
        return;
    m_itemOwners =
        new QDBusServiceWatcher(QString(), m_connection, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_itemOwners, &QDBusServiceWatcher::serviceUnregistered, this, &PanelWatcherStandIn::itemGone);
    m_ready =
        m_connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                    QDBusConnection::ExportAllProperties | QDBusConnection::ExportAllSlots |
                                        QDBusConnection::ExportAllSignals);
}

PanelWatcherStandIn::~PanelWatcherStandIn()
{
    stopPanel();
    m_connection.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
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
    emit StatusNotifierHostRegistered();
}

void PanelWatcherStandIn::RegisterStatusNotifierItem(const QString& service)
{
    // An item may name itself by object path only; its bus name is then the caller's.
    const QString busName =
        service.startsWith(QLatin1Char('/')) && calledFromDBus() ? message().service() : service;
    const QString item = service.startsWith(QLatin1Char('/')) ? busName + service : service;
    if (m_items.contains(item))
        return;
    m_items.append(item);
    m_itemOwners->addWatchedService(busName);
    emit StatusNotifierItemRegistered(item);
}

void PanelWatcherStandIn::RegisterStatusNotifierHost(const QString&)
{
    registerHost();
}

void PanelWatcherStandIn::itemGone(const QString& busName)
{
    m_itemOwners->removeWatchedService(busName);
    for (qsizetype i = m_items.size() - 1; i >= 0; --i) {
        if (m_items[i] == busName || m_items[i].startsWith(busName + QLatin1Char('/'))) {
            const QString item = m_items.takeAt(i);
            emit StatusNotifierItemUnregistered(item);
        }
    }
}
