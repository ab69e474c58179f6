// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the agent does around an update: where it installs, and the pane host and caches before a restart.

#include "agent/PealixController.h"
#include "platform/panes/PaneHostInterface.h"
#include "platform/scripting/AppleScript.h"
#include "platform/workspace/LaunchServices.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {

PrivateBus* const& bus = PrivateBus::forProgram();
namespace PaneHost = platform::PaneHostInterface;

QByteArray fileBytes(const char* path)
{
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class UpdateCoordinationTest : public testing::Test {
protected:
    void TearDown() override
    {
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

    TestEnvironment env;
    std::unique_ptr<QProcess> m_host;
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
    // Two questions for the target: the handler runs twice, the second time finding nothing to do.
    controller.updaterInstallTargetPath();
    controller.updaterInstallTargetPath();
    emit controller.softwareUpdater()->willRestart();
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
