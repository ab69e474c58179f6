// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/workspace/Workspace.h"
#include "platform/settings/PropertyList.h"
#include "platform/workspace/LaunchServices.h"
#include "platform/workspace/ProcessManager.h"
#include "testsupport/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

using platform::NSApplicationBundleIdentifier;
using platform::NSApplicationName;
using platform::NSApplicationPath;
using platform::NSApplicationProcessIdentifier;
using platform::Workspace;

namespace {

bool waitFor(const std::function<bool()>& condition, int milliseconds)
{
    for (int waited = 0; !condition(); waited += 20) {
        if (waited >= milliseconds)
            return false;
        QTest::qWait(20);
    }
    return true;
}

QVariantMap applicationWithPid(qint64 pid)
{
    for (const QVariant& application : Workspace::sharedWorkspace()->launchedApplications()) {
        if (application.toMap().value(NSApplicationProcessIdentifier).toLongLong() == pid)
            return application.toMap();
    }
    return {};
}

bool spyHasPid(const QSignalSpy& spy, qint64 pid)
{
    for (const QList<QVariant>& call : spy) {
        if (call.value(0).toMap().value(NSApplicationProcessIdentifier) == QVariant(pid))
            return true;
    }
    return false;
}

QString copyExecutable(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    QFile::copy(from, to);
    QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return to;
}

void writeBundle(const TestEnvironment& env, const QString& name, const QString& identifier)
{
    env.writeFile(name + "/Contents/Info.plist",
                  platform::PropertyList::toXml(QVariantMap{{"CFBundleIdentifier", identifier},
                                                            {"CFBundleName", QStringLiteral("Foo")}}));
}

QByteArray environ(const QList<QByteArray>& variables)
{
    QByteArray data;
    for (const QByteArray& variable : variables)
        data += variable + '\0';
    return data;
}

class WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Only the test's own entries: the system's would make these runs depend on the machine.
        m_savedDataDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", (env.root() + "/sysdata").toLocal8Bit());
        qunsetenv("PEALIX_PROC_ROOT");
        sleeper = copyExecutable("/bin/sleep", env.root() + "/bin/pealix-sleeper");
        entryPath = env.writeFile(
            "data/applications/pealix-test-sleeper.desktop",
            "[Desktop Entry]\nType=Application\nName=Test Sleeper\nExec=" + sleeper.toUtf8() + " 100\n");
    }
    void TearDown() override
    {
        for (QProcess* child : children) {
            child->kill();
            child->waitForFinished();
            delete child;
        }
        qputenv("XDG_DATA_DIRS", m_savedDataDirs);
        qunsetenv("PEALIX_PROC_ROOT");
    }
    QProcess* start(const QString& program, const QStringList& arguments)
    {
        auto* child = new QProcess;
        children.append(child);
        child->start(program, arguments);
        child->waitForStarted();
        return child;
    }

    TestEnvironment env;
    QString sleeper;
    QString entryPath;
    QList<QProcess*> children;

private:
    QByteArray m_savedDataDirs;
};

TEST_F(WorkspaceTest, program_of_a_desktop_entry_is_listed_and_its_launch_and_quit_signalled)
{
    Workspace* workspace = Workspace::sharedWorkspace();
    QSignalSpy launched(workspace, &Workspace::didLaunchApplication);
    QSignalSpy terminated(workspace, &Workspace::didTerminateApplication);
    QProcess* child = start(sleeper, {"30"});
    const qint64 pid = child->processId();
    ASSERT_GT(pid, 0);

    EXPECT_TRUE(waitFor([&] { return spyHasPid(launched, pid); }, 2000));
    const QVariantMap application = applicationWithPid(pid);
    EXPECT_EQ(application.value(NSApplicationBundleIdentifier), "pealix-test-sleeper");
    EXPECT_EQ(application.value(NSApplicationPath), entryPath);
    EXPECT_EQ(application.value(NSApplicationName), "Test Sleeper");
    EXPECT_EQ(application.value(NSApplicationProcessIdentifier).typeId(), QMetaType::LongLong);

    platform::ProcessSerialNumber psn;
    ASSERT_EQ(platform::GetProcessForPID(pid_t(pid), &psn), platform::noErr);
    const QVariantMap info = platform::ProcessInformationCopyDictionary(psn);
    EXPECT_EQ(info.value("BundlePath"), entryPath);
    EXPECT_EQ(info.value("CFBundleIdentifier"), "pealix-test-sleeper");

    child->kill();
    child->waitForFinished();
    EXPECT_TRUE(waitFor([&] { return spyHasPid(terminated, pid); }, 2000));
    EXPECT_TRUE(applicationWithPid(pid).isEmpty());
    // A gone process no longer has a serial number, and an old one describes nothing.
    EXPECT_EQ(platform::GetProcessForPID(pid_t(pid), nullptr), platform::procNotFound);
    EXPECT_TRUE(platform::ProcessInformationCopyDictionary(psn).isEmpty());
}

