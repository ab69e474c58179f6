// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/files/ResourceFork.h"
#include "support/JVResourceFork.h"
#include "support/OFAlias.h"
#include "testsupport/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

QByteArray be(quint32 v, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char(v >> (8 * i)));
    return out;
}

QString resolvedLogged(const QByteArray& alias, std::string* log)
{
    testing::internal::CaptureStderr();
    const QString path = OFAlias::initWithData(alias)->path();
    *log = testing::internal::GetCapturedStderr();
    return path;
}

bool writeFile(const QString& path, const QByteArray& bytes = "x")
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

TEST(OFAlias, follows_a_rename_and_a_move_then_the_stored_path_and_logs_what_it_cannot_find)
{
    TestEnvironment env;
    const QString original = env.dataHome() + QStringLiteral("/applications/editor.desktop");
    ASSERT_TRUE(writeFile(original));
    const auto alias = OFAlias::initWithPath(original);
    ASSERT_TRUE(alias);
    EXPECT_FALSE(OFAlias::initWithPath(env.root() + QStringLiteral("/nothing")));
    const QByteArray data = alias->data();
    std::string log;

    const QString renamed = env.dataHome() + QStringLiteral("/applications/writer.desktop");
    ASSERT_TRUE(QFile::rename(original, renamed));
    EXPECT_EQ(OFAlias::initWithData(data)->path(), renamed);

    // Into a folder of the home two levels down: another folder than the old one and no applications folder.
    const QString moved = env.root() + QStringLiteral("/home/tools/old/writer.desktop");
    QDir().mkpath(QFileInfo(moved).path());
    ASSERT_TRUE(QFile::rename(renamed, moved));
    bool missing = true;
    EXPECT_EQ(OFAlias::initWithData(data)->pathAllowingUserInterface(false, &missing), moved);
    EXPECT_FALSE(missing);

    // Another file in the old place (made while the first still holds its inode), the first gone: that one.
    ASSERT_TRUE(writeFile(original));
    ASSERT_TRUE(QFile::remove(moved));
    EXPECT_EQ(resolvedLogged(data, &log), original);
    EXPECT_EQ(log, "");

    // Its inode given to a folder made right after (as ext4 does): not taken for the file.
    const auto reused = OFAlias::initWithPath(original)->data();
    ASSERT_TRUE(QFile::remove(original));
    ASSERT_TRUE(QDir().mkpath(env.root() + QStringLiteral("/home/fresh")));
    EXPECT_TRUE(resolvedLogged(reused, &log).isNull());
    EXPECT_TRUE(resolvedLogged(data, &log).isNull());
    EXPECT_NE(log.find("FSResolveAliasWithMountFlags -> -43"), std::string::npos) << log;
    EXPECT_TRUE(resolvedLogged("not an alias", &log).isNull());
    EXPECT_NE(log.find("FSResolveAliasWithMountFlags -> -50"), std::string::npos) << log;
}

