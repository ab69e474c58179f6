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
