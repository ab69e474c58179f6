// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Chime sequences played through the real sound output into a recorded file: order, strikes, level,
// seams between sounds, volume changes and sleep in mid-sequence; and the built agent under a faked clock.

#include "agent/PealixController.h"
#include "platform/audio/Sound.h"
#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "platform/time/Timer.h"
#include "shared/PrefKeys.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/RecordingSink.h"
#include "testsupport/TestClock.h"
#include "testsupport/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace std::chrono_literals;
using platform::TimePoint;

namespace {

// The built agent holds a session-wide name; a bus of its own keeps it from meeting other programs' agents.
PrivateBus* const& bus = PrivateBus::forProgram();

constexpr int rate = 48000;

// Zero crossings per second over a stretch, halved: the frequency of a plain sine.
double frequency(const std::vector<float>& s, double fromMs, double toMs)
{
    const size_t from = size_t(fromMs * rate / 1000), to = std::min(s.size(), size_t(toMs * rate / 1000));
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i)
        crossings += (s[i - 1] < 0) != (s[i] < 0);
    return to > from ? crossings * 0.5 * rate / double(to - from) : 0;
}

double peak(const std::vector<float>& s, double fromMs, double toMs)
{
    const size_t from = size_t(fromMs * rate / 1000), to = std::min(s.size(), size_t(toMs * rate / 1000));
    float p = 0;
    for (size_t i = from; i < to; ++i)
        p = std::max(p, std::fabs(s[i]));
    return p;
}

class PlaybackTest : public ::testing::Test {
protected:
    QString bundle() const { return env.root() + "/PealixTool.app"; }
    QString setDir() const { return bundle() + "/Contents/Resources/Chimes.pealix"; }

    // Melody: 440 Hz without a tail, so it joins the first strike seamlessly; strike: 1 kHz then a pause,
    // so that strokes can be counted.
    void makeSet(double melodyMs, double strikeToneMs, double strikePauseMs)
    {
        QDir().mkpath(setDir());
        ASSERT_TRUE(writeShape(setDir() + "/q0.wav", 440, melodyMs, 0));
        ASSERT_TRUE(writeShape(setDir() + "/hour.wav", 1000, strikeToneMs, strikePauseMs));
        env.writeFile("PealixTool.app/Contents/Resources/Chimes.pealix/chimeset.plist",
                      platform::PropertyList::toXml(QVariantMap{
                          {"chimes", QVariantList{QVariantMap{{"minute", qint64(0)}, {"file", "q0.wav"}}}},
                          {"single chime", "hour.wav"}}));
    }
    static void store(int volume)
    {
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::chimeInfo, QVariantList{QVariantMap{{"minute", qint64(0)},
                                                                     {"chime", true},
                                                                     {"strike", true},
                                                                     {"set", "Chimes"},
                                                                     {"path", PrefKeys::blankPath}}});
        prefs.setValue(PrefKeys::pealixActive, true);
        prefs.setValue(PrefKeys::chimeVolume, qint64(volume));
        prefs.synchronize();
    }
    void start()
    {
        clock.set(TestClock::local(2026, 12, 7, 14, 59, 50));
        controller =
            std::make_unique<PealixController>(platform::Bundle(bundle()), QStringList{"PealixTool"}, clock);
        controller->awakeFromNib();
    }
    void tickAtThree() { clock.advanceTo(TestClock::local(2026, 12, 7, 15, 0, 0)); }

    TestEnvironment env;
    TestClock clock;
    std::unique_ptr<PealixController> controller;
};

class VolumeTest : public PlaybackTest, public ::testing::WithParamInterface<int> {};