// The child makes a private mount namespace (as root, or in a user namespace of its own), mounts a tmpfs,
// makes an alias of a file there, unmounts it and resolves.
TEST(OFAlias, unmounted_file_system_is_a_missing_volume_without_a_log_line)
{
    TestEnvironment env;
    const QByteArray point = QFile::encodeName(env.root() + QStringLiteral("/volume"));
    QDir().mkpath(QString::fromUtf8(point));
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWNS) != 0) {
            if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
                ::_exit(77);
            QFile deny(QStringLiteral("/proc/self/setgroups"));
            if (deny.open(QIODevice::WriteOnly))
                deny.write("deny");
            deny.close();
            QFile uidMap(QStringLiteral("/proc/self/uid_map")), gidMap(QStringLiteral("/proc/self/gid_map"));
            if (!uidMap.open(QIODevice::WriteOnly) || !gidMap.open(QIODevice::WriteOnly))
                ::_exit(77);
            uidMap.write(QByteArray::number(uid) + " " + QByteArray::number(uid) + " 1");
            gidMap.write(QByteArray::number(gid) + " " + QByteArray::number(gid) + " 1");
        }
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", point.constData(), "tmpfs", 0, "size=1m") != 0)
            ::_exit(77);
        const QString file = QString::fromUtf8(point) + QStringLiteral("/tool.desktop");
        const auto alias = writeFile(file) ? OFAlias::initWithPath(file) : nullptr;
        if (!alias || OFAlias::initWithData(alias->data())->path() != file ||
            ::umount(point.constData()) != 0)
            ::_exit(2);
        bool missing = false;
        ::dup2(pipeFds[1], STDERR_FILENO);
        const QString path = alias->pathAllowingUserInterface(false, &missing);
        ::_exit(path.isNull() && missing ? 0 : 3);
    }
    ::close(pipeFds[1]);
    QFile childErrors;
    ASSERT_TRUE(childErrors.open(pipeFds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    const QByteArray logged = childErrors.readAll();
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_FALSE(logged.contains("FSResolveAliasWithMountFlags")) << logged.constData();
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "this machine allows no private mount namespace, so no file system can be unmounted";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "2: the alias did not resolve while mounted; 3: not a missing volume";
}

TEST(JVResourceFork, written_forks_read_back_through_every_operation)
{
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/Tool");
    EXPECT_FALSE(JVResourceFork::resourceForkForReadingAtPath(path));
    auto fork = JVResourceFork::resourceForkForWritingAtPath(path);
    ASSERT_TRUE(fork) << "writing makes the file and its empty fork";
    ASSERT_TRUE(QFileInfo(path).isFile());
    EXPECT_FALSE(JVResourceFork::resourceForkForWritingAtPath(env.root() + QStringLiteral("/no/folder/x")));
    EXPECT_FALSE(JVResourceFork::resourceForkForWritingAtPath(env.root() + '/' + QString(1025, 'n')));

    const quint32 plst = fourCharCode("plst"), str = fourCharCode("STR ");
    EXPECT_TRUE(fork->everyResourceOfType(plst).isEmpty());
    ASSERT_TRUE(fork->addData("second", plst, 200, QStringLiteral("Café")));
    ASSERT_TRUE(fork->addData("first", plst, 128, QString()));
    ASSERT_TRUE(fork->addData("replaced", plst, 128, QStringLiteral("Info")));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(fork->addData("text", str, QString()));
    EXPECT_NE(
        testing::internal::GetCapturedStderr().find("Adding a resource without specifying the name of id."),
        std::string::npos);
    EXPECT_TRUE(fork->addData("more", str, QStringLiteral("More")));
    EXPECT_FALSE(fork->addData("x", str, 1, QString(256, 'n'))) << "a name over 255 bytes";
    EXPECT_TRUE(fork->setAttributeFlags(0xFF, str, 128));
    EXPECT_TRUE(fork->removeType(str, 999));

    // Read back from what was stored, not from the writer's memory.
    const auto read = JVResourceFork::resourceForkForReadingAtURL(QUrl::fromLocalFile(path));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->everyResourceType(), (QList<quint32>{plst, str}));
    const QList<JVResourceInfo> lists = read->everyResourceOfType(plst);
    ASSERT_EQ(lists.size(), 2);
    EXPECT_EQ(lists[0].resourceId(), 200);
    EXPECT_EQ(lists[0].name(), QStringLiteral("Café"));
    EXPECT_EQ(lists[1].data(), QByteArray("replaced"));
    EXPECT_EQ(lists[1].description(), QStringLiteral("type = plst, id = 128, name = Info"));
    EXPECT_EQ(read->dataForType(plst, QStringLiteral("Café")), QByteArray("second"));
    EXPECT_EQ(read->dataForType(str, qint16(128)), QByteArray("text"));
    EXPECT_EQ(read->dataForType(str, qint16(129)), QByteArray("more"));
    EXPECT_EQ(read->dataForType(plst, QString()), std::nullopt) << "a null name is ID 0";
    EXPECT_EQ(read->nameOfResourceType(str, 129), QStringLiteral("More"));
    qint16 id = 0, flags = 0;
    EXPECT_TRUE(read->getId(&id, plst, QStringLiteral("Info")));
    EXPECT_EQ(id, 128);
    EXPECT_TRUE(read->getAttributeFlags(&flags, str, 128));
    EXPECT_EQ(flags, 0xDD);
    EXPECT_FALSE(read->addData("no", plst, 1, QString())) << "opened for reading";

    ResourceTypeEnumerator types = read->resourceTypeEnumerator();
    EXPECT_EQ(types.nextObject(), plst);
    EXPECT_EQ(types.nextObject(), str);
    EXPECT_EQ(types.nextObject(), std::nullopt);

    EXPECT_TRUE(fork->removeType(plst, 200));
    EXPECT_EQ(lists[0].resourceId(), 200) << "read once and kept";
    EXPECT_EQ(fork->everyResourceOfType(plst).size(), 1);

    const auto whole = fork->dataForEntireResourceFork();
    ASSERT_TRUE(whole);
    EXPECT_FALSE(fork->writeEntireResourceFork(QByteArray()));
    EXPECT_FALSE(fork->writeEntireResourceFork("not a fork")) << "would ruin the stored fork";
    const QString copy = env.root() + QStringLiteral("/Copy");
    auto copyFork = JVResourceFork::resourceForkForWritingAtPath(copy);
    ASSERT_TRUE(copyFork && copyFork->writeEntireResourceFork(*whole));
    EXPECT_EQ(JVResourceForkData::dataWithResourceForkContentsOfFile(copy, str, QStringLiteral("More")),
              QByteArray("more"));
    EXPECT_TRUE(
        JVResourceForkData::writeToResourceForkURL("url", QUrl::fromLocalFile(copy), str, 5, QString()));
    EXPECT_EQ(JVResourceForkData::dataWithResourceForkContentsOfURL(QUrl::fromLocalFile(copy), str, 5),
              QByteArray("url"));
}

