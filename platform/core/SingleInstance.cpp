// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/core/SingleInstance.h"

#include "platform/core/RuntimeDirectory.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "pealix.instance", QtWarningMsg)

namespace platform {

namespace {

// A bus that accepts the connection and then never answers must not keep the program from starting.
constexpr int busTimeoutMs = 2000;

// org.freedesktop.DBus.RequestName flags and replies.
constexpr uint doNotQueue = 4;
constexpr uint primaryOwner = 1;
constexpr uint alreadyOwner = 4;

} // namespace

SingleInstance::SingleInstance(const QString& name, Scope scope) : m_name(name), m_scope(scope) {}

SingleInstance::~SingleInstance()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

bool SingleInstance::acquire()
{
    if (m_lockFd < 0) {
        const QByteArray directory = runtimeDirectory();
        if (!directory.isEmpty()) {
            const QByteArray path = directory + '/' + QFile::encodeName(m_name) + ".lock";
            const int fd =
                ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
            if (fd < 0) {
                qCDebug(lcInstance) << "cannot open" << path << ::strerror(errno);
            } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int error = errno;
                ::close(fd);
                if (error == EWOULDBLOCK)
                    return false;
                qCDebug(lcInstance) << "cannot lock" << path << ::strerror(error);
            } else {
                m_lockFd = fd;
            }
        }
    }

    if (m_scope == Scope::runtimeDirectory)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return true;
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    request << m_name << doNotQueue;
    const QDBusMessage reply = bus.call(request, QDBus::Block, busTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCDebug(lcInstance) << "no answer from the session bus:" << reply.errorMessage();
        return true;
    }
    const uint answer = reply.arguments().constFirst().toUInt();
    return answer == primaryOwner || answer == alreadyOwner;
}

} // namespace platform
