// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The agent's one controller: reads the settings, keeps the chime schedule and plays the quarters.

#include "agent/BusyFlag.h"
#include "agent/ChimePause.h"
#include "agent/ControlMenu.h"
#include "agent/ExclusionWatcher.h"
#include "agent/UpdateChecks.h"
#include "platform/bundles/Bundle.h"
#include "platform/control/ControlService.h"
#include "platform/settings/PreferencesReader.h"
#include "platform/time/Clock.h"
#include "platform/update/UpdaterDelegate.h"
#include "shared/ChimeInfo.h"
#include "shared/ChimeSets.h"
#include "shared/ExcludedApplication.h"
#include "shared/NextChime.h"
#include "shared/QuietHours.h"
#include "shared/Settings.h"

#include <QElapsedTimer>
#include <QFlags>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <utility>

class QAction;
class QMenu;
class QTimer;

namespace platform {
class DoNotDisturb;
class FullScreenWindow;
class LockedScreen;
class MicrophoneUse;
class SilenceSource;
class Sound;
class StatusItem;
class Timer;
class Updater;
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

    bool isUpdateOnlyMode() const { return m_updates && m_updates->isUpdateOnlyMode(); }
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

    // Status menu and suspension: the menu is the StatusMenu's, what its entries do is decided here.
    void stopStartChimes();
    void suspendResumeChimes(QAction* sender = nullptr);
    // Silent for the given time from now; 0 is the suspension until resumed. Ends any earlier pause.
    void pauseChimes(quint32 seconds);
    // Ends a pause and the suspension, and chimes over the excluded applications running now.
    void resumeChimes();
    // Plays what the current quarter plays, at the chime volume, even while silent; not over a chime
    // that is playing.
    void chimeNow();
    void openPealixPrefs(QObject* /*sender*/ = nullptr)
    {
        if (m_statusMenu)
            m_statusMenu->openPealixPrefs();
    }
    bool validateMenuItem(QAction* /*item*/) const { return true; }

    // Excluded applications: the ExclusionWatcher's, which announces every change.
    void checkExclusionForPid(const QVariant& pid) { m_exclusion->checkExclusionForPid(pid); }
    void appLaunch(const QVariantMap& userInfo) { m_exclusion->appLaunch(userInfo); }
    void appTerm(const QVariantMap& userInfo) { m_exclusion->appTerm(userInfo); }

    // Updates: the UpdateCoordination's, loaded with the updater when first needed.
    void updateCheckRequested(const QString& notification);
    // A check whose windows belong to the preferences window when it shows; started runs once it began.
    void checkForUpdatesOverPreferences(std::function<void()> started)
    {
        if (UpdateChecks* checks = updates())
            checks->checkForUpdatesOverPreferences(std::move(started));
    }
    std::optional<QString> updaterInstallTargetPath() override
    {
        UpdateChecks* checks = updates();
        return checks ? checks->updaterInstallTargetPath() : std::nullopt;
    }
    void updaterWillRestartApp()
    {
        if (UpdateChecks* checks = updates())
            checks->updaterWillRestartApp();
    }
    void waitForUpdaterToFinish()
    {
        if (UpdateChecks* checks = updates())
            checks->waitForUpdaterToFinish();
    }
    platform::Updater* softwareUpdater()
    {
        UpdateChecks* checks = updates();
        return checks ? checks->softwareUpdater() : nullptr;
    }
    // Whether this agent has loaded the updater so far.
    bool updatesLoaded() const { return m_updates != nullptr; }

    // None in an agent without a screen.
    QMenu* menu() const { return m_statusMenu ? m_statusMenu->menu() : nullptr; }
    QAction* suspendResumeItem() const { return m_statusMenu ? m_statusMenu->suspendResumeItem() : nullptr; }
    // Exists while the setting asks for the icon; shown once a tray takes it.
    platform::StatusItem* statusItem() const { return m_statusMenu ? m_statusMenu->statusItem() : nullptr; }

    // An agent started without a screen (its icon hidden, no update check possible) maps no GUI library.
    // When the icon is turned on or a check is asked for, it runs its program again in its own process
    // through restart, with a screen, between two chimes; what it carries (the suspension, a pause, the
    // check asked for) comes back through restoreCarried. Without a handler it stays as it is.
    void setRestartHandler(std::function<void(const QByteArray& carried)> restart)
    {
        m_restart = std::move(restart);
    }
    void restoreCarried(const QByteArray& carried);
    bool isSuspended() const { return suspended; }
    bool isExcludedAppRunning() const { return m_exclusion->isExcludedAppRunning(); }
    const QSet<qint64>& runningExcluded() const { return m_exclusion->runningExcluded(); }
    ExclusionWatcher* exclusionWatcher() const { return m_exclusion.get(); }
    const ChimePause& pause() const { return *m_pause; }
    const QuietHours& quietHours() const { return m_quietHours; }
    int quietVolume() const { return m_quietVolume; }
    // The next quarter that will sound as things are now (a pause counted), and what it plays.
    std::optional<NextChime::Plan> nextChime() const;
    // What the control interface publishes, and the tool tip: kept current at every change and minute.
    const platform::ControlState& controlState() const { return m_controlState; }

