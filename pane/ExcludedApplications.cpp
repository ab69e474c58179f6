// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pane/ExcludedApplications.h"

#include "pane/ApplicationChooser.h"
#include "platform/bindings/KeyValueCoding.h"
#include "platform/bundles/Bundle.h"
#include "platform/panes/PreferencePane.h"
#include "platform/settings/PropertyList.h"
#include "platform/workspace/DesktopEntry.h"
#include "shared/PrefKeys.h"
#include "support/JVResourceFork.h"
#include "support/NSVTextFieldCell.h"
#include "support/OFAlias.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMimeData>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>

Q_LOGGING_CATEGORY(lcExcluded, "pealix.pane.excluded", QtWarningMsg)

using platform::mutableArrayValueForKey;
using platform::setValueForKey;
using platform::valueForKey;

const QString ExcludedApplications::displayNameKey = QStringLiteral("CFBundleName");
const QString ExcludedApplications::iconKey = QStringLiteral("icon");
const QString ExcludedApplications::notFoundKey = QStringLiteral("notFound");

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

QVariantList storedList(const QObject& pane)
{
    return valueForKey(&pane, "excludedApplicationsPrefs").toList();
}

// Hides what the pane says to hide; folders stay so that the panel can be navigated.
class ApplicationFilter : public QSortFilterProxyModel {
public:
    ApplicationFilter(const ExcludedApplications* editor, QFileDialog* panel)
        : QSortFilterProxyModel(panel), m_editor(editor), m_panel(panel)
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
        return application && m_editor->panelShouldShowFilename(m_panel, path);
    }

private:
    const ExcludedApplications* m_editor;
    QFileDialog* m_panel;
};

} // namespace

ExcludedApplications::ExcludedApplications(platform::PreferencePane& pane) : m_pane(pane) {}

ExcludedApplications::~ExcludedApplications() = default;

void ExcludedApplications::setControls(QTableView* table, int nameColumn, QPushButton* add,
                                       QPushButton* remove)
{
    m_table = table;
    m_nameColumn = nameColumn;
    m_removeButton = remove;
    connect(add, &QPushButton::clicked, this, [this] { chooseApplication(); });
    connect(remove, &QPushButton::clicked, this, [this] { removeApplication(); });
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateButtons(); });
    connect(table->model(), &QAbstractItemModel::modelReset, this, [this] { updateButtons(); });
    updateButtons();
    table->installEventFilter(this); // Delete removes the selected row
}

void ExcludedApplications::viewDidLoad()
{
    if (!m_table)
        return;
    auto* cell = new NSVTextFieldCell(m_table);
    cell->setVerticalAlignment(true);
    m_table->setItemDelegateForColumn(m_nameColumn, cell);
    m_table->viewport()->setAcceptDrops(true);
    m_table->viewport()->installEventFilter(this);
}

QIcon ExcludedApplications::genericApplicationIcon()
{
    // Looked up once: a list of thousands of entries that are no longer found shows it on every row.
    static const QIcon icon = QIcon::fromTheme(QStringLiteral("application-x-executable"),
                                               QFileIconProvider().icon(QFileIconProvider::File));
    return icon;
}

void ExcludedApplications::rebuild()
{
    const QVariantList prefs = storedList(m_pane);
    QVariantList display;
    display.reserve(prefs.size());
    m_paths.clear();
    // All searches for moved applications together, so that a long list of deleted ones opens quickly.
    const QDeadlineTimer searches(aliasSearchBudgetMs);
    for (const QVariant& stored : prefs) {
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
        m_paths.append(path);
    }
    setValueForKey(&m_pane, display, "excludedApplicationsDisplay");
}

void ExcludedApplications::excludeAppAtPath(const QString& path)
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
    if (storedList(m_pane).contains(record) || m_paths.contains(path))
        return;
    m_paths.append(path);
    mutableArrayValueForKey(&m_pane, "excludedApplicationsPrefs").append(record);
    mutableArrayValueForKey(&m_pane, "excludedApplicationsDisplay").append(display);
    emit edited();
}

void ExcludedApplications::removeApplication()
{
    QTableView* table = m_table;
    const QModelIndexList rows = table ? table->selectionModel()->selectedRows() : QModelIndexList();
    const int row = rows.isEmpty() ? -1 : rows.constFirst().row();
    if (row < 0 || row >= storedList(m_pane).size())
        return;
    mutableArrayValueForKey(&m_pane, "excludedApplicationsDisplay").removeAt(row);
    mutableArrayValueForKey(&m_pane, "excludedApplicationsPrefs").removeAt(row);
    m_paths.removeAt(row);
    emit edited();
}

bool ExcludedApplications::panelShouldShowFilename(QFileDialog*, const QString& filename) const
{
    return !m_paths.contains(filename);
}

void ExcludedApplications::chooseApplication()
{
    if (m_applicationChooser) {
        m_applicationChooser->raise();
        return;
    }
    QStringList listed;
    for (const QVariant& path : std::as_const(m_paths))
        listed.append(path.toString());
    auto* chooser = new ApplicationChooser(listed, m_pane.window());
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

void ExcludedApplications::addApplication()
{
    if (m_addApplicationPanel) {
        m_addApplicationPanel->raise();
        return;
    }
    auto* panel = new QFileDialog(m_pane.window());
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

void ExcludedApplications::addApplicationPanelDidEnd(const QStringList& filenames, int returnCode)
{
    if (returnCode == panelConfirmed && !filenames.isEmpty())
        excludeAppAtPath(filenames.constFirst());
}

Qt::DropAction ExcludedApplications::tableViewValidateDrop(QTableView*, const QMimeData* info, int,
                                                           Qt::DropAction) const
{
    const QStringList paths = localPaths(info);
    const bool any = std::any_of(paths.cbegin(), paths.cend(), [](const QString& path) {
        return path.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive) ||
               path.endsWith(QLatin1String(".app"), Qt::CaseInsensitive);
    });
    return any ? Qt::CopyAction : Qt::IgnoreAction;
}

bool ExcludedApplications::tableViewAcceptDrop(QTableView*, const QMimeData* info, int, Qt::DropAction)
{
    for (const QString& path : localPaths(info))
        if (isApplicationFileName(path, Qt::CaseSensitive))
            excludeAppAtPath(path);
    return true;
}

bool ExcludedApplications::eventFilter(QObject* watched, QEvent* event)
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
        return QObject::eventFilter(watched, event);
    }
    QTableView* table = m_table;
    if (table && watched == table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete)) {
        removeApplication();
        return true;
    }
    if (!table || watched != table->viewport())
        return QObject::eventFilter(watched, event);
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
        return QObject::eventFilter(watched, event);
    }
}

void ExcludedApplications::updateButtons()
{
    QTableView* table = m_table;
    if (m_removeButton)
        m_removeButton->setEnabled(table && table->selectionModel() &&
                                   !table->selectionModel()->selectedRows().isEmpty());
}
