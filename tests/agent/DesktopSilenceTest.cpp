// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The desktop's reasons for quiet, from real services on a private bus to the quarters the agent plays:
// each makes the next quarter silent and the tool tip and the control state name it, the quarter after it
// ends sounds, and a chime that plays when it begins stops.

#include "agent/PealixController.h"
#include "platform/audio/Sound.h"
#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "platform/time/Timer.h"
#include "shared/PrefKeys.h"
#include "testsupport/DesktopStandin.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/RecordingSink.h"
#include "testsupport/TestClock.h"
#include "testsupport/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using platform::TimePoint;

namespace {

PrivateBus* const& bus = PrivateBus::forProgram();

TimePoint at(int h, int m, int s = 0)
{
    return TestClock::local(2026, 12, 7, h, m, s);
}

class DesktopSilenceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // One daemon stands for both buses; the user's own settings never reach the agent.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus->address().toLocal8Bit());
        qputenv("GSETTINGS_BACKEND", "memory");
        // Sounds take their real time, so that one is still playing when a cause begins.
        qputenv("PEALIX_AUDIO_SINK", "fakesink sync=true");
        ::setenv("TZ", "Europe/London", 1);
        ::tzset();
    }

    void SetUp() override
    {
        ASSERT_TRUE(bus && bus->isRunning());
        const QString dir = env.root() + "/PealixTool.app/Contents/Resources/Chimes.pealix";
        QDir().mkpath(dir);
        QVariantList chimes;
        for (int m : {0, 15, 30, 45}) {
            const QString file = QStringLiteral("q%1.wav").arg(m);
            ASSERT_TRUE(writeTone(dir + '/' + file, 400 + 10 * m, 2.0));
            chimes << QVariantMap{{"minute", qint64(m)}, {"file", file}};
        }
        ASSERT_TRUE(writeTone(dir + "/hour.wav", 220, 0.05));
        env.writeFile(
            "PealixTool.app/Contents/Resources/Chimes.pealix/chimeset.plist",
            platform::PropertyList::toXml(QVariantMap{{"chimes", chimes}, {"single chime", "hour.wav"}}));
    }

    void store(const QVariantMap& extra = {}) const
    {
        QVariantList records;
        for (qint64 m : {0, 15, 30, 45})
            records << QVariantMap{{"minute", m},
                                   {"chime", true},
                                   {"strike", false},
                                   {"set", "Chimes"},
                                   {"path", PrefKeys::blankPath}};
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::chimeInfo, records);
        prefs.setValue(PrefKeys::pealixActive, true);
        for (auto it = extra.cbegin(); it != extra.cend(); ++it)
            prefs.setValue(it.key(), it.value());
        prefs.synchronize();
    }

    void start(TimePoint now)
    {
        clock.set(now);
        controller = std::make_unique<PealixController>(platform::Bundle(env.root() + "/PealixTool.app"),
                                                        QStringList{"PealixTool"}, clock);
        controller->awakeFromNib();
    }

    // Whether the quarter at `quarter` starts a melody; the clock is moved there tick by tick.
    bool sounds(TimePoint quarter)
    {
        while (controller->timer()->fireDate() < quarter) {
            clock.advanceTo(controller->timer()->fireDate());
            controller->soundDidEnd();
        }
        clock.advanceTo(quarter);
        const bool playing = controller->getCurrentSound() != nullptr;
        while (controller->isBusy())
            controller->soundDidEnd();
        return playing;
    }

    bool stateBecomes(const QString& state, const QString& status = {}) const
    {
        return QTest::qWaitFor(
            [&] {
                const auto& s = controller->controlState();
                return s.state == state && (status.isEmpty() || s.status == status);
            },
            5000);
    }

    // From the service's change to the playing chime stopped, in milliseconds; -1 when it never stopped.
    qint64 stopsPlayingChime(DesktopStandin& service, const QByteArray& command)
    {
        return stopsPlayingChime([&] { service.send(command); });
    }
    qint64 stopsPlayingChime(const std::function<void()>& cause)
    {
        controller->chimeNow();
        if (!QTest::qWaitFor(
                [&] { return controller->getCurrentSound() && controller->getCurrentSound()->isPlaying(); },
                3000))
            return -2;
        QElapsedTimer took;
        took.start();
        cause();
        if (!QTest::qWaitFor([&] { return controller->getCurrentSound() == nullptr; }, 2000))
            return -1;
        return took.elapsed();
    }

    TestEnvironment env;
    TestClock clock;
    std::unique_ptr<PealixController> controller;
};

