// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/PealixController.h"

#include "platform/audio/Sound.h"
#include "platform/control/ControlService.h"
#include "platform/core/Log.h"
#include "platform/desktop/DoNotDisturb.h"
#include "platform/desktop/FullScreenWindow.h"
#include "platform/desktop/LockedScreen.h"
#include "platform/desktop/MicrophoneUse.h"
#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/time/Timer.h"
#include "platform/update/UpdateExchange.h"
#include "platform/workspace/Workspace.h"
#include "shared/ChimeSets.h"
#include "shared/PrefKeys.h"
#include "shared/Settings.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <algorithm>

namespace {

Q_LOGGING_CATEGORY(lcAgentPrefs, "pealix.agent.prefs", QtWarningMsg)

// Reads start at most this often during a burst of notifications.
constexpr qint64 minReadIntervalMs = 100;
constexpr qint64 firstRetryMs = 100;
constexpr int maxUnparseableRetries = 5;
// The longest the main thread waits for a read; a file system that hangs longer is read on regardless.
constexpr int readWaitMs = 1000;

using Settings::isQuarter;

// Long enough for a suspended or wireless sink to wake before the first note.
constexpr auto kOutputAwakeAhead = std::chrono::seconds(2);

// The first quarter strictly after `after`, on the local wall clock.
platform::TimePoint nextQuarterAfter(platform::TimePoint after)
{
    platform::CalendarDate next = platform::localFields(after + std::chrono::minutes(1));
    next.second = 0;
    next.minute = next.minute / 15 * 15 + (next.minute % 15 ? 15 : 0);
    platform::TimePoint t = platform::fromLocalFields(next);
    while (t <= after)
        t += std::chrono::minutes(15);
    return t;
}

} // namespace

PealixController::PealixController(platform::Bundle agentBundle, QStringList arguments,
                                   platform::Clock& clock, QObject* parent)
    : QObject(parent), m_bundle(std::move(agentBundle)), m_arguments(std::move(arguments)), m_clock(clock),
      m_reader(new platform::PreferencesReader(PrefKeys::domain, this))
{
    loadInterface();
    m_exclusion = std::make_unique<ExclusionWatcher>();
    connect(m_exclusion.get(), &ExclusionWatcher::changed, this, &PealixController::stopStartChimes);
    m_pause = std::make_unique<ChimePause>(m_clock);
    connect(m_pause.get(), &ChimePause::changed, this, &PealixController::stopStartChimes);
    // Every read of the settings may change what the next quarter plays.
    connect(this, &PealixController::prefsRead, this, &PealixController::armOutputWakeUp);
    connect(this, &PealixController::prefsRead, this, &PealixController::refreshStatus);
}

PealixController::~PealixController() = default;

UpdateChecks* PealixController::updates()
{
    // The updater's windows need a screen.
    if (!m_updatesTried && ControlMenu::available()) {
        m_updatesTried = true;
        m_updates = UpdateChecks::load(m_bundle, this);
    }
    return m_updates.get();
}

void PealixController::awakeFromNib()
{
    if (m_arguments.contains(QStringLiteral("-u"))) {
        if (UpdateChecks* checks = updates())
            checks->startUpdateOnly();
        else
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                      Qt::QueuedConnection);
        return;
    }

    // Loaded only where quiet checks can happen; a check asked for later loads it then.
    if (platform::update::automaticChecksPossible(m_bundle.infoDictionary())) {
        if (UpdateChecks* checks = updates())
            checks->scheduleDailyCheck();
    }

    m_control = std::make_unique<platform::ControlService>(
        platform::ControlService::Handlers{[this](quint32 seconds) { pauseChimes(seconds); },
                                           [this] { resumeChimes(); }, [this] { chimeNow(); }});
    m_control->publish(PrefKeys::agentObjectPath);

    chimeLock.unlock();
    chimesetDict = ChimeSets::discover(m_bundle);
    suspended = false;
    playlist.clear();

    // Observed before the first read, which may be slow, so that a save during it is read afterwards.
    platform::DistributedNotificationCenter::defaultCenter()->addObserver(
        this, PrefKeys::prefsUpdateNotification,
        [this](const QString& name) { prefsUpdateNotificationHandler(name); });
    platform::DistributedNotificationCenter::defaultCenter()->addObserver(
        this, PrefKeys::updateCheckNotification, [this](const QString& name) { updateCheckRequested(name); });

    // A hand edit or a tool that posts nothing is read too.
    connect(m_reader, &platform::PreferencesReader::fileChanged, this,
            [this] { prefsUpdateNotificationHandler(QString()); });
    connect(m_reader, &platform::PreferencesReader::finished, this, &PealixController::applyPrefs);
    readPrefs();
    // A read that has not answered yet leaves the defaults, which still watch the desktop.
    followSilenceSources();

    auto* workspace = platform::Workspace::sharedWorkspace();
    connect(workspace, &platform::Workspace::willSleep, this, &PealixController::goToSleep);
    connect(workspace, &platform::Workspace::didWake, this, &PealixController::wakeFromSleep);
    connect(platform::Sound::endNotifier(), &platform::SoundEndNotifier::soundDidEnd, this,
            &PealixController::soundDidEnd);

    chimeTimer = new platform::Timer(
        m_clock, _dateAtNextMinute(), std::chrono::seconds(60),
        [this](platform::Timer* timer) { timerCallBack(timer); }, this);
    // A stepped wall clock would leave every later tick off the minute grid.
    connect(chimeTimer, &platform::Timer::clockStepped, this,
            [this] { chimeTimer->setFireDate(_dateAtNextMinute()); });
}

