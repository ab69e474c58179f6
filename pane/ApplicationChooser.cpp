// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pane/ApplicationChooser.h"

#include "platform/workspace/DesktopEntry.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace {

constexpr int pathRole = Qt::UserRole + 1;

QIcon applicationIcon(const QString& name)
{
    QIcon icon;
    if (QDir::isAbsolutePath(name))
        icon = QFileInfo(name).isFile() ? QIcon(name) : QIcon();
    else if (!name.isEmpty())
        icon = QIcon::fromTheme(name);
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("application-x-executable"),
                                QFileIconProvider().icon(QFileIconProvider::File));
    return icon;
}

// Up and down in the search field move through the list, so that typing and choosing need no mouse.
class SearchKeys : public QObject {
public:
    SearchKeys(QListView* list, QObject* parent) : QObject(parent), m_list(list) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
                key == Qt::Key_PageDown) {
                QCoreApplication::sendEvent(m_list, event);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QListView* m_list;
};

} // namespace

ApplicationChooser::ApplicationChooser(const QStringList& hiddenPaths, QWidget* parent)
    : QDialog(parent), m_applications(new QStandardItemModel(this)),
      m_filter(new QSortFilterProxyModel(this)), m_search(new QLineEdit), m_list(new QListView)
{
    setObjectName(QStringLiteral("applicationChooser"));
    setWindowTitle(tr("Add Application"));
    for (const platform::InstalledApplication& app : platform::installedApplications()) {
        if (hiddenPaths.contains(app.path))
            continue;
        auto* item = new QStandardItem(applicationIcon(app.entry.iconName), app.entry.name);
        item->setData(app.path, pathRole);
        item->setToolTip(app.entry.identifier);
        item->setEditable(false);
        m_applications->appendRow(item);
    }
    m_filter->setSourceModel(m_applications);
    m_filter->setFilterCaseSensitivity(Qt::CaseInsensitive);

    m_search->setPlaceholderText(tr("Search"));
    m_search->setAccessibleName(tr("Search applications"));
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(new SearchKeys(m_list, this));
    m_list->setAccessibleName(tr("Applications"));
    m_list->setModel(m_filter);
    m_list->setIconSize(QSize(32, 32));
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMinimumSize(QSize(360, 320));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    auto* other = buttons->addButton(tr("&Other…"), QDialogButtonBox::ActionRole);
    other->setAccessibleName(tr("Other…"));
    other->setToolTip(tr("Choose an application file that is not listed"));
    m_add = buttons->addButton(tr("&Add"), QDialogButtonBox::AcceptRole);
    m_add->setAccessibleName(tr("Add"));
    m_add->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_filter->setFilterFixedString(text.trimmed());
        if (!m_list->currentIndex().isValid() || !m_list->selectionModel()->hasSelection())
            m_list->setCurrentIndex(m_filter->index(0, 0));
        updateAddButton();
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ApplicationChooser::updateAddButton);
    connect(m_list, &QListView::activated, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(other, &QPushButton::clicked, this, [this] {
        reject();
        emit otherRequested();
    });
    m_list->setCurrentIndex(m_filter->index(0, 0));
    updateAddButton();
    m_search->setFocus();
}

QString ApplicationChooser::chosenPath() const
{
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.constFirst().data(pathRole).toString();
}

void ApplicationChooser::updateAddButton()
{
    m_add->setEnabled(m_list->selectionModel()->hasSelection());
}
