// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/bundles/SearchPaths.h"
#include "testsupport/TestEnvironment.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

// Sets or unsets one variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name), m_had(qEnvironmentVariableIsSet(name))
    {
        m_saved = qgetenv(name);
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_saved);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_saved;
};

TEST(SearchPathsTest, library_directories_put_the_user_first_and_the_override_replaces_them)
{
    TestEnvironment env;
    ScopedEnv none("PEALIX_LIBRARY_DIRS", nullptr);
    EXPECT_EQ(platform::libraryDirectories(),
              QStringList({QDir::homePath() + "/.local/lib", "/usr/local/lib", "/usr/lib"}));
    ScopedEnv override("PEALIX_LIBRARY_DIRS", "/a/lib/:relative::/b/lib");
    EXPECT_EQ(platform::libraryDirectories(), QStringList({"/a/lib", "/b/lib"}));
}

TEST(SearchPathsTest, caches_and_applications_follow_xdg_with_defaults_for_unset_or_relative_values)
{
    TestEnvironment env;
    EXPECT_EQ(platform::cachesDirectory(), env.cacheHome());
    {
        ScopedEnv relative("XDG_CACHE_HOME", "cache");
        EXPECT_EQ(platform::cachesDirectory(), QDir::homePath() + "/.cache");
    }
    {
        ScopedEnv dirs("XDG_DATA_DIRS", "/opt/share/:/usr/share:/opt/share");
        EXPECT_EQ(platform::applicationsDirectories(),
                  QStringList({env.dataHome() + "/applications", "/opt/share/applications",
                               "/usr/share/applications"}));
    }
    ScopedEnv home("XDG_DATA_HOME", nullptr);
    ScopedEnv dirs("XDG_DATA_DIRS", "");
    EXPECT_EQ(platform::applicationsDirectories(),
              QStringList({QDir::homePath() + "/.local/share/applications", "/usr/local/share/applications",
                           "/usr/share/applications"}));
}

} // namespace
