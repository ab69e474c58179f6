// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The host's D-Bus interface (see platform/panes/PaneHostInterface.h).

#include <QObject>
#include <QString>

class PaneHostWindow;

class PaneHostScripting : public QObject {
    Q_OBJECT
    // Keep in step with PaneHostInterface::interfaceName.
    Q_CLASSINFO("D-Bus Interface", "com.quorlenvik.PaneHost")
public:
    explicit PaneHostScripting(PaneHostWindow* window);

public slots:
    Q_SCRIPTABLE bool ShowPane(const QString& path);
    Q_SCRIPTABLE QString CurrentPaneIdentifier() const;
    Q_SCRIPTABLE QString Title() const;
    Q_SCRIPTABLE QString Message() const;
    Q_SCRIPTABLE QStringList ListedPanes() const;
    Q_SCRIPTABLE QString WindowHandle() const;
    Q_SCRIPTABLE void Quit();

public:
    // A quit asked for before the main loop ran, from a loop of the first pane's, which the main loop
    // would not see.
    bool quitRequested() const { return m_quitRequested; }

private:
    PaneHostWindow* m_window;
    bool m_quitRequested = false;
};