    platform::Timer* timer() const { return chimeTimer; }
    bool isBusy() const { return chimeLock.isHeld(); }
    int queuedSounds() const { return static_cast<int>(playlist.size()); }

signals:
    // After every readPrefs; lets tools and tests wait for a re-read.
    void prefsRead();

private:
    // Loads the updater on first use; none without a screen or when its library cannot be loaded.
    UpdateChecks* updates();
    void restartWithScreen(bool checkForUpdates);
    void restartWhenIdle();
    QByteArray carriedState() const;
    // Each thing that can silence the chimes; more than one may hold at once.
    enum class SilenceCause {
        suspended = 1 << 0,           // from the menu, until resumed there
        excludedApplication = 1 << 1, // an excluded application runs
        paused = 1 << 2,              // for a time, from the menu or the control interface
        doNotDisturb = 1 << 3,        // the desktop's Do Not Disturb, where the settings follow it
        lockedScreen = 1 << 4,        // the screen is locked, where the settings ask for it
        microphone = 1 << 5,          // something records from a microphone, where the settings follow it
        fullScreen = 1 << 6,          // the focused window is full-screen, where the settings ask for it
    };
    Q_DECLARE_FLAGS(SilenceCauses, SilenceCause)
    // The one place that decides whether the chimes are silent, and why: every feature that can silence
    // them answers here, and the clock, the output and the menu all go by it.
    SilenceCauses silenceCauses() const;
    bool isSilenced() const { return silenceCauses().toInt() != 0; }

    ChimeRecord resolveRecord(const ChimeInfo& stored) const;
    void applyPrefs(const platform::PreferencesReader::Result& result);
    // Runs readPrefs from the event loop after delayMs, or sooner when a read is already due sooner.
    void scheduleRead(qint64 delayMs);
    // What the interface file of the agent holds: the control menu and its entries.
    void loadInterface();
    // Opens the audio output shortly before a quarter that will sound, so its first sample is on time.
    void armOutputWakeUp();
    void outputWakeUpDue();
    // The sounds of the quarter at the date's minute, struck for its hour, into the playlist.
    void queueQuarter(const platform::CalendarDate& date);
    // Whether a quarter's record has something loaded to play.
    NextChime::Sounds soundsOf(const ChimeRecord& record) const;
    // The tool tip, the menu and the control interface's properties, from the state now.
    void refreshStatus();
    // The tool tip for the first of the desktop's reasons that holds, or empty.
    static QString desktopCause(SilenceCauses causes);
    // The desktop's sources of silence, each made while the settings ask for it.
    void followSilenceSources();

    // Fields in the order the agent has always declared them.
    ChimeSets::SetTable chimesetDict;
    QMap<qint64, ChimeRecord> chimePrefs;
    platform::Timer* chimeTimer = nullptr;
    BusyFlag chimeLock;
    bool suspended = false;
    int chimeVolume = 70;
    QList<std::shared_ptr<platform::Sound>> playlist;
    std::shared_ptr<platform::Sound> currentSound;

    bool m_chimingEnabled = false;
    platform::Bundle m_bundle;
    QStringList m_arguments;
    platform::Clock& m_clock;
    platform::PreferencesReader* m_reader = nullptr;
    QTimer* m_rereadTimer = nullptr;
    QElapsedTimer m_sinceRead;
    int m_unparseableRetries = 0;
    std::unique_ptr<platform::Clock::WakeUp> m_outputWakeUp;
    std::unique_ptr<ControlMenu> m_statusMenu;
    std::unique_ptr<ExclusionWatcher> m_exclusion;
    std::unique_ptr<ChimePause> m_pause;
    QuietHours m_quietHours;
    int m_quietVolume = 0;
    // The sounds queued now belong to a quarter in quiet hours, played at the quiet volume.
    bool m_playingQuietly = false;
    Settings::SilenceOptions m_silenceOptions;
    std::unique_ptr<platform::DoNotDisturb> m_doNotDisturb;
    std::unique_ptr<platform::LockedScreen> m_lockedScreen;
    std::unique_ptr<platform::MicrophoneUse> m_microphone;
    std::unique_ptr<platform::FullScreenWindow> m_fullScreen;
    platform::ControlState m_controlState;
    std::unique_ptr<platform::ControlService> m_control;
    // Last, so that it goes first: its waiting thread stops before anything it may reach.
    std::unique_ptr<UpdateChecks> m_updates;
    bool m_updatesTried = false;
    std::function<void(const QByteArray&)> m_restart;
    QTimer* m_restartTimer = nullptr;
    bool m_checkAfterRestart = false;
};