void PealixController::prefsUpdateNotificationHandler(const QString&)
{
    // A burst of notifications costs at most one read per interval; the read that is pending when
    // the last one arrives comes after it and sees what it announced.
    const qint64 sinceRead = m_sinceRead.isValid() ? m_sinceRead.elapsed() : minReadIntervalMs;
    // Each announcement gets the full round of retries: the file it announced may still be half-written
    // when the retries for an earlier one have run out.
    m_unparseableRetries = 0;
    scheduleRead(std::max<qint64>(0, minReadIntervalMs - sinceRead));
}

void PealixController::scheduleRead(qint64 delayMs)
{
    if (!m_rereadTimer) {
        m_rereadTimer = new QTimer(this);
        m_rereadTimer->setSingleShot(true);
        connect(m_rereadTimer, &QTimer::timeout, this, &PealixController::readPrefs);
    }
    if (!m_rereadTimer->isActive() || m_rereadTimer->remainingTime() > delayMs)
        m_rereadTimer->start(static_cast<int>(delayMs));
}

ChimeRecord PealixController::resolveRecord(const ChimeInfo& stored) const
{
    ChimeRecord resolved;
    resolved.info = stored;
    const QString resources = m_bundle.resourcePath();
    const QString setName = stored.set.value_or(QString());
    const bool hasSet = !setName.isEmpty() && chimesetDict.contains(setName);

    QString strikePath;
    if (hasSet) {
        const QVariantMap set = chimesetDict.value(setName);
        const QString melody = ChimeSets::melodyFile(set, stored.minute);
        // A set without this quarter has no melody; an empty name would open the set directory.
        resolved.melodyPath = melody.isEmpty() ? QString() : ChimeSets::soundPath(resources, setName, melody);
        const QString strike = ChimeSets::strikeFile(set);
        if (!strike.isEmpty())
            strikePath = ChimeSets::soundPath(resources, setName, strike);
    } else {
        resolved.melodyPath = stored.path;
    }

    if (!resolved.melodyPath.isEmpty())
        resolved.chimeSound = platform::Sound::open(resolved.melodyPath);

    if (!hasSet) {
        const QString fallback = ChimeSets::defaultSet(chimesetDict);
        if (!fallback.isEmpty()) {
            const QString strike = ChimeSets::strikeFile(chimesetDict.value(fallback));
            if (!strike.isEmpty())
                strikePath = ChimeSets::soundPath(resources, fallback, strike);
        }
    }
    if (!strikePath.isEmpty()) {
        resolved.strikePath = strikePath;
        resolved.strikeSound = platform::Sound::open(strikePath);
    }
    return resolved;
}

void PealixController::readPrefs()
{
    m_sinceRead.start();
    // Read off the main thread: until a file system that hangs answers, the quarters sound from the
    // settings read last, and a read out already is followed by one more when it ends.
    if (const auto result = m_reader->read(readWaitMs))
        applyPrefs(*result);
    else
        qCDebug(lcAgentPrefs) << "the settings file has not answered yet";
}

