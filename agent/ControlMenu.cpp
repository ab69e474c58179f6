// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/ControlMenu.h"

#include "platform/core/Log.h"
#include "platform/workspace/LaunchServices.h"

#include <QCoreApplication>
#include <QFile>
#include <dlfcn.h>

namespace {

// Beside the platform library. Never unloaded: the widgets and the
// libraries under them stay for the process's life.
void* library()
{
    static void* const handle = [] {
        const QString directory = platform::LaunchServices::libraryDirectory();
        void* loaded =
            directory.isEmpty()
                ? nullptr
                : ::dlopen(QFile::encodeName(directory + QLatin1Char('/') + QLatin1String(controlMenuLibrary))
                               .constData(),
                           RTLD_NOW);
        if (!loaded)
            platform::log(QStringLiteral("The tray icon is not available: %1")
                              .arg(QString::fromLocal8Bit(::dlerror())));
        return loaded;
    }();
    return handle;
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
    void* handle = library();
    auto* create =
        handle ? reinterpret_cast<ControlMenuFactory>(::dlsym(handle, controlMenuFactoryName)) : nullptr;
    return create ? std::unique_ptr<ControlMenu>(create(&resourcePath, &handlers)) : nullptr;
}

QCoreApplication* ControlMenu::makeApplication(int& argc, char** argv)
{
    void* handle = library();
    auto* create =
        handle ? reinterpret_cast<ApplicationFactory>(::dlsym(handle, applicationFactoryName)) : nullptr;
    return create ? create(&argc, argv) : nullptr;
}
