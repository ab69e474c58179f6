// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The removal tool on a real installation in a temporary prefix and home, and the pane's uninstall action
// with its alerts answered as a user would.

#include "pane/PealixPref.h"
#include "support/Authorizer.h"
#include "testsupport/PrivatePids.h"
#include "testsupport/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Uninstalling stops every agent of the user: only those of this program may be seen.
const bool privatePids = PrivatePids::enter();

const QString bundleRelative = QStringLiteral("lib/PreferencePanes/Pealix.prefPane");

QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class UninstallTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_prefix = m_env.root() + QStringLiteral("/pre fix");
        QProcess install;
        install.start(QStringLiteral(PEALIX_CMAKE),
                      {QStringLiteral("--install"), QStringLiteral(PEALIX_BINARY_DIR),
                       QStringLiteral("--prefix"), m_prefix});
        ASSERT_TRUE(install.waitForFinished(120000));
        ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().constData();
        m_manifest = readLines(m_prefix + QLatin1Char('/') + bundleRelative +
                               QStringLiteral("/Contents/Resources/install-manifest"));
        ASSERT_GT(m_manifest.size(), 20);
        // The user's own things: settings, the agent's login item, another program's, a file in the prefix.
        m_env.writeFile(QStringLiteral("config/pealix/com.quorlenvik.pealix.plist"), "<plist/>");
        m_env.writeFile(QStringLiteral("config/autostart/pealix-loginitem-1.desktop"), agentEntry());
        m_env.writeFile(QStringLiteral("config/autostart/pealix-loginitem-2.desktop"),
                        "[Desktop Entry]\nX-Pealix-LoginItem-Path=/opt/Other.app\n");
        // Our keys naming the agent, but running something else: someone else's entry, or a trap.
        m_env.writeFile(QStringLiteral("config/autostart/pealix-loginitem-3.desktop"),
                        agentEntry("/bin/sh -c \"touch /tmp/x\""));
        m_env.writeFile(QStringLiteral("config/autostart/pealix-loginitem-4.desktop"),
                        agentEntry(agentExec() + " -u"));
        m_env.writeFile(QStringLiteral("pre fix/bin/mine"), "mine");
        QDir().mkpath(m_prefix + QStringLiteral("/share/empty-before"));
    }

    QString bundle() const { return m_prefix + QLatin1Char('/') + bundleRelative; }
    QString agent() const { return bundle() + QStringLiteral("/Contents/Resources/PealixTool.app"); }
    // What the login-item service writes to start the agent (the test paths need no escapes).
    QByteArray agentExec() const { return '"' + QFile::encodeName(agent()) + "/Contents/Linux/PealixTool\""; }
    QByteArray agentEntry(const QByteArray& exec = {}) const
    {
        return "[Desktop Entry]\nType=Application\nExec=" + (exec.isEmpty() ? agentExec() : exec) +
               "\nX-Pealix-LoginItem-Path=" + QFile::encodeName(agent()) + "\n";
    }
    QString tool() const { return bundle() + QStringLiteral("/Contents/Linux/UninstallTool"); }
    QString trash() const { return m_env.dataHome() + QStringLiteral("/Trash"); }

    int runTool(const QProcessEnvironment& environment, const QStringList& arguments = {},
                QString* out = nullptr)
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(tool(), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        if (out)
            *out = QString::fromUtf8(process.readAllStandardOutput());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // Each entry of the trash has its information file, naming where it was, from where it is gone.
    QStringList trashedPaths(QString trash = {})
    {
        if (trash.isEmpty())
            trash = this->trash();
        QStringList paths;
        for (const QString& name : QDir(trash + QStringLiteral("/info")).entryList(QDir::Files)) {
            const QStringList lines = readLines(trash + QStringLiteral("/info/") + name);
            EXPECT_EQ(lines.value(0), QStringLiteral("[Trash Info]"));
            EXPECT_TRUE(lines.value(1).startsWith(QStringLiteral("Path=/")));
            EXPECT_FALSE(lines.value(1).contains(QLatin1Char(' ')))
                << "unencoded: " << lines.value(1).toStdString();
            EXPECT_TRUE(
                QRegularExpression(QStringLiteral("^DeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$"))
                    .match(lines.value(2))
                    .hasMatch());
            const QString path = QUrl::fromPercentEncoding(lines.value(1).mid(5).toUtf8());
            EXPECT_FALSE(QFileInfo(path).exists() || QFileInfo(path).isSymLink()) << path.toStdString();
            const QString stored = trash + QStringLiteral("/files/") + name.chopped(10);
            EXPECT_TRUE(QFileInfo(stored).exists() || QFileInfo(stored).isSymLink()) << stored.toStdString();
            paths << path;
        }
        return paths;
    }

    TestEnvironment m_env;
    QString m_prefix;
    QStringList m_manifest;
};

