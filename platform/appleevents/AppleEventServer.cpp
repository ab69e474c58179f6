// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/appleevents/AppleEventServer.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcEventServer, "pealix.appleevents", QtWarningMsg)

namespace platform {

namespace {

constexpr AEEventClass kCoreEventClass = fourCharCode("aevt");
constexpr AEEventID kAEAnswer = fourCharCode("ansr");

// The folder of the sockets: the user's alone, and not a link planted by someone else.
bool makePrivateFolder(const QByteArray& folder)
{
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    return ::lstat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

// Removes the sockets in folder whose process has gone: nobody else does, since they die with it.
void removeStaleSockets(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name = entry->d_name;
        if (!name.endsWith(".sock"))
            continue;
        const QList<QByteArray> parts = name.chopped(5).split('-');
        bool pidOk = false, startOk = false;
        const qint64 pid = parts.size() == 2 ? parts[0].toLongLong(&pidOk) : 0;
        const quint64 start = parts.size() == 2 ? parts[1].toULongLong(&startOk) : 0;
        struct stat st {};
        const QByteArray path = folder + '/' + name;
        if (!pidOk || !startOk || pid <= 0 || ::lstat(path.constData(), &st) != 0 || !S_ISSOCK(st.st_mode) ||
            st.st_uid != ::getuid())
            continue;
        ProcessSerialNumber now;
        if (GetProcessForPID(pid_t(pid), &now) != noErr || now.startTime != start) {
            qCDebug(lcEventServer) << "removing the socket of a process that has gone" << name;
            ::unlink(path.constData());
        }
    }
    ::closedir(dir);
}

} // namespace

struct AppleEventServer::Client {
    pid_t peer = 0;
    quint64 serial = 0;
    QSocketNotifier* readable = nullptr;
    QSocketNotifier* writable = nullptr;
    QTimer* deadline = nullptr;
    QTimer* idle = nullptr;
    QByteArray in;
    QByteArray out;
    qsizetype written = 0;
};

AppleEventServer::AppleEventServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler))
{
}

AppleEventServer::~AppleEventServer()
{
    while (!m_clients.empty())
        drop(m_clients.begin()->first);
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        QFile::remove(m_path);
    }
    if (m_spareFd >= 0)
        ::close(m_spareFd);
}

bool AppleEventServer::listen()
{
    if (m_listenFd >= 0)
        return true;
    ProcessSerialNumber self;
    if (GetProcessForPID(::getpid(), &self) != noErr)
        return false;
    const QString path = appleEventSocketPath(self);
    const QByteArray native = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray folder = QFile::encodeName(QFileInfo(path).path());
    if (path.isEmpty() || std::size_t(native.size()) >= sizeof address.sun_path ||
        !makePrivateFolder(folder)) {
        qCDebug(lcEventServer) << "no place for the socket" << path;
        return false;
    }
    removeStaleSockets(folder);
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
    // The name holds this process's start time, so a file already there is a leftover of ours.
    ::unlink(native.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0) {
        qCDebug(lcEventServer) << "cannot listen on" << path << ::strerror(errno);
        ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_path = path;
    m_spareFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
        m_maximumClients =
            std::clamp<std::size_t>(std::size_t(files.rlim_cur / 4), maximumClientsPerPeer, 64);
    m_acceptNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &AppleEventServer::accept);
    return true;
}

void AppleEventServer::accept()
{
    // A bounded round, so that a client connecting without pause cannot keep the loop here.
    for (std::size_t round = 0; round < 2 * m_maximumClients; ++round) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN)
                acceptFailed(errno);
            return;
        }
        ucred peer{};
        socklen_t length = sizeof peer;
        // The folder keeps others out; this keeps out a socket passed on to another user's process.
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid()) {
            ::close(fd);
            continue;
        }
        makeRoomFor(peer.pid);
        auto client = std::make_unique<Client>();
        client->peer = peer.pid;
        client->serial = ++m_accepted;
        client->readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(client->readable, &QSocketNotifier::activated, this, [this, fd] { readFrom(fd); });
        client->deadline = new QTimer(this);
        client->deadline->setSingleShot(true);
        connect(client->deadline, &QTimer::timeout, this, [this, fd] {
            qCDebug(lcEventServer) << "dropping a client that did not finish in time";
            drop(fd);
        });
        client->deadline->start(m_requestTimeoutMs);
        client->idle = new QTimer(this);
        client->idle->setSingleShot(true);
        connect(client->idle, &QTimer::timeout, this, [this, fd] {
            qCDebug(lcEventServer) << "dropping an idle client";
            drop(fd);
        });
        client->idle->start(std::min(idleTimeoutMs, m_requestTimeoutMs));
        m_clients.emplace(fd, std::move(client));
    }
}

