// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "testsupport/TestEnvironment.h"

#include "platform/settings/Preferences.h"
#include "shared/PrefKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
const char* const variables[5] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                  "XDG_RUNTIME_DIR"};
}

TestEnvironment::TestEnvironment()
{
    const QString values[5] = {root() + "/home", configHome(), dataHome(), cacheHome(), root() + "/run"};
    for (int i = 0; i < 5; ++i) {
        m_had[i] = qEnvironmentVariableIsSet(variables[i]);
        m_saved[i] = qgetenv(variables[i]);
        QDir().mkpath(values[i]);
        qputenv(variables[i], values[i].toLocal8Bit());
    }
    QFile::setPermissions(root() + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TestEnvironment::~TestEnvironment()
{
    for (int i = 0; i < 5; ++i) {
        if (m_had[i])
            qputenv(variables[i], m_saved[i]);
        else
            qunsetenv(variables[i]);
    }
}

QString TestEnvironment::writeFile(const QString& relativePath, const QByteArray& bytes) const
{
    const QString path = root() + '/' + relativePath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(bytes);
    return path;
}

QString agentBundleDir()
{
    return QStringLiteral(PEALIX_AGENT_BUNDLE_DIR);
}
QString paneBundleDir()
{
    return QDir(agentBundleDir() + QStringLiteral("/../../..")).canonicalPath();
}

void storeSettings(const QVariantMap& values)
{
    platform::Preferences domain(PrefKeys::domain);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        domain.setValue(it.key(), it.value());
    ASSERT_TRUE(domain.synchronize());
}

QString sourceDir()
{
    return QStringLiteral(PEALIX_SOURCE_DIR);
}

QString fakeTimeLibrary()
{
    for (const QString& lib :
         QDir(QStringLiteral("/usr/lib")).entryList({QStringLiteral("*-linux-gnu")}, QDir::Dirs)) {
        const QString path = QStringLiteral("/usr/lib/") + lib + QStringLiteral("/faketime/libfaketime.so.1");
        if (QFile::exists(path))
            return path;
    }
    return {};
}