// Made by hand from the documented layout, kept in an AppleDouble file beside the file, whose Finder
// information must survive a write.
TEST(JVResourceFork, hand_made_fork_in_an_apple_double_file)
{
    TestEnvironment env;
    const QString path = env.root() + QStringLiteral("/Legacy");
    ASSERT_TRUE(writeFile(path));

    const QByteArray payload = "<plist><dict><key>CFBundleIdentifier</key><string>org.example.legacy</string>"
                               "</dict></plist>";
    QByteArray data = be(quint32(payload.size()), 4) + payload;
    const QByteArray names = QByteArray("\x04Info", 5);
    QByteArray map = QByteArray(16, '\0') + be(0, 4) + be(0, 2) + be(0, 2);
    map += be(28, 2) + be(28 + 2 + 8 + 12, 2); // type list, name list
    map += be(0, 2);                           // one type
    map += QByteArray("plst") + be(0, 2) + be(2 + 8, 2);
    map += be(128, 2) + be(0, 2) + be(0, 1) + be(0, 3) + be(0, 4);
    map += names;
    QByteArray fork = be(256, 4) + be(256 + quint32(data.size()), 4) + be(quint32(data.size()), 4) +
                      be(quint32(map.size()), 4);
    fork += QByteArray(256 - 16, '\0') + data + map;

    const QByteArray finderInfo = QByteArray("APPLtool") + QByteArray(24, '\0');
    QByteArray appleDouble = be(0x00051607, 4) + be(0x00020000, 4) + QByteArray(16, '\0') + be(2, 2);
    const quint32 first = 26 + 24;
    appleDouble += be(9, 4) + be(first, 4) + be(32, 4);
    appleDouble += be(2, 4) + be(first + 32, 4) + be(quint32(fork.size()), 4);
    appleDouble += finderInfo + fork;
    ASSERT_TRUE(writeFile(env.root() + QStringLiteral("/._Legacy"), appleDouble));

    auto read = JVResourceFork::resourceForkForReadingAtPath(path);
    ASSERT_TRUE(read);
    const QList<JVResourceInfo> lists = read->everyResourceOfType(fourCharCode("plst"));
    ASSERT_EQ(lists.size(), 1);
    EXPECT_EQ(lists[0].data(), payload);
    EXPECT_EQ(lists[0].name(), QStringLiteral("Info"));
    quint32 type = 0, creator = 0;
    EXPECT_TRUE(JVCarbonUtilities::finderInfoFlags(path, nullptr, &type, &creator));
    EXPECT_EQ(type, fourCharCode("APPL"));
    EXPECT_EQ(creator, fourCharCode("tool"));

    auto write = JVResourceFork::resourceForkForWritingAtPath(path);
    ASSERT_TRUE(write && write->addData("x", fourCharCode("STR "), 1, QString()));
    EXPECT_LT(::getxattr(QFile::encodeName(path).constData(), "user.com.apple.ResourceFork", nullptr, 0), 0)
        << "the fork stays in its AppleDouble file";
    EXPECT_TRUE(JVCarbonUtilities::finderInfoFlags(path, nullptr, &type, nullptr));
    EXPECT_EQ(type, fourCharCode("APPL"));
    EXPECT_EQ(JVResourceFork::resourceForkForReadingAtPath(path)->everyResourceType().size(), 2);

    // Every offset is checked: a reference past the data, or a name past the map, refuses the fork.
    QByteArray past = fork;
    past[256 + data.size() + 28 + 2 + 8 + 5] = char(0x7F);
    EXPECT_FALSE(platform::ResourceFork::parse(past));
    QByteArray longName = fork;
    longName[longName.size() - 5] = char(0xFF);
    EXPECT_FALSE(platform::ResourceFork::parse(longName));
    EXPECT_FALSE(platform::ResourceFork::parse(fork.left(fork.size() - 1)));
}

