// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/audio/Sound.h"
#include "platform/audio/gst/DecodedAudioCache.h"
#include "platform/core/ApplicationIdentity.h"
#include "testsupport/RecordingSink.h"
#include "testsupport/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using platform::Sound;

namespace {

QString tone(const TestEnvironment& env, const QString& name, double freq, double seconds, double amp = 0.5,
             int channels = 2)
{
    const QString path = env.root() + QLatin1Char('/') + name;
    EXPECT_TRUE(writeTone(path, freq, seconds, amp, 48000, channels));
    return path;
}

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

std::vector<RecordingSink::Region> recordedRegions(RecordingSink& rec, std::vector<float>* samples = nullptr)
{
    EXPECT_TRUE(rec.waitUntilWritten());
    std::vector<float> s = rec.samples();
    EXPECT_FALSE(s.empty());
    auto regions = RecordingSink::soundingRegions(s, rec.sampleRate());
    if (samples)
        *samples = std::move(s);
    return regions;
}

// The longest the main thread went without running its event loop, while watched.
class MainThreadWatch {
public:
    MainThreadWatch()
    {
        m_since.start();
        QObject::connect(&m_tick, &QTimer::timeout,
                         [this] { m_longest = std::max(m_longest, m_since.restart()); });
        m_tick.start(5);
    }
    qint64 longestMs() const { return std::max(m_longest, m_since.elapsed()); }

private:
    QTimer m_tick;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

// A PulseAudio server of the test's own, with a null sink, on a socket in a temporary directory.
class PrivatePulse {
public:
    PrivatePulse()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (daemon.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty())
            return;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        // Off the session bus, whose one name for a sound server a second test's server could not take.
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        m_daemon.setProcessEnvironment(env);
        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon.start(
            daemon, {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                     QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=false"),
                     QStringLiteral("--log-level=error"), QStringLiteral("-F"), QStringLiteral("/dev/null"),
                     QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") + socket(),
                     QStringLiteral("--load=module-null-sink sink_name=pealixtest")});
        m_daemon.waitForStarted(5000);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000 && !answers())
            QTest::qWait(50);
    }
    ~PrivatePulse()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished(3000);
    }
    static bool installed()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty();
    }
    QString socket() const { return m_dir.path() + QStringLiteral("/native"); }
    QString server() const { return QStringLiteral("unix:") + socket(); }
    QString pactl(const QStringList& args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), server());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("pactl"), args);
        p.waitForFinished(5000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    bool answers() const { return pactl({QStringLiteral("info")}).contains(QStringLiteral("Server Name")); }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
};

// Points the output at a sink for the scope, with a short linger.
class SinkScope {
public:
    explicit SinkScope(const QByteArray& sink, const QByteArray& pulseServer = {})
        : m_sink(qgetenv("PEALIX_AUDIO_SINK")), m_server(qgetenv("PULSE_SERVER"))
    {
        qputenv("PEALIX_AUDIO_SINK", sink);
        qputenv("PEALIX_AUDIO_LINGER_MS", "200");
        if (!pulseServer.isEmpty())
            qputenv("PULSE_SERVER", pulseServer);
    }
    ~SinkScope()
    {
        EXPECT_TRUE(QTest::qWaitFor([] { return !Sound::isOutputOpen(); }, 10000));
        qputenv("PEALIX_AUDIO_SINK", m_sink);
        qunsetenv("PEALIX_AUDIO_LINGER_MS");
        if (m_server.isEmpty())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", m_server);
    }

private:
    QByteArray m_sink, m_server;
};

// Who the streams say they are, as the program sets it.
const platform::ApplicationIdentity testIdentity{QStringLiteral("Chime Test"),
                                                 QStringLiteral("org.example.chimetest"),
                                                 QStringLiteral("org.example.ChimeTest")};

} // namespace

