#include "platform/Clock.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {

namespace {

using namespace std::chrono;

// Wall-clock and monotonic elapsed times that differ by more than this mean the wall clock jumped (or the
// machine slept, which CLOCK_MONOTONIC does not count). Clock slewing stays far below it.
constexpr auto stepThreshold = seconds(1);
// QTimer takes an int of milliseconds; a longer wait simply wakes once a day and re-arms.
constexpr auto longestWait = hours(24);

class SystemWakeUp final : public Clock::WakeUp {
public:
    SystemWakeUp(std::function<void()> due, std::function<void()> stepped)
        : m_due(std::move(due)), m_stepped(std::move(stepped))
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { onTimeout(); });

        m_stepFd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (m_stepFd >= 0 && armStepFd()) {
            m_stepNotifier = std::make_unique<QSocketNotifier>(m_stepFd, QSocketNotifier::Read);
            QObject::connect(m_stepNotifier.get(), &QSocketNotifier::activated, [this] { onStepFd(); });
        } else {
            closeStepFd();
        }
    }

    ~SystemWakeUp() override
    {
        m_stepNotifier.reset();
        closeStepFd();
    }

    void arm(TimePoint when) override
    {
        m_when = when;
        m_armed = true;
        takeReference();
        schedule();
    }

    void disarm() override
    {
        m_armed = false;
        m_timer.stop();
    }

private:
    void takeReference()
    {
        m_refWall = system_clock::now();
        m_refMono = steady_clock::now();
    }

    bool wallClockJumped() const
    {
        const auto skew = (system_clock::now() - m_refWall) - (steady_clock::now() - m_refMono);
        return skew > stepThreshold || skew < -stepThreshold;
    }

    // QTimer counts monotonic time, so each wait is recomputed from the wall clock and rounded up: the
    // wake-up never comes before its instant.
    void schedule()
    {
        const auto now = system_clock::now();
        milliseconds wait = m_when <= now ? milliseconds(0) : ceil<milliseconds>(m_when - now);
        if (wait > longestWait)
            wait = longestWait;
        m_timer.start(wait);
    }

    void onTimeout()
    {
        if (!m_armed)
            return;
        if (wallClockJumped()) {
            handleStep();
            return;
        }
        if (system_clock::now() < m_when) {
            schedule();
            return;
        }
        m_armed = false;
        m_due();
    }

    void handleStep()
    {
        takeReference();
        if (m_stepped)
            m_stepped();
        if (m_armed)
            schedule();
    }

    bool armStepFd()
    {
        // Any instant far ahead will do: the timer exists only to be cancelled by a clock change.
        itimerspec expiry{};
        ::clock_gettime(CLOCK_REALTIME, &expiry.it_value);
        expiry.it_value.tv_sec += 100LL * 366 * 24 * 3600;
        return ::timerfd_settime(m_stepFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr) ==
               0;
    }

    void onStepFd()
    {
        uint64_t expirations = 0;
        const ssize_t n = ::read(m_stepFd, &expirations, sizeof expirations);
        if (n < 0 && errno == EAGAIN)
            return;
        const bool stepped = n < 0 && errno == ECANCELED;
        // Re-arming is what makes the descriptor stop being readable; without it the notifier would spin.
        if ((n < 0 && !stepped) || !armStepFd()) {
            m_stepNotifier.reset();
            closeStepFd();
        }
        if (stepped)
            handleStep();
    }

    void closeStepFd()
    {
        if (m_stepFd >= 0)
            ::close(m_stepFd);
        m_stepFd = -1;
    }

    std::function<void()> m_due;
    std::function<void()> m_stepped;
    QTimer m_timer;
    int m_stepFd = -1;
    std::unique_ptr<QSocketNotifier> m_stepNotifier;
    TimePoint m_when{};
    bool m_armed = false;
    system_clock::time_point m_refWall{};
    steady_clock::time_point m_refMono{};
};

class SystemClock final : public Clock {
public:
    TimePoint now() const override { return system_clock::now(); }
    std::unique_ptr<WakeUp> createWakeUp(std::function<void()> due, std::function<void()> stepped) override
    {
        return std::make_unique<SystemWakeUp>(std::move(due), std::move(stepped));
    }
};

std::mutex zoneMutex;

struct ZoneFileStamp {
    bool present = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    ino_t linkIno = 0;
    timespec linkMtime{};

    bool operator==(const ZoneFileStamp& o) const
    {
        return present == o.present && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec && linkIno == o.linkIno &&
               linkMtime.tv_sec == o.linkMtime.tv_sec && linkMtime.tv_nsec == o.linkMtime.tv_nsec;
    }
};

