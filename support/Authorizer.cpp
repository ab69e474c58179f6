// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/Authorizer.h"

#include "platform/workspace/ProcessTable.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QProcess>
#include <cctype>
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

Q_LOGGING_CATEGORY(lcAuthorizer, "pealix.authorizer", QtWarningMsg)

namespace {

QString pkcheckProgram = QStringLiteral("/usr/bin/pkcheck");
QString pkexecProgram = QStringLiteral("/usr/bin/pkexec");
// The authentication dialog waits for a person; past this the request counts as cancelled.
constexpr int interactiveLimitMs = 5 * 60 * 1000;
constexpr int checkLimitMs = 30 * 1000;
int toolLimitMs = 30 * 60 * 1000;
constexpr char formMagic[4] = {'P', 'X', 'A', '1'};
// pkexec's own statuses: not authorised, and the dialog dismissed.
constexpr int pkexecNotAuthorized = 127;
constexpr int pkexecDismissed = 126;

bool validRightName(const char* name)
{
    if (!name || !*name || std::strlen(name) > 255)
        return false;
    for (const char* c = name; *c; ++c)
        if (!(std::isalnum(static_cast<unsigned char>(*c)) || *c == '.' || *c == '-'))
            return false;
    return true;
}

} // namespace

Authorizer::Authorizer(const char* authRightName) : m_authRightName(authRightName) {}

void Authorizer::setPolkitPrograms(const QString& pkcheck, const QString& pkexec)
{
    pkcheckProgram = pkcheck;
    pkexecProgram = pkexec;
}

void Authorizer::setToolTimeLimit(int milliseconds)
{
    toolLimitMs = milliseconds;
}

bool Authorizer::check(const Subject& subject, const char* right, bool interactive)
{
    if (!validRightName(right))
        return false;
    QStringList arguments{
        QStringLiteral("--action-id"), QString::fromLatin1(right), QStringLiteral("--process"),
        QStringLiteral("%1,%2,%3").arg(subject.pid).arg(subject.startTime).arg(subject.uid)};
    if (interactive)
        arguments << QStringLiteral("--allow-user-interaction");
    QProcess pkcheck;
    pkcheck.setStandardInputFile(QProcess::nullDevice());
    pkcheck.setStandardOutputFile(QProcess::nullDevice());
    pkcheck.start(pkcheckProgram, arguments);
    if (!pkcheck.waitForFinished(interactive ? interactiveLimitMs : checkLimitMs)) {
        qCDebug(lcAuthorizer) << "pkcheck did not answer:" << pkcheck.errorString();
        pkcheck.kill();
        pkcheck.waitForFinished(1000);
        return false;
    }
    qCDebug(lcAuthorizer) << "pkcheck" << right << "->" << pkcheck.exitCode();
    return pkcheck.exitStatus() == QProcess::NormalExit && pkcheck.exitCode() == 0;
}

bool Authorizer::preauthorize()
{
    m_authFlags = kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights |
                  kAuthorizationFlagPreAuthorize;
    const Subject self{::getpid(), platform::processStartTime(::getpid()), ::getuid()};
    if (self.startTime != 0 && check(self, m_authRightName, true))
        m_subject = self;
    else
        m_subject.reset();
    return m_subject.has_value();
}

bool Authorizer::copyRightsWithAuthRightName(const char* authRightName)
{
    m_authRightName = authRightName;
    m_authFlags = kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights;
    return m_subject && check(*m_subject, authRightName, true);
}

int Authorizer::executeWithPrivileges(const char* pathToTool, char* const* arguments)
{
    if (!m_subject || !pathToTool || pathToTool[0] != '/')
        return -1;
    const QByteArray program = pkexecProgram.toLocal8Bit();
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
        return -1;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(channel[0]);
        ::close(channel[1]);
        return -1;
    }
    if (pid == 0) {
        ::dup2(channel[1], STDIN_FILENO);
        ::execve(argv[0], const_cast<char* const*>(argv.data()), const_cast<char* const*>(envp.data()));
        ::_exit(pkexecNotAuthorized);
    }
    ::close(channel[1]);

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
            ::close(pipe);
            return -1;
        }
        if (waited.elapsed() > toolLimitMs) {
            // A root process is beyond our signals; it is left to end on its own.
            qCDebug(lcAuthorizer) << "gave up waiting for" << pathToTool;
            if (pipe >= 0)
                ::close(pipe);
            return -1;
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
    if (!WIFEXITED(status))
        return -1;
    const int code = WEXITSTATUS(status);
    return code == pkexecNotAuthorized || code == pkexecDismissed ? -1 : code;
}

bool Authorizer::externalForm(AuthorizationExternalForm* form) const
{
    if (!m_subject || !form)
        return false;
    std::memset(form->bytes, 0, sizeof form->bytes);
    const int32_t pid = m_subject->pid;
    const uint32_t uid = m_subject->uid;
    std::memcpy(form->bytes, formMagic, 4);
    std::memcpy(form->bytes + 4, &pid, 4);
    std::memcpy(form->bytes + 8, &m_subject->startTime, 8);
    std::memcpy(form->bytes + 16, &uid, 4);
    return true;
}

namespace {

// The subject a form names, when it is well formed and its process still lives.
bool subjectOfForm(const AuthorizationExternalForm& form, pid_t* pid, uint64_t* startTime, uid_t* uid)
{
    int32_t formPid = 0;
    uint32_t formUid = 0;
    if (std::memcmp(form.bytes, formMagic, 4) != 0)
        return false;
    std::memcpy(&formPid, form.bytes + 4, 4);
    std::memcpy(startTime, form.bytes + 8, 8);
    std::memcpy(&formUid, form.bytes + 16, 4);
    for (size_t i = 20; i < sizeof form.bytes; ++i)
        if (form.bytes[i] != 0)
            return false;
    if (formPid <= 0 || *startTime == 0 || platform::processStartTime(formPid) != *startTime)
        return false;
    *pid = formPid;
    *uid = formUid;
    return true;
}

} // namespace

std::unique_ptr<Authorizer> Authorizer::initFromExternalForm(const AuthorizationExternalForm& form)
{
    Subject subject;
    if (!subjectOfForm(form, &subject.pid, &subject.startTime, &subject.uid) || subject.uid != ::getuid())
        return nullptr;
    std::unique_ptr<Authorizer> authorizer(new Authorizer);
    authorizer->m_subject = subject;
    return authorizer;
}

std::unique_ptr<Authorizer> Authorizer::initByCopyPrivilegedRef()
{
    if (::geteuid() != 0)
        return nullptr;
    const Subject self{::getpid(), platform::processStartTime(::getpid()), 0};
    if (self.startTime == 0)
        return nullptr;
    std::unique_ptr<Authorizer> authorizer(new Authorizer);
    authorizer->m_subject = self;
    return authorizer;
}

bool Authorizer::validateExternalForm(const AuthorizationExternalForm& form, const char* authRightName)
{
    Subject subject;
    return subjectOfForm(form, &subject.pid, &subject.startTime, &subject.uid) &&
           check(subject, authRightName, false);
}