TEST(JVCarbonUtilities, strings_paths_references_and_finder_information)
{
    using namespace JVCarbonUtilities;
    const auto pascal = pascalString(QStringLiteral("Café™"));
    ASSERT_TRUE(pascal);
    EXPECT_EQ(*pascal, QByteArray("\x05"
                                  "Caf\x8E\xAA",
                                  6));
    EXPECT_EQ(stringWithPascalString(*pascal), QStringLiteral("Café™"));
    EXPECT_EQ(stringWithPascalString(QByteArray("\x09"
                                                "ab",
                                                3)),
              QStringLiteral("ab"))
        << "length past the bytes";
    EXPECT_FALSE(pascalString(QString(256, 'x')));
    EXPECT_FALSE(pascalString(QStringLiteral("日本"))) << "not in Mac Roman";
    char small[4];
    EXPECT_FALSE(getPascalString(QStringLiteral("four"), small, sizeof small));
    EXPECT_EQ(trimWhitespace(QStringLiteral(" \t a b \n")), QStringLiteral("a b"));

    EXPECT_EQ(fileSystemPathHFSStyle(QStringLiteral("/usr/share/a:b")), QStringLiteral("usr:share:a/b"));
    EXPECT_EQ(pathFromFileSystemPathHFSStyle(QStringLiteral("usr:share:a/b")),
              QStringLiteral("/usr/share/a:b"));
    EXPECT_EQ(pathFromFileSystemPathHFSStyle(QStringLiteral("usr:share:")), QStringLiteral("/usr/share/"));
    EXPECT_EQ(fileSystemPathHFSStyle(QUrl::fromLocalFile(QStringLiteral("/usr/share/"))),
              QStringLiteral("usr:share:"));

    TestEnvironment env;
    const QString file = env.root() + QStringLiteral("/file");
    ASSERT_TRUE(writeFile(file));
    FSRef ref;
    EXPECT_FALSE(getFSRef(env.root() + QStringLiteral("/none"), &ref));
    ASSERT_TRUE(getFSRef(QUrl::fromLocalFile(file), &ref));
    EXPECT_EQ(stringWithFSRef(ref), file);
    EXPECT_EQ(URLWithFSRef(ref), QUrl::fromLocalFile(file));
    EXPECT_EQ(URLByDeletingLastPathComponent(QUrl::fromLocalFile(file)), QUrl::fromLocalFile(env.root()));
    FSSpec spec;
    ASSERT_TRUE(getFSSpec(file, &spec));
    EXPECT_EQ(spec.name, QStringLiteral("file"));
    ASSERT_TRUE(writeFile(file + ".new") && QFile::remove(file) && QFile::rename(file + ".new", file));
    EXPECT_TRUE(stringWithFSRef(ref).isNull()) << "another file at the path";

    const QString link = env.root() + QStringLiteral("/link");
    ASSERT_TRUE(QFile::link(file, link));
    EXPECT_EQ(resolveAliasFile(link), file);
    EXPECT_EQ(resolveAliasFile(file), file);
    EXPECT_EQ(resolveAliasFile(QUrl::fromLocalFile(file)), QUrl());
    EXPECT_EQ(resolveAliasFile(QUrl::fromLocalFile(link)), QUrl::fromLocalFile(file));

    quint16 flags = 1;
    quint32 type = 1, creator = 1;
    ASSERT_TRUE(finderInfoFlags(file, &flags, &type, &creator));
    EXPECT_EQ(flags | type | creator, 0u);
    ASSERT_TRUE(setFinderInfoFlags(file, 0xFFFF, 0x00F0, fourCharCode("TEXT"), fourCharCode("ttxt")));
    ASSERT_TRUE(setFinderInfoFlags(file, 0x0000, 0x0030, fourCharCode("TEXT"), fourCharCode("ttxt")));
    ASSERT_TRUE(finderInfoFlags(file, &flags, &type, nullptr));
    EXPECT_EQ(flags, 0x00C0) << "bits outside the mask keep their value";
    EXPECT_EQ(type, fourCharCode("TEXT"));
    ASSERT_TRUE(setFinderLocation(file, QPointF(120, -40)));
    EXPECT_EQ(finderLocation(file), QPointF(120, -40));
    ASSERT_TRUE(finderInfoFlags(file, &flags, nullptr, nullptr));
    EXPECT_EQ(flags, 0x00C0);
    EXPECT_FALSE(finderInfoFlags(env.root() + QStringLiteral("/none"), &flags, nullptr, nullptr));
}
