// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "shared/ChimeSets.h"
#include "platform/bundles/Bundle.h"
#include "platform/settings/PropertyList.h"
#include "testsupport/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

QVariantMap chime(const QVariant& minute, const QString& file)
{
    return {{"minute", minute}, {"file", file}};
}

class ChimeSetsTest : public ::testing::Test {
protected:
    QString resources() const { return env.root() + "/Agent.app/Contents/Resources"; }
    void writeSet(const QString& name, const QVariant& list) const
    {
        env.writeFile("Agent.app/Contents/Resources/" + name + ".pealix/chimeset.plist",
                      platform::PropertyList::toXml(list));
    }
    ChimeSets::SetTable discover() const
    {
        return ChimeSets::discover(platform::Bundle(env.root() + "/Agent.app"));
    }

    TestEnvironment env;
};

} // namespace

TEST_F(ChimeSetsTest, discovery_names_sets_by_directory_in_byte_order_whatever_the_locale)
{
    writeSet("Chimes", QVariantMap{{"setname", "Impostor"}, {"single chime", "hour.flac"}});
    writeSet("abbey", QVariantMap{{"single chime", "abbey.flac"}});
    writeSet("Zulu", QVariantMap{});
    writeSet("\u00c9glise", QVariantMap{});
    env.writeFile("Agent.app/Contents/Resources/readme.txt", "not a set");

    const ChimeSets::SetTable table = discover();
    EXPECT_EQ(table.names(), (QStringList{"Chimes", "Zulu", "abbey", "\u00c9glise"}));
    EXPECT_EQ(table.value("Chimes").value("setname").toString(), "Chimes");
    EXPECT_EQ(table.value("abbey").value("single chime").toString(), "abbey.flac");
    EXPECT_EQ(ChimeSets::defaultSet(table), "Chimes");
}

TEST_F(ChimeSetsTest, broken_sets_are_skipped_without_hiding_good_ones)
{
    writeSet("Good", QVariantMap{{"single chime", "s.flac"}});
    writeSet("Array", QVariantList{1, 2, 3});
    env.writeFile("Agent.app/Contents/Resources/Garbage.pealix/chimeset.plist", "\x00\x01<plist>oops");
    env.writeFile("Agent.app/Contents/Resources/Empty.pealix/other", "");

    EXPECT_EQ(discover().names(), QStringList{"Good"});
}

TEST(ChimeSetsRules, melody_is_first_element_whose_minute_equals_as_number)
{
    const QVariantMap set{
        {"chimes", QVariantList{chime(QStringLiteral("15"), "text.flac"), chime(0, "zero.flac"),
                                chime(15.0, "first.flac"), chime(qint64(15), "second.flac"),
                                QVariant(QStringLiteral("junk")), chime(true, "bool.flac")}}};
    EXPECT_EQ(ChimeSets::melodyFile(set, qint64(15)), "first.flac");
    EXPECT_EQ(ChimeSets::melodyFile(set, qint64(0)), "zero.flac");
    EXPECT_EQ(ChimeSets::melodyFile(set, qint64(30)), "");
    EXPECT_EQ(ChimeSets::melodyFile(set, QStringLiteral("15")), "");
    EXPECT_EQ(ChimeSets::melodyFile(set, qint64(1)), "") << "a boolean is not the number 1";
    EXPECT_EQ(ChimeSets::melodyFile(QVariantMap{{"chimes", "not an array"}}, qint64(0)), "");
    EXPECT_EQ(ChimeSets::melodyFile(QVariantMap{{"chimes", QVariantList{chime(0, {})}}}, qint64(0)), "");
}

TEST(ChimeSetsRules, sound_path_and_default_set)
{
    EXPECT_EQ(ChimeSets::soundPath("/r", "Chimes", "q1.flac"), "/r/Chimes.pealix/q1.flac");
    ChimeSets::SetTable table;
    EXPECT_EQ(ChimeSets::defaultSet(table), "");
    table.insert({{"setname", "Zulu"}});
    table.insert({{"setname", "Alpha"}});
    EXPECT_EQ(ChimeSets::defaultSet(table), "Zulu") << "the first discovered, not the first by name";
    EXPECT_EQ(ChimeSets::strikeFile({{"single chime", 42}}), "");
}