void PealixController::applyPrefs(const platform::PreferencesReader::Result& result)
{
    // A file that does not parse keeps the settings read last: a hand edit with a typo silences
    // nothing, and a tool writing in place may be half-way through, so it is read again a few times,
    // backing off, besides at every change of the file and every notification.
    if (result.status == platform::PreferencesReader::Status::unusable) {
        if (m_unparseableRetries < maxUnparseableRetries)
            scheduleRead(firstRetryMs << m_unparseableRetries++);
        qCDebug(lcAgentPrefs) << "settings read: file unusable, kept volume" << chimeVolume << "quarters"
                              << chimePrefs.size() << "enabled" << m_chimingEnabled << "excluded"
                              << m_exclusion->excludedCount();
        emit prefsRead();
        return;
    }
    m_unparseableRetries = 0;

    const Settings::Values values = Settings::read(result.values, Settings::Reader::agent);

    // The old table stays alive until the new one is built, so unchanged files reuse their decoded data.
    // A later record with an equal minute replaces an earlier one, so only the last of each quarter needs
    // its sounds; other minutes are never chimed.
    QMap<qint64, ChimeRecord> schedule;
    const QMap<qint64, ChimeInfo> lastForQuarter = Settings::lastPerQuarter(values.chimeInfo);
    for (auto it = lastForQuarter.cbegin(); it != lastForQuarter.cend(); ++it)
        schedule.insert(it.key(), resolveRecord(it.value()));
    chimePrefs.swap(schedule);
    schedule.clear();

    chimeVolume = values.chimeVolume;
    m_quietHours = values.quietHours;
    m_quietVolume = values.quietVolume;
    const bool silenceOptionsChanged = !(m_silenceOptions == values.silence);
    m_silenceOptions = values.silence;
    followSilenceSources();
    // An absent volume is the default of the next chime; the one that plays keeps the volume it has.
    if (values.chimeVolumeStored)
        setCurrentSoundVolume();
    if (m_statusMenu)
        m_statusMenu->applyMenuActive(values.pealixMenuActive);
    else if (values.pealixMenuActive.value_or(false))
        restartWithScreen(false);
    if (values.pealixActive)
        m_chimingEnabled = *values.pealixActive;
    // Announces the change, which stops or starts the chimes.
    m_exclusion->setExcluded(values.excluded);
    // A cause that holds now and was not followed before silences a chime that is playing.
    if (silenceOptionsChanged)
        stopStartChimes();

    qCDebug(lcAgentPrefs) << "settings read: volume" << chimeVolume << "quarters" << chimePrefs.size()
                          << "enabled" << m_chimingEnabled << "excluded" << m_exclusion->excludedCount();
    emit prefsRead();
}

void PealixController::setCurrentSoundVolume()
{
    if (currentSound)
        currentSound->setVolume(static_cast<float>(m_playingQuietly ? m_quietVolume : chimeVolume) / 100.0f);
}

platform::TimePoint PealixController::_dateAtNextMinute() const
{
    platform::CalendarDate next = platform::localFields(m_clock.now() + std::chrono::minutes(1));
    next.second = 0;
    return platform::fromLocalFields(next);
}

void PealixController::timerCallBack(platform::Timer* timer)
{
    // Each minute, so that the next chime and the end of quiet hours read right.
    refreshStatus();
    if (isSilenced())
        return;
    if (!m_chimingEnabled)
        return;
    // The scheduled instant, not the delivery: a late tick still counts for its minute.
    const platform::TimePoint due = platform::roundedToSecond(timer->fireDate());
    const platform::CalendarDate date = platform::localFields(due);
    if (date.second != 0)
        timer->setFireDate(_dateAtNextMinute());
    // Decided as the quarter falls, in the zone in force then; a chime already playing plays out.
    const bool quiet = isQuarter(date.minute) && NextChime::isQuiet(m_quietHours, due);
    if (quiet && m_quietVolume <= 0)
        return;
    if (!chimeLock.tryLock())
        return;
    m_playingQuietly = quiet;
    queueQuarter(date);
}

void PealixController::queueQuarter(const platform::CalendarDate& date)
{
    const int strikes = date.hour % 12 == 0 ? 12 : date.hour % 12;
    if (isQuarter(date.minute) && chimePrefs.contains(date.minute)) {
        const ChimeRecord& quarter = chimePrefs[date.minute];
        // A sound still loading is left out like one that did not load.
        if (quarter.info.chime && quarter.chimeSound && quarter.chimeSound->hasAudio())
            playlist.append(quarter.chimeSound);
        if (quarter.info.strike && quarter.strikeSound && quarter.strikeSound->hasAudio()) {
            for (int i = 0; i < strikes; ++i)
                playlist.append(quarter.strikeSound);
        }
    }
    if (!playlist.isEmpty())
        playNextSound();
    else
        chimeLock.unlock();
}

