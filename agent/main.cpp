// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// PealixTool: the background agent that chimes the quarter hours.

#include "agent/PealixController.h"
#include "platform/bundles/Bundle.h"
#include "platform/core/Log.h"
#include "platform/core/Memory.h"
#include "platform/core/SingleInstance.h"
#include "platform/core/Translations.h"
#include "platform/ui/WindowIdentity.h"
#include "platform/update/UpdateExchange.h"
#include "shared/PrefKeys.h"
#include "shared/Product.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

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

    // Without a display the agent still chimes; it just has nowhere to show its icon.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    platform::loadTranslations();
    platform::setApplicationIdentity(Product::identity());
    platform::adoptApplicationIdentity();
    QApplication::setQuitOnLastWindowClosed(false);

    // Qt has taken its own options out by now.
    const QStringList options = QCoreApplication::arguments().mid(1);
    const bool updateOnly = options == QStringList{QStringLiteral("-u")};
    if (!options.isEmpty() && !updateOnly) {
        printUsage(stderr);
        return 2;
    }

    // A second chiming agent would ring every quarter twice; the update check may run beside one.
    platform::SingleInstance instance(PrefKeys::agentBusName);
    if (!updateOnly && !instance.acquire()) {
        platform::log(QStringLiteral("another agent is already chiming in this session; exiting"));
        return 0;
    }

    PealixController controller(platform::Bundle::mainBundle(), QCoreApplication::arguments());
    controller.awakeFromNib();
    return QApplication::exec();
}