TEST_F(UninstallTest, per_user_install_goes_to_the_trash_and_only_what_the_user_made_stays)
{
    QString out;
    ASSERT_EQ(runTool(QProcessEnvironment::systemEnvironment(), {}, &out), 0);
    for (const QString& line : m_manifest) {
        const QString path = line.section(QLatin1Char('\t'), 0, 0);
        EXPECT_FALSE(QFileInfo::exists(m_prefix + QLatin1Char('/') + path)) << path.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(m_prefix + QStringLiteral("/bin/mine")));
    for (const char* kept : {"2", "3", "4"})
        EXPECT_TRUE(QFileInfo::exists(m_env.configHome() +
                                      QStringLiteral("/autostart/pealix-loginitem-%1.desktop").arg(kept)))
            << kept;
    EXPECT_FALSE(
        QFileInfo::exists(m_env.configHome() + QStringLiteral("/autostart/pealix-loginitem-1.desktop")));
    EXPECT_FALSE(QFileInfo::exists(m_env.configHome() + QStringLiteral("/pealix")));
    // Whole folders where they are wholly ours; what was moved is what the tool reports.
    const QStringList trashed = trashedPaths();
    EXPECT_TRUE(trashed.contains(bundle()));
    EXPECT_TRUE(trashed.contains(m_prefix + QStringLiteral("/lib/pealix")));
    QStringList reported = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : reported)
        line.remove(QStringLiteral("moved to the trash: "));
    reported.sort();
    QStringList sorted = trashed;
    sorted.sort();
    EXPECT_EQ(reported, sorted);
    // Nothing is left to be run again, and a copy outside any installation refuses.
    EXPECT_FALSE(QFileInfo::exists(tool()));
    // Each icon says its size in the trash; the folders the removal emptied are gone, the prefix's own
    // folders and an empty one that was there before stay.
    const QStringList stored = QDir(trash() + QStringLiteral("/files")).entryList(QDir::Files);
    EXPECT_TRUE(stored.contains(QStringLiteral("com.quorlenvik.Pealix (48x48).png")))
        << stored.join(' ').toStdString();
    EXPECT_TRUE(stored.contains(QStringLiteral("com.quorlenvik.Pealix (scalable).svg")));
    EXPECT_EQ(
        stored
            .filter(QRegularExpression(QStringLiteral(R"(^com\.quorlenvik\.Pealix\S* \(\w+\)\.(png|svg)$)")))
            .size(),
        m_manifest.filter(QStringLiteral("share/icons/")).size());
    for (const char* gone :
         {"share/icons", "share/applications", "lib/PreferencePanes", "share/doc", "share/pealix"})
        EXPECT_FALSE(QFileInfo::exists(m_prefix + QLatin1Char('/') + gone)) << gone;
    for (const char* kept : {"lib", "share", "share/empty-before"})
        EXPECT_TRUE(QFileInfo(m_prefix + QLatin1Char('/') + kept).isDir()) << kept;
}

