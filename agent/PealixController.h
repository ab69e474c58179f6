// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The agent's one controller: reads the settings, keeps the chime schedule and plays the quarters.

#include "agent/BusyFlag.h"
#include "platform/bundles/Bundle.h"
#include "platform/settings/PreferencesReader.h"
#include "platform/time/Clock.h"
#include "platform/update/Updater.h"
#include "shared/ChimeInfo.h"
#include "shared/ChimeSets.h"
#include "shared/ExcludedApplication.h"

#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

class QAction;
class QMenu;
class QTimer;

namespace platform {
class Sound;
class StatusItem;
class Timer;
} // namespace platform

// One quarter of the schedule: the stored record with "path" and "strikepath" resolved, and the
// sounds loaded from them (absent when they did not load).
struct ChimeRecord {
    ChimeInfo info;
    QString melodyPath;
    QString strikePath;
    std::shared_ptr<platform::Sound> chimeSound;
    std::shared_ptr<platform::Sound> strikeSound;
};

class PealixController : public QObject, public platform::UpdaterDelegate {
    Q_OBJECT
public:
    // The bundle whose resources hold the chime sets; arguments as the process received them; the clock
    // that drives the minute timer (tests pass one they can move).
    PealixController(platform::Bundle agentBundle, QStringList arguments,
                     platform::Clock& clock = platform::Clock::system(), QObject* parent = nullptr);
    ~PealixController() override;

    void awakeFromNib();
    void readPrefs();
    void prefsUpdateNotificationHandler(const QString& notification);

    bool isUpdateOnlyMode() const { return m_updateOnly; }
    bool chimingEnabled() const { return m_chimingEnabled; }
    int volume() const { return chimeVolume; }
    const ChimeSets::SetTable& setTable() const { return chimesetDict; }
    const QMap<qint64, ChimeRecord>& schedule() const { return chimePrefs; }

    // Clock.
    platform::TimePoint _dateAtNextMinute() const;
    void timerCallBack(platform::Timer* timer);
    void goToSleep();
    void wakeFromSleep();

    // Playback.
    void playNextSound();
    void soundDidEnd();
    void setCurrentSound(std::shared_ptr<platform::Sound> sound);
    const std::shared_ptr<platform::Sound>& getCurrentSound() const { return currentSound; }
    void setCurrentSoundVolume();

    // Status menu and suspension.
    void stopStartChimes();
    void suspendResumeChimes(QAction* sender = nullptr);
    void openPealixPrefs(QObject* sender = nullptr);
    bool validateMenuItem(QAction* item) const;

    // Excluded applications.
    void checkExclusionForPid(const QVariant& pid);
    void appLaunch(const QVariantMap& userInfo);
    void appTerm(const QVariantMap& userInfo);

    // Updates.
    void updateCheckRequested(const QString& notification);
    // A check whose windows belong to the preferences window when it shows; started runs once it began.
    void checkForUpdatesOverPreferences(std::function<void()> started);
    std::optional<QString> updaterInstallTargetPath() override;
    void updaterWillRestartApp();
    void waitForUpdaterToFinish();
    platform::Updater* softwareUpdater() const { return updater; }

    QMenu* menu() const { return controlMenu; }
    QAction* suspendResumeItem() const { return suspendResumeChimesMenuItem; }
    // Exists while the setting asks for the icon; shown once a tray takes it.
    platform::StatusItem* statusItem() const { return controlMenuStatusItem; }
    bool isSuspended() const { return suspended; }
    bool isExcludedAppRunning() const { return excludedAppRunning; }
    const QSet<qint64>& runningExcluded() const { return m_runningExcluded; }

    platform::Timer* timer() const { return chimeTimer; }
    bool isBusy() const { return chimeLock.isHeld(); }
    int queuedSounds() const { return static_cast<int>(playlist.size()); }

signals:
    // After every readPrefs; lets tools and tests wait for a re-read.
    void prefsRead();

private:
    ChimeRecord resolveRecord(const ChimeInfo& stored) const;
    void applyPrefs(const platform::PreferencesReader::Result& result);
    // Runs readPrefs from the event loop after delayMs, or sooner when a read is already due sooner.
    void scheduleRead(qint64 delayMs);
    // What the interface file of the agent holds: the control menu and its entries.
    void loadInterface();
    void applyMenuActive(std::optional<bool> active);
    void createStatusItem();
    void applySilencePresentation(bool silenced);
    void rebuildExclusion(const QList<ExcludedApplication>& excluded);
    // Opens the audio output shortly before a quarter that will sound, so its first sample is on time.
    void armOutputWakeUp();
    void registerForRestart();
    void outputWakeUpDue();

    // Fields in the order the agent has always declared them.
    ChimeSets::SetTable chimesetDict;
    QMap<qint64, ChimeRecord> chimePrefs;
    platform::Timer* chimeTimer = nullptr;
    BusyFlag chimeLock;
    bool suspended = false;
    bool excludedAppRunning = false;
    int chimeVolume = 70;
    QMenu* controlMenu = nullptr;
    platform::StatusItem* controlMenuStatusItem = nullptr;
    QAction* suspendResumeChimesMenuItem = nullptr;
    platform::Updater* updater = nullptr;
    QList<std::shared_ptr<platform::Sound>> playlist;
    std::shared_ptr<platform::Sound> currentSound;

    bool m_chimingEnabled = false;
    // Excluded bundle identifiers, and the running processes that have one.
    QSet<QString> m_excludedIdentifiers;
    QSet<qint64> m_runningExcluded;
    QIcon m_icon;
    QIcon m_silencedIcon;
    bool m_updateOnly = false;
    platform::Bundle m_bundle;
    QStringList m_arguments;
    platform::Clock& m_clock;
    platform::PreferencesReader* m_reader = nullptr;
    QTimer* m_rereadTimer = nullptr;
    QElapsedTimer m_sinceRead;
    int m_unparseableRetries = 0;
    std::unique_ptr<platform::Clock::WakeUp> m_outputWakeUp;
    // The update-only mode's waiting thread; told to stop when the controller goes first.
    std::thread m_waitingThread;
    std::atomic<bool> m_stopWaiting{false};
};