TEST(SoundTest, stream_names_itself_to_the_sound_server_and_keeps_mono_mono)
{
    if (!PrivatePulse::installed())
        GTEST_SKIP() << "pulseaudio is not installed";
    TestEnvironment env;
    PrivatePulse pulse;
    ASSERT_TRUE(pulse.answers());
    SinkScope scope("pulsesink", pulse.server().toUtf8());
    platform::setApplicationIdentity(testIdentity);
    auto sound = Sound::open(tone(env, QStringLiteral("quarter-bell.wav"), 440, 1.5, 0.5, 1));
    ASSERT_TRUE(sound);
    QSignalSpy ends(sound.get(), &Sound::didEnd);
    sound->play();
    // The sink also opens a short-lived probe stream; the one that plays names the sound.
    QString inputs;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (const QString& input : pulse.pactl({QStringLiteral("list"), QStringLiteral("sink-inputs")})
                                            .split(QStringLiteral("Sink Input #")))
                if (input.contains(QStringLiteral("media.name = \"quarter-bell\"")))
                    inputs = input;
            return !inputs.isEmpty();
        },
        3000));
    for (const char* property :
         {"application.name = \"Chime Test\"", "application.id = \"org.example.chimetest\"",
          "application.icon_name = \"org.example.ChimeTest\"", "media.role = \"music\"",
          "media.name = \"quarter-bell\"", "Sample Specification: s16le 1ch 48000Hz"})
        EXPECT_TRUE(inputs.contains(QLatin1String(property))) << property << "\n" << inputs.toStdString();
    EXPECT_TRUE(ends.wait(4000));
}

// Through a sound server, which keeps a deep buffer and takes the volume on its stream: a sound started
// from the end of another follows it without a gap, that end is announced when it is nearly heard, not
// when it was buffered, a volume change is heard at once, and a stop drops what the server holds.
TEST(SoundTest, sound_server_stream_keeps_seams_volume_stop_and_ends_on_time)
{
    if (!PrivatePulse::installed() || QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty())
        GTEST_SKIP() << "pulseaudio is not installed";
    TestEnvironment env;
    PrivatePulse pulse;
    ASSERT_TRUE(pulse.answers());
    SinkScope scope("pulsesink", pulse.server().toUtf8());
    auto first = Sound::open(tone(env, QStringLiteral("first.wav"), 440, 0.8, 0.4, 1));
    auto second = Sound::open(tone(env, QStringLiteral("second.wav"), 660, 1.2, 0.8, 1));
    ASSERT_TRUE(first && second);
    QProcess parec;
    QProcessEnvironment penv = QProcessEnvironment::systemEnvironment();
    penv.insert(QStringLiteral("PULSE_SERVER"), pulse.server());
    parec.setProcessEnvironment(penv);
    parec.start(QStringLiteral("parec"),
                {QStringLiteral("--device=pealixtest.monitor"), QStringLiteral("--raw"),
                 QStringLiteral("--format=float32le"), QStringLiteral("--rate=48000"),
                 QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=10")});
    // Maps the recording to the test's clock: a sample is heard no later than it arrives.
    QElapsedTimer timer;
    timer.start();
    QByteArray raw;
    double recordingStart = 1e9; // ms on the timer
    QObject::connect(&parec, &QProcess::readyReadStandardOutput, [&] {
        raw += parec.readAllStandardOutput();
        recordingStart = std::min(recordingStart, double(timer.nsecsElapsed()) / 1e6 - raw.size() / 4 / 48.0);
    });
    ASSERT_TRUE(parec.waitForStarted(5000));
    QTest::qWait(500);

    qint64 firstEnd = -1, changedAt = -1, stoppedAt = -1;
    bool secondEnded = false;
    QObject::connect(first.get(), &Sound::didEnd, [&] {
        if (firstEnd >= 0)
            return;
        firstEnd = timer.elapsed();
        second->play();
        QTimer::singleShot(300, [&] {
            changedAt = timer.elapsed();
            second->setVolume(0.25f);
        });
    });
    QObject::connect(second.get(), &Sound::didEnd, [&] { secondEnded = true; });
    first->play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return secondEnded; }, 5000));
    QTest::qWait(700);
    first->play();
    QTest::qWait(400);
    stoppedAt = timer.elapsed();
    first->stop();
    QTest::qWait(800);
    parec.terminate();
    parec.waitForFinished(3000);
    std::vector<float> s(size_t(raw.size()) / sizeof(float));
    std::memcpy(s.data(), raw.constData(), s.size() * sizeof(float));

    const auto regions = RecordingSink::soundingRegions(s, 48000, 0.01f, 5.0);
    ASSERT_EQ(regions.size(), 2u) << "a gap at the seam";
    // The second sound is twice as loud as the first, and a quarter of that once turned down.
    size_t at = size_t(regions[0].startMs * 48);
    while (at < s.size() && std::abs(s[at]) < 0.6f)
        ++at;
    const double seam = double(at) / 48.0;
    EXPECT_NEAR(regions[0].endMs - seam, 1200, 3) << "samples lost at the seam";
    // Turned down where the peaks of a 2 ms window (more than a period) stay low.
    size_t quietAt = at + 48 * 50;
    const auto peak = [&](size_t from) {
        float p = 0.0f;
        for (size_t i = from; i < std::min(s.size(), from + 96); ++i)
            p = std::max(p, std::abs(s[i]));
        return p;
    };
    while (quietAt < s.size() && peak(quietAt) > 0.5f)
        quietAt += 48;
    const double heardChange = recordingStart + double(quietAt) / 48.0;
    const double heardSeam = recordingStart + seam;
    // The end is announced shortly before it is heard, not when the last of it went to the server.
    EXPECT_GT(heardSeam - double(firstEnd), 0.0);
    EXPECT_LT(heardSeam - double(firstEnd), 250.0) << "end announced by what was buffered";
    EXPECT_LT(heardChange - double(changedAt), 100.0) << "volume applied late";
    EXPECT_NEAR(RecordingSink::rms(s, 48000, double(quietAt) / 48.0 + 20, regions[0].endMs - 20),
                0.2 / std::sqrt(2.0), 0.02);
    EXPECT_LT(recordingStart + regions[1].endMs - double(stoppedAt), 20.0)
        << "stop left the buffered sound playing";
}

