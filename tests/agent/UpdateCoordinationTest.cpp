// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the agent does around an update: when it checks, where it installs, the pane host and caches before a
// restart, and how the update-only agent ends.

#include "agent/PealixController.h"
#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/panes/PaneHostInterface.h"
#include "platform/scripting/AppleScript.h"
#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "platform/update/Updater.h"
#include "platform/workspace/LaunchServices.h"
#include "shared/PrefKeys.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

PrivateBus* const& bus = PrivateBus::forProgram();
namespace PaneHost = platform::PaneHostInterface;

QByteArray fileBytes(const char* path)
{
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A feed address on the loopback that answers every request, after a pause, with something that is not a
// feed: each check reaches it and then fails.
class LoopbackFeed : public QObject {
public:
    explicit LoopbackFeed(int answerAfterMs = 0)
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this, answerAfterMs] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket, answerAfterMs] {
                    if (!socket->readAll().startsWith("GET "))
                        return;
                    ++requests;
                    QTimer::singleShot(answerAfterMs, socket, [socket] {
                        socket->write(
                            "HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nnothing");
                        socket->disconnectFromHost();
                    });
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/feed").arg(server.serverPort()); }

    QTcpServer server;
    int requests = 0;
};

class UpdateCoordinationTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_savedState = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QFile::encodeName(env.root() + QStringLiteral("/state")));
        qputenv("PEALIX_UPDATE_POLICY_FILE", QFile::encodeName(env.root() + QStringLiteral("/no-policy")));
    }
    void TearDown() override
    {
        qputenv("XDG_STATE_HOME", m_savedState);
        qunsetenv("PEALIX_UPDATE_POLICY_FILE");
        if (m_host && m_host->state() != QProcess::NotRunning) {
            m_host->kill();
            m_host->waitForFinished(2000);
        }
    }

    std::optional<QString> targetFor(const QString& agentBundle)
    {
        QDir().mkpath(env.root() + agentBundle);
        PealixController controller(platform::Bundle(env.root() + agentBundle),
                                    {QStringLiteral("PealixTool")});
        const auto target = controller.updaterInstallTargetPath();
        return target ? std::optional<QString>(target->mid(env.root().size())) : std::nullopt;
    }

    // The pane host showing a pane with this identifier.
    void startHost(const QByteArray& identifier)
    {
        const QString pane = QStringLiteral("panes/Shown.prefPane");
        env.writeFile(
            pane + QStringLiteral("/Contents/Info.plist"),
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>" +
                identifier + "</string><key>NSPrincipalClass</key><string>TestPane</string></dict></plist>");
        env.writeFile(pane + QStringLiteral("/Contents/Linux/Shown.so"), fileBytes(TEST_PANE));
        m_host = std::make_unique<QProcess>();
        m_host->start(platform::LaunchServices::paneHost(), {env.root() + QLatin1Char('/') + pane});
        ASSERT_TRUE(m_host->waitForStarted(5000));
        QDeadlineTimer deadline(10000);
        while (!QDBusConnection::sessionBus().interface()->isServiceRegistered(PaneHost::busName) &&
               !deadline.hasExpired())
            QTest::qWait(20);
        ASSERT_TRUE(QDBusConnection::sessionBus().interface()->isServiceRegistered(PaneHost::busName));
    }

    QStringList caches() const
    {
        return {env.cacheHome() + QStringLiteral("/com.apple.preferencepanes.cache"),
                env.cacheHome() + QStringLiteral("/com.apple.preferencepanes.searchindexcache")};
    }

    // An agent bundle whose updater reads the given feed.
    QString agentWithFeed(const QString& feedUrl) const
    {
        return QFileInfo(
                   env.writeFile(QStringLiteral("PealixTool.app/Contents/Info.plist"),
                                 platform::PropertyList::toXml(QVariantMap{
                                     {QStringLiteral("CFBundleExecutable"), QStringLiteral("PealixTool")},
                                     {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.0")},
                                     {QStringLiteral("PealixUpdateFeedURL"), feedUrl}})))
            .absolutePath()
            .chopped(int(QStringLiteral("/Contents").size()));
    }

    // The updater's timer for its quiet checks, when one is set.
    static QTimer* dailyCheck(PealixController& controller)
    {
        const auto timers =
            controller.softwareUpdater()->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
        return timers.size() == 1 ? timers.first() : nullptr;
    }

    TestEnvironment env;
    std::unique_ptr<QProcess> m_host;
    QByteArray m_savedState;
};

