// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A bundle directory: Name.ext/Contents/{Info.plist, Linux/, Resources/}.

#include "platform/Export.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace platform {

class PEALIX_EXPORT Bundle {
public:
    // The bundle around the running executable (…/X.app/Contents/Linux/exe). When the executable
    // lies in no bundle, the bundle is the executable's directory and has no Info.plist.
    // Test seam: PEALIX_MAIN_BUNDLE overrides the path.
    static Bundle mainBundle();
    // Invalid when the path is not a directory.
    explicit Bundle(const QString& path);

    bool isValid() const { return m_valid; }
    QString bundlePath() const { return m_path; }
    // Contents/Resources, no trailing separator.
    QString resourcePath() const;
    QVariantMap infoDictionary() const;
    // CFBundleIdentifier of the Info.plist, or empty.
    QString bundleIdentifier() const;
    // Contents/Linux/<name>, then Contents/Resources/<name>; empty when neither exists.
    QString pathForAuxiliaryExecutable(const QString& name) const;
    // Full paths of the entries named *.<type> directly in the resource directory (or its
    // subdirectory), sorted by file name in byte order so the result never depends on the file system.
    // An empty type lists every entry.
    QStringList pathsForResourcesOfType(const QString& type, const QString& subdirectory = {}) const;

private:
    QString m_path;
    bool m_valid = false;
    mutable QVariantMap m_info;
    mutable bool m_infoLoaded = false;
};

} // namespace platform