TEST_F(UninstallTest, only_files_that_are_still_what_was_installed_are_moved)
{
    // A line edited to name another program's file, and a listed file another program has replaced.
    const QString manifestPath = bundle() + QStringLiteral("/Contents/Resources/install-manifest");
    QFile manifest(manifestPath);
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    QByteArray text = manifest.readAll();
    manifest.close();
    const QByteArray metainfo = "share/metainfo/com.quorlenvik.Pealix.metainfo.xml\t";
    ASSERT_TRUE(text.contains("\n" + metainfo));
    text.replace("\n" + metainfo, "\nbin/mine\t");
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly | QIODevice::Truncate));
    manifest.write(text);
    manifest.close();
    const QString entry = m_env.writeFile(
        QStringLiteral("pre fix/share/applications/com.quorlenvik.Pealix.desktop"), "another program's");

    EXPECT_EQ(runTool(QProcessEnvironment::systemEnvironment()), 1);
    EXPECT_TRUE(QFileInfo::exists(m_prefix + QStringLiteral("/bin/mine")));
    EXPECT_TRUE(QFileInfo::exists(entry));
    EXPECT_FALSE(QFileInfo::exists(bundle()));
    EXPECT_FALSE(QFileInfo::exists(m_prefix + QStringLiteral("/bin/pealix-preferences")));
}

TEST_F(UninstallTest, a_manifest_without_records_moves_only_what_is_plainly_pealixs)
{
    // A manifest of an earlier version lists paths alone; one line names another program's file.
    const QString manifestPath = bundle() + QStringLiteral("/Contents/Resources/install-manifest");
    QByteArray text;
    for (const QString& line : m_manifest)
        text += line.section(QLatin1Char('\t'), 0, 0).toUtf8() + '\n';
    text += "bin/mine\n";
    QFile manifest(manifestPath);
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly | QIODevice::Truncate));
    manifest.write(text);
    manifest.close();

    EXPECT_EQ(runTool(QProcessEnvironment::systemEnvironment()), 1);
    EXPECT_TRUE(QFileInfo::exists(m_prefix + QStringLiteral("/bin/mine")));
    for (const QString& line : m_manifest)
        EXPECT_FALSE(QFileInfo::exists(m_prefix + QLatin1Char('/') + line.section(QLatin1Char('\t'), 0, 0)))
            << line.toStdString();
}

TEST_F(UninstallTest, hostile_environment_arguments_and_planted_links_remove_nothing_outside)
{
    const QString outside = m_env.root() + QStringLiteral("/outside");
    const QString victim = m_env.writeFile(QStringLiteral("outside/victim"), "keep");
    m_env.writeFile(QStringLiteral("outside/LICENSE"), "keep");
    m_env.writeFile(QStringLiteral("outside/Info.plist"), "keep");
    // A link planted in the bundle, a folder of ours turned into a link out, a listed file made a link out.
    ASSERT_TRUE(QFile::link(outside, bundle() + QStringLiteral("/Contents/Resources/planted")));
    const QString doc = m_prefix + QStringLiteral("/share/doc/pealix");
    ASSERT_TRUE(QDir(doc).removeRecursively());
    ASSERT_TRUE(QFile::link(outside, doc));
    const QString launcher = m_prefix + QStringLiteral("/bin/pealix-preferences");
    ASSERT_TRUE(QFile::remove(launcher) && QFile::link(victim, launcher));
    // Lines that leave the prefix.
    QFile manifest(bundle() + QStringLiteral("/Contents/Resources/install-manifest"));
    ASSERT_TRUE(manifest.open(QIODevice::Append));
    manifest.write("../outside/victim\n" + QFile::encodeName(victim) + "\nbin/../../outside/LICENSE\n");
    manifest.close();

    QProcessEnvironment hostile = QProcessEnvironment::systemEnvironment();
    hostile.insert(QStringLiteral("GIO_USE_VFS"), QStringLiteral("nonexistent"));
    hostile.insert(QStringLiteral("GIO_EXTRA_MODULES"), outside);
    hostile.insert(QStringLiteral("XDG_DATA_HOME"), QStringLiteral("relative/data"));
    hostile.insert(QStringLiteral("XDG_CONFIG_HOME"), QStringLiteral("../config"));
    hostile.insert(QStringLiteral("PKEXEC_UID"), QStringLiteral("0; rm -rf /"));
    EXPECT_EQ(runTool(hostile, {QStringLiteral("--prefix=/")}), 2);
    EXPECT_TRUE(QFileInfo::exists(tool()));
    EXPECT_EQ(runTool(hostile), 1);

    QDir(outside).refresh();
    EXPECT_EQ(QDir(outside).entryList(QDir::Files), (QStringList{"Info.plist", "LICENSE", "victim"}));
    EXPECT_TRUE(QFileInfo(bundle() + QStringLiteral("/Contents/Resources/planted")).isSymLink());
    EXPECT_TRUE(QFileInfo(doc).isSymLink());
    // The listed files of the bundle went one by one; the listed file replaced by a link stays.
    EXPECT_FALSE(QFileInfo::exists(tool()));
    EXPECT_TRUE(QFileInfo(launcher).isSymLink());
    // A data folder that is not absolute counts for nothing: the trash is the home's.
    EXPECT_TRUE(trashedPaths(m_env.root() + QStringLiteral("/home/.local/share/Trash")).contains(tool()));
    EXPECT_FALSE(QFileInfo::exists(trash()));
    QFile kept(victim);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep");

    // A copy of the tool outside an installation has nothing to go by.
    const QString stray = m_env.root() + QStringLiteral("/UninstallTool");
    ASSERT_TRUE(QFile::copy(
        QStringLiteral(PEALIX_STAGE_DIR "/") + bundleRelative + "/Contents/Linux/UninstallTool", stray));
    QProcess process;
    process.start(stray, {});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
}

