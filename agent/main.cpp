// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// PealixTool: the background agent that chimes the quarter hours.

#include "agent/ControlMenu.h"
#include "agent/PealixController.h"
#include "platform/bundles/Bundle.h"
#include "platform/core/ApplicationIdentity.h"
#include "platform/core/Log.h"
#include "platform/core/Memory.h"
#include "platform/core/ProcessRestart.h"
#include "platform/core/SingleInstance.h"
#include "platform/core/Translations.h"
#include "platform/update/UpdateExchange.h"
#include "shared/PrefKeys.h"
#include "shared/Product.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char usage[] =
    QT_TRANSLATE_NOOP("PealixTool", "Usage: PealixTool [-u]\n"
                                    "Chimes the quarter hours as the Pealix preferences say.\n"
                                    "\n"
                                    "  -u         check for updates, then quit\n"
                                    "  --help     show this help and exit\n"
                                    "  --version  show the version and exit\n");

// In the user's language, which needs an application object but no display.
void printUsage(std::FILE* stream)
{
    std::fputs(qPrintable(QCoreApplication::translate("PealixTool", usage)), stream);
}

} // namespace

int main(int argc, char** argv)
{
    platform::shareAllocatorArenas();
    // Answered before Qt starts, so they work without a display or a session.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            QCoreApplication core(argc, argv);
            platform::loadTranslations();
            printUsage(stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("PealixTool %s\n", PEALIX_VERSION);
            return 0;
        }
    }

    // An update cut short while its new version was being tried is undone before anything is read from
    // the bundle; this starts again from the version put back when it was started from the one taken out.
    platform::update::recoverInterruptedUpdates(argv);

    // A screen (Qt GUI, Widgets, the display's libraries: a third of the agent's memory) only for an agent
    // that may show something now: an update check's windows, or the icon once restarted for it.
    const QByteArray carried = platform::takeCarriedState();
    bool updateArgument = false;
    for (int i = 1; i < argc; ++i)
        updateArgument = updateArgument || std::strcmp(argv[i], "-u") == 0;
    // Read once: the controller asks the same bundle again.
    const platform::Bundle bundle = platform::Bundle::mainBundle();
    const bool screen = !carried.isEmpty() || updateArgument ||
                        platform::update::automaticChecksPossible(bundle.infoDictionary());

    platform::setApplicationIdentity(Product::identity());
    std::unique_ptr<QCoreApplication> app;
    if (screen) {
        // Without a display the agent still chimes; it just has nowhere to show its icon.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app.reset(ControlMenu::makeApplication(argc, argv));
    }
    if (!app) {
        app = std::make_unique<QCoreApplication>(argc, argv);
        // As the screen's application object names itself, for the desktop and the bus alike.
        QCoreApplication::setApplicationName(Product::identity().name);
    }
    platform::loadTranslations();

    // Qt has taken its own options out by now.
    const QStringList options = QCoreApplication::arguments().mid(1);
    const bool updateOnly = options == QStringList{QStringLiteral("-u")};
    if (!options.isEmpty() && !updateOnly) {
        printUsage(stderr);
        return 2;
    }

    // A second chiming agent would ring every quarter twice; the update check may run beside one.
    platform::SingleInstance instance(PrefKeys::agentBusName);
    bool acquired = updateOnly || instance.acquire();
    // Restarted in place: the bus may not yet have seen the image before this one go.
    for (int i = 0; !acquired && !carried.isEmpty() && i < 20; ++i) {
        QThread::msleep(100);
        acquired = instance.acquire();
    }
    if (!acquired) {
        platform::log(QStringLiteral("another agent is already chiming in this session; exiting"));
        return 0;
    }

    PealixController controller(bundle, QCoreApplication::arguments());
    // Once: an agent restarted for a screen that did not get one would only restart again. Before the
    // first read of the settings, which may already ask for the icon.
    if (carried.isEmpty())
        controller.setRestartHandler(platform::restartInPlace);
    controller.awakeFromNib();
    if (!carried.isEmpty())
        controller.restoreCarried(carried);
    return QCoreApplication::exec();
}