TEST_F(WorkspaceTest, process_inside_a_bundle_is_its_bundle_and_its_helper_child_is_not_listed)
{
    writeBundle(env, "Apps/Foo.app", "com.example.foo");
    const QString bundle = env.root() + "/Apps/Foo.app";
    const QString shell = copyExecutable("/bin/sh", bundle + "/Contents/Linux/foo");
    const QString helper = copyExecutable("/bin/sleep", bundle + "/Contents/Linux/helper");
    // The trailing ':' keeps the shell from replacing itself with the helper.
    QProcess* child = start(shell, {"-c", helper + " 30; :"});
    const qint64 pid = child->processId();

    qint64 helperPid = 0;
    ASSERT_TRUE(waitFor(
        [&] {
            QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
            children.open(QIODevice::ReadOnly);
            helperPid = children.readAll().trimmed().toLongLong();
            return helperPid > 0 &&
                   QFileInfo(QStringLiteral("/proc/%1/exe").arg(helperPid)).symLinkTarget() == helper;
        },
        2000));

    const QVariantMap application = applicationWithPid(pid);
    EXPECT_EQ(application.value(NSApplicationBundleIdentifier), "com.example.foo");
    EXPECT_EQ(application.value(NSApplicationPath), bundle);
    EXPECT_EQ(application.value(NSApplicationName), "Foo");
    EXPECT_TRUE(applicationWithPid(helperPid).isEmpty());

    platform::ProcessSerialNumber psn;
    ASSERT_EQ(platform::GetProcessForPID(pid_t(helperPid), &psn), platform::noErr);
    const QVariantMap info = platform::ProcessInformationCopyDictionary(psn);
    EXPECT_EQ(info.value("BundlePath"), bundle);
    EXPECT_EQ(info.value("CFBundleIdentifier"), "com.example.foo");
    EXPECT_EQ(info.value("pid"), QVariant(helperPid));
}

TEST_F(WorkspaceTest, ordinary_processes_are_no_applications)
{
    QProcess* child = start("/bin/sleep", {"30"});
    platform::ProcessSerialNumber psn;
    ASSERT_EQ(platform::GetProcessForPID(pid_t(child->processId()), &psn), platform::noErr);
    const QVariantMap info = platform::ProcessInformationCopyDictionary(psn);
    EXPECT_FALSE(info.contains("BundlePath"));
    EXPECT_FALSE(info.contains("CFBundleIdentifier"));
    EXPECT_TRUE(applicationWithPid(child->processId()).isEmpty());
    EXPECT_EQ(platform::GetProcessForPID(0, &psn), platform::procNotFound);
    EXPECT_EQ(platform::GetProcessForPID(-5, &psn), platform::procNotFound);
}

TEST_F(WorkspaceTest, pid_taken_over_between_two_polls_is_a_quit_and_a_launch_in_the_real_proc)
{
    // Only a new pid namespace (root, with unshare) lets a test choose the pid a process gets.
    QProcess probe;
    probe.start("unshare", {"--pid", "--fork", "--mount-proc", PID_REUSE_PROBE, sleeper});
    ASSERT_TRUE(probe.waitForFinished(20000));
    const QByteArray output = probe.readAllStandardOutput().trimmed();
    if (probe.exitStatus() != QProcess::NormalExit || (probe.exitCode() != 0 && output.isEmpty()))
        GTEST_SKIP() << "no pid namespace here: " << probe.readAllStandardError().constData();
    EXPECT_EQ(output, "+-+-");
    EXPECT_EQ(probe.exitCode(), 0);
}