TEST_F(DesktopSilenceTest,
       do_not_disturb_silences_its_quarters_settles_when_flapping_and_follows_a_new_server)
{
    store();
    start(at(10, 5));
    EXPECT_TRUE(stateBecomes("chiming"));
    auto server = std::make_unique<DesktopStandin>(bus->address(), "notifications");
    ASSERT_TRUE(server->isReady());

    const qint64 stopMs = stopsPlayingChime(*server, "set 1");
    EXPECT_GE(stopMs, 0);
    EXPECT_LT(stopMs, 200);
    std::printf("Do Not Disturb to a stopped chime: %lld ms\n", static_cast<long long>(stopMs));
    EXPECT_TRUE(stateBecomes("excluded", "Silent: Do Not Disturb is on."));
    EXPECT_EQ(controller->controlState().nextChime, 0);
    EXPECT_FALSE(sounds(at(10, 15)));

    ASSERT_TRUE(server->send("set 0"));
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(10, 30)));

    // A thousand changes settle on the last, each way.
    ASSERT_TRUE(server->send("flap 1000 1"));
    EXPECT_TRUE(stateBecomes("excluded"));
    ASSERT_TRUE(server->send("flap 1001 0"));
    EXPECT_TRUE(stateBecomes("chiming"));
    QTest::qWait(200);
    EXPECT_EQ(controller->controlState().state, "chiming");

    // A value of the wrong type is no Do Not Disturb.
    ASSERT_TRUE(server->send("set 1"));
    EXPECT_TRUE(stateBecomes("excluded"));
    ASSERT_TRUE(server->send("wrongtype"));
    EXPECT_TRUE(stateBecomes("chiming"));

    // Off in the settings, the same server silences nothing.
    ASSERT_TRUE(server->send("set 1"));
    EXPECT_TRUE(stateBecomes("excluded"));
    store({{PrefKeys::silentDoNotDisturb, false}});
    controller->readPrefs();
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(10, 45)));
    store({{PrefKeys::silentDoNotDisturb, QVariant()}});
    controller->readPrefs();
    EXPECT_TRUE(stateBecomes("excluded"));

    // The server leaving ends it; one started later, inhibited from the start, is followed.
    server->stop();
    EXPECT_TRUE(stateBecomes("chiming"));
    server = std::make_unique<DesktopStandin>(bus->address(), "notifications");
    ASSERT_TRUE(server->isReady());
    ASSERT_TRUE(server->send("set 1"));
    EXPECT_TRUE(stateBecomes("excluded", "Silent: Do Not Disturb is on."));
    EXPECT_FALSE(sounds(at(11, 0)));
}

// GNOME's switch as another program writes it, through the keyfile backend in the test's folder, read by
// the built agent.
TEST_F(DesktopSilenceTest, gnome_banners_turned_off_silence_the_running_agent)
{
    store();
    const QString runtime = env.root() + "/run";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("GSETTINGS_BACKEND", "keyfile");
    e.insert("XDG_RUNTIME_DIR", runtime);
    e.insert("QT_QPA_PLATFORM", "offscreen");
    e.insert("PEALIX_AUDIO_SINK", "fakesink");
    QProcess agent;
    agent.setProcessEnvironment(e);
    agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    agent.start(agentBundleDir() + "/Contents/Linux/PealixTool", {});
    ASSERT_TRUE(agent.waitForStarted(5000));
    const auto status = [] {
        QDBusMessage get = QDBusMessage::createMethodCall(PrefKeys::agentBusName, PrefKeys::agentObjectPath,
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << QStringLiteral("com.quorlenvik.PealixTool1") << QStringLiteral("Status");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 2000);
        return reply.arguments().value(0).value<QDBusVariant>().variant().toString();
    };
    const auto banners = [&](const char* on) {
        QProcess p;
        p.setProcessEnvironment(e);
        p.start("gsettings", {"set", "org.gnome.desktop.notifications", "show-banners", on});
        return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return status().startsWith("Chiming"); }, 10000))
        << status().toStdString();
    ASSERT_TRUE(banners("false"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == "Silent: Do Not Disturb is on."; }, 5000))
        << status().toStdString();
    ASSERT_TRUE(banners("true"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status().startsWith("Chiming"); }, 5000))
        << status().toStdString();
    agent.terminate();
    agent.waitForFinished(5000);
}