// A sound server that accepts the connection and never answers, then goes away; a real one takes its
// place. The main thread keeps running throughout, the sound still ends on time (silently), and the
// next sound reaches the real server.
TEST(SoundTest, server_that_never_answers_holds_up_nothing_and_the_output_comes_back)
{
    if (!PrivatePulse::installed())
        GTEST_SKIP() << "pulseaudio is not installed";
    TestEnvironment env;
    // The kernel completes connections on a listening socket by itself; nothing ever reads them.
    const QByteArray path = QFile::encodeName(env.root() + QStringLiteral("/hung-server"));
    int hung = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.constData(), sizeof(addr.sun_path) - 1);
    ASSERT_EQ(::bind(hung, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(::listen(hung, 8), 0);
    auto sound = Sound::open(tone(env, QStringLiteral("s.wav"), 440, 0.5, 0.5, 1));
    ASSERT_TRUE(sound);
    QSignalSpy ends(sound.get(), &Sound::didEnd);
    {
        SinkScope scope("pulsesink", "unix:" + path);
        MainThreadWatch watch;
        QElapsedTimer timer;
        timer.start();
        sound->play();
        ASSERT_TRUE(ends.wait(8000));
        EXPECT_GT(timer.elapsed(), 400);
        EXPECT_LT(watch.longestMs(), 150);
        ::close(hung); // the abandoned stream hears its server go and comes back
    }
    PrivatePulse pulse;
    ASSERT_TRUE(pulse.answers());
    SinkScope scope("pulsesink", pulse.server().toUtf8());
    platform::setApplicationIdentity(testIdentity);
    auto longer = Sound::open(tone(env, QStringLiteral("back.wav"), 440, 1.5, 0.5, 1));
    ASSERT_TRUE(longer);
    longer->play();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return pulse.pactl({QStringLiteral("list"), QStringLiteral("sink-inputs")})
                .contains(testIdentity.name);
        },
        3000))
        << "chimes do not come back once the server answers";
    longer->stop();
}

