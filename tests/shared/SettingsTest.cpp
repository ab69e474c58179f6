// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The domain's records and keys as both readers see them, against files that another tool wrote.

#include "shared/Settings.h"
#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"
#include "shared/PrefKeys.h"
#include "testsupport/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QString fixture()
{
    return sourceDir() + QStringLiteral("/tests/shared/data/settings-plistlib.xml");
}

void install(const TestEnvironment& env, const QByteArray& bytes)
{
    env.writeFile(QStringLiteral("config/pealix/") + PrefKeys::domain + ".plist", bytes);
}

QByteArray fixtureBytes()
{
    QFile file(fixture());
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

} // namespace

TEST(SettingsTest, records_written_by_plistlib_read_tolerantly_and_round_trip)
{
    const auto root = platform::PropertyList::readFile(fixture());
    ASSERT_TRUE(root);
    const QVariantList stored = root->toMap().value(PrefKeys::chimeInfo).toList();
    ASSERT_EQ(stored.size(), 7);

    // Whole records come back exactly as stored, also one without a choice ("set" absent).
    for (int i = 0; i < 4; ++i) {
        const auto info = ChimeInfo::fromValue(stored[i]);
        ASSERT_TRUE(info) << i;
        EXPECT_EQ(info->toValue(), stored[i]) << i;
    }
    EXPECT_TRUE(ChimeInfo::fromValue(stored[2])->isCustom());
    EXPECT_EQ(ChimeInfo::fromValue(stored[2])->path, QStringLiteral("/home/ann/Music/caf\u00e9 bell.ogg"));
    EXPECT_FALSE(ChimeInfo::fromValue(stored[3])->set);

    EXPECT_FALSE(ChimeInfo::fromValue(stored[4])) << "a minute stored as text matches no quarter";
    const auto odd = ChimeInfo::fromValue(stored[5]);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->minute, 30);
    EXPECT_TRUE(odd->chime);
    EXPECT_FALSE(odd->strike);
    EXPECT_FALSE(odd->set);
    EXPECT_TRUE(odd->path.isEmpty());
    EXPECT_FALSE(ChimeInfo::fromValue(stored[6]));

    const QVariantList apps = root->toMap().value(PrefKeys::excluded).toList();
    ASSERT_EQ(apps.size(), 5);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ExcludedApplication::fromValue(apps[i])->toValue(), apps[i]) << i;
    EXPECT_EQ(ExcludedApplication::fromValue(apps[0])->alias, QByteArray("\x00\x01"
                                                                         "alias\xff",
                                                                         8));
    EXPECT_EQ(*ExcludedApplication::fromValue(apps[3]), ExcludedApplication{});
    EXPECT_FALSE(ExcludedApplication::fromValue(apps[4]));
}

TEST(SettingsTest, each_reader_takes_its_own_defaults_for_absent_and_mistyped_keys)
{
    TestEnvironment env;
    for (const QByteArray& bytes :
         {QByteArray("<plist><dict/></plist>"),
          platform::PropertyList::toXml(QVariantMap{{PrefKeys::chimeInfo, "not an array"},
                                                    {PrefKeys::chimeVolume, "loud"},
                                                    {PrefKeys::pealixActive, "yes"},
                                                    {PrefKeys::pealixMenuActive, QVariantList{}},
                                                    {PrefKeys::excluded, 12}})}) {
        install(env, bytes);
        platform::Preferences domain(PrefKeys::domain);
        domain.synchronize();

        const Settings::Values agent = Settings::read(domain, Settings::Reader::agent, "Chimes");
        EXPECT_TRUE(agent.chimeInfo.isEmpty());
        EXPECT_EQ(agent.chimeVolume, 70);
        EXPECT_FALSE(agent.pealixActive) << "the agent keeps its flag";
        EXPECT_FALSE(agent.pealixMenuActive) << "the agent changes nothing";
        EXPECT_TRUE(agent.excluded.isEmpty());

        const Settings::Values pane = Settings::read(domain, Settings::Reader::pane, "Chimes");
        ASSERT_EQ(pane.chimeInfo.size(), 4);
        for (const ChimeInfo& info : pane.chimeInfo) {
            EXPECT_TRUE(info.chime);
            EXPECT_EQ(info.strike, info.minute == 0);
            EXPECT_EQ(info.set, QStringLiteral("Chimes"));
            EXPECT_EQ(info.path, PrefKeys::blankPath);
        }
        EXPECT_EQ(pane.chimeVolume, 70);
        EXPECT_EQ(pane.pealixActive, false);
        EXPECT_EQ(pane.pealixMenuActive, false);
        EXPECT_TRUE(pane.excluded.isEmpty());
    }
}

