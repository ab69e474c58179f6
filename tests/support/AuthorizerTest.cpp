// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Authorizer against stand-ins for pkcheck and pkexec that reproduce their exit statuses: as root in a
// container, polkitd grants everything to uid 0, so a real daemon could not refuse or be cancelled here.

#include "support/Authorizer.h"
#include "testsupport/TestEnvironment.h"

#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const char right[] = "com.quorlenvik.pealix.uninstall";

class AuthorizerTest : public testing::Test {
protected:
    void SetUp() override
    {
        // pkcheck: records its arguments, answers with the status the test chose.
        m_pkcheck =
            script("pkcheck", "printf '%s\\n' \"$@\" >>\"$0.args\"\ncat \"$0.error\" >&2 2>/dev/null\n"
                              "exit $(cat \"$0.status\")\n");
        // pkexec: records its environment, then runs the program it was given, or answers for itself.
        m_pkexec = script("pkexec", "env >\"$0.env\"\n[ -f \"$0.status\" ] && exit $(cat \"$0.status\")\n"
                                    "[ \"$1\" = --disable-internal-agent ] || exit 99\nshift\nexec \"$@\"\n");
        answer(0);
        Authorizer::setPolkitPrograms(m_pkcheck, m_pkexec);
    }
    void TearDown() override
    {
        Authorizer::setPolkitPrograms(QStringLiteral("/usr/bin/pkcheck"), QStringLiteral("/usr/bin/pkexec"));
    }