TEST_P(VolumeTest, sequence_plays_melody_then_each_strike_at_the_volume_without_gaps)
{
    const int volume = GetParam();
    const double level = volume / 100.0;
    makeSet(300, 100, 60);
    store(volume);
    RecordingSink recording;
    start();
    QSignalSpy ends(platform::Sound::endNotifier(), &platform::SoundEndNotifier::soundDidEnd);
    tickAtThree();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isBusy(); }, 5000));
    EXPECT_EQ(ends.count(), 4);
    EXPECT_FALSE(controller->getCurrentSound());
    ASSERT_TRUE(recording.waitUntilWritten());

    const auto s = recording.samples();
    ASSERT_EQ(recording.sampleRate(), rate);
    const auto regions = RecordingSink::soundingRegions(s, rate, 0.005f);
    if (volume == 0) {
        EXPECT_TRUE(regions.empty());
        return;
    }
    // Melody and first stroke form one stretch (no gap), the later strokes follow each pause.
    ASSERT_EQ(regions.size(), 3u);
    const double t0 = regions[0].startMs;
    EXPECT_NEAR(regions[0].lengthMs(), 400, 2);
    EXPECT_NEAR(regions[1].startMs - t0, 460, 3);
    EXPECT_NEAR(regions[2].startMs - t0, 620, 3);
    EXPECT_NEAR(regions[1].lengthMs(), 100, 2);
    EXPECT_NEAR(regions[2].lengthMs(), 100, 2);
    EXPECT_NEAR(frequency(s, t0 + 5, t0 + 295), 440, 10);
    EXPECT_NEAR(frequency(s, t0 + 305, t0 + 395), 1000, 20);
    EXPECT_NEAR(frequency(s, regions[2].startMs + 2, regions[2].endMs - 2), 1000, 20);

    // A single sound at the volume (overlapping sounds would add up), from its first samples on.
    const double sine = 0.5 / std::sqrt(2.0) * level;
    EXPECT_NEAR(RecordingSink::rms(s, rate, t0 + 20, t0 + 280), sine, sine * 0.03);
    EXPECT_NEAR(RecordingSink::rms(s, rate, regions[2].startMs, regions[2].endMs), sine, sine * 0.05);
    EXPECT_LE(peak(s, t0, t0 + 10), 0.5 * level * 1.03 + 0.001);
    EXPECT_LE(peak(s, t0 + 300, t0 + 310), 0.5 * level * 1.03 + 0.001);
}

INSTANTIATE_TEST_SUITE_P(Levels, VolumeTest, ::testing::Values(35, 100, 0));

TEST_F(PlaybackTest, volume_change_while_the_melody_plays_applies_at_once)
{
    makeSet(1200, 100, 60);
    store(100);
    RecordingSink recording;
    start();
    tickAtThree();
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTest::qWait(500);
    store(35);
    const qint64 changedAt = sinceTick.elapsed();
    controller->readPrefs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isBusy(); }, 5000));
    ASSERT_TRUE(recording.waitUntilWritten());

    const auto s = recording.samples();
    const auto regions = RecordingSink::soundingRegions(s, rate, 0.005f);
    ASSERT_EQ(regions.size(), 3u);
    const double t0 = regions[0].startMs;
    const double full = 0.5 / std::sqrt(2.0), low = full * 0.35;
    EXPECT_NEAR(RecordingSink::rms(s, rate, t0 + 20, t0 + 300), full, full * 0.03);
    // The output starts a little after the tick, so the change lands at or just before its wall time.
    double changeMs = -1;
    for (double t = t0; t < t0 + 1200; t += 5) {
        if (peak(s, t, t + 5) < 0.5 * 0.7) {
            changeMs = t - t0;
            break;
        }
    }
    EXPECT_GT(changeMs, changedAt - 150);
    EXPECT_LT(changeMs, changedAt + 100);
    EXPECT_NEAR(RecordingSink::rms(s, rate, t0 + changeMs + 20, t0 + 1180), low, low * 0.03);
    for (const auto& stroke : {regions[1], regions[2]})
        EXPECT_NEAR(RecordingSink::rms(s, rate, stroke.startMs, stroke.endMs), low, low * 0.05);
    EXPECT_LE(peak(s, t0 + 1200, t0 + 1210), 0.5 * 0.35 * 1.03 + 0.001);
}

TEST_F(PlaybackTest, an_absent_volume_reads_as_70_and_leaves_the_playing_melody_alone)
{
    makeSet(3000, 100, 60);
    store(35);
    RecordingSink recording;
    start();
    tickAtThree();
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller->getCurrentSound() != nullptr; }, 2000));
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(PrefKeys::chimeVolume, QVariant());
    ASSERT_TRUE(prefs.synchronize());
    controller->readPrefs();
    EXPECT_EQ(controller->volume(), 70);
    ASSERT_TRUE(controller->getCurrentSound());
    EXPECT_FLOAT_EQ(controller->getCurrentSound()->volume(), 0.35f);
    controller->goToSleep();
}

