// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The host's one window: the shown pane's main view, the list of installed panes, or a message saying
// why a pane cannot be shown.

#include "platform/panes/PreferencePane.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class QLabel;
class QListWidget;
class QStackedWidget;

class PaneHostWindow : public QWidget {
    Q_OBJECT
public:
    PaneHostWindow();
    ~PaneHostWindow() override;

    // Shows the pane bundle at path in place of what was shown, or a message when it cannot; the pane
    // already shown stays as it is. True when the pane shows, or will once the shown pane's code has
    // returned (a modal dialog of the pane runs its own event loop, and the pane must outlive it).
    bool showPane(const QString& path);
    void showOverview();
    void bringToFront();
    // Empty unless a pane shows.
    QString currentPaneIdentifier() const;
    // Empty unless a message shows.
    QString message() const;
    // The bundles the list of installed panes offers, in its order; empty unless the list shows.
    QStringList listedPanes() const;

protected:
    bool event(QEvent* event) override;

private:
    bool paneIsRunning() const;
    void dropPane();
    void showMessage(const QString& title, const QString& text);

    QStackedWidget* m_stack = nullptr;
    QListWidget* m_overview = nullptr;
    QLabel* m_message = nullptr;
    std::unique_ptr<platform::PreferencePane> m_pane;
    QString m_panePath;
    QString m_identifier;
    int m_paneCalls = 0;
    QString m_pendingPath;
    QTimer m_pending;
    bool m_drawn = false;
};
