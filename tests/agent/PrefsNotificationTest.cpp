// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A running agent re-reads its settings when the pane's notification arrives over the session bus or the
// file changes, and reads whatever lies at the settings path without blocking, writing or losing anything:
// a file that does not parse or does not answer leaves it chiming from the settings it read last.

#include "agent/PealixController.h"
#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "shared/PrefKeys.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Qt keeps one session-bus connection per process, so the bus outlives every test.
PrivateBus* const& bus = PrivateBus::forProgram();

void storeVolume(qint64 volume)
{
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(PrefKeys::chimeVolume, volume);
    prefs.synchronize();
}

int sendSignal(const QString& name)
{
    return QProcess::execute("dbus-send",
                             {"--session", "--type=signal", "/com/quorlenvik/DistributedNotificationCenter",
                              "com.quorlenvik.DistributedNotificationCenter.Posted", "string:" + name});
}

QStringList entriesOf(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Starts the built agent in the test's home and returns what it reported of its first settings read,
// or an empty text when it reported none in time.
QString firstReadOfBuiltAgent()
{
    QProcess agent;
    QProcessEnvironment penv = QProcessEnvironment::systemEnvironment();
    penv.insert("QT_QPA_PLATFORM", "offscreen");
    penv.insert("PEALIX_AUDIO_SINK", "fakesink");
    penv.insert("QT_LOGGING_RULES", "pealix.agent.prefs.debug=true");
    agent.setProcessEnvironment(penv);
    agent.setReadChannel(QProcess::StandardError);
    agent.start(agentBundleDir() + "/Contents/Linux/PealixTool", {});
    QString line;
    QElapsedTimer waited;
    waited.start();
    while (line.isEmpty() && waited.elapsed() < 10000 && agent.state() != QProcess::NotRunning) {
        agent.waitForReadyRead(100);
        for (const QString& l : QString::fromUtf8(agent.readAllStandardError()).split('\n')) {
            if (l.contains("settings read:"))
                line = l;
        }
    }
    agent.terminate();
    if (!agent.waitForFinished(5000))
        agent.kill();
    return line;
}

} // namespace

TEST(PrefsNotification, built_agent_reads_any_kind_of_settings_path_at_once_and_changes_nothing)
{
    ASSERT_TRUE(bus->isRunning());
    const QByteArray valid =
        "<plist><dict><key>" + PrefKeys::chimeVolume.toUtf8() + "</key><integer>33</integer></dict></plist>";
    struct Case {
        const char* name;
        std::function<void(const QString& file)> make;
        const char* expected;
    };
    const Case cases[] = {
        {"fifo", [](const QString& f) { ASSERT_EQ(::mkfifo(QFile::encodeName(f).constData(), 0600), 0); },
         "volume 70"},
        {"link to /dev/zero", [](const QString& f) { ASSERT_TRUE(QFile::link("/dev/zero", f)); },
         "volume 70"},
        {"directory", [](const QString& f) { ASSERT_TRUE(QDir().mkdir(f)); }, "volume 70"},
        {"socket",
         [](const QString& f) {
             const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             const QByteArray native = QFile::encodeName(f);
             ASSERT_LT(size_t(native.size()), sizeof(address.sun_path));
             std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
             ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
             ::close(fd);
         },
         "volume 70"},
        {"over the size bound",
         [](const QString& f) {
             QFile file(f);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             ASSERT_TRUE(file.resize(platform::Preferences::maxFileBytes + 1));
         },
         "volume 70"},
        // Neither a read-only folder nor a lock that cannot be opened stands in a reader's way.
        {"read-only folder",
         [&](const QString& f) {
             QFile file(f);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write(valid);
             file.close();
             ASSERT_TRUE(QDir().mkdir(f + ".lock"));
             ASSERT_EQ(::chmod(QFile::encodeName(QFileInfo(f).absolutePath()).constData(), 0500), 0);
         },
         "volume 33"},
        {"link to a valid file",
         [&](const QString& f) {
             QFile file(f + ".real");
             ASSERT_TRUE(file.open(QIODevice::WriteOnly));
             file.write(valid);
             file.close();
             ASSERT_TRUE(QFile::link(f + ".real", f));
         },
         "volume 33"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestEnvironment env;
        const QString file = platform::Preferences(PrefKeys::domain).filePath();
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
        c.make(file);
        const QStringList before = entriesOf(QFileInfo(file).absolutePath());
        QElapsedTimer took;
        took.start();
        const QString line = firstReadOfBuiltAgent();
        EXPECT_TRUE(line.contains(c.expected)) << qPrintable(line);
        EXPECT_LT(took.elapsed(), 8000);
        EXPECT_EQ(entriesOf(QFileInfo(file).absolutePath()).join(' '), before.join(' '));
        ::chmod(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), 0700);
    }
}

