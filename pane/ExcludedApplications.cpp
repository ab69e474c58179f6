// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The excluded applications editor of the pane: the open panel, drag and drop, removal and the rebuild
// of the table from the stored list.

#include "pane/PealixPref.h"

#include "pane/ApplicationChooser.h"
#include "platform/bundles/Bundle.h"
#include "platform/settings/PropertyList.h"
#include "platform/workspace/DesktopEntry.h"
#include "shared/PrefKeys.h"
#include "support/JVResourceFork.h"
#include "support/OFAlias.h"

#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QSortFilterProxyModel>
#include <QTableView>

Q_LOGGING_CATEGORY(lcExcluded, "pealix.pane.excluded", QtWarningMsg)

using platform::mutableArrayValueForKey;

const QString PealixPref::displayNameKey = QStringLiteral("CFBundleName");
const QString PealixPref::iconKey = QStringLiteral("icon");
const QString PealixPref::notFoundKey = QStringLiteral("notFound");

namespace {

constexpr int panelConfirmed = 1;
constexpr int aliasSearchBudgetMs = 1500;
const QString applicationsFolder = QStringLiteral("/usr/share/applications");

bool hasExtension(const QString& path, const QString& extension, Qt::CaseSensitivity cs)
{
    return QFileInfo(QDir::cleanPath(path)).suffix().compare(extension, cs) == 0 &&
           QFileInfo(QDir::cleanPath(path)).completeBaseName().size() > 0;
}

bool isApplicationFileName(const QString& path, Qt::CaseSensitivity cs)
{
    return hasExtension(path, QStringLiteral("desktop"), cs) || hasExtension(path, QStringLiteral("app"), cs);
}

QStringList localPaths(const QMimeData* info)
{
    QStringList paths;
    if (!info || !info->hasUrls())
        return paths;
    for (const QUrl& url : info->urls())
        if (url.isLocalFile())
            paths << QDir::cleanPath(url.toLocalFile());
    return paths;
}

QIcon iconForName(const QString& name)
{
    if (name.isEmpty())
        return {};
    if (QDir::isAbsolutePath(name))
        return QFileInfo(name).isFile() ? QIcon(name) : QIcon();
    return QIcon::fromTheme(name);
}

// What the table shows for an application file, and the identifier it has when it is one.
struct ApplicationFile {
    bool isApplication = false;
    std::optional<QString> identifier;
    QString displayName;
    QIcon icon;
};

// The first 'plst' resource's CFBundleIdentifier, for a plain file that keeps its information there.
ApplicationFile plainFile(const QString& path)
{
    ApplicationFile app;
    const auto fork = JVResourceFork::resourceForkForReadingAtPath(path);
    if (!fork)
        return app;
    const QList<JVResourceInfo> lists = fork->everyResourceOfType(fourCharCode("plst"));
    if (lists.isEmpty())
        return app;
    app.isApplication = true;
    const std::optional<QByteArray> bytes = lists.constFirst().data();
    const auto list =
        bytes ? platform::PropertyList::fromData(QString::fromUtf8(*bytes).toUtf8()) : std::nullopt;
    if (list && list->typeId() == QMetaType::QVariantMap) {
        const QVariant id = list->toMap().value(PrefKeys::bundleIdentifier);
        if (id.typeId() == QMetaType::QString)
            app.identifier = id.toString();
    }
    return app;
}

ApplicationFile applicationFile(const QString& path)
{
    const QFileInfo info(path);
    ApplicationFile app;
    if (info.isFile() && hasExtension(path, QStringLiteral("desktop"), Qt::CaseInsensitive)) {
        if (const auto entry = platform::desktopEntryAtPath(path)) {
            app.isApplication = true;
            app.identifier = entry->identifier;
            app.displayName = entry->name;
            app.icon = iconForName(entry->iconName);
        }
    }
    const platform::Bundle bundle(path);
    if (!app.isApplication && bundle.isValid()) {
        app.isApplication = true;
        const QString id = bundle.bundleIdentifier();
        if (!id.isEmpty())
            app.identifier = id;
        const QString iconFile = bundle.infoDictionary().value(QStringLiteral("CFBundleIconFile")).toString();
        if (!iconFile.isEmpty() && !iconFile.contains(QLatin1Char('/')))
            app.icon = iconForName(bundle.resourcePath() + QLatin1Char('/') + iconFile);
    }
    if (!app.isApplication && info.isFile())
        app = plainFile(path);
    if (app.displayName.isEmpty())
        app.displayName = hasExtension(path, QStringLiteral("app"), Qt::CaseInsensitive)
                              ? info.completeBaseName()
                              : info.fileName();
    if (app.icon.isNull() && info.exists())
        app.icon = QFileIconProvider().icon(info);
    return app;
}

// Hides what the pane says to hide; folders stay so that the panel can be navigated.
class ApplicationFilter : public QSortFilterProxyModel {
public:
    ApplicationFilter(const PealixPref* pane, QFileDialog* panel)
        : QSortFilterProxyModel(panel), m_pane(pane), m_panel(panel)
    {
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files)
            return true;
        const QModelIndex index = files->index(row, 0, parent);
        const QString path = files->filePath(index);
        const bool application = isApplicationFileName(path, Qt::CaseInsensitive);
        if (files->isDir(index) && !application)
            return true;
        return application && m_pane->panelShouldShowFilename(m_panel, path);
    }

private:
    const PealixPref* m_pane;
    QFileDialog* m_panel;
};

} // namespace