// Drops the oldest connection of the peer, or when all are taken the oldest of the peer holding most.
void AppleEventServer::makeRoomFor(int peer)
{
    std::map<int, std::size_t> perPeer;
    for (const auto& [fd, client] : m_clients)
        ++perPeer[client->peer];
    int victimPeer = -1;
    if (perPeer[peer] >= maximumClientsPerPeer) {
        victimPeer = peer;
    } else if (m_clients.size() >= m_maximumClients) {
        victimPeer = std::max_element(perPeer.begin(), perPeer.end(), [](const auto& a, const auto& b) {
                         return a.second < b.second;
                     })->first;
    }
    if (victimPeer < 0)
        return;
    int oldest = -1;
    quint64 serial = 0;
    for (const auto& [fd, client] : m_clients) {
        if (client->peer == victimPeer && (oldest < 0 || client->serial < serial)) {
            oldest = fd;
            serial = client->serial;
        }
    }
    if (oldest >= 0) {
        qCDebug(lcEventServer) << "too many connections: dropping the oldest of process" << victimPeer;
        drop(oldest);
    }
}

// Out of descriptors: the pending connection is taken with the spare one and closed at once, since a
// listening socket with a connection waiting would wake the loop again and again.
void AppleEventServer::acceptFailed(int error)
{
    qCDebug(lcEventServer) << "cannot accept:" << ::strerror(error);
    if ((error == EMFILE || error == ENFILE) && m_spareFd >= 0) {
        ::close(m_spareFd);
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
        m_spareFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (m_spareFd >= 0)
            return;
    }
    // Without a spare, listening pauses a moment instead of spinning.
    m_acceptNotifier->setEnabled(false);
    QTimer::singleShot(100, this, [this] {
        if (m_spareFd < 0)
            m_spareFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        m_acceptNotifier->setEnabled(true);
    });
}

void AppleEventServer::readFrom(int fd)
{
    const auto found = m_clients.find(fd);
    if (found == m_clients.end())
        return;
    Client& client = *found->second;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            client.in.append(buffer, n);
            client.idle->start();
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            break;
        } else {
            drop(fd);
            return;
        }
        if (client.in.size() >= 8) {
            std::uint32_t length;
            std::memcpy(&length, client.in.constData() + 4, 4);
            length = qFromBigEndian(length);
            if (length > maximumMessageSize || std::size_t(client.in.size()) > std::size_t(length) + 8) {
                drop(fd);
                return;
            }
            if (std::size_t(client.in.size()) == std::size_t(length) + 8)
                break;
        }
    }
    if (client.in.size() < 8)
        return;
    std::uint32_t length;
    std::memcpy(&length, client.in.constData() + 4, 4);
    if (std::size_t(client.in.size()) < std::size_t(qFromBigEndian(length)) + 8)
        return;

    client.readable->setEnabled(false);
    client.idle->stop();
    AppleEvent event;
    AppleEvent reply;
    AECreateAppleEvent(kCoreEventClass, kAEAnswer, AEDesc{}, 0, 0, &reply);
    OSErr status = errAENotAEDesc;
    if (decodeAppleEvent(client.in.constData(), std::size_t(client.in.size()), &event)) {
        reply.returnID = event.returnID;
        reply.transactionID = event.transactionID;
        status = m_handler ? m_handler(event, &reply) : errAEEventNotHandled;
    }
    client.in.clear();
    if (status != noErr) {
        const std::int16_t number = std::int16_t(std::clamp(status, int(INT16_MIN), int(INT16_MAX)));
        AEDesc errn;
        AECreateDesc(typeSInt16, &number, sizeof number, &errn);
        AEPutParamDesc(&reply, keyErrorNumber, errn);
    }
    client.out = encodeAppleEvent(reply);
    client.written = 0;
    client.writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(client.writable, &QSocketNotifier::activated, this, [this, fd] { writeTo(fd); });
    writeTo(fd);
}

void AppleEventServer::writeTo(int fd)
{
    const auto found = m_clients.find(fd);
    if (found == m_clients.end())
        return;
    Client& client = *found->second;
    while (client.written < client.out.size()) {
        const ssize_t n = ::send(fd, client.out.constData() + client.written,
                                 std::size_t(client.out.size() - client.written), MSG_NOSIGNAL);
        if (n > 0) {
            client.written += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            return;
        } else {
            break;
        }
    }
    drop(fd);
}

void AppleEventServer::drop(int fd)
{
    const auto found = m_clients.find(fd);
    if (found == m_clients.end())
        return;
    std::unique_ptr<Client> client = std::move(found->second);
    m_clients.erase(found);
    // This may run inside a signal of the notifier or the timer, so they are disabled now and deleted later;
    // a disabled notifier no longer watches the descriptor that closes here.
    for (QSocketNotifier* notifier : {client->readable, client->writable}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->disconnect(this);
            notifier->deleteLater();
        }
    }
    for (QTimer* timer : {client->deadline, client->idle}) {
        timer->stop();
        timer->disconnect(this);
        timer->deleteLater();
    }
    ::close(fd);
    emit served();
}

} // namespace platform
