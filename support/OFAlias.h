// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A file's alias record: made from a path, stored as bytes, and resolved to where the file is now.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <memory>

class OFAlias {
public:
    // Null when nothing exists at the path.
    static std::unique_ptr<OFAlias> initWithPath(const QString& path);
    // The bytes are taken as they are; a record that does not parse fails to resolve.
    static std::unique_ptr<OFAlias> initWithData(const QByteArray& data);

    QByteArray data() const { return m_aliasHandle; }
    // Null when the file cannot be found.
    QString path() const { return pathAllowingUserInterface(true, nullptr); }
    // A missing volume is reported through the flag only; other failures are logged. A search for a
    // moved file ends at searchDeadline at the latest.
    QString pathAllowingUserInterface(bool allowUserInterface, bool* missingVolume,
                                      QDeadlineTimer searchDeadline = QDeadlineTimer::Forever) const;

private:
    explicit OFAlias(QByteArray data) : m_aliasHandle(std::move(data)) {}
    QByteArray m_aliasHandle;
};