TEST_F(UpdateCoordinationTest, the_install_target_is_the_enclosing_pane_bundle_or_none)
{
    EXPECT_EQ(targetFor("/lib/PreferencePanes/Pealix.prefPane/Contents/Resources/PealixTool.app"),
              QStringLiteral("/lib/PreferencePanes/Pealix.prefPane"));
    EXPECT_EQ(targetFor("/a/Pealix.prefPane.old/Contents/Resources/PealixTool.app"), std::nullopt);
    EXPECT_EQ(targetFor("/build/PealixTool.app"), std::nullopt);
}

TEST_F(UpdateCoordinationTest, the_host_showing_this_pane_quits_before_a_restart_and_the_caches_go)
{
    ASSERT_TRUE(bus && bus->isRunning());
    for (const QString& cache : caches())
        env.writeFile(cache.mid(env.root().size() + 1), "cache");
    startHost("com.quorlenvik.pealix");
    PealixController controller(platform::Bundle(env.root()), {QStringLiteral("PealixTool")});
    // Two questions for the target: the handler runs twice. A probe between the two runs sees the first
    // one's work done and puts a cache back, which only a second run removes.
    controller.updaterInstallTargetPath();
    bool cachesGoneAfterFirstRun = false;
    QObject probe;
    QObject::connect(
        controller.softwareUpdater(), &platform::Updater::willRestart, &probe,
        [&] {
            cachesGoneAfterFirstRun = !QFile::exists(caches().first()) && !QFile::exists(caches().last());
            env.writeFile(caches().first().mid(env.root().size() + 1), "cache");
        },
        Qt::DirectConnection);
    controller.updaterInstallTargetPath();
    emit controller.softwareUpdater()->willRestart();
    EXPECT_TRUE(cachesGoneAfterFirstRun);
    EXPECT_TRUE(m_host->waitForFinished(5000));
    for (const QString& cache : caches())
        EXPECT_FALSE(QFile::exists(cache)) << cache.toStdString();
}

TEST_F(UpdateCoordinationTest, a_host_showing_another_pane_keeps_running)
{
    ASSERT_TRUE(bus && bus->isRunning());
    env.writeFile(caches().first().mid(env.root().size() + 1), "cache");
    startHost("org.example.other");
    PealixController controller(platform::Bundle(env.root()), {QStringLiteral("PealixTool")});
    controller.updaterInstallTargetPath();
    emit controller.softwareUpdater()->willRestart();
    EXPECT_FALSE(m_host->waitForFinished(500));
    EXPECT_FALSE(QFile::exists(caches().first()));
}

TEST_F(UpdateCoordinationTest, the_agent_checks_a_day_after_the_last_check_and_asks_once_whether_to)
{
    ASSERT_TRUE(bus && bus->isRunning());
    {
        // The built agent names no feed: no quiet check can happen, so it does not load the updater.
        PealixController unconfigured(platform::Bundle(agentBundleDir()), {QStringLiteral("PealixTool")});
        unconfigured.awakeFromNib();
        EXPECT_FALSE(unconfigured.updatesLoaded());
    }
    LoopbackFeed feed;
    PealixController controller(platform::Bundle(agentWithFeed(feed.url())), {QStringLiteral("PealixTool")});
    platform::Updater* updater = controller.softwareUpdater();
    const QString state = updater->stateFilePath();
    env.writeFile(state.mid(env.root().size() + 1),
                  platform::PropertyList::toXml(QVariantMap{
                      {QStringLiteral("LastCheckTime"), QDateTime::currentDateTimeUtc().addSecs(-3600)}}));
    controller.awakeFromNib();
    QTimer* daily = dailyCheck(controller);
    ASSERT_TRUE(daily && daily->isActive());
    EXPECT_NEAR(daily->remainingTime() / 1000.0, 23 * 3600.0, 60.0) << "a day after the last check";

    // The first time it is due, nothing is fetched before the user answers; the answer is kept.
    updater->setWindowsWithoutDisplay(true);
    QSignalSpy finished(updater, &platform::Updater::checkFinished);
    daily->start(0);
    QMessageBox* question = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            question = qobject_cast<QMessageBox*>(updater->currentWindow());
            return question && question->isVisible();
        },
        5000));
    EXPECT_EQ(question->objectName(), QStringLiteral("askAutomatic"));
    EXPECT_EQ(feed.requests, 0);
    auto* yes = question->findChild<QAbstractButton*>(QStringLiteral("yes"));
    ASSERT_TRUE(yes);
    yes->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 1; }, 10000));
    EXPECT_EQ(feed.requests, 1);
    EXPECT_EQ(platform::PropertyList::readFile(state)
                  .value_or(QVariant())
                  .toMap()
                  .value(QStringLiteral("AutomaticChecks")),
              true);
    EXPECT_NEAR(daily->remainingTime() / 1000.0, 24 * 3600.0, 60.0);

    // The next time it checks without asking again.
    daily->start(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 2; }, 10000));
    EXPECT_EQ(feed.requests, 2);
    const auto* shown = qobject_cast<QMessageBox*>(updater->currentWindow());
    EXPECT_FALSE(shown && shown->isVisible());
}

