// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "testsupport/TestEnvironment.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::Preferences;

namespace {

const QString domain = QStringLiteral("com.quorlenvik.test");

QProcess* startWriter(const QString& prefix, int count)
{
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(QStringLiteral(PREFERENCES_WRITER), {domain, prefix, QString::number(count)});
    return process;
}

struct stat statOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

} // namespace

TEST(PreferencesTest, staged_values_are_seen_here_at_once_and_elsewhere_after_synchronize)
{
    TestEnvironment env;
    Preferences writer(domain);
    EXPECT_EQ(writer.filePath(), env.configHome() + "/pealix/" + domain + ".plist");
    EXPECT_FALSE(writer.copyValue("volume").isValid());

    writer.setValue("volume", qint64(-3));
    EXPECT_EQ(writer.copyValue("volume"), QVariant(qint64(-3)));
    EXPECT_FALSE(Preferences(domain).copyValue("volume").isValid());
    EXPECT_FALSE(QFileInfo::exists(writer.filePath()));

    ASSERT_TRUE(writer.synchronize());
    EXPECT_EQ(QFileInfo(env.configHome() + "/pealix").permissions() & QFile::ReadOther, 0);
    Preferences reader(domain);
    EXPECT_EQ(reader.copyValue("volume"), QVariant(qint64(-3)));

    // The reader keeps its view until it synchronizes.
    writer.setValue("volume", qint64(7));
    writer.setValue("gone", true);
    ASSERT_TRUE(writer.synchronize());
    EXPECT_EQ(reader.copyValue("volume"), QVariant(qint64(-3)));
    EXPECT_TRUE(reader.synchronize());
    EXPECT_EQ(reader.copyValue("volume"), QVariant(qint64(7)));

    writer.setValue("gone", QVariant());
    ASSERT_TRUE(writer.synchronize());
    EXPECT_TRUE(reader.synchronize());
    EXPECT_FALSE(reader.copyValue("gone").isValid());
}

TEST(PreferencesTest, merging_keeps_keys_written_by_others_since_the_last_read)
{
    TestEnvironment env;
    Preferences first(domain);
    Preferences second(domain);
    first.copyValue("a");
    second.copyValue("b");
    first.setValue("a", qint64(1));
    second.setValue("b", qint64(2));
    ASSERT_TRUE(first.synchronize());
    ASSERT_TRUE(second.synchronize());
    EXPECT_EQ(second.copyValue("a"), QVariant(qint64(1)));
    EXPECT_EQ(Preferences(domain).copyValue("a"), QVariant(qint64(1)));
    EXPECT_EQ(Preferences(domain).copyValue("b"), QVariant(qint64(2)));
}

TEST(PreferencesTest, two_writer_processes_lose_no_key)
{
    TestEnvironment env;
    const int count = 40;
    std::unique_ptr<QProcess> a(startWriter("a", count));
    std::unique_ptr<QProcess> b(startWriter("b", count));
    for (QProcess* p : {a.get(), b.get()}) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0);
    }
    Preferences prefs(domain);
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(prefs.copyValue(QStringLiteral("%1-%2").arg(prefix).arg(i)).isValid()) << prefix << i;
    }
}

TEST(PreferencesTest, a_killed_writer_leaves_a_readable_file)
{
    TestEnvironment env;
    const QString path = Preferences(domain).filePath();
    for (int round = 0; round < 30; ++round) {
        std::unique_ptr<QProcess> writer(startWriter(QStringLiteral("k%1").arg(round), -1));
        ASSERT_TRUE(writer->waitForStarted());
        QDeadlineTimer deadline(10000);
        while (!QFileInfo::exists(path) && !deadline.hasExpired())
            QThread::msleep(1);
        QThread::usleep(static_cast<unsigned long>(1000 + (round % 10) * 900));
        ::kill(static_cast<pid_t>(writer->processId()), SIGKILL);
        writer->waitForFinished();
        const std::optional<QVariant> root = platform::PropertyList::readFile(path);
        ASSERT_TRUE(root.has_value()) << round;
        EXPECT_EQ(root->typeId(), QMetaType::QVariantMap);
    }
    const QStringList left = QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_TRUE(left.filter("corrupt").isEmpty()) << qPrintable(left.join(' '));
}

