// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The software updater of the agent: checks a signed feed, and downloads, verifies and installs a newer
// bundle over the path its delegate names, then restarts the agent from it. It has its own windows.
// It is a library of its own (libpealix_update), so that a process that never checks maps none of it.
//
// Configuration, from the host bundle's Info.plist: "PealixUpdateFeedURL" (none: updates are not
// configured), "PealixUpdatePublicKey" and "PealixUpdateNextPublicKey" (base64 Ed25519), and
// "PealixUpdateIdentifier" (the product identifier the feed and the new bundle must carry).
// Its state (versions seen, the last check, the answers) is in ${XDG_STATE_HOME:-~/.local/state}/pealix.
// Turned off in an installation the package manager owns (it says so and asks no one), inside Flatpak,
// and by a policy file, /etc/pealix/updates-disabled (test seam:
// PEALIX_UPDATE_POLICY_FILE names another). A transfer that stalls for 30 seconds (the feed) or 60 (the
// archive), moves less than 1 KiB a second over such a period, or lasts over 2 minutes (the feed) or an
// hour (the archive) is given up (test seams: PEALIX_UPDATE_STALL_MS and PEALIX_UPDATE_DEADLINE_MS set
// both). Redirects are followed only to addresses the feed may have. One updater installs at a time per
// installation; an exchange cut short before the new agent answered is undone at the next start.

#include "platform/Export.h"
#include "platform/bundles/Bundle.h"
#include "platform/update/UpdaterDelegate.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QNetworkAccessManager;
class QNetworkReply;
class QProgressDialog;
class QTimer;
class QWindow;

namespace platform {

class PEALIX_EXPORT Updater : public QObject {
    Q_OBJECT
    // Safe to read from any thread.
    Q_PROPERTY(bool updateInProgress READ updateInProgress)
public:
    explicit Updater(const Bundle& hostBundle, QObject* parent = nullptr);
    ~Updater() override;

    void setDelegate(UpdaterDelegate* delegate) { m_delegate = delegate; }
    // A check with the updater's windows. updateInProgress is true when this returns and until the
    // check, and any installation, is over.
    void checkForUpdates(QObject* sender = nullptr);
    // Quiet checks at this interval while the process runs, counted from the last check of any process.
    void scheduleCheckWithInterval(double seconds);
    bool updateInProgress() const { return m_busy.load(); }

    bool isConfigured() const;
    bool isDisabledByPolicy() const;
    QString stateFilePath() const;
    // What ends the old process after an installation: by default a relauncher that waits for this
    // process to end and starts the new agent (skipped in update-only mode), then the application quits.
    void setRestartHandler(std::function<void(const QString& newExecutable)> handler)
    {
        m_restart = std::move(handler);
    }
    // Without a display nobody can answer a window: a check then only logs what it found and installs
    // nothing. Tests that drive the windows on the offscreen platform turn them on.
    void setWindowsWithoutDisplay(bool on) { m_windowsWithoutDisplay = on; }
    // The window on screen, for tests and for raising it again.
    QWidget* currentWindow() const { return m_window; }
    // The window of another process whose button asked for the check ("x11:<window id>", or empty): the
    // windows of the check that follows are transient for it, so they belong to that window.
    void setParentWindow(const QString& handle) { m_parentHandle = handle; }

signals:
    // The will-restart notification: after an installation, before the restart.
    void willRestart();
    // After every check; ok is false when it failed. For tests and tools.
    void checkFinished(bool ok, const QString& message);

private:
    void beginCheck(bool interactive);
    void feedArrived(QNetworkReply* reply);
    void offerInstall();
    void startDownload();
    void downloadFinished();
    void install();
    void finishInstall(const QString& error, const QString& newBundle, const QString& agentRelative);
    void stopWorker();
    void confirmNewAgent(const QString& executable);
    void newAgentAnswered(bool ok, const QString& executable);
    void showWindow(QWidget* window);
    // A progress window whose Cancel ends the session.
    QProgressDialog* progressWindow(const QString& text, int maximum);
    void attachToParentWindow(QWidget* window);
    void showMessage(const QString& name, const QString& title, const QString& text, bool ok,
                     std::optional<QMessageBox::Icon> icon = std::nullopt);
    void fail(const QString& text);
    void endSession(bool ok = true, const QString& message = {});
    void automaticCheckDue();
    bool canShowWindows() const;

    struct Session;
    Bundle m_host;
    UpdaterDelegate* m_delegate = nullptr;
    std::atomic<bool> m_busy{false};
    QNetworkAccessManager* m_network = nullptr;
    QTimer* m_schedule = nullptr;
    double m_interval = 0;
    std::unique_ptr<Session> m_session;
    QPointer<QWidget> m_window;
    std::function<void(const QString&)> m_restart;
    QString m_parentHandle;
    QPointer<QWindow> m_parentWindow;
    bool m_windowsWithoutDisplay = false;
    // Verifies and unpacks a downloaded archive away from the main thread.
    std::thread m_worker;
    std::atomic<bool> m_cancelWork{false};
};

} // namespace platform
