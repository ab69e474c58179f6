#include "agent/PealixController.h"

#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/audio/Sound.h"
#include "platform/ui/StatusItem.h"
#include "platform/time/Timer.h"
#include "platform/workspace/Workspace.h"
#include "shared/ChimeSets.h"
#include "shared/PrefKeys.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

Q_LOGGING_CATEGORY(lcAgentPrefs, "pealix.agent.prefs", QtWarningMsg)

// Reads start at most this often during a burst of notifications.
constexpr qint64 minReadIntervalMs = 100;
constexpr qint64 firstRetryMs = 100;
constexpr int maxUnparseableRetries = 5;

const qint64 quarters[] = {0, 15, 30, 45};

bool isQuarter(qint64 minute)
{
    return minute == 0 || minute == 15 || minute == 30 || minute == 45;
}

// A stored minute that is a whole number; text, booleans and fractions have no place in the schedule.
std::optional<qint64> wholeMinute(const QVariant& value)
{
    const auto number = ChimeSets::numberValue(value);
    // Checked before the conversion, which is undefined for NaN and for values outside qint64.
    if (!number || !(std::fabs(*number) < 0x1p62) || std::floor(*number) != *number)
        return std::nullopt;
    return static_cast<qint64>(*number);
}

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

int clampedVolume(double value)
{
    if (!(value == value))
        return PrefKeys::defaultVolume;
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    return static_cast<int>(value < lo ? lo : value > hi ? hi : value);
}

} // namespace

PealixController::PealixController(platform::Bundle agentBundle, QStringList arguments,
                                   platform::Clock& clock, QObject* parent)
    : QObject(parent), m_bundle(std::move(agentBundle)), m_arguments(std::move(arguments)), m_clock(clock),
      m_prefs(PrefKeys::domain)
{
    loadInterface();
    // Every read of the settings may change what the next quarter plays.
    connect(this, &PealixController::prefsRead, this, &PealixController::armOutputWakeUp);
}

PealixController::~PealixController()
{
    delete controlMenuStatusItem;
    delete controlMenu;
}