TEST(PreferencesTest, a_corrupt_file_reads_empty_and_only_a_writer_moves_it_aside_keeping_the_newest)
{
    TestEnvironment env;
    const QString directory = env.configHome() + "/pealix";
    const QString path = directory + "/" + domain + ".plist";
    auto aside = [&] { return QDir(directory).entryList({domain + ".plist.corrupt-*"}, QDir::Files); };
    const QList<QByteArray> corrupt = {"<plist><dict><key>x</key>",
                                       platform::PropertyList::toXml(QVariantList{qint64(1)}), "", "bplist00",
                                       "<plist><dict><key>round</key><integer>5"};
    for (const QByteArray& bytes : corrupt) {
        env.writeFile("config/pealix/" + domain + ".plist", bytes);
        const QString before = QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System).join(' ');
        Preferences reader(domain);
        EXPECT_FALSE(reader.synchronize());
        EXPECT_EQ(reader.lastReadStatus(), Preferences::ReadStatus::unparseable);
        EXPECT_FALSE(reader.copyValue("x").isValid());
        EXPECT_EQ(QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System).join(' '), before)
            << "the reader left the folder alone";

        Preferences writer(domain);
        writer.setValue("x", true);
        ASSERT_TRUE(writer.synchronize());
        EXPECT_EQ(Preferences(domain).copyValue("x"), QVariant(true));
        EXPECT_TRUE(QFile::remove(path));
    }
    const QStringList kept = aside();
    ASSERT_EQ(kept.size(), Preferences::maxCorruptFiles) << qPrintable(kept.join(' '));
    EXPECT_TRUE(QRegularExpression(R"(\.corrupt-\d{8}T\d{6}Z(-\d+)?$)").match(kept.first()).hasMatch());
    QList<QByteArray> contents;
    for (const QString& name : kept) {
        QFile file(directory + "/" + name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        contents << file.readAll();
    }
    std::sort(contents.begin(), contents.end());
    QList<QByteArray> newest = corrupt.mid(corrupt.size() - Preferences::maxCorruptFiles);
    std::sort(newest.begin(), newest.end());
    EXPECT_EQ(contents, newest);
}

TEST(PreferencesTest, the_writer_waits_for_the_lock_with_a_bound_and_never_through_a_symlink)
{
    TestEnvironment env;
    Preferences writer(domain);
    writer.setValue("k", qint64(1));
    ASSERT_TRUE(writer.synchronize());
    const QString lockPath = writer.filePath() + ".lock";

    const int held = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    writer.setValue("k", qint64(2));
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(writer.synchronize());
    EXPECT_GE(waited.elapsed(), 1500);
    EXPECT_LT(waited.elapsed(), 5000);
    ::close(held);
    ASSERT_TRUE(writer.synchronize()) << "the staged key was kept for the next try";
    EXPECT_EQ(Preferences(domain).copyValue("k"), QVariant(qint64(2)));

    // A planted link must not make the writer create or lock its target.
    const QString target = env.root() + "/elsewhere";
    ASSERT_TRUE(QFile::remove(lockPath));
    ASSERT_TRUE(QFile::link(target, lockPath));
    writer.setValue("k", qint64(3));
    EXPECT_FALSE(writer.synchronize());
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(Preferences(domain).copyValue("k"), QVariant(qint64(2)));
}

TEST(PreferencesTest, synchronize_without_staged_values_writes_nothing)
{
    TestEnvironment env;
    EXPECT_TRUE(Preferences(domain).synchronize());
    EXPECT_FALSE(QFileInfo::exists(env.configHome() + "/pealix"));

    Preferences prefs(domain);
    prefs.setValue("k", QStringLiteral("v"));
    ASSERT_TRUE(prefs.synchronize());
    const struct stat before = statOf(prefs.filePath());
    QThread::msleep(20);
    EXPECT_TRUE(prefs.synchronize());
    Preferences other(domain);
    EXPECT_TRUE(other.synchronize());
    const struct stat after = statOf(prefs.filePath());
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
}

TEST(PreferencesTest, an_unusable_config_directory_fails_synchronize_but_keeps_the_view)
{
    TestEnvironment env;
    // A plain file where the directory should be stops even root.
    const QString blocker = env.writeFile("blocker", "x");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker));
    Preferences prefs(domain);
    prefs.setValue("k", true);
    EXPECT_FALSE(prefs.synchronize());
    EXPECT_EQ(prefs.copyValue("k"), QVariant(true));
}