    QString script(const QString& name, const QByteArray& body)
    {
        const QString path = m_env.writeFile(QStringLiteral("bin/") + name, "#!/bin/sh\n" + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    void answer(int status)
    {
        m_env.writeFile(QStringLiteral("bin/pkcheck.status"), QByteArray::number(status));
    }
    QStringList pkcheckCalls()
    {
        QFile file(m_pkcheck + QStringLiteral(".args"));
        file.open(QIODevice::ReadOnly);
        const QStringList lines =
            QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        file.close();
        file.remove();
        return lines;
    }
    // Runs the tool with the given file as this process's standard input.
    int runWithInput(Authorizer& authorizer, const QString& tool, const QString& input)
    {
        const int saved = ::dup(STDIN_FILENO);
        const int fd = ::open(QFile::encodeName(input).constData(), O_RDONLY);
        ::dup2(fd, STDIN_FILENO);
        ::close(fd);
        const int status = authorizer.executeWithPrivileges(QFile::encodeName(tool).constData(), nullptr);
        ::dup2(saved, STDIN_FILENO);
        ::close(saved);
        return status;
    }

    TestEnvironment m_env;
    QString m_pkcheck, m_pkexec;
};

TEST_F(AuthorizerTest, preauthorize_asks_for_this_process_interactively_and_fails_when_dismissed_or_refused)
{
    using platform::AuthorizationResult;
    Authorizer authorizer(right);
    // Refused or dismissed, an action polkitd does not know, polkit failing otherwise.
    m_env.writeFile(QStringLiteral("bin/pkcheck.error"),
                    "Error checking for authorization com.quorlenvik.pealix.uninstall: GDBus.Error:org."
                    "freedesktop.PolicyKit1.Error.Failed: Action com.quorlenvik.pealix.uninstall is not "
                    "registered\n");
    const std::pair<int, AuthorizationResult> answers[] = {{3, AuthorizationResult::denied},
                                                           {1, AuthorizationResult::denied},
                                                           {127, AuthorizationResult::actionUnknown}};
    for (const auto& [status, result] : answers) {
        answer(status);
        EXPECT_FALSE(authorizer.preauthorize()) << status;
        EXPECT_EQ(authorizer.lastResult(), result) << status;
        EXPECT_FALSE(authorizer.authorized());
        EXPECT_EQ(authorizer.executeWithPrivileges("/bin/true", nullptr), -1);
    }
    QFile::remove(m_pkcheck + QStringLiteral(".error"));
    answer(127);
    EXPECT_FALSE(authorizer.preauthorize());
    EXPECT_EQ(authorizer.lastResult(), AuthorizationResult::failed);
    answer(0);
    const QString missing = m_env.root() + QStringLiteral("/bin/missing");
    Authorizer::setPolkitPrograms(missing, m_pkexec);
    EXPECT_FALSE(authorizer.preauthorize());
    EXPECT_EQ(authorizer.lastResult(), AuthorizationResult::programMissing);
    Authorizer::setPolkitPrograms(m_pkcheck, missing);
    EXPECT_FALSE(authorizer.preauthorize());
    EXPECT_EQ(authorizer.lastResult(), AuthorizationResult::programMissing);
    Authorizer::setPolkitPrograms(m_pkcheck, m_pkexec);
    pkcheckCalls();
    answer(0);
    ASSERT_TRUE(authorizer.preauthorize());
    EXPECT_TRUE(authorizer.authorized());
    EXPECT_EQ(authorizer.authFlags(), 19u);
    QFile stat(QStringLiteral("/proc/self/stat"));
    ASSERT_TRUE(stat.open(QIODevice::ReadOnly));
    const QList<QByteArray> fields = stat.readAll().split(' ');
    const QString subject =
        QStringLiteral("%1,%2,%3").arg(::getpid()).arg(QString::fromLatin1(fields.at(21))).arg(::getuid());
    EXPECT_EQ(pkcheckCalls(), (QStringList{QStringLiteral("--action-id"), QString::fromLatin1(right),
                                           QStringLiteral("--process"), subject,
                                           QStringLiteral("--allow-user-interaction")}));

    // A name that is not an action id never reaches pkcheck.
    Authorizer odd("com.example; rm -rf /");
    EXPECT_FALSE(odd.preauthorize());
    EXPECT_TRUE(pkcheckCalls().isEmpty());
}

TEST_F(AuthorizerTest, the_tool_gets_its_status_through_and_failures_to_run_or_signals_give_minus_one)
{
    Authorizer authorizer(right);
    ASSERT_TRUE(authorizer.preauthorize());
    qputenv("PEALIX_HOSTILE", "1");
    const QString exits3 = script("exits3", "exit 3\n");
    EXPECT_EQ(authorizer.executeWithPrivileges(QFile::encodeName(exits3).constData(), nullptr), 3);
    qunsetenv("PEALIX_HOSTILE");
    // Nothing of the caller's environment reaches pkexec.
    QFile env(m_pkexec + QStringLiteral(".env"));
    ASSERT_TRUE(env.open(QIODevice::ReadOnly));
    const QByteArray environment = env.readAll();
    EXPECT_FALSE(environment.contains("PEALIX_HOSTILE")) << environment.constData();
    EXPECT_FALSE(environment.contains("HOME=")) << environment.constData();

    using Outcome = platform::ToolRun::Outcome;
    EXPECT_EQ(authorizer.lastRun().outcome, Outcome::exited);
    const QString killed = script("killed", "kill -9 $$\n");
    EXPECT_EQ(authorizer.executeWithPrivileges(QFile::encodeName(killed).constData(), nullptr), -1);
    EXPECT_EQ(authorizer.lastRun().outcome, Outcome::killed);
    const QString slow = script("slow", "exec sleep 3\n");
    Authorizer::setToolTimeLimit(200);
    EXPECT_EQ(authorizer.executeWithPrivileges(QFile::encodeName(slow).constData(), nullptr), -1);
    EXPECT_EQ(authorizer.lastRun().outcome, Outcome::timedOut);
    Authorizer::setToolTimeLimit(30 * 60 * 1000);
    const QString echoes = script("echoes", "[ \"$1\" = a ] && [ \"$2\" = 'b c' ] && exit 7\nexit 1\n");
    char a[] = "a", bc[] = "b c";
    char* const arguments[] = {a, bc, nullptr};
    EXPECT_EQ(authorizer.executeWithPrivileges(QFile::encodeName(echoes).constData(), arguments), 7);
    // pkexec's own answers: not authorised, and dismissed.
    for (const char* status : {"127", "126"}) {
        m_env.writeFile(QStringLiteral("bin/pkexec.status"), status);
        EXPECT_EQ(authorizer.executeWithPrivileges(QFile::encodeName(exits3).constData(), nullptr), -1);
        EXPECT_EQ(authorizer.lastRun().outcome, Outcome::notAuthorized);
    }
    QFile::remove(m_pkexec + QStringLiteral(".status"));
    Authorizer::setPolkitPrograms(m_pkcheck, m_env.root() + QStringLiteral("/bin/missing"));
    EXPECT_EQ(authorizer.executeWithPrivileges(QFile::encodeName(exits3).constData(), nullptr), -1);
    EXPECT_EQ(authorizer.lastRun().outcome, Outcome::couldNotStart);
}

TEST_F(AuthorizerTest, standard_input_is_copied_to_the_tool_and_its_end_reaches_the_tool)
{
    Authorizer authorizer(right);
    ASSERT_TRUE(authorizer.preauthorize());
    const QString copy = script("copy", "cat >\"$0.out\"\n");
    QByteArray input;
    for (int i = 0; i < 5000; ++i)
        input += QByteArray::number(i) + ' ';
    EXPECT_EQ(runWithInput(authorizer, copy, m_env.writeFile(QStringLiteral("input"), input)), 0);
    QFile out(copy + QStringLiteral(".out"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), input);
    out.close();
    EXPECT_EQ(runWithInput(authorizer, copy, QStringLiteral("/dev/null")), 0);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_TRUE(out.readAll().isEmpty());
    // A tool that reads nothing still ends, with the rest of a long input left behind.
    const QString deaf = script("deaf", "exec 0<&-\nexit 5\n");
    EXPECT_EQ(
        runWithInput(authorizer, deaf, m_env.writeFile(QStringLiteral("long"), QByteArray(1 << 20, 'x'))), 5);
}

TEST_F(AuthorizerTest, external_form_names_this_process_and_is_checked_without_interaction)
{
    Authorizer authorizer(right);
    AuthorizationExternalForm form;
    EXPECT_FALSE(authorizer.externalForm(&form));
    ASSERT_TRUE(authorizer.preauthorize());
    const QStringList asked = pkcheckCalls();
    ASSERT_TRUE(authorizer.externalForm(&form));
    EXPECT_TRUE(Authorizer::validateExternalForm(form, right));
    EXPECT_EQ(pkcheckCalls(), asked.mid(0, 4));
    answer(1);
    EXPECT_FALSE(Authorizer::validateExternalForm(form, right));
    answer(0);
    const std::unique_ptr<Authorizer> taken = Authorizer::initFromExternalForm(form);
    ASSERT_TRUE(taken);
    EXPECT_TRUE(taken->authorized());
    pkcheckCalls();

    // A form whose process is gone, or that is not one, names nothing and reaches no pkcheck.
    AuthorizationExternalForm stale = form;
    stale.bytes[8] ^= 1;
    AuthorizationExternalForm garbage;
    std::memset(garbage.bytes, 0x5a, sizeof garbage.bytes);
    for (const AuthorizationExternalForm& bad : {stale, garbage}) {
        EXPECT_FALSE(Authorizer::validateExternalForm(bad, right));
        EXPECT_FALSE(Authorizer::initFromExternalForm(bad));
    }
    EXPECT_TRUE(pkcheckCalls().isEmpty());
    authorizer.revokeAuthorization();
    EXPECT_FALSE(authorizer.authorized());
    EXPECT_FALSE(authorizer.copyRightsWithAuthRightName(right));
}

} // namespace

// Run by RealPolkitTest.sh only, inside its namespace; disabled, so the suite's own run leaves it out.
TEST(AuthorizerRealPolkit, DISABLED_real_polkit_runs_the_tool_of_the_action_as_root_with_our_input)
{
    const QString tool = qEnvironmentVariable("PEALIX_REAL_POLKIT_TOOL");
    ASSERT_FALSE(tool.isEmpty());
    TestEnvironment env;
    // polkitd's answer for an action without a policy file is told apart from a refusal.
    Authorizer unknown("com.quorlenvik.pealix.nosuch");
    EXPECT_FALSE(unknown.preauthorize());
    EXPECT_EQ(unknown.lastResult(), platform::AuthorizationResult::actionUnknown);
    Authorizer authorizer(right);
    ASSERT_TRUE(authorizer.preauthorize());
    AuthorizationExternalForm form;
    ASSERT_TRUE(authorizer.externalForm(&form));
    EXPECT_TRUE(Authorizer::validateExternalForm(form, right));
    qputenv("PEALIX_HOSTILE", "1");
    const int saved = ::dup(STDIN_FILENO);
    const int fd = ::open(
        QFile::encodeName(env.writeFile(QStringLiteral("input"), "from the pane\n")).constData(), O_RDONLY);
    ::dup2(fd, STDIN_FILENO);
    ::close(fd);
    EXPECT_EQ(authorizer.executeWithPrivileges(QFile::encodeName(tool).constData(), nullptr), 3);
    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
    qunsetenv("PEALIX_HOSTILE");
    QFile ran(qEnvironmentVariable("PEALIX_REAL_POLKIT_RAN"));
    ASSERT_TRUE(ran.open(QIODevice::ReadOnly));
    const QByteArray record = ran.readAll();
    EXPECT_TRUE(record.startsWith("PKEXEC_UID=" + QByteArray::number(::getuid()) + "\nfrom the pane\n"))
        << record.constData();
    EXPECT_FALSE(record.contains("PEALIX_HOSTILE"));
    EXPECT_FALSE(record.contains("XDG_CONFIG_HOME"));
}
