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

// What the backends are built on: GStreamer, libplist, GLib and GIO, D-Bus, X11, polkit, and the kernel's
// interfaces (sys/*, directory walks, process spawning).
const QRegularExpression
    systemHeader(QStringLiteral(R"(^\s*#\s*include\s*<(gst/|plist/|gio/|glib|dbus/|xcb/|X11/)"
                                R"(|polkit|QDBus|QtDBus|linux/|sys/|dirent\.h|ftw\.h|fts\.h|spawn\.h))"));
// platform/<service>/<backend>/<header>: a header in a folder below a service's own.
const QRegularExpression backendHeader(QStringLiteral(R"(^\s*#\s*include\s*"platform/[^/"]+/[^/"]+/)"));
// The calls those interfaces are used through: with :: or where an expression starts, so that a member or a
// variable of that name is none; and polkit's programs (as a string that is the program or its path) and
// bus service, which the platform's privileged execution wraps.
const QRegularExpression systemCall(QStringLiteral(
    R"((?:(?:^|[=(!,;&|?)])\s*|\breturn\s+|(?:^|[^\w:])::))"
    R"((stat|lstat|fstat|fstatat|access|faccessat|kill|opendir|fdopendir|readdir|nftw|fork|vfork|execl|execlp)"
    R"re(|execle|execv|execvp|execve|execvpe|posix_spawnp?|waitpid)\s*\(|"(?:[^"]*/)?(?:pkexec|pkcheck)"|PolicyKit1)re"));

// The line without its // comment, roughly: enough to let comments name what code may not call.
QString code(const QString& line)
{
    const qsizetype comment = line.indexOf(QStringLiteral("//"));
    return (comment < 0 ? line : line.left(comment)).trimmed();
}

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
                if (systemHeader.match(line).hasMatch() || backendHeader.match(line).hasMatch() ||
                    systemCall.match(code(line)).hasMatch())
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
    env.writeFile("support/Calls.cpp",
                  "#include <sys/stat.h>\n#include <dirent.h>\n"
                  "if (::lstat(p, &st) == 0 && access(p, W_OK) == 0)\n"
                  "    ::kill(pid, SIGTERM);\n"
                  "DIR* d = opendir(p);\n"
                  "if (fork() == 0) execvp(argv[0], argv);\n"
                  "run(QStringLiteral(\"pkexec\"));\n"
                  // What is no system call: members, variables, other names, comments.
                  "info.access(x); self->kill(); Timer::stat(); killAll(); // kill(pid)\n"
                  "std::unique_ptr<Fork> fork(new Fork);\n"
                  "tell(tr(\"Install the package pkexec.\"));\n");
    EXPECT_EQ(violations(env.root()).size(), 11);
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