// Run as root for a user of a private account database, as pkexec runs it.
TEST_F(UninstallTest, for_a_user_as_root_planted_links_at_every_level_move_nothing_outside_the_users_trash)
{
    if (::geteuid() != 0 || QProcess::execute(QStringLiteral("unshare"), {"--mount", "true"}) != 0)
        GTEST_SKIP() << "needs root and a private mount namespace";
    const QString uid = QStringLiteral("4242");
    const QString home = m_env.root() + QStringLiteral("/user");
    const QString passwd = m_env.writeFile(
        QStringLiteral("passwd"),
        "root:x:0:0:root:/root:/bin/sh\npealix-test:x:4242:4242::" + QFile::encodeName(home) + ":/bin/sh\n");
    ASSERT_TRUE(QFile::setPermissions(m_env.root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                        QFile::ExeGroup | QFile::ExeOther));
    // Where nothing may go: a folder only root can write.
    const QString rootOnly = m_env.root() + QStringLiteral("/root-only");
    ASSERT_TRUE(QDir().mkpath(rootOnly));
    ASSERT_TRUE(QFile::setPermissions(rootOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString trashPath = home + QStringLiteral("/.local/share/Trash");
    auto makeUsers = [&](const QString& relative) {
        QDir().mkpath(home + QLatin1Char('/') + relative);
        QProcess::execute(QStringLiteral("chown"), {"-R", uid + ':' + uid, home});
    };
    makeUsers(QStringLiteral(".local/share/Trash/files"));
    makeUsers(QStringLiteral(".local/share/Trash/info"));
    m_env.writeFile(QStringLiteral("user/.config/pealix/com.quorlenvik.pealix.plist"), "<plist/>");
    m_env.writeFile(QStringLiteral("user/.config/autostart/pealix-loginitem-1.desktop"), agentEntry());
    makeUsers(QStringLiteral(".config"));
    auto plant = [&](const QString& relative) {
        const QString path = home + QLatin1Char('/') + relative;
        EXPECT_TRUE(QDir(path).removeRecursively());
        EXPECT_TRUE(QFile::link(rootOnly, path));
    };
    QString errors;
    auto runForUser = [&] {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PKEXEC_UID"), uid);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(
            QStringLiteral("unshare"),
            {"--mount", "sh", "-c", "mount --bind \"$0\" /etc/passwd && exec \"$1\"", passwd, tool()});
        EXPECT_TRUE(process.waitForFinished(60000));
        errors = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };

    for (const QString level : {"Trash", "Trash/files", "Trash/info"}) {
        plant(QStringLiteral(".local/share/") + level);
        EXPECT_EQ(runForUser(), 1) << level.toStdString();
        EXPECT_TRUE(errors.contains(QStringLiteral("left in place: ") + bundle())) << errors.toStdString();
        EXPECT_TRUE(QFileInfo::exists(tool())) << level.toStdString();
        EXPECT_TRUE(QDir(rootOnly).isEmpty()) << level.toStdString();
        ASSERT_TRUE(QFile::remove(home + QStringLiteral("/.local/share/") + level));
        makeUsers(QStringLiteral(".local/share/Trash/files"));
        makeUsers(QStringLiteral(".local/share/Trash/info"));
    }
    EXPECT_TRUE(QFileInfo::exists(home + QStringLiteral("/.config/pealix/com.quorlenvik.pealix.plist")));

    // The settings folder a link to root's folder; the trash the user's own.
    plant(QStringLiteral(".config/pealix"));
    m_env.writeFile(QStringLiteral("root-only/com.quorlenvik.pealix.plist"), "root's");
    EXPECT_EQ(runForUser(), 1);
    EXPECT_TRUE(errors.contains(home + QStringLiteral("/.config/pealix: not a real folder")))
        << errors.toStdString();
    EXPECT_EQ(QDir(rootOnly).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("com.quorlenvik.pealix.plist")});
    const QStringList trashed = trashedPaths(trashPath);
    EXPECT_TRUE(trashed.contains(bundle()));
    EXPECT_TRUE(trashed.contains(home + QStringLiteral("/.config/autostart/pealix-loginitem-1.desktop")));
    EXPECT_FALSE(QFileInfo::exists(bundle()));
    // What root moved is the user's, so that the user can empty the trash.
    EXPECT_EQ(QFileInfo(trashPath + QStringLiteral("/files/Pealix.prefPane")).ownerId(), 4242u);
    EXPECT_EQ(QFileInfo(trashPath + QStringLiteral("/files/Pealix.prefPane/Contents/Info.plist")).ownerId(),
              4242u);
    EXPECT_EQ(QFileInfo(trashPath + QStringLiteral("/info/Pealix.prefPane.trashinfo")).ownerId(), 4242u);
}

