// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/ControlMenu.h"

#include "platform/core/LoadableLibrary.h"
#include "platform/workspace/LaunchServices.h"

#include <QCoreApplication>

namespace {

// Beside the platform library, wherever a test puts the programs.
const platform::LoadableLibrary& library()
{
    static const platform::LoadableLibrary loaded(platform::LaunchServices::libraryDirectory(),
                                                  controlMenuLibrary,
                                                  QStringLiteral("The tray icon is not available"));
    return loaded;
}

} // namespace

bool ControlMenu::available()
{
    // By name: this side links nothing of Qt GUI.
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->inherits("QApplication");
}

std::unique_ptr<ControlMenu> ControlMenu::make(const QString& resourcePath, Handlers handlers)
{
    if (!available())
        return nullptr;
    auto* create = library().entry<ControlMenuFactory>(controlMenuFactoryName);
    return create ? std::unique_ptr<ControlMenu>(create(&resourcePath, &handlers)) : nullptr;
}

QCoreApplication* ControlMenu::makeApplication(int& argc, char** argv)
{
    auto* create = library().entry<ApplicationFactory>(applicationFactoryName);
    return create ? create(&argc, argv) : nullptr;
}
