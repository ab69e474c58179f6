// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The user's login items as XDG autostart entries in one folder: listed in a fixed order, added as
// entries of our own, and removed only where we created them.
//
// Order: entries of other programs first, by file name in byte order; then ours by the sequence number
// each was given when created (ties by file name). A new item therefore always comes last, and the
// order holds across runs whatever the file system lists first.
//
// An entry is ours only when its Exec starts exactly the program its item path names; any other entry is
// another program's, listed by what it runs. Entries are read on threads of their own with a bound, so
// that one on a file system that does not answer costs the caller at most that bound, once: it is listed
// as unreadable (by the entry's own path) until its read returns.

#include <QByteArray>
#include <QString>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class XdgAutostartStore {
public:
    struct Item {
        QString path;
        bool hidden = false;
        QString fileName;
        bool ours = false;
        qint64 order = 0;
        // Its read did not finish in time; path is the entry file itself.
        bool unreadable = false;
    };

    enum class Status { ok, badPath, noBundleExecutable, noSuchItem, notOurs, ioError };

    explicit XdgAutostartStore(const QString& directory);
    // ${XDG_CONFIG_HOME:-~/.config}/autostart; a relative XDG_CONFIG_HOME is ignored, as the base
    // directory rules say.
    static QString userDirectory();

    QString directory() const { return m_directory; }

    // Enabled entries and the ones whose read hung; broken, refused and disabled ones are left out.
    std::vector<Item> items() const;

    // Removes the temporary files of writes that a killed process left, once they are a minute old. On a
    // thread of its own, since the folder may not answer.
    void removeStaleTemporaries() const;

    // How long one entry's read may take, and all of them together.
    static constexpr int entryReadBoundMs = 500;
    static constexpr int scanBoundMs = 2000;

    // path: absolute, without control characters, at most maximumPathBytes of UTF-8. A path ending in
    // ".app" starts that bundle's executable, any other path the file itself. fileName receives the
    // new entry's name.
    Status add(const QString& path, bool hidden, QString* fileName = nullptr);
    // index counts from 1, over items().
    Status remove(long index);

    static constexpr int maximumPathBytes = 1023;
    // The Exec value that starts a program path with no arguments and the path as argv[0], quoted by the
    // Desktop Entry rules (before the key file's own escaping).
    static QByteArray execLine(const QByteArray& program);

private:
    struct Scanned {
        std::vector<Item> items;
        qint64 lastOrder = 0;
    };
    Scanned scan() const;

    QString m_directory;
    struct ReadBatch;
    // Entry paths whose read was given up, with the batch that still waits for it.
    mutable std::map<QByteArray, std::pair<std::shared_ptr<ReadBatch>, std::size_t>> m_hung;
};
