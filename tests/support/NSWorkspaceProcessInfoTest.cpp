// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/NSWorkspaceProcessInfo.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// A sleeping process whose executable has the given file name.
class Sleeper {
public:
    Sleeper(const QTemporaryDir& dir, const QString& name, const QStringList& wrapper = {})
    {
        const QString path = dir.filePath(name);
        if (!QFile::exists(path))
            QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), path);
        QStringList arguments = wrapper;
        arguments << path << QStringLiteral("30");
        m_process.start(arguments.takeFirst(), arguments);
        m_process.waitForStarted();
        // The command name is the executable's once exec has happened.
        for (int i = 0; i < 200 && !execed(name); ++i)
            ::usleep(5000);
    }
    ~Sleeper()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    int pid() const { return int(m_process.processId()); }

private:
    bool execed(const QString& name) const
    {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(m_process.processId()));
        return comm.open(QIODevice::ReadOnly) && name.startsWith(QString::fromUtf8(comm.readAll().trimmed()));
    }
    QProcess m_process;
};

} // namespace

TEST(NSWorkspaceProcessInfo, finds_this_users_processes_by_the_command_name_cut_to_sixteen_bytes)
{
    QTemporaryDir dir;
    // Names of this run's own, so that processes of other tests on the machine never match.
    const QString agent = QStringLiteral("Pt%1").arg(::getpid());
    const QString lower = agent.toLower();
    const QString long17 = (agent + QStringLiteral("ABCDEFGHIJKLMNOPQ")).left(17);
    const QString helper = (agent + QStringLiteral("Helper"));
    std::vector<std::unique_ptr<Sleeper>> sleepers;
    for (const QString& name : {agent, lower, agent, long17, helper})
        sleepers.push_back(std::make_unique<Sleeper>(dir, name));

    // Two copies, in the table's order; case matters.
    const QList<int> expected = sleepers[0]->pid() < sleepers[2]->pid()
                                    ? QList<int>{sleepers[0]->pid(), sleepers[2]->pid()}
                                    : QList<int>{sleepers[2]->pid(), sleepers[0]->pid()};
    EXPECT_EQ(NSWorkspaceProcessInfo::pidsForProcessesWithCommand(agent), expected);
    EXPECT_EQ(NSWorkspaceProcessInfo::pidsForProcessesWithCommand(lower), QList<int>{sleepers[1]->pid()});
    // Sixteen bytes match the longer name's first sixteen; seventeen never match; the kernel's own
    // fifteen-byte name alone is not the command.
    EXPECT_EQ(NSWorkspaceProcessInfo::pidsForProcessesWithCommand(long17.left(16)),
              QList<int>{sleepers[3]->pid()});
    EXPECT_TRUE(NSWorkspaceProcessInfo::pidsForProcessesWithCommand(long17).isEmpty());
    EXPECT_TRUE(NSWorkspaceProcessInfo::pidsForProcessesWithCommand(long17.left(15)).isEmpty());
    EXPECT_EQ(NSWorkspaceProcessInfo::pidsForProcessesWithCommand(helper), QList<int>{sleepers[4]->pid()});
    EXPECT_TRUE(NSWorkspaceProcessInfo::pidsForProcessesWithCommand(agent + QStringLiteral("X")).isEmpty());

    // Another user's process of the same name is never listed (needs root to stage).
    if (::getuid() == 0) {
        QFile::setPermissions(dir.path(), QFile::ExeOther | QFile::ReadOther | QFile::ReadOwner |
                                              QFile::WriteOwner | QFile::ExeOwner);
        Sleeper other(dir, agent,
                      {QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                       QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")});
        QFile comm(QStringLiteral("/proc/%1/comm").arg(other.pid()));
        ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
        ASSERT_EQ(QString::fromUtf8(comm.readAll().trimmed()), agent)
            << "the other user's process did not start";
        EXPECT_EQ(NSWorkspaceProcessInfo::pidsForProcessesWithCommand(agent), expected);
    }
}

TEST(NSWorkspaceProcessInfo, an_unreadable_process_table_says_so_and_gives_nothing)
{
    qputenv("PEALIX_PROC_ROOT", "/nonexistent/proc");
    testing::internal::CaptureStderr();
    const QList<int> pids = NSWorkspaceProcessInfo::pidsForProcessesWithCommand(QStringLiteral("PealixTool"));
    const std::string said = testing::internal::GetCapturedStderr();
    qunsetenv("PEALIX_PROC_ROOT");
    EXPECT_TRUE(pids.isEmpty());
    EXPECT_EQ(said, "Failed to get size: No such file or directory\n");
}