void PealixController::chimeNow()
{
    if (!chimeLock.tryLock())
        return;
    platform::CalendarDate date = platform::localFields(m_clock.now());
    date.minute = date.minute / 15 * 15;
    m_playingQuietly = false;
    queueQuarter(date);
}

void PealixController::armOutputWakeUp()
{
    if (!m_outputWakeUp)
        m_outputWakeUp = m_clock.createWakeUp([this] { outputWakeUpDue(); }, [this] { armOutputWakeUp(); });
    m_outputWakeUp->arm(nextQuarterAfter(m_clock.now() + kOutputAwakeAhead) - kOutputAwakeAhead);
}

void PealixController::outputWakeUpDue()
{
    const platform::TimePoint quarter = nextQuarterAfter(m_clock.now());
    const platform::CalendarDate date = platform::localFields(quarter);
    bool sounds = false;
    const bool silentQuiet = m_quietVolume <= 0 && NextChime::isQuiet(m_quietHours, quarter);
    if (!isSilenced() && !silentQuiet && m_chimingEnabled && chimePrefs.contains(date.minute)) {
        const ChimeRecord& record = chimePrefs[date.minute];
        const auto loaded = [](const std::shared_ptr<platform::Sound>& s) { return s && s->hasAudio(); };
        sounds = (record.info.chime && loaded(record.chimeSound)) ||
                 (record.info.strike && loaded(record.strikeSound));
    }
    if (sounds)
        platform::Sound::prepareOutput(
            //: The sound stream's name in the sound settings' list of what plays; %1:%2 is the hour and
            //: minute.
            tr("Chime at %1:%2").arg(date.hour).arg(date.minute, 2, 10, QLatin1Char('0')));
    armOutputWakeUp();
}

void PealixController::goToSleep()
{
    playlist.clear();
    setCurrentSound(nullptr);
    chimeLock.tryLock();
}

void PealixController::wakeFromSleep()
{
    if (chimeTimer)
        chimeTimer->setFireDate(_dateAtNextMinute());
    chimeLock.unlock();
}

void PealixController::playNextSound()
{
    if (!playlist.isEmpty()) {
        setCurrentSound(playlist.first());
        playlist.removeFirst();
        // Set before play: the output starts a sound at the level it has, so a volume applied after it
        // would let the first samples through at the previous (or full) level.
        setCurrentSoundVolume();
        currentSound->play();
    } else {
        setCurrentSound(nullptr);
        chimeLock.unlock();
    }
}

void PealixController::soundDidEnd()
{
    playNextSound();
}

void PealixController::setCurrentSound(std::shared_ptr<platform::Sound> sound)
{
    // The repeated strike is one object: it must not be stopped between two strokes.
    if (sound == currentSound)
        return;
    // A sound that reached its end is left alone: the output announces the end while its last samples
    // are still queued, and stopping it then would cut them off.
    if (currentSound && currentSound->isPlaying())
        currentSound->stop();
    currentSound = std::move(sound);
}

void PealixController::loadInterface()
{
    m_statusMenu = ControlMenu::make(
        m_bundle.resourcePath(),
        {[this] { suspendResumeChimes(); }, [this](int seconds) { pauseChimes(seconds); },
         [this] { openPealixPrefs(this); }, [this](QAction* item) { return validateMenuItem(item); }});
}

void PealixController::updateCheckRequested(const QString&)
{
    if (!ControlMenu::available()) {
        restartWithScreen(true);
        return;
    }
    if (UpdateChecks* checks = updates())
        checks->checkForUpdatesOverPreferences([] {});
}

void PealixController::restartWithScreen(bool checkForUpdates)
{
    // With a screen already, a restart would not bring the library that failed to load.
    if (!m_restart || ControlMenu::available())
        return;
    m_checkAfterRestart = m_checkAfterRestart || checkForUpdates;
    if (!m_restartTimer) {
        m_restartTimer = new QTimer(this);
        m_restartTimer->setInterval(250);
        connect(m_restartTimer, &QTimer::timeout, this, &PealixController::restartWhenIdle);
        m_restartTimer->start();
        QTimer::singleShot(0, this, &PealixController::restartWhenIdle);
    }
}

