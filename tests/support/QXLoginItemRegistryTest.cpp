// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The registry against the real login-item service of the installation, started on first use.

#include "support/QXLoginItemRegistry.h"
#include "platform/appleevents/AppleEvent.h"
#include "platform/workspace/LaunchServices.h"
#include "platform/workspace/ProcessManager.h"
#include "support/NSWorkspaceProcessInfo.h"
#include "testsupport/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryFile>
#include <QVariantMap>
#include <csignal>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

QUrl urlAt(const QVariantList& items, int index)
{
    return items.at(index).toMap().value(QStringLiteral("URL")).toUrl();
}

// An application bundle the service can start at login.
QString bundle(const TestEnvironment& env, const QString& path)
{
    env.writeFile(path + QStringLiteral("/Contents/Info.plist"),
                  "<plist><dict><key>CFBundleExecutable</key><string>run</string></dict></plist>");
    QFile::setPermissions(env.writeFile(path + QStringLiteral("/Contents/Linux/run"), "#!/bin/sh\n"),
                          QFile::ReadOwner | QFile::ExeOwner);
    return env.root() + '/' + path;
}

QList<int> servicePids()
{
    QList<int> pids;
    for (int pid : NSWorkspaceProcessInfo::pidsForProcessesWithCommand(QStringLiteral("pealix-loginitem")))
        if (platform::processSharesRuntimeDirectory(pid))
            pids.append(pid);
    return pids;
}

int servicesInThisSession()
{
    return int(servicePids().size());
}

// The lines written to standard error while `body` runs, without what the program calls itself.
QList<QByteArray> standardErrorOf(const std::function<void()>& body)
{
    QTemporaryFile capture;
    if (!capture.open())
        return {};
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(capture.handle(), STDERR_FILENO);
    body();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    QFile written(capture.fileName());
    QList<QByteArray> lines;
    if (written.open(QIODevice::ReadOnly))
        for (const QByteArray& line : written.readAll().split('\n'))
            if (!line.isEmpty())
                lines << line.mid(line.indexOf(": ") + 2);
    return lines;
}

} // namespace

TEST(QXLoginItemRegistry, lists_adds_finds_and_removes_through_the_service_it_starts)
{
    TestEnvironment env;
    ASSERT_EQ(servicesInThisSession(), 0);

    // An empty list is a list, and nothing is found in it; the service now runs.
    const std::optional<QVariantList> none = QXLoginItemRegistry::allLoginItems();
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->isEmpty());
    EXPECT_EQ(servicesInThisSession(), 1);
    EXPECT_EQ(QXLoginItemRegistry::indexForLoginItemWithAppName(QStringLiteral("PealixTool.app")), -1);

    const QString old = bundle(env, QStringLiteral("Old Install/OldPealixTool.app"));
    const QString agent = bundle(env, QStringLiteral("Pealix “current”/PealixTool.app"));
    const QString script = env.writeFile(QStringLiteral("bin/helper"), "#!/bin/sh\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);
    ASSERT_TRUE(QXLoginItemRegistry::addLoginItemWithPath(old, true));
    ASSERT_TRUE(QXLoginItemRegistry::addLoginItemWithPath(agent, true));
    ASSERT_TRUE(QXLoginItemRegistry::addLoginItemWithPath(script, false));
    // A file that does not exist is refused before anything is sent.
    EXPECT_FALSE(QXLoginItemRegistry::addLoginItemWithPath(env.root() + QStringLiteral("/gone.app"), true));

    std::optional<QVariantList> items = QXLoginItemRegistry::allLoginItems();
    ASSERT_TRUE(items && items->size() == 3);
    // A folder's URL ends in "/", and the items keep the order they were added in.
    EXPECT_EQ(urlAt(*items, 0), QUrl::fromLocalFile(old + '/'));
    EXPECT_EQ(urlAt(*items, 1), QUrl::fromLocalFile(agent + '/'));
    EXPECT_EQ(items->at(1).toMap().value(QStringLiteral("Hidden")), true);
    EXPECT_EQ(items->at(2).toMap().value(QStringLiteral("Hidden")), false);
    // A plain suffix test on the path: other letters in front match, other letter case does not.
    EXPECT_EQ(QXLoginItemRegistry::indexForLoginItemWithAppName(QStringLiteral("PealixTool.app")), 0);
    EXPECT_EQ(QXLoginItemRegistry::indexForLoginItemWithAppName(QStringLiteral("pealixtool.app")), -1);
    EXPECT_EQ(QXLoginItemRegistry::indexForLoginItemWithPath(agent), 1);
    EXPECT_EQ(QXLoginItemRegistry::indexForLoginItemWithURL(QUrl::fromLocalFile(script)), 2);

    // An item whose file has gone is still listed, under the path as it stands.
    QFile::remove(script);
    items = QXLoginItemRegistry::allLoginItems();
    ASSERT_TRUE(items && items->size() == 3);
    EXPECT_EQ(urlAt(*items, 2), QUrl::fromLocalFile(script));

    // A path that is not registered removes nothing; index 0 is the service's first item.
    EXPECT_FALSE(QXLoginItemRegistry::removeLoginItemWithPath(env.root() + QStringLiteral("/Old Install")));
    EXPECT_TRUE(QXLoginItemRegistry::removeLoginItemAtIndex(0));
    items = QXLoginItemRegistry::allLoginItems();
    ASSERT_TRUE(items && items->size() == 2);
    EXPECT_EQ(urlAt(*items, 0), QUrl::fromLocalFile(agent + '/'));
    EXPECT_TRUE(QXLoginItemRegistry::removeLoginItemWithPath(agent));
    EXPECT_EQ(QXLoginItemRegistry::allLoginItems()->size(), 1);
    EXPECT_FALSE(QXLoginItemRegistry::removeLoginItemAtIndex(5));

    for (int pid : NSWorkspaceProcessInfo::pidsForProcessesWithCommand(QStringLiteral("pealix-loginitem")))
        if (platform::processSharesRuntimeDirectory(pid))
            ::kill(pid, SIGTERM);
}

