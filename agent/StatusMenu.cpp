// The tray icon with its control menu, and the silence state that suspension and exclusion share.

#include "agent/PealixController.h"

#include "platform/ImageFile.h"
#include "platform/Log.h"
#include "platform/SearchPaths.h"
#include "platform/Sound.h"
#include "platform/StatusNotifierWatch.h"
#include "platform/Workspace.h"
#include "shared/ChimeSets.h"

#include <QAction>
#include <QCursor>
#include <QFileInfo>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {

const QString suspendTitle = QStringLiteral("Suspend chimes temporarily");
const QString resumeTitle = QStringLiteral("Resume chimes");
const QString silencedToolTip = QStringLiteral("Chimes are currently suspended");
const QString iconName = QStringLiteral("Pealix16.tiff");
const QString silencedIconName = QStringLiteral("Pealix16bar.tiff");
const QString paneSuffix = QStringLiteral("/PreferencePanes/Pealix.prefPane");

// How long to wait for a tray before saying that the icon cannot be shown.
constexpr int trayNoticeDelayMs = 3000;
// On X11 an XEmbed tray may exist without a D-Bus one; past this wait the icon is made anyway.
constexpr int xembedFallbackDelayMs = 30000;

} // namespace

void PealixController::loadInterface()
{
    controlMenu = new QMenu();
    suspendResumeChimesMenuItem = controlMenu->addAction(suspendTitle);
    connect(suspendResumeChimesMenuItem, &QAction::triggered, this,
            [this] { suspendResumeChimes(suspendResumeChimesMenuItem); });
    controlMenu->addSeparator();
    QAction* open = controlMenu->addAction(QStringLiteral("Open Pealix Preferences…"));
    connect(open, &QAction::triggered, this, [this] { openPealixPrefs(this); });
    connect(controlMenu, &QMenu::aboutToShow, this, [this] {
        for (QAction* item : controlMenu->actions())
            item->setEnabled(validateMenuItem(item));
    });

    const QString resources = m_bundle.resourcePath();
    m_icon = platform::iconFromImageFile(resources + '/' + iconName);
    m_silencedIcon = platform::iconFromImageFile(resources + '/' + silencedIconName);
}

void PealixController::applyMenuActive(const QVariant& value)
{
    if (value.typeId() != QMetaType::Bool && !ChimeSets::numberValue(value))
        return;
    if (value.toBool()) {
        if (!controlMenuStatusItem) {
            m_statusItemPending = true;
            createStatusItem();
        }
        return;
    }
    m_statusItemPending = false;
    if (controlMenuStatusItem) {
        controlMenuStatusItem->hide();
        delete controlMenuStatusItem;
        controlMenuStatusItem = nullptr;
    }
}

void PealixController::createStatusItem()
{
    if (!m_statusItemPending || controlMenuStatusItem)
        return;
    // Qt decides once, at the first tray query, whether icons go over D-Bus: an agent started
    // before the panel must not ask before the panel's tray host is there.
    if (!m_trayWatch) {
        m_trayWatch = new platform::StatusNotifierWatch(this);
        connect(m_trayWatch, &platform::StatusNotifierWatch::available, this,
                &PealixController::createStatusItem);
        QTimer::singleShot(trayNoticeDelayMs, this, [this] {
            if (m_statusItemPending && !controlMenuStatusItem)
                platform::log(
                    QStringLiteral("No system tray: the Pealix icon cannot be shown until one appears"));
        });
        if (platform::StatusNotifierWatch::xembedTrayPossible()) {
            QTimer::singleShot(xembedFallbackDelayMs, this, [this] {
                m_trayFallback = true;
                createStatusItem();
            });
        }
    }
    if (!m_trayWatch->isAvailable() && !m_trayFallback)
        return;

    m_statusItemPending = false;
    controlMenuStatusItem = new QSystemTrayIcon(m_icon, this);
    controlMenuStatusItem->setContextMenu(controlMenu);
    connect(controlMenuStatusItem, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger)
                    controlMenu->popup(QCursor::pos());
            });
    applySilencePresentation(suspended || excludedAppRunning);
    controlMenuStatusItem->show();
}

void PealixController::applySilencePresentation(bool silenced)
{
    suspendResumeChimesMenuItem->setText(silenced ? resumeTitle : suspendTitle);
    if (controlMenuStatusItem) {
        controlMenuStatusItem->setIcon(silenced ? m_silencedIcon : m_icon);
        controlMenuStatusItem->setToolTip(silenced ? silencedToolTip : QString());
    }
}

void PealixController::stopStartChimes()
{
    excludedAppRunning = !m_runningExcluded.isEmpty();
    if (!suspended && !excludedAppRunning) {
        applySilencePresentation(false);
        return;
    }
    chimeLock.unlock();
    playlist.clear();
    setCurrentSound(nullptr);
    applySilencePresentation(true);
}

void PealixController::suspendResumeChimes(QAction*)
{
    if (excludedAppRunning)
        m_runningExcluded.clear();
    else
        suspended = !suspended;
    stopStartChimes();
}

void PealixController::openPealixPrefs(QObject*)
{
    for (const QString& library : platform::libraryDirectories()) {
        const QString candidate = library + paneSuffix;
        if (QFileInfo::exists(candidate)) {
            platform::Workspace::sharedWorkspace()->openFile(candidate);
            return;
        }
    }
}

bool PealixController::validateMenuItem(QAction*) const
{
    return true;
}
