// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/time/Clock.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <glib.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <vector>

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

// The zone in force: TZ when set, else /etc/localtime. TZ is only ever read: setenv() and tzset() are
// unsafe in a process with other threads. The zone's file is looked at before each conversion, so a
// replaced file (timedated swaps the /etc/localtime link) is in force from the next conversion on.
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

ZoneFileStamp zoneFileStamp(const std::string& path)
{
    ZoneFileStamp stamp;
    struct stat target {};
    struct stat link {};
    if (::stat(path.c_str(), &target) == 0) {
        stamp.present = true;
        stamp.dev = target.st_dev;
        stamp.ino = target.st_ino;
        stamp.size = target.st_size;
        stamp.mtime = target.st_mtim;
    }
    if (::lstat(path.c_str(), &link) == 0) {
        stamp.linkIno = link.st_ino;
        stamp.linkMtime = link.st_mtim;
    }
    return stamp;
}

// The file a TZ value names, as libc reads it; a rule string ("CET-1CEST,M3.5.0,M10.5.0/3") names none
// that exists, so it never changes.
std::string zoneFilePath(std::string tz)
{
    if (!tz.empty() && tz[0] == ':')
        tz.erase(0, 1);
    if (tz.empty())
        return "/etc/localtime";
    if (tz[0] == '/')
        return tz;
    const char* dir = std::getenv("TZDIR");
    return std::string(dir && *dir ? dir : "/usr/share/zoneinfo") + '/' + tz;
}

struct ZoneRef {
    GTimeZone* tz = nullptr;
    explicit ZoneRef(GTimeZone* z) : tz(z) {}
    ~ZoneRef() { g_time_zone_unref(tz); }
    ZoneRef(const ZoneRef&) = delete;
    ZoneRef& operator=(const ZoneRef&) = delete;
};

ZoneRef localZone()
{
    static std::mutex mutex;
    static GTimeZone* zone = nullptr;
    static std::string lastTz;
    static bool hadTz = false;
    static ZoneFileStamp lastStamp;

    std::lock_guard lock(mutex);
    const char* env = std::getenv("TZ");
    const std::string tz = env ? env : "";
    const std::string path = zoneFilePath(tz);
    const ZoneFileStamp stamp = zoneFileStamp(path);
    if (!zone || hadTz != (env != nullptr) || tz != lastTz || !(stamp == lastStamp)) {
        // GLib shares zones by identifier while they are referenced: the old one must go first, or the
        // replaced file would not be read again.
        if (zone)
            g_time_zone_unref(zone);
        zone = g_time_zone_new_identifier(env && *env ? env : "/etc/localtime");
        if (!zone)
            zone = g_time_zone_new_utc(); // what libc does with a zone it cannot read
        hadTz = env != nullptr;
        lastTz = tz;
        lastStamp = stamp;
    }
    return ZoneRef(g_time_zone_ref(zone));
}

int32_t offsetAt(GTimeZone* tz, gint64 utc)
{
    const int interval = g_time_zone_find_interval(tz, G_TIME_TYPE_UNIVERSAL, utc);
    return interval < 0 ? 0 : g_time_zone_get_offset(tz, interval);
}

bool isDstAt(GTimeZone* tz, gint64 utc)
{
    const int interval = g_time_zone_find_interval(tz, G_TIME_TYPE_UNIVERSAL, utc);
    return interval >= 0 && g_time_zone_is_dst(tz, interval);
}

constexpr long long maxSeconds = duration_cast<seconds>(TimePoint::duration::max()).count();
constexpr long long minSeconds = duration_cast<seconds>(TimePoint::duration::min()).count() + 1;

TimePoint fromSeconds(long long t)
{
    if (t > maxSeconds)
        return TimePoint::max();
    if (t < minSeconds)
        return TimePoint::min();
    return TimePoint(seconds(t));
}

long long floorDiv(long long a, long long b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
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
    const long long utc = floor<seconds>(instant.time_since_epoch()).count();
    const ZoneRef zone = localZone();
    const sys_seconds local{seconds(utc + offsetAt(zone.tz, utc))};
    const sys_days day = floor<days>(local);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> time{local - day};
    return {int(ymd.year()),
            int(unsigned(ymd.month())),
            int(unsigned(ymd.day())),
            int(time.hours().count()),
            int(time.minutes().count()),
            int(time.seconds().count()),
            isDstAt(zone.tz, utc) ? 1 : 0};
}

TimePoint fromLocalFields(int year, int month, int day, int hour, int minute, int second, int isDst)
{
    // Months carry into years first; the calendar types then cover every year TimePoint can reach.
    const long long y = year + floorDiv(month - 1LL, 12);
    const long long m = month - 1LL - floorDiv(month - 1LL, 12) * 12;
    if (y > 30000)
        return TimePoint::max();
    if (y < -30000)
        return TimePoint::min();
    const sys_days first =
        year_month_day{std::chrono::year(int(y)), std::chrono::month(unsigned(m + 1)), std::chrono::day(1)};
    const long long local =
        (first.time_since_epoch().count() + (day - 1LL)) * 86400 + hour * 3600LL + minute * 60LL + second;

    const ZoneRef zone = localZone();
    // The instants that show this wall time: one, two in the hour repeated when summer time ends, none in
    // the hour skipped when it starts. Zone offsets change at most once around any day.
    const long long offsets[] = {offsetAt(zone.tz, local - 86400), offsetAt(zone.tz, local),
                                 offsetAt(zone.tz, local + 86400)};
    std::vector<long long> found;
    for (long long offset : offsets) {
        const long long candidate = local - offset;
        if (candidate + offsetAt(zone.tz, candidate) == local &&
            std::find(found.begin(), found.end(), candidate) == found.end())
            found.push_back(candidate);
    }
    if (found.empty()) // skipped: read with the offset before the gap, which moves it forward by the gap
        return fromSeconds(local - offsets[0]);
    std::sort(found.begin(), found.end());
    if (found.size() > 1 && isDst >= 0) {
        for (long long candidate : found)
            if (isDstAt(zone.tz, candidate) == (isDst > 0))
                return fromSeconds(candidate);
    }
    return fromSeconds(found.front());
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