// A file sink into a FIFO nobody reads blocks when the pipeline starts.
TEST(SoundTest, output_that_blocks_when_opened_holds_up_nothing)
{
    TestEnvironment env;
    const QString fifo = env.root() + QStringLiteral("/nobody-reads");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto sound = Sound::open(tone(env, QStringLiteral("s.wav"), 440, 0.4));
    ASSERT_TRUE(sound);
    QSignalSpy ends(sound.get(), &Sound::didEnd);
    std::signal(SIGPIPE, SIG_IGN); // the stream writes once its reader has come and gone
    {
        SinkScope scope("wavenc ! filesink location=\"" + QFile::encodeName(fifo) + "\"");
        MainThreadWatch watch;
        sound->play();
        EXPECT_TRUE(ends.wait(8000));
        sound->play();
        EXPECT_TRUE(ends.wait(3000)) << "later sounds wait for the hung output again";
        EXPECT_LT(watch.longestMs(), 150);
        // Lets the abandoned stream's open return, so that it can finish.
        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        QTest::qWait(200);
        ::close(reader);
    }
}

TEST(SoundTest, files_that_do_not_decode_give_no_sound_quickly)
{
    TestEnvironment env;
    const QString flac = tone(env, QStringLiteral("good.flac"), 440, 1.0);
    QFile good(flac);
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray head = good.read(60);
    QByteArray garbage = head;
    for (int i = 0; i < 20000; ++i)
        garbage.append(char((i * 7919) & 0xff));

    const QString cases[] = {
        env.root() + QStringLiteral("/missing.wav"),
        env.writeFile(QStringLiteral("notes.txt"), "just some words, not a sound\n"),
        env.writeFile(QStringLiteral("truncated.flac"), head),
        env.writeFile(QStringLiteral("garbage.flac"), garbage),
        env.writeFile(QStringLiteral("empty.wav"), QByteArray()),
        env.root() + QStringLiteral("/config"),
    };
    QDir().mkpath(env.root() + QStringLiteral("/config"));
    for (const QString& path : cases) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(Sound::open(path), nullptr) << path.toStdString();
        EXPECT_LT(timer.elapsed(), 5000) << path.toStdString();
    }
}

TEST(SoundTest, mono_and_stereo_files_open_with_their_length)
{
    TestEnvironment env;
    auto mono = Sound::open(tone(env, QStringLiteral("mono.wav"), 440, 0.5, 0.5, 1));
    auto stereo = Sound::open(tone(env, QStringLiteral("stereo.flac"), 440, 1.25));
    ASSERT_TRUE(mono && stereo);
    EXPECT_TRUE(mono->hasAudio());
    EXPECT_NEAR(mono->duration(), 0.5, 0.002);
    EXPECT_NEAR(stereo->duration(), 1.25, 0.002);
    EXPECT_FALSE(stereo->isPlaying());
    mono->setVolume(3.0f);
    EXPECT_EQ(mono->volume(), 1.0f);
    mono->setVolume(-1.0f);
    EXPECT_EQ(mono->volume(), 0.0f);
}