namespace {

// The real xfconfd on the test's bus, keeping its channels in the test's folder.
class XfconfDaemon {
public:
    // Empty when the Debian package xfconf is not installed.
    static QString program()
    {
        QStringList candidates{"/usr/libexec/xfce4/xfconf/xfconfd", "/usr/lib/xfce4/xfconf/xfconfd"};
        for (const QString& arch : QDir("/usr/lib").entryList({"*-linux-gnu"}, QDir::Dirs))
            candidates.prepend("/usr/lib/" + arch + "/xfce4/xfconf/xfconfd");
        for (const QString& path : candidates)
            if (QFileInfo(path).isExecutable())
                return QStandardPaths::findExecutable("xfconf-query").isEmpty() ? QString() : path;
        return {};
    }

    explicit XfconfDaemon(const TestEnvironment& env)
    {
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("XDG_CONFIG_HOME", env.configHome());
        // No channel defaults of the machine's.
        m_env.insert("XDG_CONFIG_DIRS", env.root() + "/xdg");
        m_daemon.setProcessEnvironment(m_env);
        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~XfconfDaemon() { stop(); }

    bool start()
    {
        m_daemon.start(program(), {});
        return QTest::qWaitFor([this] { return ownsName(); }, 10000);
    }
    // It saves its channels on the way out.
    void stop()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
    // Only while this daemon serves: the bus would otherwise start one of its own, on the user's settings.
    bool query(const QStringList& args) const
    {
        if (!ownsName())
            return false;
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start("xfconf-query", args);
        return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

private:
    bool ownsName() const
    {
        if (m_daemon.state() != QProcess::Running)
            return false;
        QDBusMessage ask =
            QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                           "org.freedesktop.DBus", "GetConnectionUnixProcessID");
        ask << QStringLiteral("org.xfce.Xfconf");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, 2000);
        return reply.type() == QDBusMessage::ReplyMessage &&
               reply.arguments().value(0).toLongLong() == m_daemon.processId();
    }

    QProcessEnvironment m_env;
    QProcess m_daemon;
};

} // namespace

