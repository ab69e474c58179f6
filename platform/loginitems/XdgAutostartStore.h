// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The user's login items as XDG autostart entries in one folder: listed in a fixed order, added as
// entries of our own, and removed only where we created them.
//
// Order: entries of other programs first, by file name in byte order; then ours by the sequence number
// each was given when created (ties by file name). A new item therefore always comes last, and the
// order holds across runs whatever the file system lists first.

#include <QByteArray>
#include <QString>
#include <vector>

class XdgAutostartStore {
public:
    struct Item {
        QString path;
        bool hidden = false;
        QString fileName;
        bool ours = false;
        qint64 order = 0;
    };

    enum class Status { ok, badPath, noBundleExecutable, noSuchItem, notOurs, ioError };

    explicit XdgAutostartStore(const QString& directory);
    // ${XDG_CONFIG_HOME:-~/.config}/autostart; a relative XDG_CONFIG_HOME is ignored, as the base
    // directory rules say.
    static QString userDirectory();

    QString directory() const { return m_directory; }

    // Enabled entries only; broken, unreadable and disabled ones are left out.
    std::vector<Item> items() const;

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
};
