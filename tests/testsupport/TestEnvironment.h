// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A temporary home for one test: HOME and the XDG directories point into a fresh directory.

#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    QString root() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    QString cacheHome() const { return m_dir.path() + QStringLiteral("/cache"); }
    // Writes bytes to a file below root(), creating directories; returns the full path.
    QString writeFile(const QString& relativePath, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_saved[5];
    bool m_had[5] = {};
};

// The built agent bundle, the pane bundle that holds it, and the source tree, for tests that need
// shipped data.
QString agentBundleDir();
QString paneBundleDir();
QString sourceDir();
// libfaketime for LD_PRELOAD (the faketime wrapper forks, so a signal to it would not reach the program);
// empty when the Debian package faketime is not installed.
QString fakeTimeLibrary();
// Writes values into the settings domain, as the pane or a hand edit would, and fails the test when they
// cannot be written.
void storeSettings(const QVariantMap& values);
