// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The tray icon with its control menu, and the silence state that suspension and exclusion share.

#include "agent/PealixController.h"

#include "platform/audio/Sound.h"
#include "platform/bundles/SearchPaths.h"
#include "platform/ui/ImageFile.h"
#include "platform/ui/StatusItem.h"
#include "platform/workspace/Workspace.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>

namespace {

const QString suspendTitle = QStringLiteral("Suspend chimes temporarily");
const QString resumeTitle = QStringLiteral("Resume chimes");
const QString silencedToolTip = QStringLiteral("Chimes are currently suspended");
const QString iconName = QStringLiteral("Pealix16.tiff");
const QString silencedIconName = QStringLiteral("Pealix16bar.tiff");
const QString paneSuffix = QStringLiteral("/PreferencePanes/Pealix.prefPane");

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
    // Last and apart, as desktops place it: the agent ends until the next login or until chimes are
    // turned on again; its login item stays.
    controlMenu->addSeparator();
    QAction* quit = controlMenu->addAction(QStringLiteral("Quit Pealix"));
    connect(quit, &QAction::triggered, this, [] { QCoreApplication::quit(); });
    connect(controlMenu, &QMenu::aboutToShow, this, [this] {
        for (QAction* item : controlMenu->actions())
            item->setEnabled(validateMenuItem(item));
    });

    const QString resources = m_bundle.resourcePath();
    m_icon = platform::iconFromImageFile(resources + '/' + iconName);
    m_silencedIcon = platform::iconFromImageFile(resources + '/' + silencedIconName);
}

void PealixController::applyMenuActive(std::optional<bool> active)
{
    if (!active)
        return;
    if (*active) {
        if (!controlMenuStatusItem)
            createStatusItem();
        return;
    }
    delete controlMenuStatusItem;
    controlMenuStatusItem = nullptr;
}

void PealixController::createStatusItem()
{
    controlMenuStatusItem = new platform::StatusItem(this);
    controlMenuStatusItem->setMenu(controlMenu);
    applySilencePresentation(suspended || excludedAppRunning);
}

void PealixController::applySilencePresentation(bool silenced)
{
    suspendResumeChimesMenuItem->setText(silenced ? resumeTitle : suspendTitle);
    if (controlMenuStatusItem) {
        controlMenuStatusItem->setImage(silenced ? m_silencedIcon : m_icon);
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