TEST(PrefsNotification, a_tool_writing_in_place_during_a_flood_loses_nothing_and_costs_few_reads)
{
    ASSERT_TRUE(bus->isRunning());
    TestEnvironment env;
    storeVolume(20);
    PealixController controller(platform::Bundle(env.root()), {"PealixTool"});
    controller.awakeFromNib();
    QSignalSpy reads(&controller, &PealixController::prefsRead);
    const QStringList before = entriesOf(env.configHome() + "/pealix");

    const int rounds = 100;
    QElapsedTimer elapsed;
    elapsed.start();
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedChannels);
    writer.start(QStringLiteral(PREFERENCES_WRITER),
                 {"--in-place", PrefKeys::domain, QString::number(rounds), QStringLiteral("20")});
    while ((writer.state() != QProcess::NotRunning || controller.volume() != rounds) &&
           elapsed.elapsed() < 30000)
        QTest::qWait(10);
    EXPECT_EQ(writer.exitCode(), 0);
    // The last write was announced only while half-written: the re-read of a file that did not parse
    // is what finds it.
    EXPECT_EQ(controller.volume(), rounds) << "the last state was read";
    // Reads start at most every 100 ms, however many notifications arrive.
    EXPECT_LE(reads.count(), elapsed.elapsed() / 100 + 2) << "over " << elapsed.elapsed() << " ms";
    EXPECT_EQ(entriesOf(env.configHome() + "/pealix").join(' '), before.join(' ')) << "nothing moved aside";
}

TEST(PrefsNotification, posted_signal_from_another_process_makes_the_agent_read_again)
{
    ASSERT_TRUE(bus->isRunning());
    TestEnvironment env;
    storeVolume(20);
    PealixController controller(platform::Bundle(env.root()), {"PealixTool"});
    controller.awakeFromNib();
    ASSERT_EQ(controller.volume(), 20);

    QSignalSpy reads(&controller, &PealixController::prefsRead);
    ASSERT_EQ(sendSignal("com.quorlenvik.pealix.other-notification"), 0);
    QTest::qWait(300);
    EXPECT_EQ(reads.count(), 0) << "only the settings notification triggers a re-read";
    // The file is left as it was, so that no change of it is what makes the agent read.
    ASSERT_EQ(sendSignal(PrefKeys::prefsUpdateNotification), 0);
    ASSERT_TRUE(reads.wait(5000));
    QTest::qWait(200);
    EXPECT_EQ(reads.count(), 1);
    EXPECT_EQ(controller.volume(), 20);
}

TEST(PrefsNotification, a_file_that_does_not_parse_keeps_the_last_settings_until_one_does)
{
    ASSERT_TRUE(bus->isRunning());
    TestEnvironment env;
    {
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::chimeVolume, qint64(20));
        prefs.setValue(PrefKeys::pealixActive, true);
        prefs.setValue(PrefKeys::chimeInfo, QVariantList{QVariantMap{{"minute", qint64(15)},
                                                                     {"chime", true},
                                                                     {"strike", false},
                                                                     {"path", env.root() + "/a.wav"}}});
        ASSERT_TRUE(prefs.synchronize());
    }
    PealixController controller(platform::Bundle(env.root()), {"PealixTool"});
    controller.awakeFromNib();
    ASSERT_EQ(controller.volume(), 20);
    ASSERT_EQ(controller.schedule().size(), 1);
    ASSERT_TRUE(controller.chimingEnabled());

    const QString file = platform::Preferences(PrefKeys::domain).filePath();
    const auto writeInPlace = [&](const QByteArray& bytes) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(bytes);
    };
    QSignalSpy reads(&controller, &PealixController::prefsRead);
    // A hand edit with a typo, announced, and read again until the retries are spent.
    const QByteArray volume45 =
        "<plist><dict><key>" + PrefKeys::chimeVolume.toUtf8() + "</key><integer>45</integer></dict>";
    writeInPlace(volume45);
    ASSERT_EQ(sendSignal(PrefKeys::prefsUpdateNotification), 0);
    ASSERT_TRUE(reads.wait(5000));
    QTest::qWait(3500);
    EXPECT_GE(reads.count(), 6) << "read again while it does not parse";
    EXPECT_EQ(controller.volume(), 20);
    EXPECT_EQ(controller.schedule().size(), 1);
    EXPECT_TRUE(controller.chimingEnabled());

    // The mended file is read when it changes, without a notification.
    writeInPlace(volume45 + "</plist>\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.volume() == 45; }, 2000));
    EXPECT_TRUE(controller.schedule().isEmpty()) << "the new file is taken whole";
    EXPECT_TRUE(controller.chimingEnabled()) << "an absent pealixActive leaves the flag";
}

