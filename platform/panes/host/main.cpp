// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pealix-panehost [PANE.prefPane]: shows a preference pane, or the installed ones; one host per session.

#include "PaneHostScripting.h"
#include "PaneHostWindow.h"
#include "platform/core/Log.h"
#include "platform/core/SingleInstance.h"
#include "platform/core/Translations.h"
#include "platform/panes/PaneHostInterface.h"
#include "platform/ui/WindowIdentity.h"
#include "platform/update/UpdateExchange.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <cstdio>

namespace {

const char usage[] = QT_TRANSLATE_NOOP("PaneHost", "usage: pealix-panehost [PANE.prefPane]\n");
// The running host answers at once; one that hangs must not keep this start from ending.
constexpr int handOverTimeoutMs = 5000;

} // namespace

int main(int argc, char** argv)
{
    // Before any pane is loaded: an update cut short while its new version was being tried is undone.
    platform::update::recoverInterruptedUpdates(argv);
    QApplication app(argc, argv);
    // Before the pane loads: its texts are translated from the same catalogue.
    platform::loadTranslations();
    platform::adoptApplicationIdentity();

    const QStringList options = QCoreApplication::arguments().mid(1);
    if (options.size() > 1 || (!options.isEmpty() && options.first().startsWith(QLatin1Char('-')))) {
        std::fputs(qPrintable(QCoreApplication::translate("PaneHost", usage)), stderr);
        return 2;
    }
    const QString pane = options.isEmpty() ? QString() : QFileInfo(options.first()).absoluteFilePath();

    PaneHostWindow window;
    PaneHostScripting scripting(&window);
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Registered before the name is taken, so that the first call routed to the name finds it.
    if (bus.isConnected())
        bus.registerObject(platform::PaneHostInterface::objectPath, &scripting,
                           QDBusConnection::ExportScriptableSlots);

    platform::SingleInstance instance(platform::PaneHostInterface::busName);
    if (!instance.acquire()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            platform::PaneHostInterface::busName, platform::PaneHostInterface::objectPath,
            platform::PaneHostInterface::interfaceName, QStringLiteral("ShowPane"));
        call << pane;
        const QDBusMessage reply = bus.call(call, QDBus::Block, handOverTimeoutMs);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return 0;
        platform::log(QStringLiteral("another host runs in this session but did not answer: %1")
                          .arg(reply.errorMessage()));
        return 1;
    }

    if (pane.isEmpty())
        window.showOverview();
    else
        window.showPane(pane);
    window.resize(window.sizeHint().expandedTo(QSize(480, 320)));
    window.bringToFront();
    if (scripting.quitRequested())
        return 0;
    return QApplication::exec();
}
