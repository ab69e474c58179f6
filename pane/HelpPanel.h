// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The help sheet, the installed licence, and the update request the pane passes on to the agent.

#include <QObject>
#include <QPointer>
#include <QString>

class QDialog;
class QLabel;

namespace platform {
class PreferencePane;
}

class HelpPanel : public QObject {
    Q_OBJECT
public:
    // The pane gives the bundle and the window for the sheet; it must outlive this.
    explicit HelpPanel(const platform::PreferencePane& pane);
    ~HelpPanel() override;

    // Made on first use; the version line is read from the bundle each time.
    void show();
    void hide();
    QDialog* window() const { return m_window; }
    QLabel* versionAndCopyright() const { return m_versionAndCopyright; }

    // A running agent is asked over the session bus; otherwise one is started just to check.
    void checkForUpdates(bool agentActive);

    // The installed licence in the desktop's viewer.
    static void showLicence();
    static QString licencePath();

private:
    void build();

    const platform::PreferencePane& m_pane;
    QPointer<QDialog> m_window;
    QPointer<QLabel> m_versionAndCopyright;
};