TEST(PrefsNotification, a_settings_file_whose_reads_hang_neither_silences_nor_holds_the_agent)
{
    ASSERT_TRUE(bus->isRunning());
    const QString preload = fakeTimeLibrary();
    if (preload.isEmpty())
        GTEST_SKIP() << "libfaketime (Debian package faketime) is not installed";

    TestEnvironment env;
    const QString mount = env.root() + "/hung";
    ASSERT_TRUE(QDir().mkpath(mount));
    QProcess fs;
    fs.setProcessChannelMode(QProcess::ForwardedChannels);
    fs.start(BLOCKING_FUSE, {mount, "settings.plist=<plist><dict/></plist>"});
    const QString hung = mount + "/settings.plist";
    const bool settled =
        QTest::qWaitFor([&] { return fs.state() == QProcess::NotRunning || QFileInfo::exists(hung); }, 10000);
    if (fs.state() == QProcess::NotRunning && fs.exitCode() == 77)
        GTEST_SKIP() << "FUSE cannot be used here (see the fixture's message)";
    ASSERT_TRUE(settled && QFileInfo::exists(hung));
    const auto unmount = qScopeGuard([&] {
        fs.kill();
        fs.waitForFinished(3000);
        if (QProcess::execute("fusermount", {"-u", "-z", mount}) != 0)
            QProcess::execute("umount", {"-l", mount});
    });

    {
        platform::Preferences prefs(PrefKeys::domain);
        prefs.setValue(PrefKeys::pealixActive, true);
        prefs.setValue(PrefKeys::chimeVolume, qint64(100));
        prefs.setValue(PrefKeys::chimeInfo, QVariantList{QVariantMap{{"minute", qint64(0)},
                                                                     {"chime", true},
                                                                     {"strike", false},
                                                                     {"set", "Chimes"},
                                                                     {"path", PrefKeys::blankPath}}});
        ASSERT_TRUE(prefs.synchronize());
    }
    const QString out = env.root() + "/out.wav";
    QProcess agent;
    QProcessEnvironment penv = QProcessEnvironment::systemEnvironment();
    penv.insert("QT_QPA_PLATFORM", "offscreen");
    penv.insert("QT_LOGGING_RULES", "pealix.agent.prefs.debug=true");
    penv.insert("LD_PRELOAD", preload);
    const QString asan = penv.value("ASAN_OPTIONS");
    penv.insert("ASAN_OPTIONS", (asan.isEmpty() ? "" : asan + ":") + "verify_asan_link_order=0");
    penv.insert("FAKETIME", "@2026-12-07 14:59:53");
    penv.insert("FAKETIME_DONT_FAKE_MONOTONIC", "1");
    penv.insert("PEALIX_AUDIO_SINK", "audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink "
                                     "buffer-mode=unbuffered location=\"" +
                                         out + "\"");
    agent.setProcessEnvironment(penv);
    agent.setReadChannel(QProcess::StandardError);
    agent.start(agentBundleDir() + "/Contents/Linux/PealixTool", {});
    const auto stop = qScopeGuard([&] {
        agent.kill();
        agent.waitForFinished(3000);
    });
    QString log;
    const auto logged = [&](const char* text) {
        log += QString::fromUtf8(agent.readAllStandardError());
        return log.contains(text);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return logged("settings read: volume 100"); }, 5000))
        << qPrintable(log);

    // The settings file becomes one whose reads hang, and the agent is told to read it.
    const QString file = platform::Preferences(PrefKeys::domain).filePath();
    ASSERT_TRUE(QFile::link(hung, file + ".link"));
    ASSERT_EQ(std::rename(QFile::encodeName(file + ".link"), QFile::encodeName(file)), 0);
    ASSERT_EQ(sendSignal(PrefKeys::prefsUpdateNotification), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo(out).size() > 48000; }, 9000))
        << "the quarter did not sound while a read hung; the agent "
        << (agent.state() == QProcess::NotRunning
                ? qPrintable(
                      QStringLiteral("ended (status %1, %2)").arg(agent.exitCode()).arg(agent.exitStatus()))
                : "runs")
        << " and said: " << (logged(""), qPrintable(log));
    EXPECT_TRUE(logged("has not answered yet")) << "no read hung: " << qPrintable(log);
    agent.terminate();
    EXPECT_TRUE(agent.waitForFinished(2000)) << "the agent did not stop while its read hung";
}
