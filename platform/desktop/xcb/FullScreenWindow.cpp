// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/desktop/FullScreenWindow.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcFullScreen, "pealix.desktop.fullscreen", QtWarningMsg)

constexpr int firstRetryMs = 1000;
constexpr int maxRetryMs = 60000;
// Far more states than EWMH defines; a longer list is cut there.
constexpr uint32_t maxStates = 64;

struct Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t root = XCB_NONE;
    xcb_atom_t activeWindow = XCB_NONE, state = XCB_NONE, fullScreen = XCB_NONE;
};

// The connection's set-up and the atoms wait for the server, so they are made off the main thread.
Connection connectTo(const QByteArray& display)
{
    Connection made;
    int screen = 0;
    xcb_connection_t* c = xcb_connect(display.constData(), &screen);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return made;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return made;
    }
    made.root = it.data->root;
    const char* names[] = {"_NET_ACTIVE_WINDOW", "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN"};
    xcb_intern_atom_cookie_t cookies[3];
    for (int i = 0; i < 3; ++i)
        cookies[i] = xcb_intern_atom(c, 0, uint16_t(std::strlen(names[i])), names[i]);
    xcb_atom_t* atoms[] = {&made.activeWindow, &made.state, &made.fullScreen};
    for (int i = 0; i < 3; ++i) {
        if (xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookies[i], nullptr)) {
            *atoms[i] = reply->atom;
            std::free(reply);
        }
    }
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, made.root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);
    if (xcb_connection_has_error(c) || !made.activeWindow || !made.state || !made.fullScreen) {
        xcb_disconnect(c);
        return {};
    }
    made.c = c;
    return made;
}

// Between the connecting thread and the object, which may be gone when the thread ends.
struct Handoff {
    std::mutex lock;
    std::optional<Connection> made;
    bool abandoned = false;
};

} // namespace

struct FullScreenWindow::Impl {
    explicit Impl(FullScreenWindow* owner) : q(owner) {}

    FullScreenWindow* q;
    QByteArray display;
    std::shared_ptr<Handoff> handoff;
    Connection x;
    QSocketNotifier* notifier = nullptr;
    QTimer retry;
    QTimer pumpSoon;
    int retryMs = firstRetryMs;
    xcb_window_t active = XCB_NONE;
    // The latest question of each kind; an older reply is dropped.
    std::optional<unsigned int> askedActive, askedState;

    void connectToServer()
    {
        if (handoff)
            return;
        handoff = std::make_shared<Handoff>();
        QThread* thread = QThread::create([h = handoff, display = display] {
            const Connection made = connectTo(display);
            const std::lock_guard<std::mutex> guard(h->lock);
            if (h->abandoned) {
                if (made.c)
                    xcb_disconnect(made.c);
            } else {
                h->made = made;
            }
        });
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        QObject::connect(thread, &QThread::finished, q, [this, h = handoff] {
            if (h == handoff)
                takeConnection();
        });
        thread->start();
    }

    void takeConnection()
    {
        std::optional<Connection> made;
        {
            const std::lock_guard<std::mutex> guard(handoff->lock);
            made = handoff->made;
            handoff->made.reset();
        }
        handoff.reset();
        if (!made || !made->c) {
            qCDebug(lcFullScreen) << "No X server at" << display << "; full-screen windows are not followed";
            retry.start(retryMs);
            retryMs = std::min(retryMs * 2, maxRetryMs);
            return;
        }
        retryMs = firstRetryMs;
        x = *made;
        notifier = new QSocketNotifier(xcb_get_file_descriptor(x.c), QSocketNotifier::Read, q);
        QObject::connect(notifier, &QSocketNotifier::activated, q, [this] { pump(); });
        askActive();
    }

    void abandonConnecting()
    {
        if (!handoff)
            return;
        const std::lock_guard<std::mutex> guard(handoff->lock);
        handoff->abandoned = true;
        if (handoff->made && handoff->made->c)
            xcb_disconnect(handoff->made->c);
        handoff->made.reset();
    }

    void disconnect()
    {
        // Possibly from inside its own signal.
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
        notifier = nullptr;
        if (x.c)
            xcb_disconnect(x.c);
        x = {};
        active = XCB_NONE;
        askedActive.reset();
        askedState.reset();
    }

    void lost()
    {
        qCDebug(lcFullScreen) << "The X server went away";
        disconnect();
        q->setActive(false);
        retry.start(retryMs);
        retryMs = std::min(retryMs * 2, maxRetryMs);
    }