TEST_F(UpdateCoordinationTest, a_check_asked_for_by_the_pane_reaches_the_feed_and_one_running_is_not_doubled)
{
    ASSERT_TRUE(bus && bus->isRunning());
    LoopbackFeed feed(1000);
    PealixController controller(platform::Bundle(agentWithFeed(feed.url())), {QStringLiteral("PealixTool")});
    controller.awakeFromNib();
    QSignalSpy finished(controller.softwareUpdater(), &platform::Updater::checkFinished);
    auto* center = platform::DistributedNotificationCenter::defaultCenter();
    center->postNotificationName(PrefKeys::updateCheckNotification);
    center->postNotificationName(PrefKeys::updateCheckNotification);
    ASSERT_TRUE(QTest::qWaitFor([&] { return controller.softwareUpdater()->updateInProgress(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 1; }, 10000));
    QTest::qWait(300);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(feed.requests, 1);
}

TEST_F(UpdateCoordinationTest, update_only_mode_builds_nothing_checks_waits_for_the_check_and_quits)
{
    ASSERT_TRUE(bus && bus->isRunning());
    constexpr int answerAfterMs = 1500;
    LoopbackFeed feed(answerAfterMs);
    const QString agent = agentWithFeed(feed.url());
    env.writeFile(QStringLiteral("PealixTool.app/Contents/Resources/Chimes.pealix/chimeset.plist"),
                  platform::PropertyList::toXml(QVariantMap{{QStringLiteral("chimes"), QVariantList()}}));
    platform::Preferences prefs(PrefKeys::domain);
    prefs.setValue(PrefKeys::pealixActive, true);
    ASSERT_TRUE(prefs.synchronize());

    PealixController controller(platform::Bundle(agent),
                                {QStringLiteral("PealixTool"), QStringLiteral("-u")});
    QSignalSpy finished(controller.softwareUpdater(), &platform::Updater::checkFinished);
    QElapsedTimer clock;
    clock.start();
    controller.awakeFromNib();
    EXPECT_TRUE(controller.isUpdateOnlyMode());
    // The check may first ask the preferences for their window (at most 1 s), well before the answer.
    EXPECT_TRUE(QTest::qWaitFor([&] { return controller.softwareUpdater()->updateInProgress(); }, 1200));
    EXPECT_TRUE(controller.setTable().isEmpty());
    EXPECT_FALSE(controller.chimingEnabled());
    EXPECT_EQ(dailyCheck(controller), nullptr);

    // Only the agent ends the application's loop (its closing windows do not, as in the agent); the guard
    // keeps a fault from hanging the test.
    const bool quitOnLastWindowClosed = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
    guard.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    QApplication::setQuitOnLastWindowClosed(quitOnLastWindowClosed);
    EXPECT_GE(clock.elapsed(), answerAfterMs);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(feed.requests, 1);
    EXPECT_FALSE(controller.softwareUpdater()->updateInProgress());
}

TEST(AppleScriptTest, only_the_two_host_scripts_run)
{
    for (const char* script :
         {"tell application \"System Preferences\"\ndo shell script \"rm -rf ~\"\nend tell",
          "tell application \"Finder\"\nquit\nend tell",
          "tell application \"System Preferences\"\nquit\nend tell\n",
          "tell application \"System Preferences\"\nquit"})
        EXPECT_FALSE(platform::AppleScript(QString::fromLatin1(script)).executeAndReturnError()) << script;
}

} // namespace
