// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "agent/PealixController.h"
#include "platform/audio/Sound.h"
#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "shared/PrefKeys.h"
#include "testsupport/TestEnvironment.h"

#include <QProcess>
#include <QSignalSpy>
#include <cmath>
#include <gtest/gtest.h>

namespace {

QVariantMap record(qint64 minute, const QVariant& set, const QString& path, bool chime = true,
                   bool strike = true)
{
    QVariantMap r{{"minute", minute}, {"chime", chime}, {"strike", strike}, {"path", path}};
    if (set.isValid())
        r.insert("set", set);
    return r;
}

// A fake agent bundle with chime sets whose sounds are short real tones.
class ControllerTest : public ::testing::Test {
protected:
    QString bundle() const { return env.root() + "/PealixTool.app"; }
    QString resources() const { return bundle() + "/Contents/Resources"; }

    QString tone(const QString& path, int hz = 440) const
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QProcess::execute("sox", {"-q", "-n", "-r", "48000", "-c", "1", path, "synth", "0.05", "sine",
                                  QString::number(hz)});
        return path;
    }
    void addSet(const QString& name, const QVariantList& chimes, const QString& strike) const
    {
        const QString dir = resources() + '/' + name + ".pealix";
        for (const QVariant& c : chimes)
            tone(dir + '/' + c.toMap().value("file").toString());
        if (!strike.isEmpty())
            tone(dir + '/' + strike, 220);
        QVariantMap list{{"chimes", chimes}};
        if (!strike.isEmpty())
            list.insert("single chime", strike);
        env.writeFile("PealixTool.app/Contents/Resources/" + name + ".pealix/chimeset.plist",
                      platform::PropertyList::toXml(list));
    }
    static QVariantList quarters(const QString& prefix, QList<int> minutes = {0, 15, 30, 45})
    {
        QVariantList list;
        for (int m : minutes)
            list << QVariantMap{{"minute", qint64(m)},
                                {"file", QStringLiteral("%1%2.wav").arg(prefix).arg(m)}};
        return list;
    }
    void store(const QVariantMap& values) const
    {
        platform::Preferences prefs(PrefKeys::domain);
        for (auto it = values.begin(); it != values.end(); ++it)
            prefs.setValue(it.key(), it.value());
        prefs.synchronize();
    }
    std::unique_ptr<PealixController> start(QStringList arguments = {"PealixTool"}) const
    {
        auto controller = std::make_unique<PealixController>(platform::Bundle(bundle()), arguments);
        controller->awakeFromNib();
        return controller;
    }

    TestEnvironment env;
};

} // namespace

TEST_F(ControllerTest, records_resolve_into_melody_and_strike_paths_by_set)
{
    addSet("Chimes", quarters("w"), "hour.wav");
    addSet("Abbey", quarters("a", {0, 30}), "abbey-hour.wav");
    const QString custom = tone(env.root() + "/mine/custom.wav");
    store({{PrefKeys::chimeInfo,
            QVariantList{record(0, "Abbey", PrefKeys::blankPath), record(15, "Abbey", PrefKeys::blankPath),
                         record(30, "custom", custom), record(45, "Gone", PrefKeys::blankPath)}}});
    auto controller = start();
    const auto& schedule = controller->schedule();
    ASSERT_EQ(schedule.keys(), (QList<qint64>{0, 15, 30, 45}));

    const ChimeRecord& top = schedule[0];
    EXPECT_EQ(top.melodyPath, resources() + "/Abbey.pealix/a0.wav");
    EXPECT_EQ(top.strikePath, resources() + "/Abbey.pealix/abbey-hour.wav");
    EXPECT_TRUE(top.chimeSound && top.strikeSound);

    // A set without this quarter: no melody, but strikes still sound.
    EXPECT_FALSE(schedule[15].chimeSound);
    EXPECT_TRUE(schedule[15].strikeSound);

    // Custom sounds and sets that are gone strike with the default set.
    EXPECT_EQ(schedule[30].melodyPath, custom);
    EXPECT_TRUE(schedule[30].chimeSound);
    EXPECT_EQ(schedule[30].strikePath, resources() + "/Chimes.pealix/hour.wav");
    EXPECT_FALSE(schedule[45].chimeSound);
    EXPECT_EQ(schedule[45].melodyPath, PrefKeys::blankPath);
    EXPECT_TRUE(schedule[45].strikeSound);
}