TEST_F(PlaybackTest, sleep_during_the_second_stroke_silences_the_rest_and_skips_the_slept_quarter)
{
    makeSet(200, 300, 100);
    store(100);
    QSignalSpy ends(platform::Sound::endNotifier(), &platform::SoundEndNotifier::soundDidEnd);
    {
        RecordingSink recording;
        start();
        tickAtThree();
        ASSERT_TRUE(QTest::qWaitFor([&] { return ends.count() == 2; }, 5000));
        QTest::qWait(100);
        controller->goToSleep();
        EXPECT_FALSE(controller->getCurrentSound());
        EXPECT_EQ(controller->queuedSounds(), 0);
        ASSERT_TRUE(recording.waitUntilWritten());
        EXPECT_EQ(ends.count(), 2);

        const auto s = recording.samples();
        const auto regions = RecordingSink::soundingRegions(s, rate, 0.005f);
        ASSERT_EQ(regions.size(), 2u);
        EXPECT_NEAR(regions[0].lengthMs(), 500, 3);
        EXPECT_NEAR(regions[1].startMs - regions[0].startMs, 600, 3);
        // Cut about 40 ms in (the end is announced 60 ms ahead), well before its 300 ms; nothing after it.
        EXPECT_GT(regions[1].lengthMs(), 20);
        EXPECT_LT(regions[1].lengthMs(), 200);
    }
    clock.advanceTo(TestClock::local(2026, 12, 7, 15, 15, 0));
    EXPECT_TRUE(controller->isBusy());
    EXPECT_FALSE(controller->getCurrentSound());
    controller->wakeFromSleep();
    clock.advanceTo(TestClock::local(2026, 12, 7, 15, 59, 0));
    EXPECT_FALSE(controller->isBusy());
    clock.advanceTo(TestClock::local(2026, 12, 7, 16, 0, 0));
    ASSERT_TRUE(controller->isBusy());
    EXPECT_EQ(controller->queuedSounds(), 4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isBusy(); }, 5000));
    EXPECT_EQ(ends.count(), 2 + 5);
}

TEST_F(PlaybackTest, last_stroke_plays_out_when_the_schedule_was_replaced_during_the_sequence)
{
    makeSet(300, 150, 0); // melody and strokes form one stretch of 750 ms
    store(100);
    RecordingSink recording;
    start();
    tickAtThree();
    QTest::qWait(200);
    // New records, new sounds: the playing ones are held only by the sequence from here on.
    const QString other = env.root() + "/other.wav";
    ASSERT_TRUE(writeShape(other, 550, 300, 0));
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(
        PrefKeys::chimeInfo,
        QVariantList{QVariantMap{{"minute", qint64(0)}, {"chime", true}, {"strike", true}, {"path", other}}});
    prefs.synchronize();
    controller->readPrefs();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isBusy(); }, 5000));
    ASSERT_TRUE(recording.waitUntilWritten());
    const auto regions = RecordingSink::soundingRegions(recording.samples(), rate, 0.005f);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_NEAR(regions[0].lengthMs(), 750, 3) << "the end of the last stroke was cut";
}

// A custom melody whose file blocks when opened (a write lease held here stands in for a hung network
// mount): the agent starts, the quarter passes with its strikes only, and the melody plays at the next
// quarter once the file opens.
TEST_F(PlaybackTest, melody_whose_file_hangs_is_left_out_of_its_quarter_and_plays_once_it_loads)
{
    makeSet(300, 100, 60);
    const QString hung = env.root() + "/hung.wav";
    ASSERT_TRUE(writeShape(hung, 440, 300, 0));
    std::signal(SIGIO, SIG_IGN); // the kernel asks the lease holder to let go; this one will not yet
    const int lease = ::open(QFile::encodeName(hung).constData(), O_RDWR);
    ASSERT_GE(lease, 0);
    if (::fcntl(lease, F_SETLEASE, F_WRLCK) != 0) {
        ::close(lease);
        GTEST_SKIP() << "file leases are not available here";
    }
    {
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::chimeInfo,
                       QVariantList{QVariantMap{
                           {"minute", qint64(0)}, {"chime", true}, {"strike", true}, {"path", hung}}});
        prefs.setValue(PrefKeys::pealixActive, true);
        prefs.synchronize();
    }
    QElapsedTimer startUp;
    startUp.start();
    start();
    EXPECT_LT(startUp.elapsed(), 1500);
    const auto melody = controller->schedule().value(0).chimeSound;
    const auto strike = controller->schedule().value(0).strikeSound;
    ASSERT_TRUE(melody && strike);
    EXPECT_EQ(melody->state(), platform::Sound::State::Loading);

    tickAtThree();
    ASSERT_TRUE(controller->isBusy());
    EXPECT_EQ(controller->getCurrentSound(), strike);
    EXPECT_EQ(controller->queuedSounds(), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isBusy(); }, 5000));

    QSignalSpy loaded(melody.get(), &platform::Sound::loaded);
    ::fcntl(lease, F_SETLEASE, F_UNLCK);
    ::close(lease);
    ASSERT_TRUE(loaded.wait(5000));
    EXPECT_TRUE(loaded.at(0).at(0).toBool());
    clock.advanceTo(TestClock::local(2026, 12, 7, 16, 0, 0));
    EXPECT_EQ(controller->getCurrentSound(), melody);
    EXPECT_EQ(controller->queuedSounds(), 4);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isBusy(); }, 5000));
}