// XFCE's switch as xfconf-query sets it, in a real xfconfd that starts after the agent and keeps the value
// over a restart.
TEST_F(DesktopSilenceTest, xfce_do_not_disturb_silences_from_an_xfconfd_that_comes_later)
{
    if (XfconfDaemon::program().isEmpty())
        GTEST_SKIP() << "xfconfd and xfconf-query are not installed (Debian packages xfconf, libxfconf-0-3)";
    store();
    start(at(10, 5));
    EXPECT_TRUE(stateBecomes("chiming"));
    XfconfDaemon xfconfd(env);
    ASSERT_TRUE(xfconfd.start());
    const auto set = [&](const char* channel, const char* value) {
        return xfconfd.query({"-c", channel, "-p", "/do-not-disturb", "-n", "-t", "bool", "-s", value});
    };

    qint64 stopMs = stopsPlayingChime([&] { EXPECT_TRUE(set("xfce4-notifyd", "true")); });
    EXPECT_GE(stopMs, 0);
    // Counted from starting xfconf-query, which includes its own connection to the bus.
    EXPECT_LT(stopMs, 200 + 300);
    std::printf("XFCE Do Not Disturb to a stopped chime: %lld ms\n", static_cast<long long>(stopMs));
    EXPECT_TRUE(stateBecomes("excluded", "Silent: Do Not Disturb is on."));
    EXPECT_FALSE(sounds(at(10, 15)));
    ASSERT_TRUE(set("xfce4-notifyd", "false"));
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(10, 30)));

    // The same name in another channel is not the notification daemon's; a property reset is its default.
    ASSERT_TRUE(set("xfce4-panel", "true"));
    QTest::qWait(300);
    EXPECT_EQ(controller->controlState().state, "chiming");
    ASSERT_TRUE(set("xfce4-notifyd", "true"));
    EXPECT_TRUE(stateBecomes("excluded"));
    ASSERT_TRUE(xfconfd.query({"-c", "xfce4-notifyd", "-p", "/do-not-disturb", "-r"}));
    EXPECT_TRUE(stateBecomes("chiming"));

    // Leaving ends it; started again, the daemon's saved value silences at once.
    ASSERT_TRUE(set("xfce4-notifyd", "true"));
    EXPECT_TRUE(stateBecomes("excluded"));
    xfconfd.stop();
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(10, 45)));
    ASSERT_TRUE(xfconfd.start());
    EXPECT_TRUE(stateBecomes("excluded", "Silent: Do Not Disturb is on."));
    EXPECT_FALSE(sounds(at(11, 0)));
    ASSERT_TRUE(set("xfce4-notifyd", "false"));
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(11, 15)));
}

TEST_F(DesktopSilenceTest, a_locked_session_or_an_active_screen_saver_silences_where_asked)
{
    store({{PrefKeys::silentLocked, true}});
    start(at(10, 5));
    DesktopStandin logind(bus->address(), "login1");
    DesktopStandin saver(bus->address(), "screensaver");
    ASSERT_TRUE(logind.isReady() && saver.isReady());
    EXPECT_TRUE(stateBecomes("chiming"));

    const qint64 stopMs = stopsPlayingChime(logind, "set 1");
    EXPECT_GE(stopMs, 0);
    EXPECT_LT(stopMs, 200);
    std::printf("Locked session to a stopped chime: %lld ms\n", static_cast<long long>(stopMs));
    EXPECT_TRUE(stateBecomes("excluded", "Silent: the screen is locked."));
    EXPECT_FALSE(sounds(at(10, 15)));
    ASSERT_TRUE(logind.send("set 0"));
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(10, 30)));

    ASSERT_TRUE(saver.send("set 1"));
    EXPECT_TRUE(stateBecomes("excluded", "Silent: the screen is locked."));
    EXPECT_FALSE(sounds(at(10, 45)));
    ASSERT_TRUE(saver.send("set 0"));
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(11, 0)));

    // Off by default: a lock then silences nothing.
    store({{PrefKeys::silentLocked, QVariant()}});
    controller->readPrefs();
    ASSERT_TRUE(logind.send("set 1"));
    QTest::qWait(300);
    EXPECT_EQ(controller->controlState().state, "chiming");
    EXPECT_TRUE(sounds(at(11, 15)));
}