QIcon PealixPref::genericApplicationIcon()
{
    // Looked up once: a list of thousands of entries that are no longer found shows it on every row.
    static const QIcon icon = QIcon::fromTheme(QStringLiteral("application-x-executable"),
                                               QFileIconProvider().icon(QFileIconProvider::File));
    return icon;
}

void PealixPref::rebuildExcludedApplications()
{
    QVariantList display;
    display.reserve(m_excludedApplicationsPrefs.size());
    m_excludedApplicationPaths.clear();
    // All searches for moved applications together, so that a long list of deleted ones opens quickly.
    const QDeadlineTimer searches(aliasSearchBudgetMs);
    for (const QVariant& stored : std::as_const(m_excludedApplicationsPrefs)) {
        QVariantMap record = stored.toMap();
        const QVariant aliasData = record.value(PrefKeys::alias);
        const auto alias = aliasData.typeId() == QMetaType::QByteArray
                               ? OFAlias::initWithData(aliasData.toByteArray())
                               : nullptr;
        const QString path = alias ? alias->pathAllowingUserInterface(true, nullptr, searches) : QString();
        if (path.isEmpty()) {
            // Kept, so that the record stays stored and the three lists stay aligned.
            const QString id = record.value(PrefKeys::bundleIdentifier).toString();
            record.insert(displayNameKey, id.isEmpty() ? tr("Unknown application") : id);
            record.insert(iconKey, genericApplicationIcon());
            record.insert(notFoundKey, true);
        } else {
            const ApplicationFile app = applicationFile(path);
            record.insert(displayNameKey, app.displayName);
            record.insert(iconKey, app.icon.isNull() ? genericApplicationIcon() : app.icon);
        }
        display.append(record);
        m_excludedApplicationPaths.append(path);
    }
    setValueForKey(this, display, "excludedApplicationsDisplay");
}

void PealixPref::excludeAppAtPath(const QString& path)
{
    const ApplicationFile app = applicationFile(path);
    if (!app.isApplication)
        return;
    const auto alias = OFAlias::initWithPath(path);
    QVariantMap record;
    if (app.identifier)
        record.insert(PrefKeys::bundleIdentifier, *app.identifier);
    if (alias)
        record.insert(PrefKeys::alias, alias->data());
    QVariantMap display;
    if (!app.displayName.isEmpty())
        display.insert(displayNameKey, app.displayName);
    display.insert(iconKey, app.icon.isNull() ? genericApplicationIcon() : app.icon);
    // A file listed at this path is listed already, even when its stored alias still names an older place.
    if (m_excludedApplicationsPrefs.contains(record) || m_excludedApplicationPaths.contains(path))
        return;
    m_excludedApplicationPaths.append(path);
    mutableArrayValueForKey(this, "excludedApplicationsPrefs").append(record);
    mutableArrayValueForKey(this, "excludedApplicationsDisplay").append(display);
    saveToPrefs();
}

void PealixPref::removeApplication()
{
    QTableView* table = m_excludedAppNameColumn.tableView;
    const QModelIndexList rows = table ? table->selectionModel()->selectedRows() : QModelIndexList();
    const int row = rows.isEmpty() ? -1 : rows.constFirst().row();
    if (row < 0 || row >= m_excludedApplicationsPrefs.size())
        return;
    mutableArrayValueForKey(this, "excludedApplicationsDisplay").removeAt(row);
    mutableArrayValueForKey(this, "excludedApplicationsPrefs").removeAt(row);
    m_excludedApplicationPaths.removeAt(row);
    saveToPrefs();
}

bool PealixPref::panelShouldShowFilename(QFileDialog*, const QString& filename) const
{
    return !m_excludedApplicationPaths.contains(filename);
}