// The recorded PCM after the data chunk header, and its channel count; a file cut off by the signal has
// no final sizes.
std::vector<qint16> pcmOf(const QString& path, int* channels)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const qsizetype fmt = bytes.indexOf("fmt ");
    const qsizetype data = bytes.indexOf("data");
    if (fmt < 0 || data < 0)
        return {};
    *channels = quint8(bytes[fmt + 10]);
    const qsizetype from = data + 8;
    std::vector<qint16> pcm(size_t(bytes.size() - from) / 2);
    std::memcpy(pcm.data(), bytes.constData() + from, pcm.size() * 2);
    return pcm;
}

TEST(AgentEndToEnd, built_agent_chimes_at_the_fake_quarter)
{
    // Preloaded directly rather than through the faketime wrapper, which forks: a signal to the wrapper
    // would not reach the agent.
    const QString preload = fakeTimeLibrary();
    if (preload.isEmpty())
        GTEST_SKIP() << "libfaketime (Debian package faketime) is not installed";
    const QString tool = agentBundleDir() + "/Contents/Linux/PealixTool";
    const QString melody = agentBundleDir() + "/Contents/Resources/Chimes.pealix/chime00.flac";
    ASSERT_TRUE(QFile::exists(tool) && QFile::exists(melody));

    TestEnvironment env;
    {
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::pealixActive, true);
        prefs.setValue(PrefKeys::chimeVolume, qint64(100));
        prefs.setValue(PrefKeys::chimeInfo, QVariantList{QVariantMap{{"minute", qint64(0)},
                                                                     {"chime", true},
                                                                     {"strike", true},
                                                                     {"set", "Chimes"},
                                                                     {"path", PrefKeys::blankPath}}});
        ASSERT_TRUE(prefs.synchronize());
    }
    const QString out = env.root() + "/out.wav";
    QProcess agent;
    QProcessEnvironment penv = QProcessEnvironment::systemEnvironment();
    penv.insert("QT_QPA_PLATFORM", "offscreen");
    penv.insert("LD_PRELOAD", preload);
    // A sanitizer build wants its runtime first; with the preload it comes second, which is harmless.
    const QString asan = penv.value("ASAN_OPTIONS");
    penv.insert("ASAN_OPTIONS", (asan.isEmpty() ? "" : asan + ":") + "verify_asan_link_order=0");
    penv.insert("FAKETIME", "@2026-12-07 14:59:57");
    penv.insert("FAKETIME_DONT_FAKE_MONOTONIC", "1");
    penv.insert(
        "PEALIX_AUDIO_SINK",
        "audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink buffer-mode=unbuffered location=\"" +
            out + "\"");
    agent.setProcessEnvironment(penv);
    agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer sinceLaunch;
    sinceLaunch.start();
    agent.start(tool, {});
    ASSERT_TRUE(agent.waitForStarted(5000));

    // The file appears when the output opens, two seconds before the quarter, not at start-up.
    qint64 appearedMs = -1;
    while (sinceLaunch.elapsed() < 12000) {
        if (appearedMs < 0 && QFileInfo(out).size() > 0)
            appearedMs = sinceLaunch.elapsed();
        if (appearedMs >= 0 && sinceLaunch.elapsed() > appearedMs + 3500)
            break;
        QTest::qWait(20);
    }
    agent.terminate();
    agent.waitForFinished(5000);
    ASSERT_GE(appearedMs, 0) << "nothing was recorded";
    EXPECT_GT(appearedMs, 500);
    EXPECT_LT(appearedMs, 2500);

    int channels = 0;
    const auto pcm = pcmOf(out, &channels);
    ASSERT_TRUE(channels == 1 || channels == 2);
    ASSERT_GT(pcm.size(), size_t(rate) * channels * 3);
    size_t first = 0;
    while (first < pcm.size() && std::abs(pcm[first]) < 300)
        ++first;
    // Opened at 14:59:58, so the melody's first sample leaves two seconds in, at the quarter.
    EXPECT_NEAR(double(first) / channels / rate, 2.0, 0.15) << "the melody is not at the quarter";
    // The melody, not silence or noise: the start of the shipped melody at full volume.
    double sum = 0;
    const size_t second = size_t(rate) * channels;
    for (size_t i = first; i < std::min(pcm.size(), first + second); ++i)
        sum += double(pcm[i]) * pcm[i];
    EXPECT_GT(std::sqrt(sum / double(second)) / 32768.0, 0.02);
}

} // namespace
