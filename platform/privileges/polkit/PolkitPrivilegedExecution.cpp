// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/privileges/PrivilegedExecution.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

Q_LOGGING_CATEGORY(lcPolkit, "pealix.polkit", QtWarningMsg)

namespace platform {

namespace {

QString pkcheckProgram = QStringLiteral("/usr/bin/pkcheck");
QString pkexecProgram = QStringLiteral("/usr/bin/pkexec");
// The authentication dialog waits for a person; past this the request counts as refused.
constexpr int interactiveLimitMs = 5 * 60 * 1000;
constexpr int checkLimitMs = 30 * 1000;
int toolLimitMs = 30 * 60 * 1000;
// pkcheck's statuses: not authorised, authorised only after a challenge, dialog dismissed, error.
constexpr int pkcheckNotAuthorized = 1;
constexpr int pkcheckChallenge = 2;
constexpr int pkcheckDismissed = 3;
// pkexec's own statuses: not authorised, and the dialog dismissed.
constexpr int pkexecNotAuthorized = 127;
constexpr int pkexecDismissed = 126;

bool validActionId(const QString& id)
{
    if (id.isEmpty() || id.size() > 255)
        return false;
    for (const QChar c : id)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'.' && c != u'-')
            return false;
    return true;
}

} // namespace

void setPolkitPrograms(const QString& pkcheck, const QString& pkexec)
{
    pkcheckProgram = pkcheck;
    pkexecProgram = pkexec;
}

void setPrivilegedToolTimeLimit(int milliseconds)
{
    toolLimitMs = milliseconds;
}

bool privilegedExecutionAvailable()
{
    return QFileInfo(pkexecProgram).isExecutable() && QFileInfo(pkexecProgram).isFile();
}

AuthorizationResult checkAuthorization(const PolkitSubject& subject, const QString& actionId,
                                       bool interactive)
{
    // A name polkit cannot hold never reaches pkcheck.
    if (!validActionId(actionId))
        return AuthorizationResult::actionUnknown;
    QStringList arguments{
        QStringLiteral("--action-id"), actionId, QStringLiteral("--process"),
        QStringLiteral("%1,%2,%3").arg(subject.pid).arg(subject.startTime).arg(subject.uid)};
    if (interactive)
        arguments << QStringLiteral("--allow-user-interaction");
    QProcess pkcheck;
    pkcheck.setStandardInputFile(QProcess::nullDevice());
    pkcheck.setStandardOutputFile(QProcess::nullDevice());
    pkcheck.start(pkcheckProgram, arguments);
    if (!pkcheck.waitForStarted(checkLimitMs)) {
        qCDebug(lcPolkit) << "pkcheck did not start:" << pkcheck.errorString();
        return AuthorizationResult::programMissing;
    }
    if (!pkcheck.waitForFinished(interactive ? interactiveLimitMs : checkLimitMs)) {
        qCDebug(lcPolkit) << "pkcheck did not answer:" << pkcheck.errorString();
        pkcheck.kill();
        pkcheck.waitForFinished(1000);
        return interactive ? AuthorizationResult::denied : AuthorizationResult::failed;
    }
    const QByteArray error = pkcheck.readAllStandardError();
    qCDebug(lcPolkit) << "pkcheck" << actionId << "->" << pkcheck.exitCode() << error;
    if (pkcheck.exitStatus() != QProcess::NormalExit)
        return AuthorizationResult::failed;
    switch (pkcheck.exitCode()) {
    case 0:
        return AuthorizationResult::authorized;
    case pkcheckNotAuthorized:
    case pkcheckChallenge:
    case pkcheckDismissed:
        return AuthorizationResult::denied;
    default:
        // polkitd's words for an action without a policy file.
        return error.contains("is not registered") ? AuthorizationResult::actionUnknown
                                                   : AuthorizationResult::failed;
    }
}

