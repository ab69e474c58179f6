// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/bundles/Bundle.h"
#include "platform/settings/PropertyList.h"
#include "testsupport/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

using platform::Bundle;

namespace {

QString makeBundle(const TestEnvironment& env, const QString& name)
{
    const QString info = platform::PropertyList::toXml(
        QVariantMap{{"CFBundleIdentifier", QStringLiteral("com.quorlenvik.test")}, {"Version", qint64(3)}});
    env.writeFile(name + "/Contents/Info.plist", info.toUtf8());
    QDir().mkpath(env.root() + '/' + name + "/Contents/Linux");
    QDir().mkpath(env.root() + '/' + name + "/Contents/Resources");
    return env.root() + '/' + name;
}

} // namespace

TEST(BundleTest, paths_and_info_come_from_the_contents_folder)
{
    TestEnvironment env;
    const QString path = makeBundle(env, "Tool.app");
    const Bundle bundle(path + '/');
    ASSERT_TRUE(bundle.isValid());
    EXPECT_EQ(bundle.bundlePath(), path);
    EXPECT_EQ(bundle.resourcePath(), path + "/Contents/Resources");
    EXPECT_EQ(bundle.bundleIdentifier(), "com.quorlenvik.test");
    EXPECT_EQ(bundle.infoDictionary().value("Version"), QVariant(qint64(3)));
}

TEST(BundleTest, missing_or_broken_info_gives_empty_identity)
{
    TestEnvironment env;
    const QString path = makeBundle(env, "Broken.app");
    env.writeFile("Broken.app/Contents/Info.plist", "<plist><dict><key>CFBundleIdentifier");
    EXPECT_TRUE(Bundle(path).infoDictionary().isEmpty());
    EXPECT_TRUE(Bundle(path).bundleIdentifier().isEmpty());
    env.writeFile("Broken.app/Contents/Info.plist",
                  platform::PropertyList::toXml(QVariantMap{{"CFBundleIdentifier", qint64(5)}}));
    EXPECT_TRUE(Bundle(path).bundleIdentifier().isEmpty());
}

TEST(BundleTest, auxiliary_executables_are_looked_up_in_linux_then_resources)
{
    TestEnvironment env;
    const QString path = makeBundle(env, "Pane.prefPane");
    env.writeFile("Pane.prefPane/Contents/Linux/both", "1");
    env.writeFile("Pane.prefPane/Contents/Resources/both", "2");
    QDir().mkpath(path + "/Contents/Resources/Agent.app/Contents");
    const Bundle bundle(path);
    EXPECT_EQ(bundle.pathForAuxiliaryExecutable("both"), path + "/Contents/Linux/both");
    EXPECT_EQ(bundle.pathForAuxiliaryExecutable("Agent.app"), path + "/Contents/Resources/Agent.app");
    EXPECT_TRUE(bundle.pathForAuxiliaryExecutable("absent").isEmpty());
    EXPECT_TRUE(bundle.pathForAuxiliaryExecutable("../Info.plist").isEmpty());
    EXPECT_TRUE(bundle.pathForAuxiliaryExecutable({}).isEmpty());
}

TEST(BundleTest, resources_of_a_type_are_listed_in_byte_order)
{
    TestEnvironment env;
    const QString path = makeBundle(env, "Sets.app");
    const QString res = path + "/Contents/Resources";
    for (const char* name : {"b.pealix", "B.pealix", "a.pealix", "\u00e9.pealix", "c.pealixx", "pealix"})
        QDir().mkpath(res + '/' + QString::fromUtf8(name));
    env.writeFile("Sets.app/Contents/Resources/z.pealix", "file");
    env.writeFile("Sets.app/Contents/Resources/sounds/one.aiff", "");
    env.writeFile("Sets.app/Contents/Resources/sounds/two.aiff", "");
    env.writeFile("Sets.app/Contents/Resources/sounds/deeper/three.aiff", "");
    const Bundle bundle(path);
    EXPECT_EQ(bundle.pathsForResourcesOfType("pealix"),
              (QStringList{res + "/B.pealix", res + "/a.pealix", res + "/b.pealix", res + "/z.pealix",
                           res + QString::fromUtf8("/\u00e9.pealix")}));
    EXPECT_EQ(bundle.pathsForResourcesOfType("aiff", "sounds"),
              (QStringList{res + "/sounds/one.aiff", res + "/sounds/two.aiff"}));
    EXPECT_TRUE(bundle.pathsForResourcesOfType("aiff").isEmpty());
    EXPECT_TRUE(bundle.pathsForResourcesOfType("plist", "..").isEmpty());
}

TEST(BundleTest, a_path_that_is_no_directory_is_invalid)
{
    TestEnvironment env;
    const QString file = env.writeFile("plain", "x");
    for (const QString& path : {file, env.root() + "/absent", QString()}) {
        const Bundle bundle(path);
        EXPECT_FALSE(bundle.isValid());
        EXPECT_TRUE(bundle.resourcePath().isEmpty());
        EXPECT_TRUE(bundle.infoDictionary().isEmpty());
        EXPECT_TRUE(bundle.pathForAuxiliaryExecutable("plain").isEmpty());
        EXPECT_TRUE(bundle.pathsForResourcesOfType("").isEmpty());
    }
}

TEST(BundleTest, main_bundle_is_overridable_and_otherwise_the_executables_folder)
{
    TestEnvironment env;
    const QString path = makeBundle(env, "Main.app");
    qputenv("PEALIX_MAIN_BUNDLE", QFile::encodeName(path));
    EXPECT_EQ(Bundle::mainBundle().bundleIdentifier(), "com.quorlenvik.test");
    qunsetenv("PEALIX_MAIN_BUNDLE");
    // The test program lies in the build tree, in no bundle.
    EXPECT_EQ(Bundle::mainBundle().bundlePath(),
              QFileInfo(QCoreApplication::applicationFilePath()).absolutePath());
}

TEST(BundleTest, main_bundle_encloses_an_executable_in_contents_linux)
{
    TestEnvironment env;
    const QString path = makeBundle(env, "Copied.app");
    const QString exe = path + "/Contents/Linux/MainBundlePrinter";
    ASSERT_TRUE(QFile::copy(QStringLiteral(MAIN_BUNDLE_PRINTER), exe));
    QProcess process;
    process.start(exe, {});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed(),
              QFileInfo(path).canonicalFilePath());
}
