// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One per-user preference domain, stored as an XML property list.
//
// File: ${XDG_CONFIG_HOME:-~/.config}/pealix/<domain>.plist. Test seam: XDG_CONFIG_HOME.
//
// Reading (the first copyValue, synchronize with nothing staged) creates, locks, renames and deletes
// nothing: writers replace the file by rename, so a reader always sees a whole file. Only a regular
// file (or a symlink to one) of at most maxFileBytes is read, opened without blocking; anything else
// reads as an absent file. A file that does not parse reads as empty, and lastReadStatus() says so, so
// that the caller can read again shortly: a tool writing the file in place may be half-way through.
//
// Writing (synchronize with staged keys) takes <file>.lock with flock, polled for up to lockWait (two
// seconds unless set), never through a symlink; merges the staged keys into what is on disk and
// replaces the file atomically. A file that still does not parse a little later under the lock is
// renamed to <file>.corrupt-<UTC stamp>, of which the newest maxCorruptFiles are kept. With no lock wait
// (a user interface, which calls again later), nothing waits: a held lock or a file not parsing yet
// fails at once, and the file is taken as corrupt on a call that finds it still unparseable later.

#include "platform/Export.h"

#include <QCoreApplication>
#include <QString>
#include <QVariant>
#include <QVariantMap>

namespace platform {

class PEALIX_EXPORT Preferences {
    Q_DECLARE_TR_FUNCTIONS(Preferences)

public:
    // Above any settings file the pane writes, even with thousands of excluded applications.
    static constexpr qint64 maxFileBytes = 64 * 1024 * 1024;
    static constexpr int maxCorruptFiles = 3;

    enum class ReadStatus { ok, absent, unparseable };

    explicit Preferences(const QString& domain);

    // The value of this process's view, or an invalid QVariant when the key is absent.
    QVariant copyValue(const QString& key) const;
    // Replaces the key's value in this process at once; others see it after synchronize. An invalid
    // QVariant removes the key.
    void setValue(const QString& key, const QVariant& value);
    // False when the file could not be parsed (reading) or not be written (the staged keys are then
    // kept for the next try); the view is what could be read.
    bool synchronize();
    // What the last read from disk found.
    ReadStatus lastReadStatus() const { return m_status; }
    // Why the last synchronize with staged keys did not write, for the user; empty after a write.
    QString lastWriteError() const { return m_writeError; }
    // How long a write waits for another writer's lock, in milliseconds.
    void setLockWait(int milliseconds) { m_lockWaitMs = milliseconds; }

    QString filePath() const { return m_path; }

private:
    void load() const;

    QString m_domain;
    QString m_path;
    // Read from disk on first use.
    mutable QVariantMap m_view;
    QVariantMap m_staged;
    mutable bool m_loaded = false;
    mutable ReadStatus m_status = ReadStatus::absent;
    QString m_writeError;
    int m_lockWaitMs = 2000;
    // When a write without waiting first found the file unparseable (ms since the epoch), or 0.
    qint64 m_unparseableSince = 0;
};

} // namespace platform