// A pane that records the host's end instead of quitting the test.
class UninstallingPane : public PealixPref {
public:
    using PealixPref::PealixPref;
    int terminated = 0;

protected:
    void terminateHost() override { ++terminated; }
};

class UninstallActionTest : public UninstallTest {
protected:
    void SetUp() override
    {
        if (!privatePids)
            GTEST_SKIP() << "no pid namespace of its own: uninstalling would stop the agents of the user";
        UninstallTest::SetUp();
        // An agent of the user started from a terminal: any program whose command name is the agent's,
        // with a runtime folder other than the pane's.
        const QString agent = m_env.root() + QStringLiteral("/PealixTool");
        ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sleep"), agent));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_env.root());
        m_agent.setProcessEnvironment(environment);
        m_agent.start(agent, {QStringLiteral("300")});
        ASSERT_TRUE(m_agent.waitForStarted());
    }
    void TearDown() override
    {
        m_agent.kill();
        m_agent.waitForFinished();
        Authorizer::setPolkitPrograms(QStringLiteral("/usr/bin/pkcheck"), QStringLiteral("/usr/bin/pkexec"));
    }

    // Shows every alert's title and text, answering each with the next of the given buttons.
    QStringList uninstall(UninstallingPane& pane, QStringList answers)
    {
        QStringList seen;
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            seen << box->windowTitle() + QStringLiteral(" | ") + box->text();
            const QString answer = answers.isEmpty() ? QStringLiteral("OK") : answers.takeFirst();
            for (QAbstractButton* button : box->buttons())
                if (button->text() == answer)
                    return button->click();
            ADD_FAILURE() << "no button " << answer.toStdString();
            box->reject();
        });
        answerer.start(10);
        pane.uninstall();
        return seen;
    }

    // A signalled agent would have been noticed by then.
    bool agentRunning()
    {
        QTest::qWait(200);
        return m_agent.state() == QProcess::Running;
    }

    QProcess m_agent;
};

const QString confirm =
    QStringLiteral("Removing Pealix | Are you sure you want to uninstall Pealix?  This cannot be undone.");