// A private sound server with an output (whose monitor is a source) and two microphones that hear nothing.
class SoundServer {
public:
    SoundServer() { start(); }
    ~SoundServer() { stop(); }
    QString address() const { return "unix:" + m_dir.path() + "/native"; }
    bool start()
    {
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start(
            "pulseaudio",
            {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false", "-F", "/dev/null",
             "--log-level=error",
             "--load=module-native-protocol-unix auth-anonymous=1 socket=" + m_dir.path() + "/native",
             "--load=module-null-sink sink_name=out", "--load=module-null-source source_name=mic",
             "--load=module-null-source source_name=mic2"});
        return QTest::qWaitFor([this] { return run("pactl", {"info"}) == 0; }, 10000);
    }
    void stop()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    int run(const QString& program, const QStringList& args) const
    {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("PULSE_SERVER", address());
        p.setProcessEnvironment(e);
        p.start(program, args);
        return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    // A recorder that runs until the object goes.
    struct Recorder : QProcess {
        ~Recorder() override
        {
            kill();
            waitForFinished(5000);
        }
    };
    std::unique_ptr<Recorder> record(const QString& program, const QStringList& args) const
    {
        auto p = std::make_unique<Recorder>();
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("PULSE_SERVER", address());
        p->setProcessEnvironment(e);
        p->setStandardOutputFile(QProcess::nullDevice());
        p->start(program, args);
        p->waitForStarted(5000);
        return p;
    }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
};

// CaptureStreams on a sound server: hundreds of recordings in one client.
class CaptureClient {
public:
    CaptureClient(const SoundServer& server, const QStringList& sources)
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("PULSE_SERVER", server.address());
        m_process.setProcessEnvironment(e);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(CAPTURE_STREAMS, sources);
        m_ready = waitFor("ready");
    }
    ~CaptureClient()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool isReady() const { return m_ready; }
    void send(const QByteArray& command) { m_process.write(command + '\n'); }
    // The next line it prints starts with `line`; events keep flowing meanwhile.
    bool waitFor(const QByteArray& line, int ms = 10000)
    {
        return QTest::qWaitFor(
            [&] {
                while (m_process.canReadLine())
                    if (m_process.readLine().startsWith(line))
                        return true;
                return false;
            },
            ms);
    }
    bool hasLine() const { return m_process.canReadLine(); }

private:
    QProcess m_process;
    bool m_ready = false;
};

} // namespace

TEST_F(DesktopSilenceTest, recording_from_a_microphone_silences_but_a_monitor_or_a_level_meter_does_not)
{
    SoundServer server;
    ASSERT_EQ(server.run("pactl", {"info"}), 0);
    qputenv("PULSE_SERVER", server.address().toLocal8Bit());
    store();
    start(at(10, 5));
    EXPECT_TRUE(stateBecomes("chiming"));

    // The output's monitor and a level meter on the microphone are no recording.
    auto monitor = server.record("parecord", {"--raw", "-d", "out.monitor"});
    QProcess meter;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("PULSE_SERVER", server.address());
    meter.setProcessEnvironment(e);
    meter.start(PEAK_METER, {"mic"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return meter.readAllStandardOutput().contains("ready"); }, 5000));
    QTest::qWait(300);
    EXPECT_EQ(controller->controlState().state, "chiming");
    EXPECT_TRUE(sounds(at(10, 15)));

    controller->chimeNow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return controller->getCurrentSound() && controller->getCurrentSound()->isPlaying(); }, 3000));
    QElapsedTimer took;
    took.start();
    auto recorder = server.record("parecord", {"--raw", "-d", "mic"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller->getCurrentSound() == nullptr; }, 2000));
    // Counted from starting the recorder, which includes its own connection to the server.
    std::printf("Recording to a stopped chime: %lld ms\n", static_cast<long long>(took.elapsed()));
    EXPECT_LT(took.elapsed(), 200 + 300);
    EXPECT_TRUE(stateBecomes("excluded", "Silent: the microphone is in use."));
    EXPECT_FALSE(sounds(at(10, 30)));
    recorder.reset();
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(10, 45)));

    // A server that dies takes its recordings with it; the one that comes back is followed again.
    recorder = server.record("parecord", {"--raw", "-d", "mic"});
    EXPECT_TRUE(stateBecomes("excluded"));
    recorder.reset();
    monitor.reset();
    meter.kill();
    meter.waitForFinished();
    server.stop();
    EXPECT_TRUE(stateBecomes("chiming"));
    ASSERT_TRUE(server.start());
    recorder = server.record("parecord", {"--raw", "-d", "mic"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller->controlState().state == "excluded"; }, 15000));
    EXPECT_FALSE(sounds(at(11, 0)));
    qunsetenv("PULSE_SERVER");
}