TEST(SoundTest, plays_to_end_once_on_main_thread_and_again_after_the_end)
{
    TestEnvironment env;
    RecordingSink rec;
    auto sound = Sound::open(tone(env, QStringLiteral("a.wav"), 440, 0.3));
    ASSERT_TRUE(sound);
    QSignalSpy ends(sound.get(), &Sound::didEnd);
    QSignalSpy anyEnds(Sound::endNotifier(), &platform::SoundEndNotifier::soundDidEnd);
    bool onMainThread = true;
    QObject::connect(sound.get(), &Sound::didEnd, [&] {
        onMainThread = onMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    });

    QElapsedTimer timer;
    timer.start();
    sound->play();
    EXPECT_TRUE(sound->isPlaying());
    ASSERT_TRUE(ends.wait(3000));
    EXPECT_GT(timer.elapsed(), 200); // played in real time, not faster
    EXPECT_FALSE(sound->isPlaying());
    QTest::qWait(100);
    sound->play();
    ASSERT_TRUE(ends.wait(3000));
    QTest::qWait(200);
    EXPECT_EQ(ends.count(), 2);
    ASSERT_EQ(anyEnds.count(), 2);
    EXPECT_EQ(anyEnds.at(0).at(0).value<Sound*>(), sound.get());
    EXPECT_TRUE(onMainThread);

    const auto regions = recordedRegions(rec);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_NEAR(regions[0].lengthMs(), 300, 2);
    EXPECT_NEAR(regions[1].lengthMs(), 300, 2);
    EXPECT_FALSE(Sound::isOutputOpen()); // idle output closes after the linger
}

TEST(SoundTest, stop_silences_at_once_and_never_ends)
{
    TestEnvironment env;
    RecordingSink rec;
    auto sound = Sound::open(tone(env, QStringLiteral("long.wav"), 440, 2.0));
    ASSERT_TRUE(sound);
    QSignalSpy ends(sound.get(), &Sound::didEnd);
    sound->play();
    QTest::qWait(300);
    sound->stop();
    EXPECT_FALSE(sound->isPlaying());
    EXPECT_FALSE(ends.wait(2300));
    const auto regions = recordedRegions(rec);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_GT(regions[0].lengthMs(), 250);
    EXPECT_LT(regions[0].lengthMs(), 300 + 50);
}

TEST(SoundTest, volume_change_while_playing_is_heard_within_100_ms)
{
    TestEnvironment env;
    RecordingSink rec;
    auto sound = Sound::open(tone(env, QStringLiteral("v.flac"), 440, 1.2, 0.8));
    ASSERT_TRUE(sound);
    QSignalSpy ends(sound.get(), &Sound::didEnd);
    QElapsedTimer timer;
    timer.start();
    sound->play();
    QTest::qWait(500);
    const qint64 changedAt = timer.elapsed();
    sound->setVolume(0.25f);
    ASSERT_TRUE(ends.wait(3000));

    std::vector<float> s;
    const auto regions = recordedRegions(rec, &s);
    ASSERT_EQ(regions.size(), 1u);
    const double start = regions[0].startMs;
    const double loud = RecordingSink::rms(s, rec.sampleRate(), start + 50, start + changedAt - 30);
    const double quiet = RecordingSink::rms(s, rec.sampleRate(), start + changedAt + 100, start + 1150);
    EXPECT_NEAR(loud, 0.8 / std::sqrt(2.0), 0.02);
    EXPECT_NEAR(quiet / loud, 0.25, 0.02);
}

TEST(SoundTest, sound_started_from_the_end_of_another_follows_without_gap)
{
    TestEnvironment env;
    RecordingSink rec;
    auto first = Sound::open(tone(env, QStringLiteral("first.wav"), 440, 0.4));
    auto strike = Sound::open(tone(env, QStringLiteral("strike.flac"), 660, 0.25));
    ASSERT_TRUE(first && strike);
    int strikesLeft = 3;
    QObject::connect(first.get(), &Sound::didEnd, [&] { strike->play(); });
    QObject::connect(strike.get(), &Sound::didEnd, [&] {
        if (--strikesLeft > 0)
            strike->play();
    });
    first->play();
    QElapsedTimer timer;
    timer.start();
    while (strikesLeft > 0 && timer.elapsed() < 5000)
        QTest::qWait(10);
    EXPECT_EQ(strikesLeft, 0);

    // Bridging dips up to 5 ms: one region means no gap of 5 ms anywhere; its length rules out overlap.
    std::vector<float> s;
    ASSERT_TRUE(rec.waitUntilWritten());
    s = rec.samples();
    const auto joined = RecordingSink::soundingRegions(s, rec.sampleRate(), 0.01f, 5.0);
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_NEAR(joined[0].lengthMs(), 400 + 3 * 250, 3);
    const auto exact = RecordingSink::soundingRegions(s, rec.sampleRate());
    EXPECT_EQ(exact.size(), 1u) << "any gap at all between the sounds";
}

