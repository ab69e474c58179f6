// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Finds pane bundles and makes the principal class of one, or says in a sentence why it cannot.

#include "platform/panes/PreferencePane.h"

#include <QString>
#include <QStringList>
#include <memory>

struct LoadedPane {
    std::unique_ptr<platform::PreferencePane> pane; // null when error is set
    QString label;                                  // NSPrefPaneIconLabel, else the bundle's name
    QString identifier;                             // CFBundleIdentifier, may be empty
    QString error;
};

// "*.prefPane" directories in the PreferencePanes folder of each Library directory, the user's first; a
// name found again in a later folder is left out.
QStringList findPanes();
// The label a bundle is shown with.
QString paneLabel(const platform::Bundle& bundle);
// Loads the bundle's library and makes its pane; the pane has not loaded its view yet.
LoadedPane loadPane(const QString& bundlePath);