const QString notice =
    QStringLiteral("Removing Pealix | Pealix and associated files will be moved to the trash");

TEST_F(UninstallActionTest,
       a_package_or_no_just_checking_changes_nothing_and_a_deletable_install_goes_without_a_password)
{
    // Any polkit question would fail the run.
    Authorizer::setPolkitPrograms(QStringLiteral("/bin/false"), QStringLiteral("/bin/false"));
    UninstallingPane pane{platform::Bundle(bundle())};
    // What the package manager installed is its to remove: the command is named, nothing is touched.
    m_env.writeFile(QStringLiteral("programs/installed-by-package-manager"), "dpkg\n");
    qputenv("PEALIX_PROGRAMS_DIR", QFile::encodeName(m_env.root() + QStringLiteral("/programs")));
    const QStringList packaged = uninstall(pane, {});
    qunsetenv("PEALIX_PROGRAMS_DIR");
    ASSERT_EQ(packaged.size(), 1);
    EXPECT_TRUE(packaged[0].endsWith(QStringLiteral("\n\nsudo apt remove pealix")))
        << packaged[0].toStdString();
    EXPECT_TRUE(agentRunning());
    EXPECT_TRUE(QFileInfo::exists(tool()));

    EXPECT_EQ(uninstall(pane, {QStringLiteral("No, just checking")}), QStringList{confirm});
    EXPECT_TRUE(agentRunning());
    EXPECT_TRUE(QFileInfo::exists(tool()));
    EXPECT_EQ(pane.terminated, 0);

    EXPECT_EQ(
        uninstall(pane, {QStringLiteral("Uninstall")}),
        (QStringList{confirm, notice,
                     QStringLiteral(
                         "Removing Pealix | Pealix has been removed.  System Preferences will now exit.")}));
    EXPECT_TRUE(m_agent.state() == QProcess::NotRunning || m_agent.waitForFinished(5000));
    EXPECT_EQ(m_agent.exitStatus(), QProcess::CrashExit);
    EXPECT_FALSE(QFileInfo::exists(bundle()));
    EXPECT_TRUE(trashedPaths().contains(bundle()));
    EXPECT_EQ(pane.terminated, 1);
}

TEST_F(UninstallActionTest, a_tool_that_cannot_start_is_said_so)
{
    ASSERT_TRUE(QFile::setPermissions(tool(), QFile::ReadOwner));
    UninstallingPane pane{platform::Bundle(bundle())};
    EXPECT_EQ(
        uninstall(pane, {QStringLiteral("Uninstall")}),
        (QStringList{confirm, notice,
                     QStringLiteral("Removing Pealix | The removal tool could not be started, so nothing "
                                    "was removed.  System Preferences will now exit.")}));
    EXPECT_TRUE(QFileInfo::exists(bundle()));
}