// A proc tree of files under PEALIX_PROC_ROOT, for what real processes cannot easily show.
class FakeProcTest : public WorkspaceTest {
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        root = env.root() + "/proc";
        QDir().mkpath(root);
        qputenv("PEALIX_PROC_ROOT", root.toLocal8Bit());
        writeBundle(env, "Apps/Bar.app", "com.example.bar");
        barExecutable = env.writeFile("Apps/Bar.app/Contents/Linux/bar", "");
    }
    void addProcess(qint64 pid, qint64 parent, quint64 start, const QString& exe, uid_t uid = ::getuid(),
                    const QByteArray& command = "proc (x) y")
    {
        const QString dir = QStringLiteral("proc/%1/").arg(pid);
        env.writeFile(dir + "stat", QByteArray::number(pid) + " (" + command + ") S " +
                                        QByteArray::number(parent) +
                                        " 1 1 0 -1 4194304 100 0 0 0 0 0 0 0 20 0 1 0 " +
                                        QByteArray::number(start) + " 1000 10\n");
        env.writeFile(dir + "status", "Name:\tproc\nUid:\t" + QByteArray::number(uid) + "\t0\t0\t0\n");
        QFile::remove(root + QStringLiteral("/%1/exe").arg(pid));
        if (!exe.isEmpty())
            QFile::link(exe, root + QStringLiteral("/%1/exe").arg(pid));
    }
    // Another process under the same pid, as the kernel shows it: a new directory in the old one's place.
    void takeOver(qint64 pid, quint64 start, const QString& exe)
    {
        const QString gone = root + "/.gone";
        ASSERT_TRUE(QDir().rename(root + QStringLiteral("/%1").arg(pid), gone));
        addProcess(pid, 1, start, exe);
        QDir(gone).removeRecursively();
    }
    QString root;
    QString barExecutable;
};

TEST_F(FakeProcTest, each_way_of_belonging_to_an_application_is_recognised)
{
    const QByteArray uid = QByteArray::number(::getuid());
    addProcess(100, 1, 500, barExecutable);
    addProcess(101, 1, 501, "/bin/true");
    env.writeFile("proc/101/environ", environ({"A=1", "GIO_LAUNCHED_DESKTOP_FILE=" + entryPath.toUtf8(),
                                               "GIO_LAUNCHED_DESKTOP_FILE_PID=101"}));
    addProcess(102, 1, 502, "/bin/true"); // inherited the variable: not the launched process
    env.writeFile("proc/102/environ", environ({"GIO_LAUNCHED_DESKTOP_FILE=" + entryPath.toUtf8(),
                                               "GIO_LAUNCHED_DESKTOP_FILE_PID=101"}));
    addProcess(103, 1, 503, "/bin/true");
    env.writeFile("proc/103/cgroup",
                  "0::/user.slice/app.slice/app-gnome-pealix\\x2dtest\\x2dsleeper-4242.scope\n");
    addProcess(104, 1, 504, "/bin/true");
    env.writeFile("proc/104/cgroup",
                  "0::/user.slice/app.slice/app-pealix\\x2dtest\\x2dsleeper@ab12.service\n");
    addProcess(105, 1, 505, "/bin/true");
    env.writeFile("proc/105/root/.flatpak-info", "[Application]\nname=org.example.Flat\n");
    addProcess(106, 1, 506, sleeper);
    addProcess(107, 1, 507, barExecutable, ::getuid() + 1); // another user's
    addProcess(108, 108, 508, barExecutable);               // its own parent: must not loop
    addProcess(109, 1, 509, "/bin/true");
    env.writeFile("proc/109/cgroup", "0::/user.slice/app.slice/app-gnome-not\\x2dinstalled-1.scope\n");
    env.writeFile("proc/110/stat", "garbage");
    QDir().mkpath(root + "/111"); // vanished between readdir and the lookup
    QDir().mkpath(root + "/self");

    QMap<qint64, QString> found;
    for (const QVariant& application : Workspace::sharedWorkspace()->launchedApplications()) {
        const QVariantMap map = application.toMap();
        found.insert(map.value(NSApplicationProcessIdentifier).toLongLong(),
                     map.value(NSApplicationBundleIdentifier).toString());
    }
    const QMap<qint64, QString> expected{{100, "com.example.bar"},     {101, "pealix-test-sleeper"},
                                         {103, "pealix-test-sleeper"}, {104, "pealix-test-sleeper"},
                                         {105, "org.example.Flat"},    {106, "pealix-test-sleeper"},
                                         {108, "com.example.bar"}};
    EXPECT_EQ(found, expected);
}

