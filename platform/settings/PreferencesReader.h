// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// One preference domain read for a process that must never wait on the file system (the agent).
//
// Each read runs on a thread of its own, so a file whose read hangs (a hung network or user-space file
// system) costs the caller at most the wait it asks for; the result then comes later through finished().
// At most one read is out at a time: asking again while one is out asks for one more after it ends.
// The file is read as Preferences reads it (see there) and never written.
//
// Changes on disk (the file written in place, replaced by rename, created or deleted) are announced by
// fileChanged(). The watch on the file's folder is set up by the reading thread, so that a folder on a
// hung file system holds up nobody; a folder that does not exist yet is watched from the next read on.

#include "platform/Export.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace platform {

class PEALIX_EXPORT PreferencesReader : public QObject {
    Q_OBJECT
public:
    // unusable: there is a file but it could not be read or is no property-list dictionary (a tool may
    // be writing it in place, a hand edit may hold a typo).
    enum class Status { ok, absent, unusable };
    struct Result {
        Status status = Status::absent;
        QVariantMap values;
    };

    explicit PreferencesReader(const QString& domain, QObject* parent = nullptr);
    ~PreferencesReader() override;

    // The result when the read ended within waitMs; otherwise none, and finished() brings it later.
    std::optional<Result> read(int waitMs);
    bool isReading() const;
    QString filePath() const { return m_path; }

signals:
    // A result that read() did not return.
    void finished(const platform::PreferencesReader::Result& result);
    void fileChanged();

private:
    struct Shared;
    void deliver();
    void readEvents();

    QString m_path;
    std::shared_ptr<Shared> m_shared;
    QSocketNotifier* m_notifier = nullptr;
    bool m_again = false;
};

} // namespace platform

Q_DECLARE_METATYPE(platform::PreferencesReader::Result)