ZoneFileStamp zoneFileStamp()
{
    ZoneFileStamp stamp;
    struct stat target {};
    struct stat link {};
    if (::stat("/etc/localtime", &target) == 0) {
        stamp.present = true;
        stamp.dev = target.st_dev;
        stamp.ino = target.st_ino;
        stamp.size = target.st_size;
        stamp.mtime = target.st_mtim;
    }
    if (::lstat("/etc/localtime", &link) == 0) {
        stamp.linkIno = link.st_ino;
        stamp.linkMtime = link.st_mtim;
    }
    return stamp;
}

// glibc's tzset() reloads only when the TZ string differs from last time, so a replaced /etc/localtime
// would go unnoticed with TZ unset. Switching TZ between two spellings of that same file forces a reload.
void refreshZoneLocked()
{
    static bool stamped = false;
    static ZoneFileStamp last;
    const char* tz = std::getenv("TZ");
    const bool fromFile =
        !tz || std::strcmp(tz, "/etc/localtime") == 0 || std::strcmp(tz, ":/etc/localtime") == 0;
    if (fromFile) {
        const ZoneFileStamp now = zoneFileStamp();
        if (stamped && !(now == last))
            ::setenv("TZ", tz && tz[0] == ':' ? "/etc/localtime" : ":/etc/localtime", 1);
        last = now;
        stamped = true;
    }
    ::tzset();
}

constexpr long long maxSeconds = duration_cast<seconds>(TimePoint::duration::max()).count();
constexpr long long minSeconds = duration_cast<seconds>(TimePoint::duration::min()).count() + 1;

TimePoint fromTimeT(long long t)
{
    if (t > maxSeconds)
        return TimePoint::max();
    if (t < minSeconds)
        return TimePoint::min();
    return TimePoint(seconds(t));
}

bool sameFields(const std::tm& a, const std::tm& b)
{
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
           a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
}

struct Made {
    bool ok = false;
    std::time_t t = 0;
    std::tm local{};
};

Made makeLocked(int year, int month, int day, int hour, int minute, int second, int isDst)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = isDst;
    tm.tm_wday = -1; // mktime's only reliable failure sign: -1 is also a valid result
    Made made;
    made.t = std::mktime(&tm);
    if (tm.tm_wday == -1)
        return made;
    made.ok = localtime_r(&made.t, &made.local) != nullptr;
    return made;
}

} // namespace

Clock& Clock::system()
{
    static SystemClock* clock =
        new SystemClock; // never destroyed: Timers may outlive static destruction order
    return *clock;
}

CalendarDate localFields(TimePoint instant)
{
    const std::time_t t = static_cast<std::time_t>(floor<seconds>(instant.time_since_epoch()).count());
    std::tm tm{};
    {
        std::lock_guard lock(zoneMutex);
        refreshZoneLocked();
        if (!localtime_r(&t, &tm))
            return {};
    }
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_isdst};
}

TimePoint fromLocalFields(int year, int month, int day, int hour, int minute, int second, int isDst)
{
    // Keeps tm_year from overflowing; such years are far outside TimePoint anyway.
    if (year > 100000000)
        return TimePoint::max();
    if (year < -100000000)
        return TimePoint::min();

    std::lock_guard lock(zoneMutex);
    refreshZoneLocked();
    const Made any = makeLocked(year, month, day, hour, minute, second, -1);
    if (!any.ok)
        return year > 1970 ? TimePoint::max() : TimePoint::min();

    // The wall time occurs twice when reading it as standard and as summer time gives two instants that
    // both show these fields with the flag they were read with.
    const Made standard = makeLocked(year, month, day, hour, minute, second, 0);
    const Made summer = makeLocked(year, month, day, hour, minute, second, 1);
    const bool repeated = standard.ok && summer.ok && standard.t != summer.t &&
                          standard.local.tm_isdst == 0 && summer.local.tm_isdst == 1 &&
                          sameFields(standard.local, summer.local);
    if (!repeated)
        return fromTimeT(any.t);
    if (isDst == 0)
        return fromTimeT(standard.t);
    if (isDst > 0)
        return fromTimeT(summer.t);
    return fromTimeT(std::min(standard.t, summer.t));
}

TimePoint fromLocalFields(const CalendarDate& date)
{
    return fromLocalFields(date.year, date.month, date.day, date.hour, date.minute, date.second, date.isDst);
}

TimePoint roundedToSecond(TimePoint instant)
{
    const auto d = instant.time_since_epoch();
    const bool negative = d < TimePoint::duration::zero();
    if (d == TimePoint::duration::min())
        return instant;
    const auto magnitude = negative ? -d : d;
    auto whole = floor<seconds>(magnitude);
    if ((magnitude - whole) * 2 >= seconds(1) && whole < floor<seconds>(TimePoint::duration::max()))
        whole += seconds(1);
    const auto rounded = duration_cast<TimePoint::duration>(whole);
    return TimePoint(negative ? -rounded : rounded);
}

} // namespace platform
