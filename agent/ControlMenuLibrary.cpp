// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The entry points of the agent's library for a screen, found by ControlMenu by name.

#include "agent/StatusMenu.h"
#include "platform/Export.h"
#include "platform/ui/WindowIdentity.h"

#include <QAction>
#include <QApplication>

extern "C" PEALIX_EXPORT ControlMenu* pealix_create_control_menu(const QString* resourcePath,
                                                                 ControlMenu::Handlers* handlers)
{
    auto* menu = new StatusMenu(*resourcePath);
    QObject::connect(menu, &StatusMenu::suspendResumeRequested, menu,
                     [run = handlers->suspendResume](QAction*) { run(); });
    QObject::connect(menu, &StatusMenu::pauseRequested, menu, handlers->pause);
    QObject::connect(menu, &StatusMenu::openPrefsRequested, menu, handlers->openPrefs);
    QObject::connect(menu, &StatusMenu::menuAboutToShow, menu, [menu, validate = handlers->validate] {
        for (QAction* item : menu->entries())
            item->setEnabled(validate(item));
    });
    return menu;
}

extern "C" PEALIX_EXPORT QCoreApplication* pealix_create_application(int* argc, char** argv)
{
    auto* app = new QApplication(*argc, argv);
    platform::adoptApplicationIdentity();
    QApplication::setQuitOnLastWindowClosed(false);
    return app;
}