    // Writing may read too, so what came in meanwhile is looked at right after.
    void send()
    {
        xcb_flush(x.c);
        pumpSoon.start(0);
    }

    static void ask(xcb_connection_t* c, std::optional<unsigned int>& asked, unsigned int sequence)
    {
        if (asked)
            xcb_discard_reply(c, *asked);
        asked = sequence;
    }

    void askActive()
    {
        ask(x.c, askedActive,
            xcb_get_property(x.c, 0, x.root, x.activeWindow, XCB_ATOM_WINDOW, 0, 1).sequence);
        send();
    }

    void askState()
    {
        ask(x.c, askedState, xcb_get_property(x.c, 0, active, x.state, XCB_ATOM_ATOM, 0, maxStates).sequence);
        send();
    }

    void follow(xcb_window_t window)
    {
        if (window == active)
            return;
        // A window that is gone answers with an error, which is ignored like any other.
        if (active != XCB_NONE) {
            const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
            xcb_change_window_attributes(x.c, active, XCB_CW_EVENT_MASK, &none);
        }
        active = window;
        if (active == XCB_NONE) {
            if (askedState)
                xcb_discard_reply(x.c, *askedState);
            askedState.reset();
            q->setActive(false);
            send();
            return;
        }
        // Selected before the question, so that no change between them is missed.
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(x.c, active, XCB_CW_EVENT_MASK, &mask);
        askState();
    }

    void takeActive(const xcb_get_property_reply_t* reply)
    {
        xcb_window_t window = XCB_NONE;
        if (reply && reply->type == XCB_ATOM_WINDOW && reply->format == 32 &&
            xcb_get_property_value_length(reply) >= int(sizeof(xcb_window_t)))
            std::memcpy(&window, xcb_get_property_value(reply), sizeof window);
        follow(window);
    }

    void takeState(const xcb_get_property_reply_t* reply)
    {
        bool full = false;
        if (reply && reply->type == XCB_ATOM_ATOM && reply->format == 32) {
            const int count = xcb_get_property_value_length(reply) / int(sizeof(xcb_atom_t));
            const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            full = std::find(atoms, atoms + count, x.fullScreen) != atoms + count;
        }
        q->setActive(full);
    }

    // Takes the reply to `asked` when it has come; true when it has.
    bool poll(std::optional<unsigned int>& asked, void (Impl::*take)(const xcb_get_property_reply_t*))
    {
        if (!asked)
            return false;
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (!xcb_poll_for_reply(x.c, *asked, &reply, &error))
            return false;
        asked.reset();
        (this->*take)(static_cast<const xcb_get_property_reply_t*>(reply));
        std::free(reply);
        std::free(error);
        return true;
    }

    void event(const xcb_generic_event_t* e)
    {
        if ((e->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return;
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(e);
        if (change->window == x.root && change->atom == x.activeWindow)
            askActive();
        else if (change->window == active && active != XCB_NONE && change->atom == x.state)
            askState();
    }

    void pump()
    {
        for (bool more = true; more && x.c;) {
            more = false;
            if (xcb_connection_has_error(x.c)) {
                lost();
                return;
            }
            while (xcb_generic_event_t* e = xcb_poll_for_event(x.c)) {
                more = true;
                event(e);
                std::free(e);
            }
            more = poll(askedActive, &Impl::takeActive) || more;
            more = poll(askedState, &Impl::takeState) || more;
        }
        // A server that went away while nothing was asked shows only here.
        if (x.c && xcb_connection_has_error(x.c))
            lost();
    }
};

FullScreenWindow::FullScreenWindow(QObject* parent) : SilenceSource(parent), d(new Impl(this))
{
    d->display = qgetenv("DISPLAY");
    if (d->display.isEmpty()) {
        qCDebug(lcFullScreen) << "No DISPLAY; full-screen windows are not followed";
        return;
    }
    d->retry.setSingleShot(true);
    d->pumpSoon.setSingleShot(true);
    connect(&d->retry, &QTimer::timeout, this, [this] { d->connectToServer(); });
    connect(&d->pumpSoon, &QTimer::timeout, this, [this] { d->pump(); });
    d->connectToServer();
}

FullScreenWindow::~FullScreenWindow()
{
    d->abandonConnecting();
    d->disconnect();
    delete d;
}

} // namespace platform
