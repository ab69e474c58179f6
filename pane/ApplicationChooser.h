// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A sheet that lists the installed applications by name and icon, filtered as one types; "Other…" leads
// to the open panel for any other file.

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QListView;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;

class ApplicationChooser : public QDialog {
    Q_OBJECT
public:
    // Applications whose entry is at one of the hidden paths are not offered.
    ApplicationChooser(const QStringList& hiddenPaths, QWidget* parent);

    // The desktop entry of the chosen application once accepted.
    QString chosenPath() const;

signals:
    void otherRequested();

private:
    void updateAddButton();

    QStandardItemModel* m_applications = nullptr;
    QSortFilterProxyModel* m_filter = nullptr;
    QLineEdit* m_search = nullptr;
    QListView* m_list = nullptr;
    QPushButton* m_add = nullptr;
};