ToolRun executeWithPrivileges(const char* pathToTool, char* const* arguments)
{
    ToolRun run;
    if (!pathToTool || pathToTool[0] != '/')
        return run;
    const QByteArray program = QFile::encodeName(pkexecProgram);
    // No agent of pkexec's own on the caller's terminal: the desktop's agent asks, or nobody.
    std::vector<const char*> argv{program.constData(), "--disable-internal-agent", pathToTool};
    for (char* const* argument = arguments; argument && *argument; ++argument)
        argv.push_back(*argument);
    argv.push_back(nullptr);
    // pkexec keeps little of an environment; this one gets nothing to keep but where the system bus is.
    std::vector<std::string> environment{"PATH=/usr/sbin:/usr/bin:/sbin:/bin"};
    if (const char* bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS"))
        environment.push_back(std::string("DBUS_SYSTEM_BUS_ADDRESS=") + bus);
    std::vector<const char*> envp;
    for (const std::string& entry : environment)
        envp.push_back(entry.c_str());
    envp.push_back(nullptr);

    int channel[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0)
        return run;
    // Closed by a successful exec; an errno written into it means pkexec never ran.
    int started[2];
    if (::pipe2(started, O_CLOEXEC) != 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return run;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        for (int fd : {channel[0], channel[1], started[0], started[1]})
            ::close(fd);
        return run;
    }
    if (pid == 0) {
        ::dup2(channel[1], STDIN_FILENO);
        ::execve(argv[0], const_cast<char* const*>(argv.data()), const_cast<char* const*>(envp.data()));
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(started[1], &error, sizeof error);
        ::_exit(pkexecNotAuthorized);
    }
    ::close(channel[1]);
    ::close(started[1]);
    int execError = 0;
    ssize_t reported;
    do
        reported = ::read(started[0], &execError, sizeof execError);
    while (reported < 0 && errno == EINTR);
    ::close(started[0]);
    if (reported > 0) {
        qCDebug(lcPolkit) << "pkexec could not be started:" << std::strerror(execError);
        ::waitpid(pid, nullptr, 0);
        ::close(channel[0]);
        return run;
    }

    // A terminal would make the wait depend on someone typing an end of input nobody asked for.
    bool copying = !::isatty(STDIN_FILENO) && ::fcntl(STDIN_FILENO, F_GETFD) != -1;
    int pipe = channel[0];
    char buffer[1024];
    ssize_t pending = 0, offset = 0;
    int status = 0;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            break;
        if (ended < 0 && errno != EINTR) {
            if (pipe >= 0)
                ::close(pipe);
            run.outcome = ToolRun::Outcome::killed;
            return run;
        }
        if (waited.elapsed() > toolLimitMs) {
            qCDebug(lcPolkit) << "gave up waiting for" << pathToTool;
            if (pipe >= 0)
                ::close(pipe);
            run.outcome = ToolRun::Outcome::timedOut;
            return run;
        }
        if (pipe >= 0 && !copying && pending == 0) {
            ::close(pipe);
            pipe = -1;
        }
        pollfd fds[1] = {};
        nfds_t count = 0;
        if (pending > 0)
            fds[count++] = {pipe, POLLOUT, 0};
        else if (copying)
            fds[count++] = {STDIN_FILENO, POLLIN, 0};
        if (::poll(fds, count, 50) <= 0 || count == 0)
            continue;
        if (pending > 0) {
            const ssize_t written =
                ::send(pipe, buffer + offset, size_t(pending), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (written > 0) {
                offset += written;
                pending -= written;
            } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
                // The tool stopped reading: the rest of the input has nowhere to go.
                pending = 0;
                copying = false;
            }
        } else {
            const ssize_t read = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (read > 0) {
                pending = read;
                offset = 0;
            } else if (read == 0 || (errno != EINTR && errno != EAGAIN)) {
                copying = false;
            }
        }
    }
    if (pipe >= 0)
        ::close(pipe);
    if (!WIFEXITED(status)) {
        run.outcome = ToolRun::Outcome::killed;
        return run;
    }
    const int code = WEXITSTATUS(status);
    if (code == pkexecNotAuthorized || code == pkexecDismissed) {
        run.outcome = ToolRun::Outcome::notAuthorized;
        return run;
    }
    run.outcome = ToolRun::Outcome::exited;
    run.exitCode = code;
    return run;
}

} // namespace platform
