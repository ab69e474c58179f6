// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pealix-loginitems: the session's login-item service. Started on first use by whoever sends it an
// event, it keeps the user's autostart entries and quits after a minute without requests.
// Test seam: PEALIX_LOGINITEMS_IDLE_MS (the idle time).

#include "LoginItemService.h"
#include "XdgAutostartStore.h"
#include "platform/appleevents/AppleEventServer.h"
#include "platform/core/Log.h"
#include "platform/core/SingleInstance.h"

#include <QCoreApplication>
#include <QTimer>

namespace {

constexpr int defaultIdleMs = 60 * 1000;

int idleMs()
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("PEALIX_LOGINITEMS_IDLE_MS", &ok);
    return ok && value > 0 ? value : defaultIdleMs;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pealix-loginitems"));

    // Clients reach the service through its socket in the runtime directory, so that directory is what it is
    // one per.
    platform::SingleInstance instance(QStringLiteral("com.quorlenvik.LoginItems"),
                                      platform::SingleInstance::Scope::runtimeDirectory);
    if (!instance.acquire())
        return 0;

    XdgAutostartStore store(XdgAutostartStore::userDirectory());
    store.removeStaleTemporaries();
    LoginItemService service(&store);
    platform::AppleEventServer server([&](const platform::AppleEvent& event, platform::AppleEvent* reply) {
        return service.handle(event, reply);
    });
    if (!server.listen()) {
        platform::log(QStringLiteral("the login-item service cannot listen for events"));
        return 1;
    }

    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(idleMs());
    QObject::connect(&idle, &QTimer::timeout, &app, &QCoreApplication::quit);
    QObject::connect(&server, &platform::AppleEventServer::served, &idle, qOverload<>(&QTimer::start));
    idle.start();
    return QCoreApplication::exec();
}