void PealixController::restartWhenIdle()
{
    if (!m_restart)
        return;
    // Never over a chime, which the new program would not finish, nor so close to a quarter that the new
    // program's first minute would pass it by.
    constexpr auto clearOfQuarter = std::chrono::seconds(5);
    const platform::TimePoint now = m_clock.now();
    if (chimeLock.isHeld() || !playlist.isEmpty() || (currentSound && currentSound->isPlaying()) ||
        nextQuarterAfter(now) - now < clearOfQuarter)
        return;
    m_restart(carriedState());
    // Still here: the program could not be run again; chime on without a screen.
    platform::log(QStringLiteral("The agent could not restart with a screen; it goes on without its icon"));
    m_restart = nullptr;
    m_restartTimer->stop();
}

QByteArray PealixController::carriedState() const
{
    // Words of our own, read back by restoreCarried in the same program.
    QByteArrayList words{"screen"};
    if (suspended)
        words << "suspended";
    if (m_pause->isActive())
        words << "pause=" + QByteArray::number(qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                          m_pause->until()->time_since_epoch())
                                                          .count()));
    if (m_checkAfterRestart)
        words << "check";
    return words.join(' ');
}

void PealixController::restoreCarried(const QByteArray& carried)
{
    bool check = false;
    for (const QByteArray& word : carried.split(' ')) {
        if (word == "suspended") {
            suspended = true;
        } else if (word == "check") {
            check = true;
        } else if (word.startsWith("pause=")) {
            bool ok = false;
            const qint64 ms = word.mid(6).toLongLong(&ok);
            // A pause whose end has passed ends at once.
            if (ok && ms > 0)
                m_pause->pauseUntil(platform::TimePoint(std::chrono::milliseconds(ms)));
        }
    }
    stopStartChimes();
    if (check)
        updateCheckRequested(QString());
}

PealixController::SilenceCauses PealixController::silenceCauses() const
{
    SilenceCauses causes;
    causes.setFlag(SilenceCause::suspended, suspended);
    causes.setFlag(SilenceCause::excludedApplication, m_exclusion->isExcludedAppRunning());
    causes.setFlag(SilenceCause::paused, m_pause && m_pause->isActive());
    const auto active = [](const auto& source) { return source && source->isActive(); };
    causes.setFlag(SilenceCause::doNotDisturb, m_silenceOptions.doNotDisturb && active(m_doNotDisturb));
    causes.setFlag(SilenceCause::lockedScreen, m_silenceOptions.lockedScreen && active(m_lockedScreen));
    causes.setFlag(SilenceCause::microphone, m_silenceOptions.microphone && active(m_microphone));
    causes.setFlag(SilenceCause::fullScreen, m_silenceOptions.fullScreen && active(m_fullScreen));
    return causes;
}

void PealixController::stopStartChimes()
{
    if (isSilenced()) {
        chimeLock.unlock();
        playlist.clear();
        setCurrentSound(nullptr);
    }
    refreshStatus();
}

void PealixController::suspendResumeChimes(QAction*)
{
    // Resuming over a running excluded application lasts until the next launch or read.
    if (m_pause->isActive())
        m_pause->end();
    else if (m_exclusion->isExcludedAppRunning())
        m_exclusion->forgetRunning();
    else
        suspended = !suspended;
    stopStartChimes();
}

void PealixController::pauseChimes(quint32 seconds)
{
    suspended = seconds == 0;
    if (seconds == 0)
        m_pause->end();
    else
        m_pause->pauseUntil(m_clock.now() + std::chrono::seconds(seconds));
    stopStartChimes();
}

void PealixController::resumeChimes()
{
    suspended = false;
    m_pause->end();
    m_exclusion->forgetRunning();
    stopStartChimes();
}

NextChime::Sounds PealixController::soundsOf(const ChimeRecord& record) const
{
    return {record.info.chime && record.chimeSound != nullptr,
            record.info.strike && record.strikeSound != nullptr};
}

std::optional<NextChime::Plan> PealixController::nextChime() const
{
    const SilenceCauses causes = silenceCauses();
    // Only a pause says when it ends; the other causes last until something changes.
    if (!m_chimingEnabled || (causes & ~SilenceCauses(SilenceCause::paused)))
        return std::nullopt;
    QMap<qint64, NextChime::Sounds> schedule;
    for (auto it = chimePrefs.cbegin(); it != chimePrefs.cend(); ++it)
        schedule.insert(it.key(), soundsOf(it.value()));
    // A quarter that falls as the pause ends is still silent.
    const platform::TimePoint from = m_pause && m_pause->isActive() ? *m_pause->until() : m_clock.now();
    return NextChime::next(schedule, m_quietHours, m_quietVolume, from);
}