// Many recordings at once (a source takes 256), and a client that opens and closes a monitor stream without
// pause while a real recording starts and ends.
TEST_F(DesktopSilenceTest,
       five_hundred_recordings_silence_until_the_last_ends_and_a_churning_client_hides_none)
{
    SoundServer server;
    ASSERT_EQ(server.run("pactl", {"info"}), 0);
    qputenv("PULSE_SERVER", server.address().toLocal8Bit());
    store();
    start(at(10, 5));
    EXPECT_TRUE(stateBecomes("chiming"));
    CaptureClient streams(server, {"mic", "mic2"});
    ASSERT_TRUE(streams.isReady());

    streams.send("open 500");
    ASSERT_TRUE(streams.waitFor("open 500 "));
    EXPECT_TRUE(stateBecomes("excluded", "Silent: the microphone is in use."));
    EXPECT_FALSE(sounds(at(10, 15)));
    streams.send("close 499 seq");
    ASSERT_TRUE(streams.waitFor("open 1 "));
    QTest::qWait(300);
    EXPECT_EQ(controller->controlState().state, "excluded");
    streams.send("close 1");
    ASSERT_TRUE(streams.waitFor("open 0 "));
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(10, 30)));

    // Both the start and the end of the recording are seen while the churn goes on.
    streams.send("churn 2 out.monitor");
    QTest::qWait(300);
    EXPECT_EQ(controller->controlState().state, "chiming");
    streams.send("open 1");
    ASSERT_TRUE(streams.waitFor("open 1 "));
    EXPECT_TRUE(stateBecomes("excluded"));
    QTest::qWait(300);
    EXPECT_EQ(controller->controlState().state, "excluded");
    streams.send("close 1");
    ASSERT_TRUE(streams.waitFor("open 0 "));
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_FALSE(streams.hasLine()) << "the churn ended before the recording's end was seen";
    ASSERT_TRUE(streams.waitFor("churned"));
    EXPECT_TRUE(sounds(at(10, 45)));
    controller.reset();
    qunsetenv("PULSE_SERVER");
}

namespace {

// Xvfb with openbox, and windows of the test's own on it.
class WindowDesktop {
public:
    WindowDesktop()
    {
        m_server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "640x480x24", "-nolisten", "tcp"});
        if (!QTest::qWaitFor([this] { return m_server.canReadLine(); }, 10000))
            return;
        m_display = ":" + QString::fromLatin1(m_server.readLine().trimmed());
        m_c = xcb_connect(m_display.toLatin1().constData(), nullptr);
        if (xcb_connection_has_error(m_c))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("DISPLAY", m_display);
        m_wm.setProcessEnvironment(e);
        m_wm.start("openbox", {"--sm-disable"});
        m_ready = QTest::qWaitFor([this] { return wmctrl({"-m"}); }, 10000);
    }
    ~WindowDesktop() { stop(); }
    void stop()
    {
        if (m_c)
            xcb_disconnect(m_c);
        m_c = nullptr;
        for (QProcess* p : {&m_wm, &m_server}) {
            p->terminate();
            p->waitForFinished(5000);
        }
    }
    bool isReady() const { return m_ready; }
    QString display() const { return m_display; }

    // A mapped window, once the window manager lists it.
    xcb_window_t open()
    {
        const xcb_window_t w = xcb_generate_id(m_c);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, w, m_root, 0, 0, 200, 150, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(m_c, w);
        xcb_flush(m_c);
        const QString id = QStringLiteral("0x%1").arg(w, 8, 16, QLatin1Char('0'));
        if (!QTest::qWaitFor([&] { return output({"-l"}).contains(id.toLatin1()); }, 5000))
            return XCB_NONE;
        return w;
    }
    bool wmctrl(const QStringList& args) const
    {
        QProcess p;
        run(p, args);
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
    bool onWindow(xcb_window_t w, const QStringList& args) const
    {
        return wmctrl(QStringList{"-i", "-r", QString::number(w)} + args);
    }
    bool activate(xcb_window_t w) const { return wmctrl({"-i", "-a", QString::number(w)}); }
    void setProperty(xcb_window_t w, const char* name, xcb_atom_t type, uint8_t format, uint32_t count,
                     const void* data)
    {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, w, atom(name), type, format, count, data);
        xcb_flush(m_c);
    }
    xcb_window_t root() const { return m_root; }
    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return a;
    }