void PealixPref::chooseApplication()
{
    if (m_applicationChooser) {
        m_applicationChooser->raise();
        return;
    }
    QStringList listed;
    for (const QVariant& path : std::as_const(m_excludedApplicationPaths))
        listed.append(path.toString());
    auto* chooser = new ApplicationChooser(listed, window());
    chooser->setWindowModality(Qt::WindowModal);
    m_applicationChooser = chooser;
    connect(chooser, &ApplicationChooser::otherRequested, this, [this] { addApplication(); });
    connect(chooser, &QDialog::finished, this, [this, chooser](int result) {
        chooser->deleteLater();
        if (result == QDialog::Accepted && !chooser->chosenPath().isEmpty())
            excludeAppAtPath(chooser->chosenPath());
    });
    chooser->open();
}

void PealixPref::addApplication()
{
    if (m_addApplicationPanel) {
        m_addApplicationPanel->raise();
        return;
    }
    auto* panel = new QFileDialog(window());
    panel->setObjectName(QStringLiteral("addApplicationPanel"));
    panel->setOption(QFileDialog::DontUseNativeDialog);
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setWindowModality(Qt::WindowModal);
    panel->setWindowTitle(tr("Choose an Application"));
    panel->setProxyModel(new ApplicationFilter(this, panel));
    panel->setDirectory(QFileInfo(applicationsFolder).isDir() ? applicationsFolder : QDir::homePath());
    m_addApplicationPanel = panel;
    // A bundle is a folder to the dialog; opening it chooses it.
    connect(panel, &QFileDialog::directoryEntered, panel, [panel](const QString& dir) {
        if (hasExtension(dir, QStringLiteral("app"), Qt::CaseInsensitive)) {
            panel->setProperty("chosenBundle", QDir::cleanPath(dir));
            static_cast<QDialog*>(panel)->done(QDialog::Accepted);
        }
    });
    connect(panel, &QDialog::finished, this, [this, panel](int result) {
        if (m_addApplicationPanel == panel)
            m_addApplicationPanel = nullptr;
        panel->deleteLater();
        const QString bundle = panel->property("chosenBundle").toString();
        addApplicationPanelDidEnd(bundle.isEmpty() ? panel->selectedFiles() : QStringList{bundle},
                                  result == QDialog::Accepted ? panelConfirmed : 0);
    });
    panel->open();
}

void PealixPref::addApplicationPanelDidEnd(const QStringList& filenames, int returnCode)
{
    if (returnCode == panelConfirmed && !filenames.isEmpty())
        excludeAppAtPath(filenames.constFirst());
}

Qt::DropAction PealixPref::tableViewValidateDrop(QTableView*, const QMimeData* info, int,
                                                 Qt::DropAction) const
{
    const QStringList paths = localPaths(info);
    const bool any = std::any_of(paths.cbegin(), paths.cend(), [](const QString& path) {
        return path.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive) ||
               path.endsWith(QLatin1String(".app"), Qt::CaseInsensitive);
    });
    return any ? Qt::CopyAction : Qt::IgnoreAction;
}

bool PealixPref::tableViewAcceptDrop(QTableView*, const QMimeData* info, int, Qt::DropAction)
{
    for (const QString& path : localPaths(info))
        if (isApplicationFileName(path, Qt::CaseSensitive))
            excludeAppAtPath(path);
    return true;
}

bool PealixPref::eventFilter(QObject* watched, QEvent* event)
{
    // The table's viewport also sees events while the table is being destroyed, when the table may no
    // longer be taken as a table: only the events handled here look at it.
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        break;
    default:
        return PreferencePane::eventFilter(watched, event);
    }
    QTableView* table = m_excludedAppNameColumn.tableView;
    if (table && watched == table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete)) {
        removeApplication();
        return true;
    }
    if (!table || watched != table->viewport())
        return PreferencePane::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const Qt::DropAction action = tableViewValidateDrop(
            table, drag->mimeData(), table->rowAt(drag->position().toPoint().y()), drag->proposedAction());
        if (action == Qt::IgnoreAction) {
            drag->ignore();
        } else {
            drag->setDropAction(action);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (tableViewValidateDrop(table, drop->mimeData(), -1, drop->proposedAction()) == Qt::IgnoreAction) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        tableViewAcceptDrop(table, drop->mimeData(), table->rowAt(drop->position().toPoint().y()),
                            Qt::CopyAction);
        return true;
    }
    default:
        return PreferencePane::eventFilter(watched, event);
    }
}

void PealixPref::updateExcludedButtons()
{
    QTableView* table = m_excludedAppNameColumn.tableView;
    if (m_removeApplicationButton)
        m_removeApplicationButton->setEnabled(table && table->selectionModel() &&
                                              !table->selectionModel()->selectedRows().isEmpty());
}