TEST_F(FakeProcTest, reused_pid_is_a_quit_and_a_launch_and_exec_after_fork_is_looked_up_again)
{
    Workspace* workspace = Workspace::sharedWorkspace();
    QObject receiver;
    QList<QPair<char, qint64>> events;
    QObject::connect(workspace, &Workspace::didLaunchApplication, &receiver, [&](const QVariantMap& info) {
        events.append({'+', info.value(NSApplicationProcessIdentifier).toLongLong()});
    });
    QObject::connect(workspace, &Workspace::didTerminateApplication, &receiver, [&](const QVariantMap& info) {
        events.append({'-', info.value(NSApplicationProcessIdentifier).toLongLong()});
    });
    const auto of = [&](qint64 pid) {
        QByteArray kinds;
        for (const auto& [kind, eventPid] : events)
            kinds += eventPid == pid ? QByteArray(1, kind) : QByteArray();
        return kinds;
    };
    addProcess(200, 1, 600, barExecutable);
    ASSERT_TRUE(waitFor([&] { return of(200) == "+"; }, 2000));

    // Seen first as a copy of its parent, then the program it exec'd.
    addProcess(201, 1, 601, "/bin/true", ::getuid(), "parent");
    EXPECT_FALSE(waitFor([&] { return !of(201).isEmpty(); }, 1500));
    addProcess(201, 1, 601, barExecutable, ::getuid(), "bar");
    EXPECT_TRUE(waitFor([&] { return of(201) == "+"; }, 2000));

    // Between two polls pid 200 passes to another instance of the application: the first one quit.
    platform::ProcessSerialNumber old;
    ASSERT_EQ(platform::GetProcessForPID(200, &old), platform::noErr);
    takeOver(200, 700, barExecutable);
    EXPECT_TRUE(platform::ProcessInformationCopyDictionary(old).isEmpty());
    EXPECT_TRUE(waitFor([&] { return of(200) == "+-+"; }, 2000)) << of(200).constData();

    // Then to an ordinary process, which neither the list nor the signals take for the application.
    takeOver(200, 800, "/bin/true");
    EXPECT_TRUE(applicationWithPid(200).isEmpty());
    EXPECT_TRUE(waitFor([&] { return of(200) == "+-+-"; }, 2000)) << of(200).constData();

    QDir(root + "/201").removeRecursively();
    EXPECT_TRUE(waitFor([&] { return of(201) == "+-"; }, 2000));
    EXPECT_EQ(of(200), "+-+-");
}

TEST_F(FakeProcTest, nothing_is_polled_without_receivers)
{
    Workspace* workspace = Workspace::sharedWorkspace();
    {
        QSignalSpy launched(workspace, &Workspace::didLaunchApplication);
        addProcess(300, 1, 800, barExecutable);
        ASSERT_TRUE(waitFor([&] { return spyHasPid(launched, 300); }, 2000));
    }
    // With no receiver the baseline is dropped: a new receiver sees running processes as old.
    QTest::qWait(1100);
    QSignalSpy launched(workspace, &Workspace::didLaunchApplication);
    addProcess(301, 1, 801, barExecutable);
    ASSERT_TRUE(waitFor([&] { return spyHasPid(launched, 301); }, 2000));
    EXPECT_FALSE(spyHasPid(launched, 300));
}

TEST_F(WorkspaceTest, pane_opens_in_the_pane_host_of_the_installation)
{
    // The installation is where the platform library lies, whatever the pane's own place.
    EXPECT_EQ(platform::LaunchServices::programsDirectory(),
              QFileInfo(agentBundleDir() + "/../../../../../pealix").canonicalFilePath());

    const QString pane = env.root() + "/elsewhere/Pealix.prefPane";
    QDir().mkpath(pane + "/Contents");
    qputenv("PEALIX_PROGRAMS_DIR", QFile::encodeName(env.root() + "/prefix/lib/pealix"));
    EXPECT_FALSE(Workspace::sharedWorkspace()->openFile(pane)); // no host installed

    const QString record = env.root() + "/opened";
    env.writeFile("prefix/lib/pealix/pealix-panehost", "#!/bin/sh\necho \"$@\" > " + record.toUtf8() + "\n");
    QFile::setPermissions(env.root() + "/prefix/lib/pealix/pealix-panehost",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(Workspace::sharedWorkspace()->openFile(pane));
    qunsetenv("PEALIX_PROGRAMS_DIR");
    EXPECT_TRUE(waitFor([&] { return QFile::exists(record); }, 2000));
    QFile opened(record);
    opened.open(QIODevice::ReadOnly);
    EXPECT_EQ(opened.readAll().trimmed(), pane.toUtf8());
    EXPECT_FALSE(Workspace::sharedWorkspace()->openFile(env.root() + "/absent.txt"));
}

} // namespace
