// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Receives the events sent to this process (AESendMessage with this process's serial number as target)
// on its socket, and answers each with the reply its handler fills in.
//
// Clients are served from the event loop one event at a time; a client that connects and sends nothing,
// or sends too much, is dropped after the request time-out without holding up the others. The
// connections kept are bounded per peer process and in all, the oldest of the busiest peer making room,
// so that a flood of idle connections can neither exhaust the descriptors nor lock real clients out.

#include "platform/Export.h"
#include "platform/appleevents/AppleEvent.h"

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

namespace platform {

class PEALIX_EXPORT AppleEventServer : public QObject {
    Q_OBJECT
public:
    // The handler gets the event and a reply of class 'aevt' / 'ansr' with no parameters; a status it
    // returns other than noErr is put in the reply as 'errn' ('shor').
    using Handler = std::function<OSErr(const AppleEvent& event, AppleEvent* reply)>;

    explicit AppleEventServer(Handler handler, QObject* parent = nullptr);
    ~AppleEventServer() override;

    // Listens on appleEventSocketPath() of this process, in a folder only the user can open. Sockets
    // left there by processes that have gone are removed. False when it cannot listen.
    bool listen();
    QString path() const { return m_path; }
    void setRequestTimeout(int milliseconds) { m_requestTimeoutMs = milliseconds; }

    // In all at most 64, and no more than a quarter of the descriptors the process may have.
    std::size_t maximumClients() const { return m_maximumClients; }
    static constexpr std::size_t maximumClientsPerPeer = 8;
    // A client that sends nothing for this long is dropped, whatever is left of its request time-out.
    static constexpr int idleTimeoutMs = 1000;

signals:
    // After each event has been answered (or a client dropped).
    void served();

private:
    struct Client;
    void accept();
    void readFrom(int fd);
    void writeTo(int fd);
    void drop(int fd);
    void makeRoomFor(int peer);
    void acceptFailed(int error);

    Handler m_handler;
    QString m_path;
    int m_listenFd = -1;
    QSocketNotifier* m_acceptNotifier = nullptr;
    std::map<int, std::unique_ptr<Client>> m_clients;
    int m_requestTimeoutMs = 5000;
    // Closed to accept (and refuse) one connection when the descriptors have run out.
    int m_spareFd = -1;
    std::size_t m_maximumClients = 64;
    quint64 m_accepted = 0;
};

} // namespace platform
