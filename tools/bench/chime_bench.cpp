// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Measures the agent's chime path on real time: onset from the scheduled quarter instant to the first
// sounding sample at the sink, the seams of a sequence, and how fast sleep silences a playing sound.
//
// The controller runs on the system clock shifted so that a quarter is 1.5 s away; its timer waits in real
// time. A pass-through element in the recording sink stamps the wall-clock time of sounding buffers.
//   chime_bench [rounds]

#include "SoundingProbe.h"
#include "agent/PealixController.h"
#include "platform/audio/Sound.h"
#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "platform/time/Timer.h"
#include "shared/PrefKeys.h"
#include "testsupport/RecordingSink.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <gst/gst.h>
#include <vector>

using namespace std::chrono;

namespace {

// The system clock seen through an offset; wake-ups are the system's, armed at the matching real instant.
class OffsetClock final : public platform::Clock {
public:
    platform::TimePoint now() const override { return system_clock::now() + offset; }
    std::unique_ptr<WakeUp> createWakeUp(std::function<void()> due, std::function<void()> stepped) override
    {
        return std::make_unique<Shifted>(
            this, platform::Clock::system().createWakeUp(std::move(due), std::move(stepped)));
    }
    system_clock::duration offset{};

private:
    class Shifted final : public WakeUp {
    public:
        Shifted(OffsetClock* clock, std::unique_ptr<WakeUp> inner) : m_clock(clock), m_inner(std::move(inner))
        {
        }
        void arm(platform::TimePoint when) override { m_inner->arm(when - m_clock->offset); }
        void disarm() override { m_inner->disarm(); }

    private:
        OffsetClock* m_clock;
        std::unique_ptr<WakeUp> m_inner;
    };
};

void spin(int ms)
{
    bench::spinUntil([] { return false; }, ms);
}

void printStats(const char* what, std::vector<double> v)
{
    if (v.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("%-44s median %7.2f ms  min %7.2f  max %7.2f  (n=%zu)\n", what, v[v.size() / 2], v.front(),
                v.back(), v.size());
}

constexpr double melodyMs = 300, strikeToneMs = 100, strikeMs = 160;

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    gst_init(&argc, &argv);
    bench::registerSoundingProbe();
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 12;

    // A bundle with one set: melodies without a tail, a strike of 100 ms tone and 60 ms pause.
    const QString setDir = home.path() + "/PealixTool.app/Contents/Resources/Chimes.pealix";
    QDir().mkpath(setDir);
    QVariantList chimes, records;
    for (int m : {0, 15, 30, 45}) {
        const QString file = QStringLiteral("q%1.wav").arg(m);
        writeTone(setDir + '/' + file, 440 + m, melodyMs / 1000, 0.5);
        chimes << QVariantMap{{"minute", qint64(m)}, {"file", file}};
        records << QVariantMap{{"minute", qint64(m)},
                               {"chime", true},
                               {"strike", true},
                               {"set", "Chimes"},
                               {"path", PrefKeys::blankPath}};
    }
    writeShape(setDir + "/tone.wav", 1000, strikeToneMs, strikeMs - strikeToneMs);
    QFile plist(setDir + "/chimeset.plist");
    plist.open(QIODevice::WriteOnly);
    plist.write(platform::PropertyList::toXml(QVariantMap{{"chimes", chimes}, {"single chime", "tone.wav"}}));
    plist.close();
    {
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::chimeInfo, records);
        prefs.setValue(PrefKeys::chimeVolume, qint64(100));
        prefs.setValue(PrefKeys::pealixActive, true);
        prefs.synchronize();
    }

    OffsetClock clock;
    PealixController controller(platform::Bundle(home.path() + "/PealixTool.app"), {"chime_bench"}, clock);
    controller.awakeFromNib();

    std::vector<double> onset, seam, strikeToStrike, stopLatency;
    RecordingSink recording(300);
    const QByteArray sink =
        "audioconvert ! audio/x-raw,format=S16LE ! benchprobe ! wavenc ! filesink location=\"" +
        QFile::encodeName(recording.path()) + "\"";
    qputenv("PEALIX_AUDIO_SINK", sink);

    // Quarters of one day in turn, each 1.5 s ahead of the shifted clock.
    const platform::TimePoint day = platform::fromLocalFields(2026, 12, 7, 0, 0, 0);
    auto aimAt = [&](platform::TimePoint quarter) {
        clock.offset = quarter - (system_clock::now() + milliseconds(1500));
        controller.timer()->setFireDate(controller._dateAtNextMinute());
        return quarter - clock.offset; // the real instant of the quarter
    };
    for (int i = 0; i < rounds; ++i) {
        recording.waitUntilWritten();
        bench::firstSound = 0;
        const platform::TimePoint quarter = day + minutes(15 * (i + 3));
        const int64_t due = duration_cast<nanoseconds>(aimAt(quarter).time_since_epoch()).count();
        if (!bench::spinUntil([&] { return controller.isBusy(); }, 4000) ||
            !bench::spinUntil([&] { return !controller.isBusy(); }, 10000)) {
            std::fprintf(stderr, "round %d: no chime\n", i);
            continue;
        }
        if (bench::firstSound)
            onset.push_back((bench::firstSound - due) / 1e6);
        recording.waitUntilWritten();
        const auto s = recording.samples();
        const auto regions = RecordingSink::soundingRegions(s, recording.sampleRate(), 0.01f, 0.5);
        const int hour = platform::localFields(quarter).hour % 12;
        const int strikes = hour == 0 ? 12 : hour;
        if (regions.size() != size_t(strikes)) {
            std::fprintf(stderr, "round %d: %zu sounding stretches for %d strikes\n", i, regions.size(),
                         strikes);
            continue;
        }
        // Melody and first stroke are one stretch: what it lacks or exceeds is the seam between them.
        seam.push_back(regions[0].lengthMs() - melodyMs - strikeToneMs);
        for (size_t k = 1; k < regions.size(); ++k) {
            const double previousStart = k == 1 ? regions[0].startMs + melodyMs : regions[k - 1].startMs;
            strikeToStrike.push_back(regions[k].startMs - previousStart - strikeMs);
        }
    }

    // Sleep 150 ms into the melody; the latency runs to the last sounding buffer at the sink.
    for (int i = 0; i < 10; ++i) {
        recording.waitUntilWritten();
        bench::firstSound = 0;
        aimAt(day + minutes(15 * (i + 40)));
        if (!bench::spinUntil([] { return bench::firstSound != 0; }, 5000))
            continue;
        spin(150);
        const int64_t slept = bench::wallNs();
        controller.goToSleep();
        spin(300);
        stopLatency.push_back(std::max<int64_t>(0, bench::lastSound - slept) / 1e6);
        controller.wakeFromSleep();
    }
    recording.waitUntilWritten();

    std::printf("chime_bench: %d quarters, melody %.0f ms, strike %.0f ms (tone %.0f ms)\n", rounds, melodyMs,
                strikeMs, strikeToneMs);
    printStats("onset, quarter instant to first sound at sink", onset);
    printStats("melody to first strike (0 = seamless)", seam);
    printStats("strike to strike, beyond the strike length", strikeToStrike);
    printStats("stop latency, goToSleep to last sound", stopLatency);
    return 0;
}