TEST(SoundTest, identical_files_share_their_decoded_data_until_changed)
{
    TestEnvironment env;
    const QString path = tone(env, QStringLiteral("shared.flac"), 440, 20.0);
    auto a = Sound::open(path);
    ASSERT_TRUE(a);
    QElapsedTimer timer;
    timer.start();
    auto b = Sound::open(path);
    ASSERT_TRUE(b);
    a.reset();
    b.reset();
    auto c = Sound::open(path); // dropped first, as a re-read of the settings does
    EXPECT_LT(timer.elapsed(), 20);
    ASSERT_TRUE(c);
    EXPECT_NEAR(c->duration(), 20.0, 0.01);

    QTest::qWait(20); // a new modification time even on coarse file systems
    ASSERT_TRUE(writeTone(path, 440, 3.0));
    auto d = Sound::open(path);
    ASSERT_TRUE(d);
    EXPECT_NEAR(d->duration(), 3.0, 0.01);

    // Samples nobody uses any more go after a while (the tests' own copy of the cache).
    qputenv("PEALIX_SOUND_KEEP_MS", "300");
    auto samples = platform::DecodedAudioCache::lookupOrDecode(path);
    ASSERT_TRUE(samples);
    EXPECT_EQ(platform::DecodedAudioCache::lookupOrDecode(path), samples);
    std::weak_ptr<platform::DecodedAudio> held = samples;
    platform::DecodedAudioCache::keepAWhile(samples);
    samples.reset();
    qunsetenv("PEALIX_SOUND_KEEP_MS");
    EXPECT_FALSE(held.expired());
    EXPECT_TRUE(QTest::qWaitFor([&] { return held.expired(); }, 2000));
}

TEST(SoundTest, sound_longer_than_the_memory_limit_streams_to_its_end)
{
    TestEnvironment env;
    qputenv("PEALIX_SOUND_MAX_DECODED_BYTES", "65536");
    auto sound = Sound::open(tone(env, QStringLiteral("streamed.flac"), 440, 2.5));
    qunsetenv("PEALIX_SOUND_MAX_DECODED_BYTES");
    ASSERT_TRUE(sound);
    EXPECT_NEAR(sound->duration(), 2.5, 0.01);
    RecordingSink rec;
    QSignalSpy ends(sound.get(), &Sound::didEnd);
    sound->play();
    ASSERT_TRUE(ends.wait(5000));
    QTest::qWait(100);
    EXPECT_EQ(ends.count(), 1);
    const auto regions = recordedRegions(rec);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_NEAR(regions[0].lengthMs(), 2500, 3);
}

TEST(SoundTest, hundred_second_file_plays_with_bounded_memory)
{
    TestEnvironment env;
    const QString path = tone(env, QStringLiteral("hundred.flac"), 440, 100.0); // 38 MB decoded
    const long before = rssKb();
    auto sound = Sound::open(path);
    ASSERT_TRUE(sound);
    EXPECT_NEAR(sound->duration(), 100.0, 0.05);
    RecordingSink rec;
    sound->play();
    QTest::qWait(2000);
    EXPECT_TRUE(sound->isPlaying());
    sound->stop();
    EXPECT_LT(rssKb() - before, 32 * 1024); // holding it all would take 38 MB
    const auto regions = recordedRegions(rec);
    ASSERT_EQ(regions.size(), 1u); // no dropout where memory ends and the stream takes over
    EXPECT_NEAR(regions[0].lengthMs(), 2000, 60);
}

