#pragma once
// One per-user preference domain, stored as an XML property list.
//
// File: ${XDG_CONFIG_HOME:-~/.config}/pealix/<domain>.plist, locked through <file>.lock with flock.
// setValue stages in this process; synchronize merges the staged keys into what is on disk,
// writes atomically only when something was staged, and keeps the result as this process's view.
// A file that is not a dictionary is renamed to <file>.corrupt-<UTC stamp> and the domain reads as empty.
// Test seam: XDG_CONFIG_HOME.

#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace platform {

class Preferences {
public:
    explicit Preferences(const QString& domain);

    // The value of this process's view, or an invalid QVariant when the key is absent.
    QVariant copyValue(const QString& key) const;
    // Replaces the key's value in this process at once; others see it after synchronize. An invalid
    // QVariant removes the key.
    void setValue(const QString& key, const QVariant& value);
    // False when the file could not be read or written; the view is then what could be read.
    bool synchronize();

    QString filePath() const { return m_path; }

private:
    QString m_domain;
    QString m_path;
    // Read from disk on first use.
    mutable QVariantMap m_view;
    QVariantMap m_staged;
    mutable bool m_loaded = false;
};

} // namespace platform