void PealixController::awakeFromNib()
{
    if (m_arguments.contains(QStringLiteral("-u"))) {
        m_updateOnly = true;
        // Nothing chimes in this mode; the update check comes with the updater.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return;
    }

    chimeLock.unlock();
    chimesetDict = ChimeSets::discover(m_bundle);
    suspended = false;
    excludedAppRunning = false;
    playlist.clear();

    // Observed before the first read, which may be slow, so that a save during it is read afterwards.
    platform::DistributedNotificationCenter::defaultCenter()->addObserver(
        this, PrefKeys::prefsUpdateNotification,
        [this](const QString& name) { prefsUpdateNotificationHandler(name); });

    readPrefs();

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

ChimeRecord PealixController::resolveRecord(const QVariantMap& stored) const
{
    ChimeRecord resolved;
    resolved.record = stored;
    const QString resources = m_bundle.resourcePath();
    const QVariant setValue = stored.value(PrefKeys::set);
    const QString setName = setValue.typeId() == QMetaType::QString ? setValue.toString() : QString();
    const bool hasSet = !setName.isEmpty() && chimesetDict.contains(setName);

    QString melodyPath;
    QString strikePath;
    if (hasSet) {
        const QVariantMap set = chimesetDict.value(setName);
        const QString melody = ChimeSets::melodyFile(set, stored.value(PrefKeys::minute));
        // A set without this quarter has no melody; an empty name would open the set directory.
        melodyPath = melody.isEmpty() ? QString() : ChimeSets::soundPath(resources, setName, melody);
        resolved.record.insert(PrefKeys::path, melodyPath);
        const QString strike = ChimeSets::strikeFile(set);
        if (!strike.isEmpty())
            strikePath = ChimeSets::soundPath(resources, setName, strike);
    } else {
        const QVariant path = stored.value(PrefKeys::path);
        melodyPath = path.typeId() == QMetaType::QString ? path.toString() : QString();
    }

    if (!melodyPath.isEmpty())
        resolved.chimeSound = platform::Sound::open(melodyPath);

    if (!hasSet) {
        const QString fallback = ChimeSets::defaultSet(chimesetDict);
        if (!fallback.isEmpty()) {
            const QString strike = ChimeSets::strikeFile(chimesetDict.value(fallback));
            if (!strike.isEmpty())
                strikePath = ChimeSets::soundPath(resources, fallback, strike);
        }
    }
    if (!strikePath.isEmpty()) {
        resolved.record.insert(PrefKeys::strikePath, strikePath);
        resolved.strikeSound = platform::Sound::open(strikePath);
    }
    return resolved;
}

void PealixController::readPrefs()
{
    m_sinceRead.start();
    m_prefs.synchronize();
    // A file that does not parse may be half-written by a tool writing in place: it reads as empty
    // now and is read again a few times, backing off, until it parses.
    if (m_prefs.lastReadStatus() == platform::Preferences::ReadStatus::unparseable) {
        if (m_unparseableRetries < maxUnparseableRetries)
            scheduleRead(firstRetryMs << m_unparseableRetries++);
    } else {
        m_unparseableRetries = 0;
    }

    // The old table stays alive until the new one is built, so unchanged files reuse their decoded data.
    QMap<qint64, ChimeRecord> schedule;
    const QVariant info = m_prefs.copyValue(PrefKeys::chimeInfo);
    if (info.typeId() == QMetaType::QVariantList) {
        // A later record with an equal minute replaces an earlier one, so only the last of each
        // quarter needs its sounds; other minutes are never chimed.
        QMap<qint64, QVariantMap> lastForQuarter;
        for (const QVariant& element : info.toList()) {
            if (element.typeId() != QMetaType::QVariantMap)
                continue;
            const QVariantMap stored = element.toMap();
            const auto minute = wholeMinute(stored.value(PrefKeys::minute));
            if (minute && isQuarter(*minute))
                lastForQuarter.insert(*minute, stored);
        }
        for (qint64 minute : quarters) {
            if (lastForQuarter.contains(minute))
                schedule.insert(minute, resolveRecord(lastForQuarter.value(minute)));
        }
    }
    chimePrefs.swap(schedule);
    schedule.clear();

    const QVariant volume = m_prefs.copyValue(PrefKeys::chimeVolume);
    if (const auto number = ChimeSets::numberValue(volume)) {
        chimeVolume = clampedVolume(*number);
        setCurrentSoundVolume();
    } else {
        chimeVolume = PrefKeys::defaultVolume;
    }

    applyMenuActive(m_prefs.copyValue(PrefKeys::pealixMenuActive));

    const QVariant active = m_prefs.copyValue(PrefKeys::pealixActive);
    if (active.typeId() == QMetaType::Bool || ChimeSets::numberValue(active))
        m_chimingEnabled = active.toBool();

    rebuildExclusion(m_prefs.copyValue(PrefKeys::excluded));

    qCDebug(lcAgentPrefs) << "settings read: volume" << chimeVolume << "quarters" << chimePrefs.size()
                          << "enabled" << m_chimingEnabled << "excluded" << m_excludedIdentifiers.size();
    emit prefsRead();
}

void PealixController::setCurrentSoundVolume()
{
    if (currentSound)
        currentSound->setVolume(static_cast<float>(chimeVolume) / 100.0f);
}

platform::TimePoint PealixController::_dateAtNextMinute() const
{
    platform::CalendarDate next = platform::localFields(m_clock.now() + std::chrono::minutes(1));
    next.second = 0;
    return platform::fromLocalFields(next);
}

void PealixController::timerCallBack(platform::Timer* timer)
{
    if (suspended || excludedAppRunning)
        return;
    if (!m_chimingEnabled)
        return;
    if (!chimeLock.tryLock())
        return;

    // The scheduled instant, not the delivery: a late tick still counts for its minute.
    const platform::CalendarDate date = platform::localFields(platform::roundedToSecond(timer->fireDate()));
    const int strikes = date.hour % 12 == 0 ? 12 : date.hour % 12;
    if (isQuarter(date.minute) && chimePrefs.contains(date.minute)) {
        const ChimeRecord& quarter = chimePrefs[date.minute];
        // A sound still loading is left out like one that did not load.
        if (quarter.record.value(PrefKeys::chime).toBool() && quarter.chimeSound &&
            quarter.chimeSound->hasAudio())
            playlist.append(quarter.chimeSound);
        if (quarter.record.value(PrefKeys::strike).toBool() && quarter.strikeSound &&
            quarter.strikeSound->hasAudio()) {
            for (int i = 0; i < strikes; ++i)
                playlist.append(quarter.strikeSound);
        }
    }
    if (!playlist.isEmpty())
        playNextSound();
    else
        chimeLock.unlock();

    if (date.second != 0)
        timer->setFireDate(_dateAtNextMinute());
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
    if (!suspended && !excludedAppRunning && m_chimingEnabled && chimePrefs.contains(date.minute)) {
        const ChimeRecord& record = chimePrefs[date.minute];
        const auto loaded = [](const std::shared_ptr<platform::Sound>& s) { return s && s->hasAudio(); };
        sounds = (record.record.value(PrefKeys::chime).toBool() && loaded(record.chimeSound)) ||
                 (record.record.value(PrefKeys::strike).toBool() && loaded(record.strikeSound));
    }
    if (sounds)
        platform::Sound::prepareOutput(
            QStringLiteral("Chime at %1:%2").arg(date.hour).arg(date.minute, 2, 10, QLatin1Char('0')));
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
