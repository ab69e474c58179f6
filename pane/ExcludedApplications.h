// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The excluded applications editor: the table, its buttons, the chooser and the open panel, drag and
// drop, and the rebuild of what the table shows from the stored list. The two lists stay key-value
// properties of the pane, "excludedApplicationsDisplay" (bound to the table) and
// "excludedApplicationsPrefs" (saved by the pane); this edits them through key-value coding.

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantList>

class QDialog;
class QFileDialog;
class QMimeData;
class QPushButton;
class QTableView;

namespace platform {
class PreferencePane;
}

class ExcludedApplications : public QObject {
    Q_OBJECT
public:
    // The keys of a display record besides the stored ones.
    static const QString displayNameKey;
    static const QString iconKey;
    static const QString notFoundKey;

    // The pane holds the two lists and gives the window for sheets; it must outlive this.
    explicit ExcludedApplications(platform::PreferencePane& pane);
    ~ExcludedApplications() override;

    // The window's table (its name column) and buttons: the buttons act here, Delete removes the
    // selected row, and the remove button follows the selection.
    void setControls(QTableView* table, int nameColumn, QPushButton* add, QPushButton* remove);
    // Once the view is in its window: the name cell and drops onto the table.
    void viewDidLoad();

    // What the table shows, made again from the stored list; looks for moved applications.
    void rebuild();

    // The button offers the installed applications first; addApplication is the open panel, reached from
    // there through "Other…".
    void chooseApplication();
    QDialog* applicationChooser() const { return m_applicationChooser; }
    void addApplication();
    void removeApplication();
    void excludeAppAtPath(const QString& path);
    bool panelShouldShowFilename(QFileDialog* panel, const QString& filename) const;
    // The drag's pasteboard is its text/uri-list of local files; row and operation are not used.
    Qt::DropAction tableViewValidateDrop(QTableView* tableView, const QMimeData* info, int row,
                                         Qt::DropAction operation) const;
    bool tableViewAcceptDrop(QTableView* tableView, const QMimeData* info, int row, Qt::DropAction operation);
    // The open panel's end: result code 1 adds the first chosen path.
    void addApplicationPanelDidEnd(const QStringList& filenames, int returnCode);
    QFileDialog* addApplicationPanel() const { return m_addApplicationPanel; }
    // Where each listed application was found, in the lists' order; empty where it was not.
    QVariantList paths() const { return m_paths; }
    QTableView* table() const { return m_table; }
    QPushButton* removeButton() const { return m_removeButton; }

    // The generic application icon, for files that have none of their own.
    static QIcon genericApplicationIcon();

signals:
    // The stored list changed and wants saving.
    void edited();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateButtons();

    platform::PreferencePane& m_pane;
    QVariantList m_paths;
    QPointer<QTableView> m_table;
    int m_nameColumn = 0;
    QPointer<QPushButton> m_removeButton;
    QPointer<QFileDialog> m_addApplicationPanel;
    QPointer<QDialog> m_applicationChooser;
};