TEST_F(UninstallActionTest,
       an_install_the_user_cannot_delete_needs_rights_and_each_failure_says_what_happened)
{
    // Bundles on a read-only file system are beyond even root's deletion; each has a tool of its own.
    const QString mount = m_env.root() + QStringLiteral("/system");
    QDir().mkpath(mount);
    const QByteArray target = QFile::encodeName(mount);
    if (::mount("pealix-test", target.constData(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "cannot mount a file system here";
    const auto readOnlyBundle = [&](const QString& name, const QByteArray& script) {
        const QString path = mount + '/' + name + QStringLiteral(".prefPane");
        QDir().mkpath(path + QStringLiteral("/Contents/Linux"));
        const QString copy = path + QStringLiteral("/Contents/Linux/UninstallTool");
        if (script.isEmpty()) {
            QFile::copy(tool(), copy);
        } else {
            QFile file(copy);
            file.open(QIODevice::WriteOnly);
            file.write("#!/bin/sh\n" + script);
            file.close();
            file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        }
        return path;
    };
    const QString real = readOnlyBundle(QStringLiteral("Real"), {});
    const QString killed = readOnlyBundle(QStringLiteral("Killed"), "kill -9 $$\n");
    const QString slow = readOnlyBundle(QStringLiteral("Slow"), "exec sleep 5\n");
    const bool remounted =
        ::mount(nullptr, target.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    const auto program = [&](const QString& name, const QByteArray& body) {
        const QString path = m_env.writeFile(QStringLiteral("bin/") + name, body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        return path;
    };
    // pkcheck's answers: a dismissed dialog, polkitd's error for an action without a policy file, yes.
    const QString dismissed = program(QStringLiteral("dismissed"), "#!/bin/sh\nexit 3\n");
    const QString unknown = program(
        QStringLiteral("unknown"),
        "#!/bin/sh\necho \"Error checking for authorization com.quorlenvik.pealix.uninstall: "
        "GDBus.Error:org.freedesktop.PolicyKit1.Error.Failed: Action com.quorlenvik.pealix.uninstall is not "
        "registered\" >&2\nexit 127\n");
    const QString yes = program(QStringLiteral("yes"), "#!/bin/sh\nexit 0\n");
    const QString pkexec = program(QStringLiteral("pkexec"), "#!/bin/sh\nshift\nexec \"$@\"\n");
    const QString broken = program(QStringLiteral("broken"), "#!/nonexistent/sh\n");
    const QString missing = m_env.root() + QStringLiteral("/bin/missing");
    const QString permission =
        QStringLiteral("Removing Pealix | Your copy of Pealix cannot be removed without administrator "
                       "permission.  Please enter your administrator password in the authorization window "
                       "when it appears");
    struct Case {
        QString bundle, pkcheck, pkexec, alert;
        bool ends;
    };
    const QList<Case> cases = {
        {real, dismissed, pkexec,
         QStringLiteral("Remove Pealix cancelled | Uninstall was cancelled because you did not enter an "
                        "administrator password"),
         false},
        {real, unknown, pkexec,
         QStringLiteral(
             "Removing Pealix | Pealix cannot be removed because polkit does not know its removal "
             "action \"com.quorlenvik.pealix.uninstall\": the file "
             "com.quorlenvik.pealix.uninstall.policy is missing from /usr/share/polkit-1/actions.  "
             "Install Pealix again, or ask your administrator to remove it."),
         false},
        {real, yes, missing,
         QStringLiteral(
             "Removing Pealix | Pealix cannot be removed because pkexec, which runs its removal tool "
             "with administrator permission, is not installed.  Install the package pkexec (polkit) "
             "and try again, or ask your administrator to remove Pealix."),
         false},
        {real, yes, broken,
         QStringLiteral("Removing Pealix | The removal tool could not be started, so nothing was removed.  "
                        "System Preferences will now exit."),
         true},
        {killed, yes, pkexec,
         QStringLiteral(
             "Removing Pealix | The removal tool was stopped before it finished; parts of Pealix may "
             "remain.  System Preferences will now exit."),
         true},
        {slow, yes, pkexec,
         QStringLiteral(
             "Removing Pealix | The removal tool is still running after the time allowed for it; it "
             "goes on by itself.  System Preferences will now exit."),
         true},
    };
    // Well below the slow tool's 5 s, well above what a start takes on a loaded machine.
    Authorizer::setToolTimeLimit(2000);
    QList<QStringList> seen;
    QList<bool> running;
    if (remounted) {
        for (const Case& c : cases) {
            Authorizer::setPolkitPrograms(c.pkcheck, c.pkexec);
            UninstallingPane pane{platform::Bundle(c.bundle)};
            seen << uninstall(pane, {QStringLiteral("Uninstall")});
            running << agentRunning();
            EXPECT_EQ(pane.terminated, c.ends ? 1 : 0) << c.alert.toStdString();
        }
    }
    Authorizer::setToolTimeLimit(30 * 60 * 1000);
    ::umount2(target.constData(), MNT_DETACH);
    ASSERT_TRUE(remounted);
    for (int i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(seen.value(i), (QStringList{confirm, notice, permission, cases[i].alert}));
        // Nothing is stopped before the rights are had.
        if (!cases[i].ends) {
            EXPECT_TRUE(running.value(i)) << cases[i].alert.toStdString();
        }
    }
}

} // namespace
