// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/StatusMenu.h"

#include "platform/bundles/SearchPaths.h"
#include "platform/ui/ImageFile.h"
#include "platform/ui/StatusItem.h"
#include "platform/workspace/Workspace.h"
#include "shared/Product.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>

namespace {

const char* const pauseTitles[] = {QT_TRANSLATE_NOOP("StatusMenu", "Pause for 1 hour"),
                                   QT_TRANSLATE_NOOP("StatusMenu", "Pause for 4 hours")};
constexpr int pauseSeconds[] = {3600, 4 * 3600};

QString suspendTitle()
{
    return QCoreApplication::translate("StatusMenu", "Suspend chimes temporarily");
}
const QString iconName = QStringLiteral("Pealix16.tiff");
const QString silencedIconName = QStringLiteral("Pealix16bar.tiff");
const QString paneSuffix = QStringLiteral("/PreferencePanes/") + QLatin1String(Product::paneBundleName);

} // namespace

StatusMenu::StatusMenu(const QString& resourcePath, QObject* parent)
    : QObject(parent), m_resourcePath(resourcePath)
{
    const auto entry = [this](const QString& title) {
        auto* item = new QAction(title, this);
        m_entries << item;
        return item;
    };
    const auto separator = [this] {
        auto* item = new QAction(this);
        item->setSeparator(true);
        m_entries << item;
    };
    suspendResumeChimesMenuItem = entry(suspendTitle());
    connect(suspendResumeChimesMenuItem, &QAction::triggered, this,
            [this] { emit suspendResumeRequested(suspendResumeChimesMenuItem); });
    for (int i = 0; i < 2; ++i) {
        QAction* pause = entry(QCoreApplication::translate("StatusMenu", pauseTitles[i]));
        connect(pause, &QAction::triggered, this, [this, i] { emit pauseRequested(pauseSeconds[i]); });
    }
    separator();
    QAction* open = entry(tr("Open Pealix Preferences…"));
    connect(open, &QAction::triggered, this, &StatusMenu::openPrefsRequested);
    // Last and apart, as desktops place it: the agent ends until the next login or until chimes are
    // turned on again; its login item stays.
    separator();
    QAction* quit = entry(tr("Quit Pealix"));
    connect(quit, &QAction::triggered, this, [] { QCoreApplication::quit(); });
}

StatusMenu::~StatusMenu()
{
    delete controlMenuStatusItem;
    delete controlMenu;
}

QMenu* StatusMenu::menu()
{
    if (!controlMenu) {
        controlMenu = new QMenu();
        controlMenu->addActions(m_entries);
        connect(controlMenu, &QMenu::aboutToShow, this, &StatusMenu::menuAboutToShow);
    }
    return controlMenu;
}

void StatusMenu::applyMenuActive(std::optional<bool> active)
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

void StatusMenu::createStatusItem()
{
    // Read when first needed: reading them loads the image plug-in and its libraries, which an agent
    // without an icon never uses.
    if (!m_iconsRead) {
        m_icon = platform::iconFromImageFile(m_resourcePath + '/' + iconName);
        m_silencedIcon = platform::iconFromImageFile(m_resourcePath + '/' + silencedIconName);
        m_iconsRead = true;
    }
    controlMenuStatusItem = new platform::StatusItem(this);
    controlMenuStatusItem->setMenu(menu());
    applySilencePresentation(m_silenced, m_toolTip);
}

void StatusMenu::applySilencePresentation(bool silenced, const QString& toolTip)
{
    m_silenced = silenced;
    m_toolTip = toolTip;
    suspendResumeChimesMenuItem->setText(silenced ? tr("Resume chimes") : suspendTitle());
    if (controlMenuStatusItem) {
        controlMenuStatusItem->setImage(silenced ? m_silencedIcon : m_icon);
        controlMenuStatusItem->setToolTip(silenced && toolTip.isEmpty() ? tr("Chimes are currently suspended")
                                                                        : toolTip);
    }
}

void StatusMenu::openPealixPrefs()
{
    // The pane this agent came with first, so that every prefix and the build tree open their own copy.
    QStringList candidates;
    for (QString p = QFileInfo(m_resourcePath).path(); p.size() > 1; p = QFileInfo(p).path()) {
        if (QFileInfo(p).fileName() == QLatin1String(Product::paneBundleName)) {
            candidates << p;
            break;
        }
    }
    for (const QString& library : platform::libraryDirectories())
        candidates << library + paneSuffix;
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isDir()) {
            platform::Workspace::sharedWorkspace()->openFile(candidate);
            return;
        }
    }
}
