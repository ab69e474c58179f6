// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Code above the platform layer reaches the system only through the services' public headers: never a
// backend of a service, and never the system libraries the backends are built on. And the tests' checks
// are GoogleTest's own, which a failure cannot slip past.

#include "testsupport/TestEnvironment.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// What the backends are built on: GStreamer, libplist, GLib and GIO, D-Bus, X11, the kernel's process
// interfaces, and walking folders.
const QRegularExpression systemHeader(QStringLiteral(
    R"(^\s*#\s*include\s*<(gst/|plist/|gio/|glib|dbus/|xcb/|X11/|QDBus|QtDBus|linux/|sys/syscall\.h|sys/pidfd\.h|dirent\.h|ftw\.h|fts\.h))"));
// platform/<service>/<backend>/<header>: a header in a folder below a service's own.
const QRegularExpression backendHeader(QStringLiteral(R"(^\s*#\s*include\s*"platform/[^/"]+/[^/"]+/)"));

QStringList violations(const QString& root)
{
    QStringList found;
    for (const char* layer : {"shared", "agent", "pane", "support"}) {
        QDirIterator it(root + '/' + layer, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            int number = 0;
            while (!file.atEnd()) {
                const QString line = QString::fromUtf8(file.readLine()).trimmed();
                ++number;
                if (systemHeader.match(line).hasMatch() || backendHeader.match(line).hasMatch())
                    found << QStringLiteral("%1:%2: %3").arg(file.fileName()).arg(number).arg(line);
            }
        }
    }
    return found;
}

// QtTest's checks report to a log GoogleTest never reads and return from the case, which then passes.
const QRegularExpression qtTestCheck(QStringLiteral(
    R"(\bQ(TRY_[A-Z_]+|VERIFY[A-Z0-9_]*|COMPARE|FAIL|SKIP|EXPECT_FAIL|FETCH|TEST|WARN)\s*\()"));

QStringList qtTestChecksInGoogleTests(const QString& root)
{
    QStringList found;
    for (const char* folder : {"tests", "tools"}) {
        QDirIterator it(root + '/' + folder, {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
            if (!lines.filter(QRegularExpression(QStringLiteral(R"(^\s*#\s*include\s*<gtest/)"))).isEmpty())
                for (int i = 0; i < lines.size(); ++i)
                    if (qtTestCheck.match(lines[i]).hasMatch())
                        found << QStringLiteral("%1:%2: %3")
                                     .arg(file.fileName())
                                     .arg(i + 1)
                                     .arg(lines[i].trimmed());
        }
    }
    return found;
}

} // namespace

TEST(Layering, code_above_the_platform_includes_no_backend_and_no_system_library)
{
    const QStringList found = violations(sourceDir());
    EXPECT_TRUE(found.isEmpty()) << found.join('\n').toStdString();

    // The rule itself sees what it is for.
    TestEnvironment env;
    env.writeFile("agent/Bad.cpp", "#include \"platform/audio/gst/GstSoundOutput.h\"\n#include <gst/gst.h>\n"
                                   "#include \"platform/audio/Sound.h\"\n");
    env.writeFile("pane/Worse.h", "  #  include <QDBusConnection>\n#include <dirent.h>\n");
    EXPECT_EQ(violations(env.root()).size(), 4);
}

TEST(Layering, google_tests_use_no_qttest_checks)
{
    const QStringList found = qtTestChecksInGoogleTests(sourceDir());
    EXPECT_TRUE(found.isEmpty()) << found.join('\n').toStdString();

    // Split literals, so that this file does not hold what it looks for.
    TestEnvironment env;
    env.writeFile("tests/a/Waits.cpp", "#include <gtest/gtest.h>\nTEST(A, b)\n{\n    QTRY_"
                                       "VERIFY(ok);\n"
                                       "    QTRY_"
                                       "COMPARE_WITH_TIMEOUT(n, 1, 10);\n    Q"
                                       "COMPARE (a, b);\n}\n");
    env.writeFile("tests/a/QtTestCase.cpp", "#include <QTest>\nvoid T::f() { Q"
                                            "VERIFY(ok); }\n");
    env.writeFile("tools/b/Probe.h", "#include <gtest/gtest.h>\n// QVERIFYING is a word, not a call\n"
                                     "ASSERT_TRUE(QTest::qWaitFor([] { return true; }, 10));\n");
    EXPECT_EQ(qtTestChecksInGoogleTests(env.root()).size(), 3);
}