TEST_F(ControllerTest, without_a_set_named_chimes_the_first_set_strikes_for_custom_records)
{
    addSet("Zither", quarters("z"), "z-hour.wav");
    addSet("Bronze", quarters("b"), "b-hour.wav");
    store({{PrefKeys::chimeInfo, QVariantList{record(0, "custom", "/nonexistent.wav")}}});
    auto controller = start();
    EXPECT_EQ(controller->schedule()[0].strikePath, resources() + "/Bronze.pealix/b-hour.wav");
}

TEST_F(ControllerTest, later_record_for_a_minute_wins_and_odd_records_are_ignored)
{
    addSet("Chimes", quarters("w"), "hour.wav");
    const QString first = tone(env.root() + "/first.wav");
    const QString second = tone(env.root() + "/second.wav");
    store({{PrefKeys::chimeInfo,
            QVariantList{record(15, "custom", first), record(15, "custom", second),
                         QVariantMap{{"set", "Chimes"}}, QVariantMap{{"minute", "30"}, {"set", "Chimes"}},
                         QVariantMap{{"minute", 45.5}, {"set", "Chimes"}}, QVariantMap{{"minute", true}},
                         record(7, "Chimes", PrefKeys::blankPath), QVariant("junk"), QVariant(qint64(3))}}});
    auto controller = start();
    EXPECT_EQ(controller->schedule().keys(), QList<qint64>{15});
    EXPECT_EQ(controller->schedule()[15].chimeSound->path(), second);
}

TEST_F(ControllerTest, sounds_that_do_not_load_are_left_out)
{
    addSet("Chimes", quarters("w"), "hour.wav");
    const QString text = env.writeFile("text.wav", "this is not audio");
    const QString truncated = env.writeFile("cut.flac", QByteArray("fLaC\0\0\0\x22", 8));
    QFile::remove(resources() + "/Chimes.pealix/hour.wav");
    store({{PrefKeys::chimeInfo, QVariantList{record(0, "custom", text), record(15, "custom", truncated),
                                              record(30, "custom", env.root()), record(45, "Chimes", {})}}});
    auto controller = start();
    for (qint64 m : {0, 15, 30}) {
        EXPECT_FALSE(controller->schedule()[m].chimeSound) << m;
        EXPECT_FALSE(controller->schedule()[m].strikeSound) << m;
    }
    EXPECT_TRUE(controller->schedule()[45].chimeSound);
    EXPECT_FALSE(controller->schedule()[45].strikeSound);
}

TEST_F(ControllerTest, settings_of_the_wrong_type_fall_back_to_defaults)
{
    addSet("Chimes", quarters("w"), "hour.wav");
    store({{PrefKeys::chimeInfo, "not an array"},
           {PrefKeys::chimeVolume, "loud"},
           {PrefKeys::pealixActive, "yes"},
           {PrefKeys::excluded, 12}});
    auto controller = start();
    EXPECT_TRUE(controller->schedule().isEmpty());

    // Minutes beyond any integer are no minute at all, and no undefined conversion either.
    QVariantMap huge = record(0, "Chimes", PrefKeys::blankPath);
    huge.insert(PrefKeys::minute, 1e300);
    QVariantMap notANumber = huge;
    notANumber.insert(PrefKeys::minute, std::nan(""));
    store({{PrefKeys::chimeInfo, QVariantList{huge, notANumber}}});
    controller->readPrefs();
    EXPECT_TRUE(controller->schedule().isEmpty());
    EXPECT_EQ(controller->volume(), 70);
    EXPECT_FALSE(controller->chimingEnabled());
}

TEST_F(ControllerTest, volume_and_enabled_flag_follow_the_domain)
{
    addSet("Chimes", quarters("w"), "hour.wav");
    auto controller = start();
    EXPECT_EQ(controller->volume(), 70);
    EXPECT_FALSE(controller->chimingEnabled());

    store({{PrefKeys::chimeVolume, 35.9}, {PrefKeys::pealixActive, true}});
    controller->readPrefs();
    EXPECT_EQ(controller->volume(), 35);
    EXPECT_TRUE(controller->chimingEnabled());

    // While its key is absent the flag keeps its value and the volume falls back to 70.
    QFile::remove(platform::Preferences(PrefKeys::domain).filePath());
    store({{PrefKeys::pealixMenuActive, false}});
    controller->readPrefs();
    EXPECT_EQ(controller->volume(), 70);
    EXPECT_TRUE(controller->chimingEnabled());

    // A volume beyond any integer is the largest one, not an undefined conversion.
    store({{PrefKeys::chimeVolume, 1e300}});
    controller->readPrefs();
    EXPECT_EQ(controller->volume(), std::numeric_limits<int>::max());
}