TEST(SettingsTest, a_whole_write_reads_back_in_plistlib_with_the_stored_types)
{
    if (QProcess::execute("python3", {"-c", "import plistlib"}) != 0)
        GTEST_SKIP() << "python3 is not installed";
    TestEnvironment env;
    install(env, fixtureBytes());
    platform::Preferences domain(PrefKeys::domain);
    domain.synchronize();
    Settings::Values values = Settings::read(domain, Settings::Reader::pane, "Chimes");
    values.chimeVolume += 1;
    Settings::write(domain, values);
    ASSERT_TRUE(domain.synchronize());

    // What another reader finds: integers stay integers, booleans booleans, the alias bytes.
    QProcess python;
    python.start("python3", {"-c", R"(
import plistlib, sys
d = plistlib.load(open(sys.argv[1], 'rb'))
info = d['com.quorlenvik.pealix.chimeinfo']
assert [type(r['minute']) for r in info] == [int] * 5, info
assert [r['minute'] for r in info] == [0, 15, 30, 45, 30], info
assert all(type(r['chime']) is bool and type(r['strike']) is bool for r in info)
assert 'set' not in info[3] and info[2]['path'].endswith('caf\u00e9 bell.ogg')
assert d['com.quorlenvik.pealix.chimevolume'] == 36
assert d['com.quorlenvik.pealix.pealixActive'] is True and d['com.quorlenvik.pealix.pealixMenuActive'] is False
apps = d['com.quorlenvik.pealix.excluded']
assert apps[0] == {'CFBundleIdentifier': 'org.example.Presenter', 'alias': b'\x00\x01alias\xff'}, apps
assert apps[2] == {'alias': b'only an alias'} and apps[3] == {}, apps
print('ok')
)",
                             domain.filePath()});
    ASSERT_TRUE(python.waitForFinished(10000));
    EXPECT_EQ(python.readAllStandardOutput().trimmed(), "ok") << python.readAllStandardError().constData();
}

