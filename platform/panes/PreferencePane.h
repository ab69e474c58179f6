// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The base class of a preference pane, which the pane host loads from a "*.prefPane" bundle and shows.
//
// A pane bundle holds Contents/Info.plist and Contents/Linux/<CFBundleExecutable>.so (the bundle's name
// without ".prefPane" when CFBundleExecutable is absent). The library links pealix_core, so the pane and
// the host share every process-wide service, and exports with C linkage:
//     int pealixPaneInterfaceVersion();  // must return platform::PreferencePane::interfaceVersion
//     platform::PreferencePane* pealixCreatePane(const char* className, const platform::Bundle& bundle);
// pealixCreatePane makes a pane of the class that the Info.plist names under "NSPrincipalClass", or
// returns null when the library has no class of that name. PEALIX_PANE_ENTRY_POINTS defines both.
// The host owns the pane; it calls loadMainView, then mainViewDidLoad with the view already placed in
// its window, shows the window and calls didSelect. The window is titled with "NSPrefPaneIconLabel".
// A library stays loaded for the life of the host: Qt's type registrations may point into it.

#include "platform/Export.h"
#include "platform/bundles/Bundle.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <string_view>

namespace platform {

class PEALIX_EXPORT PreferencePane : public QObject {
    Q_OBJECT
public:
    // Raised whenever the layout of this class or the entry points change.
    static constexpr int interfaceVersion = 1;

    explicit PreferencePane(const Bundle& bundle, QObject* parent = nullptr);
    // Deletes the main view when the pane still owns it.
    ~PreferencePane() override;
    PreferencePane(const PreferencePane&) = delete;
    PreferencePane& operator=(const PreferencePane&) = delete;

    const Bundle& bundle() const { return m_bundle; }
    // Null until loadMainView.
    QWidget* mainView() const { return m_mainView; }
    void setMainView(QWidget* view);
    // Makes the main view, records it with setMainView and returns it. The default is an empty widget.
    virtual QWidget* loadMainView();
    virtual void mainViewDidLoad();
    // The pane has been shown in the host's window.
    virtual void didSelect();
    // The window that holds the main view, the parent for window-modal sheets; null without a view.
    QWidget* window() const { return m_mainView ? m_mainView->window() : nullptr; }

private:
    Bundle m_bundle;
    QPointer<QWidget> m_mainView;
};

} // namespace platform

using PealixPaneInterfaceVersionFunction = int (*)();
using PealixCreatePaneFunction = platform::PreferencePane* (*)(const char*, const platform::Bundle&);

// In one source file of a pane library: PEALIX_PANE_ENTRY_POINTS(if (name == "MyPane") return new MyPane(b);)
// where name is a std::string_view of the class name and b the bundle.
#define PEALIX_PANE_ENTRY_POINTS(...)                                                                        \
    extern "C" __attribute__((visibility("default"))) int pealixPaneInterfaceVersion()                       \
    {                                                                                                        \
        return platform::PreferencePane::interfaceVersion;                                                   \
    }                                                                                                        \
    extern "C" __attribute__((visibility("default"))) platform::PreferencePane* pealixCreatePane(            \
        const char* className, const platform::Bundle& b)                                                    \
    {                                                                                                        \
        const std::string_view name(className ? className : "");                                             \
        (void)b;                                                                                             \
        __VA_ARGS__                                                                                          \
        return nullptr;                                                                                      \
    }