QString PealixController::desktopCause(SilenceCauses causes)
{
    if (causes.testFlag(SilenceCause::doNotDisturb))
        return tr("Silent: Do Not Disturb is on");
    if (causes.testFlag(SilenceCause::microphone))
        return tr("Silent: the microphone is in use");
    if (causes.testFlag(SilenceCause::lockedScreen))
        return tr("Silent: the screen is locked");
    if (causes.testFlag(SilenceCause::fullScreen))
        return tr("Silent: a full-screen window is focused");
    return {};
}

void PealixController::followSilenceSources()
{
    // Once awake (tests that never wake the agent watch no desktop), and only what the settings ask
    // for: a source that is off asks the desktop nothing and wakes no one.
    if (!m_control)
        return;
    const auto follow = [this](auto& source, bool wanted) {
        using Source = typename std::remove_reference_t<decltype(source)>::element_type;
        if (wanted == bool(source))
            return;
        if (!wanted) {
            source.reset();
            return;
        }
        source = std::make_unique<Source>();
        connect(source.get(), &platform::SilenceSource::activeChanged, this,
                &PealixController::stopStartChimes);
    };
    follow(m_doNotDisturb, m_silenceOptions.doNotDisturb);
    follow(m_lockedScreen, m_silenceOptions.lockedScreen);
    follow(m_microphone, m_silenceOptions.microphone);
    follow(m_fullScreen, m_silenceOptions.fullScreen);
}

void PealixController::refreshStatus()
{
    const SilenceCauses causes = silenceCauses();
    const platform::TimePoint now = m_clock.now();
    const auto next = nextChime();
    const bool quietNow = m_quietVolume <= 0 && NextChime::isQuiet(m_quietHours, now);
    const auto toSeconds = [](platform::TimePoint t) {
        return qint64(std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count());
    };

    platform::ControlState state;
    state.nextChime = next ? toSeconds(next->when) : 0;
    state.nextChimeDescription = NextChime::describe(next, now);
    QString toolTip;
    if (causes.testFlag(SilenceCause::suspended) || !m_chimingEnabled) {
        state.state = QStringLiteral("suspended");
        state.status = m_chimingEnabled ? tr("Suspended until resumed.")
                                        : tr("Chimes are turned off in the preferences.");
    } else if (causes.testFlag(SilenceCause::paused)) {
        state.state = QStringLiteral("paused");
        state.pausedUntil = toSeconds(*m_pause->until());
        const QString until = NextChime::shortTime(*m_pause->until(), now);
        state.status = tr("Paused until %1.").arg(until);
        toolTip = tr("Chimes are paused until %1").arg(until);
    } else if (causes.testFlag(SilenceCause::excludedApplication)) {
        state.state = QStringLiteral("excluded");
        state.status = tr("Silent: an excluded application is running.");
    } else if (const QString cause = desktopCause(causes); !cause.isEmpty()) {
        // Named by the status; the state stays one of the control interface's five.
        state.state = QStringLiteral("excluded");
        state.status = cause + QLatin1Char('.');
        toolTip = cause;
    } else if (quietNow) {
        state.state = QStringLiteral("quiet");
        const auto end = NextChime::quietUntil(m_quietHours, now);
        const QString until = end ? NextChime::shortTime(*end, now) : QString();
        state.status = end ? tr("Quiet until %1.").arg(until) : tr("Quiet all week.");
        toolTip = end ? tr("Quiet until %1").arg(until) : state.status;
    } else {
        state.state = QStringLiteral("chiming");
        const QString at = next ? NextChime::shortTime(next->when, now) : QString();
        state.status =
            next ? tr("Chiming. Next chime at %1.").arg(at) : tr("Chiming. No chime is scheduled.");
        if (next)
            toolTip = tr("Next chime at %1").arg(at);
    }
    m_controlState = state;
    // The suspension and the excluded applications keep their own silenced tool tip.
    if (m_statusMenu)
        m_statusMenu->applySilencePresentation(causes.toInt() != 0, toolTip);
    if (m_control)
        m_control->setState(state);
}
