// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The tray icon and its control menu, as the controller sees them. Their implementation (StatusMenu) and
// the Qt GUI and Widgets under it live in a library that only an agent with an application object for a
// screen loads: an agent whose icon is hidden and that checks for no updates maps neither.

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCoreApplication;
class QMenu;

namespace platform {
class StatusItem;
} // namespace platform

class ControlMenu {
public:
    // What the entries do, decided by the controller.
    struct Handlers {
        std::function<void()> suspendResume;
        std::function<void(int seconds)> pause;
        std::function<void()> openPrefs;
        // Before the menu shows, for each entry: whether it is enabled.
        std::function<bool(QAction*)> validate;
    };

    virtual ~ControlMenu() = default;

    // Shows or takes away the icon as the setting asks; an absent setting leaves it as it is.
    virtual void applyMenuActive(std::optional<bool> active) = 0;
    // Title, image and tool tip; an empty tool tip while silenced is the suspension's.
    virtual void applySilencePresentation(bool silenced, const QString& toolTip) = 0;
    virtual void openPealixPrefs() = 0;
    virtual QMenu* menu() = 0;
    virtual QAction* suspendResumeItem() const = 0;
    virtual platform::StatusItem* statusItem() const = 0;

    // Whether this process's application object can show one: one made by makeApplication, or a test's.
    static bool available();
    // From the library beside the platform library; none where unavailable or when it cannot be loaded,
    // which leaves the agent chiming without an icon.
    static std::unique_ptr<ControlMenu> make(const QString& resourcePath, Handlers handlers);
    // The application object of an agent with a screen: made by the library, which names it as the
    // desktop knows Pealix. None when the library cannot be loaded.
    static QCoreApplication* makeApplication(int& argc, char** argv);
};

// The library's entry points.
using ControlMenuFactory = ControlMenu* (*)(const QString* resourcePath, ControlMenu::Handlers* handlers);
using ApplicationFactory = QCoreApplication* (*)(int* argc, char** argv);
inline constexpr char controlMenuLibrary[] = "libpealix_agent_ui.so";
inline constexpr char controlMenuFactoryName[] = "pealix_create_control_menu";
inline constexpr char applicationFactoryName[] = "pealix_create_application";