private:
    void run(QProcess& p, const QStringList& args) const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("DISPLAY", m_display);
        p.setProcessEnvironment(e);
        p.start("wmctrl", args);
        p.waitForFinished(5000);
    }
    QByteArray output(const QStringList& args) const
    {
        QProcess p;
        run(p, args);
        return p.readAllStandardOutput();
    }

    QProcess m_server, m_wm;
    QString m_display;
    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_root = XCB_NONE;
    bool m_ready = false;
};

} // namespace

TEST_F(DesktopSilenceTest,
       a_focused_full_screen_window_silences_where_asked_and_garbage_in_its_state_does_not)
{
    WindowDesktop desktop;
    ASSERT_TRUE(desktop.isReady());
    const QByteArray previousDisplay = qgetenv("DISPLAY");
    qputenv("DISPLAY", desktop.display().toLatin1());
    store({{PrefKeys::silentFullScreen, true}});
    start(at(10, 5));
    const xcb_window_t film = desktop.open();
    ASSERT_NE(film, XCB_NONE);
    ASSERT_TRUE(desktop.activate(film));
    EXPECT_TRUE(stateBecomes("chiming"));

    const qint64 stopMs = stopsPlayingChime([&] { desktop.onWindow(film, {"-b", "add,fullscreen"}); });
    EXPECT_GE(stopMs, 0);
    EXPECT_LT(stopMs, 200);
    std::printf("Full-screen window to a stopped chime: %lld ms\n", static_cast<long long>(stopMs));
    EXPECT_TRUE(stateBecomes("excluded", "Silent: a full-screen window is focused."));
    EXPECT_FALSE(sounds(at(10, 15)));

    // Only the focused window counts.
    const xcb_window_t other = desktop.open();
    ASSERT_NE(other, XCB_NONE);
    ASSERT_TRUE(desktop.activate(other));
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(10, 30)));
    ASSERT_TRUE(desktop.activate(film));
    EXPECT_TRUE(stateBecomes("excluded"));
    ASSERT_TRUE(desktop.onWindow(film, {"-b", "remove,fullscreen"}));
    EXPECT_TRUE(stateBecomes("chiming"));

    // Garbage in the state or the active window is no full-screen window, and breaks nothing after it.
    const QByteArray text = "_NET_WM_STATE_FULLSCREEN";
    desktop.setProperty(film, "_NET_WM_STATE", XCB_ATOM_STRING, 8, uint32_t(text.size()), text.constData());
    std::vector<uint32_t> junk(5000);
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = uint32_t(0x7fff0000u + i);
    desktop.setProperty(film, "_NET_WM_STATE", XCB_ATOM_ATOM, 32, uint32_t(junk.size()), junk.data());
    desktop.setProperty(film, "_NET_WM_STATE", XCB_ATOM_ATOM, 16, 3, "\x01\x02\x03\x04\x05\x06");
    const uint32_t nowhere = 0x0badf00d;
    desktop.setProperty(desktop.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, 32, 1, &nowhere);
    desktop.setProperty(desktop.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_CARDINAL, 8, 2, "xy");
    QTest::qWait(300);
    EXPECT_EQ(controller->controlState().state, "chiming");
    // The window manager writes the active window again only when the focus moves.
    ASSERT_TRUE(desktop.activate(other));
    ASSERT_TRUE(desktop.activate(film));
    ASSERT_TRUE(desktop.onWindow(film, {"-b", "add,fullscreen"}));
    EXPECT_TRUE(stateBecomes("excluded", "Silent: a full-screen window is focused."));

    // An X server that goes away takes its full-screen window with it.
    desktop.stop();
    EXPECT_TRUE(stateBecomes("chiming"));

    // Off by default.
    store({{PrefKeys::silentFullScreen, QVariant()}});
    controller->readPrefs();
    EXPECT_TRUE(stateBecomes("chiming"));
    EXPECT_TRUE(sounds(at(10, 45)));
    controller.reset();
    if (previousDisplay.isEmpty())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", previousDisplay);
}