TEST(SettingsTest, quiet_hours_skip_what_is_not_a_range_and_cover_the_right_days_and_minutes)
{
    const QVariantList stored = {
        // 22:00-07:00 on Friday and Sunday: past midnight into Saturday and (across the week) Monday.
        QVariantMap{{"days", QVariantList{5, 7, 0, 8, "Monday"}}, {"start", 1320}, {"end", 420}},
        // 00:00-00:00 is all of Wednesday.
        QVariantMap{{"days", QVariantList{3}}, {"start", 0}, {"end", 0}},
        QVariantMap{{"days", QVariantList{1}}, {"start", 1440}, {"end", 60}},
        QVariantMap{{"days", QVariantList{1}}, {"start", 60.5}, {"end", 120}},
        QVariantMap{{"days", 1}, {"start", 60}, {"end", 120}},
        QVariantMap{{"days", QVariantList{1}}, {"start", "60"}, {"end", 120}},
        QVariantList{1, 60, 120},
    };
    const QuietHours quiet = QuietHours::fromValue(stored);
    ASSERT_EQ(quiet.ranges().size(), 2);
    EXPECT_EQ(quiet.ranges()[0].days, quint8(0b1010000)) << "unknown day numbers are left out";

    struct Case {
        int day, minute;
        bool quiet;
    } cases[] = {
        {5, 1319, false}, {5, 1320, true}, {6, 0, true},     {6, 419, true},  {6, 420, false},
        {6, 1320, false}, {7, 1439, true}, {1, 419, true},   {1, 420, false}, {4, 1320, false},
        {3, 0, true},     {3, 1439, true}, {2, 1439, false}, {4, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(quiet.isQuiet(c.day, c.minute), c.quiet) << c.day << " " << c.minute;
    EXPECT_EQ(quiet.minutesUntilNotQuiet(5, 1350), 90 + 420);
    EXPECT_EQ(quiet.minutesUntilNotQuiet(2, 600), 0);
    EXPECT_EQ(
        QuietHours::fromValue(QVariantList{QVariantMap{
                                  {"days", QVariantList{1, 2, 3, 4, 5, 6, 7}}, {"start", 600}, {"end", 600}}})
            .minutesUntilNotQuiet(4, 0),
        std::nullopt);
    EXPECT_EQ(QuietHours::isoWeekday(2026, 12, 8), 2);
    EXPECT_EQ(QuietHours::isoWeekday(2026, 12, 13), 7);

    // The volume: out of range or not a number reads as silent; the other keys still read.
    for (const QVariant& volume : {QVariant(-5), QVariant(1e300), QVariant("40"), QVariant(101)}) {
        const QVariantMap domain{{PrefKeys::quietVolume, volume}, {PrefKeys::chimeVolume, 55}};
        const Settings::Values values = Settings::read(domain, Settings::Reader::agent);
        EXPECT_EQ(values.quietVolume, 0) << volume.toString().toStdString();
        EXPECT_EQ(values.chimeVolume, 55);
    }
    EXPECT_EQ(Settings::read(QVariantMap{{PrefKeys::quietVolume, 40}}, Settings::Reader::pane).quietVolume,
              40);
}

TEST(SettingsTest, quiet_hours_are_written_with_the_other_keys_and_removed_when_empty)
{
    TestEnvironment env;
    install(env, fixtureBytes());
    platform::Preferences domain(PrefKeys::domain);
    domain.synchronize();
    Settings::Values values = Settings::read(domain, Settings::Reader::pane, "Chimes");
    QuietRange night;
    night.setDay(1, true);
    night.setDay(7, true);
    night.start = 22 * 60;
    night.end = 7 * 60;
    values.quietHours = QuietHours({night});
    values.quietVolume = 20;
    Settings::write(domain, values);
    ASSERT_TRUE(domain.synchronize());

    platform::Preferences reader(PrefKeys::domain);
    reader.synchronize();
    const Settings::Values back = Settings::read(reader, Settings::Reader::agent);
    EXPECT_EQ(back.quietHours, values.quietHours);
    EXPECT_TRUE(back.quietHours.isQuiet(2, 6 * 60)) << "Monday's night runs into Tuesday";
    EXPECT_EQ(back.quietVolume, 20);
    EXPECT_EQ(back.chimeInfo, values.chimeInfo);

    values.quietHours = QuietHours();
    values.quietVolume = 0;
    Settings::write(domain, values);
    ASSERT_TRUE(domain.synchronize());
    reader.synchronize();
    EXPECT_FALSE(reader.copyValue(PrefKeys::quietHours).isValid());
    EXPECT_FALSE(reader.copyValue(PrefKeys::quietVolume).isValid());
}

TEST(SettingsTest, silence_options_default_when_absent_and_are_stored_only_when_changed)
{
    const Settings::SilenceOptions defaults = Settings::read(QVariantMap{}, Settings::Reader::agent).silence;
    EXPECT_TRUE(defaults.doNotDisturb);
    EXPECT_TRUE(defaults.microphone);
    EXPECT_FALSE(defaults.fullScreen);
    EXPECT_FALSE(defaults.lockedScreen);
    // A number counts for its truth; a string is no boolean and reads as the default.
    const QVariantMap odd{{PrefKeys::silentDoNotDisturb, 0},
                          {PrefKeys::silentMicrophone, "no"},
                          {PrefKeys::silentFullScreen, 2},
                          {PrefKeys::silentLocked, true}};
    const Settings::SilenceOptions read = Settings::read(odd, Settings::Reader::pane).silence;
    EXPECT_EQ(read, (Settings::SilenceOptions{false, true, true, true}));

    TestEnvironment env;
    install(env, fixtureBytes());
    platform::Preferences domain(PrefKeys::domain);
    domain.synchronize();
    Settings::Values values = Settings::read(domain, Settings::Reader::pane, "Chimes");
    values.silence = {false, true, true, false};
    Settings::write(domain, values);
    ASSERT_TRUE(domain.synchronize());
    platform::Preferences reader(PrefKeys::domain);
    reader.synchronize();
    EXPECT_EQ(Settings::read(reader, Settings::Reader::agent).silence, values.silence);
    EXPECT_FALSE(reader.copyValue(PrefKeys::silentMicrophone).isValid())
        << "defaults leave the file as it was";
    EXPECT_EQ(reader.copyValue(PrefKeys::silentDoNotDisturb), QVariant(false));

    values.silence = {};
    Settings::write(domain, values);
    ASSERT_TRUE(domain.synchronize());
    reader.synchronize();
    for (const QString& key : {PrefKeys::silentDoNotDisturb, PrefKeys::silentMicrophone,
                               PrefKeys::silentFullScreen, PrefKeys::silentLocked})
        EXPECT_FALSE(reader.copyValue(key).isValid()) << key.toStdString();
}