TEST(QXLoginItemRegistry, a_service_that_cannot_be_had_or_stops_answering_is_logged_and_waited_for_5_s)
{
    TestEnvironment env;
    const QString item = bundle(env, QStringLiteral("PealixTool.app"));

    // Without the service's program nothing can be asked, and each kind of request says so.
    QDir().mkpath(env.root() + QStringLiteral("/no-programs"));
    qputenv("PEALIX_PROGRAMS_DIR", QFile::encodeName(env.root() + QStringLiteral("/no-programs")));
    const QList<QByteArray> missing = standardErrorOf([&] {
        EXPECT_FALSE(QXLoginItemRegistry::allLoginItems());
        EXPECT_FALSE(QXLoginItemRegistry::addLoginItemWithPath(item, true));
        EXPECT_FALSE(QXLoginItemRegistry::removeLoginItemAtIndex(0));
    });
    qunsetenv("PEALIX_PROGRAMS_DIR");
    const QByteArray notFound = QByteArray::number(platform::LaunchServices::kLSApplicationNotFoundErr);
    EXPECT_EQ(missing, (QList<QByteArray>{"Couldn't list login items error " + notFound,
                                          "Couldn't add login item error " + notFound,
                                          "Couldn't remove login intem error " + notFound}));

    // A service that has stopped answering is waited for 5 s, then given up.
    ASSERT_TRUE(QXLoginItemRegistry::allLoginItems());
    const QList<int> service = servicePids();
    ASSERT_EQ(service.size(), 1);
    ::kill(service.first(), SIGSTOP);
    QElapsedTimer waited;
    waited.start();
    const QList<QByteArray> stalled =
        standardErrorOf([] { EXPECT_FALSE(QXLoginItemRegistry::allLoginItems()); });
    const qint64 elapsed = waited.elapsed();
    ::kill(service.first(), SIGCONT);
    ::kill(service.first(), SIGTERM);
    EXPECT_GE(elapsed, 4900);
    EXPECT_LT(elapsed, 7000);
    EXPECT_EQ(stalled, QList<QByteArray>{"Couldn't list login items error " +
                                         QByteArray::number(platform::errAETimeout)});
}
