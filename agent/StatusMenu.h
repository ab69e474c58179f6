// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The tray icon with its control menu, and how it shows that the chimes are silent.

#include "agent/ControlMenu.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class StatusMenu : public QObject, public ControlMenu {
    Q_OBJECT
public:
    // The icons come from the agent's resources, read when the icon is first shown.
    explicit StatusMenu(const QString& resourcePath, QObject* parent = nullptr);
    ~StatusMenu() override;

    // Shows or takes away the icon as the setting asks; an absent setting leaves it as it is.
    void applyMenuActive(std::optional<bool> active) override;
    // Title, image and tool tip; a status item made later shows the same. An empty tool tip while
    // silenced is the suspension's.
    void applySilencePresentation(bool silenced, const QString& toolTip = {}) override;
    // Opens the preference pane that holds the agent's resources, or else the one found first in the
    // Library folders.
    void openPealixPrefs() override;

    // Made when first asked for, by the icon or a caller: the entries themselves need no menu.
    QMenu* menu() override;
    const QList<QAction*>& entries() const { return m_entries; }
    QAction* suspendResumeItem() const override { return suspendResumeChimesMenuItem; }
    // Exists while the setting asks for the icon; shown once a tray takes it.
    platform::StatusItem* statusItem() const override { return controlMenuStatusItem; }

signals:
    void suspendResumeRequested(QAction* sender);
    void pauseRequested(int seconds);
    void openPrefsRequested();
    // Before the menu shows, for its entries to be enabled or not.
    void menuAboutToShow();

private:
    void createStatusItem();

    // A menu is a widget: making one loads the widget style and its fonts, which an agent whose icon is
    // hidden never uses.
    QMenu* controlMenu = nullptr;
    QList<QAction*> m_entries;
    platform::StatusItem* controlMenuStatusItem = nullptr;
    QAction* suspendResumeChimesMenuItem = nullptr;
    QString m_resourcePath;
    QIcon m_icon;
    QIcon m_silencedIcon;
    bool m_iconsRead = false;
    bool m_silenced = false;
    QString m_toolTip;
};