TEST(SoundTest, streamed_file_whose_header_promises_more_ends_with_its_audio)
{
    TestEnvironment env;
    const QString path = tone(env, QStringLiteral("liar.flac"), 440, 2.0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    // STREAMINFO's 36-bit sample count sits in the low bits of the big-endian word at offset 18.
    ASSERT_TRUE(bytes.startsWith("fLaC"));
    quint64 word = 0;
    for (int i = 0; i < 8; ++i)
        word = (word << 8) | quint8(bytes[18 + i]);
    word = (word & ~quint64(0xFFFFFFFFF)) | quint64(48000) * 3600;
    for (int i = 7; i >= 0; --i, word >>= 8)
        bytes[18 + i] = char(word & 0xFF);
    file.seek(0);
    file.write(bytes);
    file.close();

    qputenv("PEALIX_SOUND_MAX_DECODED_BYTES", "65536");
    auto sound = Sound::open(path);
    qunsetenv("PEALIX_SOUND_MAX_DECODED_BYTES");
    ASSERT_TRUE(sound);
    RecordingSink rec;
    QSignalSpy ends(sound.get(), &Sound::didEnd);
    sound->play();
    // Trusting the header would keep the output busy, and a chime sequence waiting, for an hour.
    EXPECT_TRUE(ends.wait(5000));
}

TEST(SoundTest, unusable_audio_sink_still_ends_after_the_duration)
{
    TestEnvironment env;
    qputenv("PEALIX_AUDIO_SINK", "no-such-sink-element");
    qputenv("PEALIX_AUDIO_LINGER_MS", "100");
    auto sound = Sound::open(tone(env, QStringLiteral("s.wav"), 440, 0.4));
    ASSERT_TRUE(sound);
    QSignalSpy ends(sound.get(), &Sound::didEnd);
    QElapsedTimer timer;
    timer.start();
    sound->play();
    ASSERT_TRUE(ends.wait(3000));
    EXPECT_GT(timer.elapsed(), 300);
    QTest::qWait(300);
    EXPECT_FALSE(Sound::isOutputOpen());
    qputenv("PEALIX_AUDIO_SINK", "fakesink sync=false");
    qunsetenv("PEALIX_AUDIO_LINGER_MS");
}

TEST(SoundTest, video_file_with_audio_keeps_only_the_audio)
{
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("gst-launch-1.0"));
    if (launcher.isEmpty())
        GTEST_SKIP() << "gst-launch-1.0 not installed";
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/clip.ogv");
    const int rc = QProcess::execute(
        launcher, {QStringLiteral("-q"), QStringLiteral("oggmux"), QStringLiteral("name=m"),
                   QStringLiteral("!"), QStringLiteral("filesink"), QStringLiteral("location=") + path,
                   QStringLiteral("videotestsrc"), QStringLiteral("num-buffers=30"), QStringLiteral("!"),
                   QStringLiteral("theoraenc"), QStringLiteral("!"), QStringLiteral("m."),
                   QStringLiteral("audiotestsrc"), QStringLiteral("num-buffers=47"), QStringLiteral("!"),
                   QStringLiteral("vorbisenc"), QStringLiteral("!"), QStringLiteral("m.")});
    if (rc != 0)
        GTEST_SKIP() << "no Theora/Vorbis encoders to make a video";
    auto sound = Sound::open(path);
    ASSERT_TRUE(sound);
    EXPECT_NEAR(sound->duration(), 47 * 1024 / 44100.0, 0.05);
}

TEST(SoundTest, file_types_name_installed_decoders)
{
    const QStringList types = Sound::movieFileTypes();
    EXPECT_TRUE(types.contains(QStringLiteral("wav")));
    EXPECT_TRUE(types.contains(QStringLiteral("flac")));
    for (const QString& t : types) {
        EXPECT_EQ(t, t.toLower());
        EXPECT_FALSE(t.contains(QLatin1Char('.')));
    }
}
