// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pane/PealixPref.h"
#include "platform/audio/Sound.h"
#include "platform/bindings/KeyValueCoding.h"
#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/settings/Preferences.h"
#include "shared/ExcludedApplication.h"
#include "shared/PrefKeys.h"
#include "support/JVResourceFork.h"
#include "support/NSWorkspaceProcessInfo.h"
#include "support/OFAlias.h"
#include "support/QXLoginItemRegistry.h"
#include "testsupport/PostedUpdates.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/PrivatePids.h"
#include "testsupport/RecordingSink.h"
#include "testsupport/TestEnvironment.h"

#include <QAbstractProxyModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QSlider>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opening the pane with chimes off stops every agent of the user: only those of this program may be seen.
const bool privatePids = PrivatePids::enter();
PrivateBus* const& bus = PrivateBus::forProgram();

const QString sentinel = QStringLiteral("org.example.pane-test.sentinel");

// A hostile file opens in seconds, never in minutes; the sanitizers make everything several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 openingBoundMs = 20000;
#else
constexpr qint64 openingBoundMs = 5000;
#endif

QVariantMap custom(const QString& path)
{
    return {{QStringLiteral("setname"), QFileInfo(path).fileName()},
            {QStringLiteral("file"), path},
            {QStringLiteral("custom"), true}};
}

QVariantMap record(qint64 minute, const QString& set, const QString& path, bool chime = true,
                   bool strike = false)
{
    return {{PrefKeys::minute, minute},
            {PrefKeys::chime, chime},
            {PrefKeys::strike, strike},
            {PrefKeys::set, set},
            {PrefKeys::path, path}};
}

class PealixPrefTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!privatePids)
            GTEST_SKIP() << "no pid namespace of its own: the pane would stop the agents of the user";
        ASSERT_TRUE(bus && bus->isRunning());
        m_updates.start();
    }

    int posted() { return m_updates.count(); }

    // Waits for the first save to land unless told not to.
    std::unique_ptr<PealixPref> open(const QString& bundle = paneBundleDir(), bool untilSaved = true)
    {
        auto pane = std::make_unique<PealixPref>(platform::Bundle(bundle));
        pane->loadMainView();
        pane->mainViewDidLoad();
        if (untilSaved)
            landed(*pane);
        return pane;
    }

    // The pane writes on a thread of its own.
    static void landed(PealixPref& pane)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return pane.changesSaved(); }, 5000));
    }

    static QVariant stored(const QString& key)
    {
        platform::Preferences domain(PrefKeys::domain);
        domain.synchronize();
        return domain.copyValue(key);
    }

    template <typename W> static W* control(PealixPref& pane, const QString& name)
    {
        for (W* widget : pane.mainView()->findChildren<W*>())
            if (widget->accessibleName() == name)
                return widget;
        ADD_FAILURE() << "no control " << name.toStdString();
        return nullptr;
    }

    QString tone(const QString& name, double seconds)
    {
        const QString path = m_env.root() + QLatin1Char('/') + name;
        EXPECT_TRUE(writeTone(path, 660, seconds, 0.3));
        return path;
    }

    TestEnvironment m_env;
    PostedUpdates m_updates{sentinel};
};

TEST_F(PealixPrefTest, first_opening_writes_every_default_once_with_one_notification)
{
    auto pane = open();
    EXPECT_EQ(posted(), 1);
    const QVariantList records = stored(PrefKeys::chimeInfo).toList();
    ASSERT_EQ(records.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(records[i].toMap(),
                  record(i * 15, QStringLiteral("Chimes"), PrefKeys::blankPath, true, i == 0));
    EXPECT_EQ(stored(PrefKeys::chimeVolume).toLongLong(), 70);
    EXPECT_EQ(stored(PrefKeys::pealixActive), false);
    EXPECT_EQ(stored(PrefKeys::pealixMenuActive), false);
    EXPECT_EQ(stored(PrefKeys::excluded), QVariantList());

    // What the window shows, found as a screen reader finds it.
    auto* box = control<QComboBox>(*pane, QString()); // the first pop-up, named by its label
    ASSERT_TRUE(box);
    EXPECT_EQ(box->currentText(), "Chimes");
    EXPECT_EQ(box->itemText(box->count() - 1), "Custom...");
    EXPECT_EQ(control<QSlider>(*pane, "Volume")->value(), 70);
    EXPECT_TRUE(control<QCheckBox>(*pane, "Strike the hour at :00")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(*pane, "Strike the hour at :45")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(*pane, "Chimes on")->isChecked());
    EXPECT_EQ(pane->versionInfo()->text(),
              QStringLiteral("Pealix %1").arg(QStringLiteral(PEALIX_TEST_VERSION)));
}

TEST_F(PealixPrefTest, stored_custom_record_follows_Custom_and_a_missing_set_reads_as_blank)
{
    storeSettings(
        {{PrefKeys::chimeInfo, QVariantList{record(45, QStringLiteral("Cathedral"), PrefKeys::blankPath),
                                            record(45, QStringLiteral("custom"),
                                                   QStringLiteral("/nowhere/bells.flac"), false, true),
                                            record(15, QStringLiteral("Uninstalled"), PrefKeys::blankPath)}},
         {PrefKeys::chimeVolume, qint64(35)}});
    auto pane = open();
    const QVariantList standard = pane->standardChimesets();
    EXPECT_EQ(pane->chimesets0(), standard);
    const QVariantList list45 = pane->chimesets45();
    ASSERT_EQ(list45.size(), standard.size() + 1);
    EXPECT_EQ(list45.mid(0, standard.size()), standard);
    EXPECT_EQ(list45.last(), custom(QStringLiteral("/nowhere/bells.flac")));
    EXPECT_EQ(pane->sound45min(), custom(QStringLiteral("/nowhere/bells.flac")));
    EXPECT_FALSE(pane->chime45());
    EXPECT_TRUE(pane->strike45());
    EXPECT_EQ(pane->sound15min().value("setname"), PrefKeys::blankPath);
    EXPECT_EQ(pane->chimeVolume(), 35);

    const QVariantList records = stored(PrefKeys::chimeInfo).toList();
    ASSERT_EQ(records.size(), 4);
    EXPECT_EQ(records[1].toMap(), record(15, QStringLiteral("custom"), PrefKeys::blankPath));
    EXPECT_EQ(records[3].toMap(),
              record(45, QStringLiteral("custom"), QStringLiteral("/nowhere/bells.flac"), false, true));
}

TEST_F(PealixPrefTest, without_chime_sets_every_quarter_holds_only_Custom)
{
    const QString bundle = m_env.root() + QStringLiteral("/Empty.prefPane");
    ASSERT_TRUE(
        QDir().mkpath(bundle + QStringLiteral("/Contents/Resources/PealixTool.app/Contents/Resources")));
    auto pane = open(bundle);
    const QVariantMap customChoice{{QStringLiteral("setname"), QStringLiteral("Custom...")}};
    EXPECT_EQ(pane->chimesets30(), QVariantList{customChoice});
    EXPECT_EQ(pane->sound30min(), customChoice);
    EXPECT_EQ(stored(PrefKeys::chimeInfo).toList().value(2).toMap(),
              record(30, QStringLiteral("Custom..."), PrefKeys::blankPath));
    QAbstractButton* preview = pane->previewButtonForMinute(30);
    preview->click();
    EXPECT_FALSE(preview->isChecked());
    EXPECT_EQ(pane->currentPreview(), nullptr);
}

TEST_F(PealixPrefTest, one_check_box_rewrites_all_five_keys_with_one_notification)
{
    auto pane = open();
    const int before = posted();
    storeSettings(
        {{PrefKeys::chimeVolume, qint64(12)}, {PrefKeys::excluded, QVariantList{QStringLiteral("junk")}}});
    control<QCheckBox>(*pane, "Play melody at :15")->click();
    landed(*pane);
    EXPECT_EQ(posted(), before + 1);
    EXPECT_FALSE(stored(PrefKeys::chimeInfo).toList().value(1).toMap().value(PrefKeys::chime).toBool());
    EXPECT_EQ(stored(PrefKeys::chimeVolume).toLongLong(), 70);
    EXPECT_EQ(stored(PrefKeys::excluded), QVariantList());
}

TEST_F(PealixPrefTest, a_change_that_cannot_be_saved_never_blocks_the_window_and_says_so_until_it_is)
{
    open().reset();
    const QString path = platform::Preferences(PrefKeys::domain).filePath();
    // Another program holds the writers' lock.
    const int holder = ::open(QFile::encodeName(path + ".lock").constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    QElapsedTimer clock;
    clock.start();
    auto pane = open(paneBundleDir(), false);
    EXPECT_LT(clock.elapsed(), 1000);
    QWidget* problem = pane->saveProblem();
    ASSERT_TRUE(problem);
    EXPECT_FALSE(pane->changesSaved());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !problem->isHidden(); }, 5000));
    EXPECT_FALSE(pane->changesSaved());
    clock.restart();
    control<QCheckBox>(*pane, "Play melody at :15")->click();
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_FALSE(problem->isHidden());
    EXPECT_EQ(problem->accessibleName(), "Changes not saved");
    const auto shown = [&] {
        QString all;
        for (const QLabel* label : problem->findChildren<QLabel*>())
            all += label->text();
        return all;
    };
    EXPECT_TRUE(shown().contains("another program is using the settings")) << shown().toStdString();
    EXPECT_TRUE(stored(PrefKeys::chimeInfo).toList().value(1).toMap().value(PrefKeys::chime).toBool());
    // Retried on a timer: the change lands once the lock is free, and the message goes.
    ::close(holder);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->changesSaved(); }, 5000));
    EXPECT_TRUE(problem->isHidden());
    EXPECT_FALSE(stored(PrefKeys::chimeInfo).toList().value(1).toMap().value(PrefKeys::chime).toBool());

    // A folder that cannot be written (even by root: a read-only mount), and Retry once it can.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::mount(folder.constData(), folder.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot mount here";
    const bool readOnly =
        ::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    clock.restart();
    control<QCheckBox>(*pane, "Play melody at :15")->click();
    const qint64 clickMs = clock.elapsed();
    const bool unsaved = QTest::qWaitFor([&] { return !problem->isHidden(); }, 5000) && !pane->changesSaved();
    const QString readOnlyText = shown();
    ::umount(folder.constData());
    ASSERT_TRUE(readOnly);
    EXPECT_LT(clickMs, 100);
    EXPECT_TRUE(unsaved);
    EXPECT_TRUE(readOnlyText.contains(QString::fromLocal8Bit(strerror(EROFS)))) << readOnlyText.toStdString();
    pane->saveRetryButton()->click();
    landed(*pane);
    EXPECT_TRUE(problem->isHidden());
    EXPECT_TRUE(stored(PrefKeys::chimeInfo).toList().value(1).toMap().value(PrefKeys::chime).toBool());
}

TEST_F(PealixPrefTest, custom_sound_confirmed_cancelled_refused_and_replaced)
{
    auto pane = open();
    const QVariantList standard = pane->standardChimesets();
    auto* box = pane->mainView()->findChildren<QComboBox*>().value(1); // :15
    ASSERT_TRUE(box);
    const QVariantMap chimes = pane->sound15min();

    // Picking "Custom..." opens the sheet on the pane's window with exactly the playable types.
    emit box->activated(box->count() - 1);
    QFileDialog* panel = pane->customSoundPanel();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    EXPECT_EQ(panel->parentWidget(), pane->window());
    // The patterns as any file dialog applies them, case-sensitively: Bell.WAV is listed, notes.txt not.
    const QString filter = panel->nameFilters().value(0);
    ASSERT_TRUE(filter.startsWith("Sound files (") && filter.endsWith(')')) << filter.toStdString();
    const QStringList patterns = filter.section('(', 1).chopped(1).split(' ');
    const auto listed = [&patterns](const QString& name) {
        return std::any_of(patterns.cbegin(), patterns.cend(), [&name](const QString& pattern) {
            return QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern))
                .match(name)
                .hasMatch();
        });
    };
    for (const QString& type : platform::Sound::movieFileTypes()) {
        EXPECT_TRUE(listed("bell." + type)) << type.toStdString();
        EXPECT_TRUE(listed("Bell." + type.toUpper())) << type.toStdString();
    }
    EXPECT_FALSE(listed("notes.txt"));
    EXPECT_FALSE(listed("wav"));
    const int before = posted();
    panel->reject();
    EXPECT_EQ(pane->sound15min(), chimes);
    landed(*pane);
    EXPECT_EQ(posted(), before + 1); // the unchanged choice is written again

    const auto choose = [&](const QString& path) {
        platform::setValueForKey(pane.get(), standard.last(), "sound15min");
        pane->customSoundPanelDidEnd({path}, 1,
                                     {{PealixPref::contextKeyPath, QStringLiteral("sound15min")},
                                      {PealixPref::contextOldValue, pane->chimesets15().value(0)}});
    };
    const QString first = tone(QStringLiteral("first.wav"), 0.2);
    const QString second = tone(QStringLiteral("second.ogg"), 0.2);
    choose(first);
    EXPECT_EQ(pane->sound15min(), custom(first));
    EXPECT_EQ(box->currentText(), "first.wav");
    choose(second);
    QVariantList expected = standard;
    expected.insert(standard.size() - 1, custom(second));
    EXPECT_EQ(pane->chimesets15(), expected);
    EXPECT_EQ(pane->chimesets0(), standard);
    landed(*pane);
    EXPECT_EQ(stored(PrefKeys::chimeInfo).toList().value(1).toMap(),
              record(15, QStringLiteral("custom"), second));

    // Files without sound bring back the choice from before "Custom...".
    const QString silent = m_env.writeFile(QStringLiteral("notes.wav"), "not a sound");
    const QString empty = m_env.root() + QStringLiteral("/empty.wav");
    ASSERT_TRUE(writeTone(empty, 440, 0.0, 0.3));
    for (const QString& refused : {silent, empty, m_env.root(), QStringLiteral("/dev/zero")}) {
        platform::setValueForKey(pane.get(), standard.last(), "sound15min");
        pane->customSoundPanelDidEnd({refused}, 1,
                                     {{PealixPref::contextKeyPath, QStringLiteral("sound15min")},
                                      {PealixPref::contextOldValue, custom(second)}});
        EXPECT_EQ(pane->sound15min(), custom(second)) << refused.toStdString();
    }
    EXPECT_EQ(pane->chimesets15(), expected);
}

TEST_F(PealixPrefTest, a_cancelled_sheet_ends_the_flow_also_when_Custom_was_the_choice_before)
{
    const QString bundle = m_env.root() + QStringLiteral("/Empty.prefPane");
    ASSERT_TRUE(
        QDir().mkpath(bundle + QStringLiteral("/Contents/Resources/PealixTool.app/Contents/Resources")));
    auto pane = open(bundle);
    const QVariantMap customChoice{{QStringLiteral("setname"), QStringLiteral("Custom...")}};
    auto* box = pane->mainView()->findChildren<QComboBox*>().value(2); // :30
    ASSERT_TRUE(box);
    for (int round = 0; round < 2; ++round) {
        emit box->activated(0);
        QFileDialog* panel = pane->customSoundPanel();
        ASSERT_TRUE(panel);
        panel->reject();
        QTest::qWait(50);
        EXPECT_FALSE(pane->customSoundPanel()) << "the cancelled sheet came back";
        EXPECT_EQ(pane->sound30min(), customChoice);
        // A refused file ends it as well.
        pane->customSoundPanelDidEnd({m_env.writeFile(QStringLiteral("notes.wav"), "not a sound")}, 1,
                                     {{PealixPref::contextKeyPath, QStringLiteral("sound30min")},
                                      {PealixPref::contextOldValue, customChoice}});
        EXPECT_FALSE(pane->customSoundPanel());
    }
    landed(*pane);
    EXPECT_EQ(stored(PrefKeys::chimeInfo).toList().value(2).toMap(),
              record(30, QStringLiteral("Custom..."), PrefKeys::blankPath));
}

TEST_F(PealixPrefTest, preview_switches_quarters_follows_the_volume_and_stops_at_its_end)
{
    auto pane = open();
    const QString shortTone = tone(QStringLiteral("short.wav"), 0.3);
    const QString longTone = tone(QStringLiteral("long.wav"), 3.0);
    platform::setValueForKey(pane.get(), custom(shortTone), "sound0min");
    platform::setValueForKey(pane.get(), custom(longTone), "sound30min");
    platform::setValueForKey(pane.get(), false, "chime30"); // a quarter that is off still previews
    QAbstractButton* at0 = pane->previewButtonForMinute(0);
    QAbstractButton* at30 = pane->previewButtonForMinute(30);

    at30->click();
    ASSERT_TRUE(pane->currentPreview());
    EXPECT_EQ(pane->currentPreview()->path(), longTone);
    EXPECT_TRUE(at30->isChecked());
    EXPECT_FLOAT_EQ(pane->currentPreview()->volume(), 0.7f);
    control<QSlider>(*pane, "Volume")->setValue(25);
    EXPECT_FLOAT_EQ(pane->currentPreview()->volume(), 0.25f);
    landed(*pane);
    EXPECT_EQ(stored(PrefKeys::chimeVolume).toLongLong(), 25);

    at0->click();
    EXPECT_FALSE(at30->isChecked());
    ASSERT_TRUE(pane->currentPreview());
    EXPECT_EQ(pane->currentPreview()->path(), shortTone);
    EXPECT_TRUE(at0->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !at0->isChecked(); }, 5000));
    EXPECT_EQ(pane->currentPreview(), nullptr);

    // A shipped melody plays until the same button is clicked again.
    QAbstractButton* at15 = pane->previewButtonForMinute(15);
    at15->click();
    ASSERT_TRUE(pane->currentPreview());
    EXPECT_TRUE(pane->currentPreview()->path().startsWith(pane->agentResourcePath() + "/Chimes.pealix/"));
    at15->click();
    EXPECT_FALSE(at15->isChecked());
    EXPECT_EQ(pane->currentPreview(), nullptr);
}

TEST_F(PealixPrefTest, hostile_settings_files_open_without_crash_or_hang)
{
    const QString fifo = m_env.root() + QStringLiteral("/fifo.wav");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    QVariantList many;
    for (int i = 0; i < 10000; ++i)
        many << record((i % 4) * 15, i % 3 ? QStringLiteral("custom") : QStringLiteral("Chimes"),
                       QStringLiteral("/tmp/%1.wav").arg(i));
    QVariantList apps;
    for (int i = 0; i < 10000; ++i)
        apps << QVariantMap{{PrefKeys::bundleIdentifier, QStringLiteral("org.example.App%1").arg(i)}};
    // Each alias names a deleted file, whose search would take its full time on its own.
    const QString deleted = m_env.writeFile(QStringLiteral("home/Gone.desktop"), "x");
    const QByteArray alias = OFAlias::initWithPath(deleted)->data();
    QFile::remove(deleted);
    QVariantList gone;
    for (int i = 0; i < 10000; ++i)
        gone << QVariantMap{{PrefKeys::alias, alias}};
    const QList<QVariantMap> files = {
        {{PrefKeys::chimeInfo, QStringLiteral("text")},
         {PrefKeys::chimeVolume, QStringLiteral("loud")},
         {PrefKeys::pealixActive, QVariantList{1}},
         {PrefKeys::pealixMenuActive, QVariantMap{}},
         {PrefKeys::excluded, 5}},
        {{PrefKeys::chimeInfo,
          QVariantList{
              5, QVariantMap{}, QVariantMap{{PrefKeys::minute, QStringLiteral("15")}},
              QVariantMap{{PrefKeys::minute, 15}, {PrefKeys::set, 3}, {PrefKeys::path, QVariantMap{}}}}},
         {PrefKeys::excluded, QVariantList{QByteArray("x"), QVariantMap{{PrefKeys::alias, 1}}}}},
        {{PrefKeys::chimeInfo, many}, {PrefKeys::excluded, apps}},
        {{PrefKeys::excluded, gone}},
        {{PrefKeys::chimeInfo, QVariantList{record(0, QStringLiteral("custom"), fifo),
                                            record(15, QStringLiteral("custom"), m_env.root()),
                                            record(30, QStringLiteral("custom"), QStringLiteral("/dev/zero")),
                                            record(45, QStringLiteral("custom"), QString())}}},
    };
    for (const QVariantMap& values : files) {
        QFile::remove(platform::Preferences(PrefKeys::domain).filePath());
        storeSettings(values);
        QElapsedTimer clock;
        clock.start();
        auto pane = open(paneBundleDir(), false);
        for (int minute : {0, 15, 30, 45}) {
            pane->previewButtonForMinute(minute)->click();
            pane->previewButtonForMinute(minute)->click();
        }
        EXPECT_LT(clock.elapsed(), openingBoundMs);
        landed(*pane);
        EXPECT_EQ(stored(PrefKeys::chimeInfo).toList().size(), 4);
        EXPECT_LE(pane->chimesets45().size(), pane->standardChimesets().size() + 1);
    }
    EXPECT_EQ(stored(PrefKeys::excluded).toList().size(), 0);

    // A file that does not parse is kept aside, not overwritten.
    const QString path = platform::Preferences(PrefKeys::domain).filePath();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("<plist><dict><key>com.quorlenvik.pealix.chimevolume</key>");
    file.close();
    // The window does not wait for it to become whole; it is moved aside a little later.
    auto reopened = open(paneBundleDir(), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return reopened->changesSaved(); }, openingBoundMs));
    const QStringList aside = QFileInfo(path).dir().entryList({QFileInfo(path).fileName() + ".corrupt-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(stored(PrefKeys::chimeVolume).toLongLong(), 70);
}

} // namespace

namespace {

// In the test's own pid namespace every agent seen is one the test started. A child an agent has forked
// and not yet replaced by its program bears the agent's name for a moment; it is no agent.
QList<int> runningAgents()
{
    const QList<int> named =
        NSWorkspaceProcessInfo::pidsForProcessesWithCommand(QStringLiteral("PealixTool"));
    QList<int> agents;
    for (int pid : named) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        const QByteArray fields = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
        const int parent = fields.mid(fields.lastIndexOf(')') + 2).split(' ').value(1).toInt();
        if (!named.contains(parent))
            agents.append(pid);
    }
    return agents;
}

QStringList loginItemPaths()
{
    QStringList paths;
    for (const QVariant& item : QXLoginItemRegistry::allLoginItems().value_or(QVariantList()))
        paths << item.toMap().value(QStringLiteral("URL")).toUrl().toLocalFile();
    return paths;
}

QString desktopEntry(const TestEnvironment& env, const QString& relative, const QString& name)
{
    return env.writeFile(QStringLiteral("data/applications/") + relative,
                         "[Desktop Entry]\nType=Application\nName=" + name.toUtf8() +
                             "\nExec=/bin/true\nIcon=no-such-icon-here\n");
}

QString bundle(const TestEnvironment& env, const QString& relative, const QString& identifier)
{
    QByteArray info = "<plist><dict>";
    if (!identifier.isEmpty())
        info += "<key>CFBundleIdentifier</key><string>" + identifier.toUtf8() + "</string>";
    info += "</dict></plist>";
    return QFileInfo(env.writeFile(relative + QStringLiteral("/Contents/Info.plist"), info))
        .dir()
        .absolutePath()
        .chopped(int(QStringLiteral("/Contents").size()));
}

std::unique_ptr<QMimeData> uriList(const QStringList& paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

QStringList storedIdentifiers()
{
    platform::Preferences domain(PrefKeys::domain);
    domain.synchronize();
    QStringList ids;
    for (const QVariant& record : domain.copyValue(PrefKeys::excluded).toList())
        ids << record.toMap().value(PrefKeys::bundleIdentifier, QStringLiteral("(none)")).toString();
    return ids;
}

} // namespace

TEST_F(PealixPrefTest, chimes_on_leaves_one_hidden_item_and_one_agent_and_off_ends_every_agent)
{
    auto pane = open();
    const QString agent = pane->bundle().pathForAuxiliaryExecutable(QStringLiteral("PealixTool.app"));
    // Items of older installations, one with other letters in front of the agent's name.
    for (const char* stale : {"old/PealixTool.app", "older/MyPealixTool.app"}) {
        const QString path = m_env.root() + '/' + QLatin1String(stale);
        m_env.writeFile(QLatin1String(stale) + QStringLiteral("/Contents/Info.plist"),
                        "<plist><dict><key>CFBundleExecutable</key><string>run</string></dict></plist>");
        QFile::setPermissions(
            m_env.writeFile(QLatin1String(stale) + QStringLiteral("/Contents/Linux/run"), "#!/bin/sh\n"),
            QFile::ReadOwner | QFile::ExeOwner);
        ASSERT_TRUE(QXLoginItemRegistry::addLoginItemWithPath(path, true));
    }
    const int before = posted();

    setValueForKey(pane.get(), true, "pealixActive");
    EXPECT_EQ(loginItemPaths(), QStringList{agent + '/'});
    EXPECT_EQ(QXLoginItemRegistry::allLoginItems()->at(0).toMap().value(QStringLiteral("Hidden")), true);
    ASSERT_TRUE(QTest::qWaitFor([] { return runningAgents().size() == 1; }, 10000));
    landed(*pane);
    EXPECT_EQ(stored(PrefKeys::pealixActive), true);
    EXPECT_EQ(posted(), before + 1);

    // On again while it runs: the item is renewed, the agent left alone.
    const QList<int> running = runningAgents();
    setValueForKey(pane.get(), true, "pealixActive");
    QTest::qWait(500);
    EXPECT_EQ(runningAgents(), running);
    EXPECT_EQ(loginItemPaths(), QStringList{agent + '/'});

    // Off with agents of another installation running, one started from a terminal with another runtime
    // folder and one from a session without any: all end, no agent item stays.
    const QString other = m_env.root() + QStringLiteral("/other/PealixTool");
    QDir().mkpath(QFileInfo(other).path());
    QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), other);
    QProcess others[2];
    for (int i = 0; i < 2; ++i) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (i == 0)
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_env.root());
        else
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        others[i].setProcessEnvironment(environment);
        others[i].start(other, {QStringLiteral("60")});
        ASSERT_TRUE(others[i].waitForStarted());
    }
    ASSERT_TRUE(QTest::qWaitFor([] { return runningAgents().size() == 3; }, 5000));
    setValueForKey(pane.get(), false, "pealixActive");
    for (QProcess& process : others)
        EXPECT_TRUE(process.state() == QProcess::NotRunning || process.waitForFinished(5000));
    EXPECT_TRUE(QTest::qWaitFor([] { return runningAgents().isEmpty(); }, 5000));
    EXPECT_TRUE(loginItemPaths().isEmpty());
    landed(*pane);
    EXPECT_EQ(stored(PrefKeys::pealixActive), false);
}

TEST_F(PealixPrefTest, an_entry_is_added_once_hidden_from_the_panel_and_removed_to_an_empty_list)
{
    const QString entry =
        desktopEntry(m_env, QStringLiteral("org.example/Editor.desktop"), QStringLiteral("Editor"));
    auto pane = open();
    QPushButton* remove = pane->removeApplicationButton();
    ASSERT_TRUE(remove);
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_TRUE(pane->panelShouldShowFilename(nullptr, entry));
    const int before = posted();

    pane->excludeAppAtPath(entry);
    pane->excludeAppAtPath(entry);
    landed(*pane);
    EXPECT_EQ(posted(), before + 1) << "the second addition changes nothing";
    EXPECT_EQ(storedIdentifiers(), QStringList{QStringLiteral("org.example-Editor")})
        << "the desktop-file ID";
    ASSERT_EQ(pane->excludedApplicationsDisplay().size(), 1);
    EXPECT_EQ(pane->excludedApplicationsDisplay()[0].toMap().value(PealixPref::displayNameKey),
              QStringLiteral("Editor"));
    EXPECT_FALSE(
        pane->excludedApplicationsDisplay()[0].toMap().value(PealixPref::iconKey).value<QIcon>().isNull());
    EXPECT_FALSE(pane->panelShouldShowFilename(nullptr, entry));

    // The panel opens on the computer's applications and lists only applications that are not listed.
    pane->addApplication();
    QFileDialog* panel = pane->addApplicationPanel();
    ASSERT_TRUE(panel);
    QAbstractProxyModel* filter = panel->proxyModel();
    ASSERT_TRUE(filter);
    auto* files = qobject_cast<QFileSystemModel*>(filter->sourceModel());
    ASSERT_TRUE(files);
    m_env.writeFile(QStringLiteral("data/applications/org.example/notes.txt"), "x");
    desktopEntry(m_env, QStringLiteral("org.example/Other.desktop"), QStringLiteral("Other"));
    const QModelIndex folder = files->setRootPath(QFileInfo(entry).path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return files->rowCount(folder) == 3; }, 5000));
    const auto shown = [&] {
        QStringList names;
        const QModelIndex root = filter->mapFromSource(folder);
        for (int row = 0; row < filter->rowCount(root); ++row)
            names << filter->index(row, 0, root).data().toString();
        names.sort();
        return names;
    };
    EXPECT_EQ(shown(), QStringList{QStringLiteral("Other.desktop")});
    panel->reject();
    EXPECT_FALSE(pane->addApplicationPanel());
    EXPECT_EQ(pane->excludedApplicationsDisplay().size(), 1) << "a cancelled panel adds nothing";

    QTableView* table = pane->excludedApplicationsTable();
    EXPECT_GE(table->verticalHeader()->defaultSectionSize(), 32);
    table->selectRow(0);
    EXPECT_TRUE(remove->isEnabled());
    QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_FALSE(remove->isEnabled());
    landed(*pane);
    EXPECT_EQ(stored(PrefKeys::excluded), QVariantList()) << "an empty array, not an absent key";
    EXPECT_TRUE(pane->excludedApplicationPaths().isEmpty());
    EXPECT_TRUE(pane->panelShouldShowFilename(nullptr, entry));
    pane->addApplication();
    filter = pane->addApplicationPanel()->proxyModel();
    files = qobject_cast<QFileSystemModel*>(filter->sourceModel());
    const QModelIndex again = files->setRootPath(QFileInfo(entry).path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return files->rowCount(again) == 3; }, 5000));
    QStringList names;
    const QModelIndex root = filter->mapFromSource(again);
    for (int row = 0; row < filter->rowCount(root); ++row)
        names << filter->index(row, 0, root).data().toString();
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("Editor.desktop"), QStringLiteral("Other.desktop")}));
}

TEST_F(PealixPrefTest, a_drop_adds_only_application_files_in_order_and_upper_case_is_accepted_but_not_added)
{
    const QString entry = desktopEntry(m_env, QStringLiteral("Player.desktop"), QStringLiteral("Player"));
    const QString app =
        bundle(m_env, QStringLiteral("Apps/Viewer.app"), QStringLiteral("org.example.viewer"));
    const QString anonymous = bundle(m_env, QStringLiteral("Apps/Anonymous.app"), QString());
    const QString upper = bundle(m_env, QStringLiteral("Apps/LOUD.APP"), QStringLiteral("org.example.loud"));
    const QString notes = m_env.writeFile(QStringLiteral("notes.txt"), "x");
    // A plain file keeps its information list in its resource fork.
    const QString legacy = m_env.writeFile(QStringLiteral("Apps/Legacy.app"), "x");
    ASSERT_TRUE(JVResourceForkData::writeToResourceForkFile(
        "<plist><dict><key>CFBundleIdentifier</key><string>org.example.legacy</string></dict></plist>",
        legacy, fourCharCode("plst"), 0, QString()));
    const QString forkless = m_env.writeFile(QStringLiteral("Apps/Forkless.app"), "x");
    auto pane = open();
    QTableView* table = pane->excludedApplicationsTable();

    auto drag = uriList({upper});
    EXPECT_EQ(pane->tableViewValidateDrop(table, drag.get(), 0, Qt::MoveAction), Qt::CopyAction);
    EXPECT_TRUE(pane->tableViewAcceptDrop(table, drag.get(), 0, Qt::CopyAction));
    EXPECT_EQ(storedIdentifiers(), QStringList());
    EXPECT_EQ(pane->tableViewValidateDrop(table, uriList({notes}).get(), 0, Qt::CopyAction),
              Qt::IgnoreAction);

    const int before = posted();
    drag = uriList({app, notes, entry, upper, anonymous, legacy, forkless, app});
    // Dropped on the first row, added at the end all the same.
    EXPECT_TRUE(pane->tableViewAcceptDrop(table, drag.get(), 0, Qt::CopyAction));
    landed(*pane);
    EXPECT_EQ(storedIdentifiers(),
              (QStringList{QStringLiteral("org.example.viewer"), QStringLiteral("Player"),
                           QStringLiteral("(none)"), QStringLiteral("org.example.legacy")}));
    // One save asked per addition; one still waiting gives way to the newest.
    const int posts = posted() - before;
    EXPECT_GE(posts, 1);
    EXPECT_LE(posts, 4);
    EXPECT_EQ(pane->excludedApplicationsDisplay()[0].toMap().value(PealixPref::displayNameKey),
              QStringLiteral("Viewer"));
    EXPECT_EQ(pane->excludedApplicationsDisplay().size(), pane->excludedApplicationsPrefs().size());
    EXPECT_EQ(pane->excludedApplicationPaths().size(), pane->excludedApplicationsPrefs().size());
    // The record without an identifier is stored as it is and matches nothing.
    const auto anonymousRecord = ExcludedApplication::fromValue(stored(PrefKeys::excluded).toList().value(2));
    ASSERT_TRUE(anonymousRecord);
    EXPECT_FALSE(anonymousRecord->bundleIdentifier);
    EXPECT_TRUE(anonymousRecord->alias);
}

TEST_F(PealixPrefTest, a_moved_and_a_renamed_entry_are_found_at_the_next_read_and_a_deleted_one_stays_greyed)
{
    const QString moving = desktopEntry(m_env, QStringLiteral("Mover.desktop"), QStringLiteral("Mover"));
    const QString renaming =
        desktopEntry(m_env, QStringLiteral("Renamer.desktop"), QStringLiteral("Renamer"));
    const QString deleted = desktopEntry(m_env, QStringLiteral("Gone.desktop"), QStringLiteral("Gone"));
    {
        auto pane = open();
        for (const QString& path : {moving, renaming, deleted})
            pane->excludeAppAtPath(path);
    }
    const QVariantList records = stored(PrefKeys::excluded).toList();
    const QString moved = m_env.root() + QStringLiteral("/home/Desktop/Mover.desktop");
    QDir().mkpath(QFileInfo(moved).path());
    ASSERT_TRUE(QFile::rename(moving, moved));
    const QString renamed = QFileInfo(renaming).path() + QStringLiteral("/Renamed.desktop");
    ASSERT_TRUE(QFile::rename(renaming, renamed));
    QFile named(renamed);
    ASSERT_TRUE(named.open(QIODevice::WriteOnly | QIODevice::Append));
    named.write("Name[xx]=ignored\n");
    named.close();
    ASSERT_TRUE(QFile::remove(deleted));

    auto pane = open();
    EXPECT_EQ(pane->excludedApplicationPaths(), (QVariantList{moved, renamed, QString()}));
    const QVariantList display = pane->excludedApplicationsDisplay();
    ASSERT_EQ(display.size(), 3);
    EXPECT_EQ(display[1].toMap().value(PealixPref::displayNameKey), QStringLiteral("Renamer"));
    EXPECT_FALSE(pane->panelShouldShowFilename(nullptr, moved));
    EXPECT_TRUE(pane->panelShouldShowFilename(nullptr, moving));
    QAbstractItemModel* model = pane->excludedApplicationsTable()->model();
    EXPECT_EQ(model->index(2, 1).data().toString(), QStringLiteral("Gone"));
    EXPECT_TRUE(model->index(2, 1).data(Qt::ToolTipRole).toString().contains(QStringLiteral("not found")));
    EXPECT_NE(model->index(2, 1).data(Qt::ForegroundRole), model->index(0, 1).data(Qt::ForegroundRole));
    EXPECT_EQ(stored(PrefKeys::excluded).toList(), records) << "the stored records are kept as they were";
}

TEST_F(PealixPrefTest, update_request_starts_one_agent_with_u_when_off_and_only_posts_when_on)
{
    auto pane = open();
    int requests = 0;
    QObject listener;
    platform::DistributedNotificationCenter::defaultCenter()->addObserver(
        &listener, PrefKeys::updateCheckNotification, [&requests](const QString&) { ++requests; });

    // Off: one agent that only checks, and quits by itself.
    QSet<QString> seen;
    pane->checkForUpdates();
    QElapsedTimer since;
    since.start();
    bool ended = false;
    while (since.elapsed() < 10000 && !ended) {
        const QList<int> agents = runningAgents();
        for (int pid : agents) {
            // A process that is ending has no command line any more.
            QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
            const QByteArray arguments = cmdline.open(QIODevice::ReadOnly) ? cmdline.readAll() : QByteArray();
            if (!arguments.isEmpty())
                seen.insert(QString::number(pid) + ':' + QString::fromUtf8(arguments.split('\0').value(1)));
        }
        ended = !seen.isEmpty() && agents.isEmpty();
        QTest::qWait(5);
    }
    EXPECT_TRUE(ended);
    ASSERT_EQ(seen.size(), 1) << QStringList(seen.cbegin(), seen.cend()).join(' ').toStdString();
    EXPECT_TRUE(seen.begin()->endsWith(QStringLiteral(":-u")));
    EXPECT_EQ(requests, 0);

    // On: the running agent is asked, once, and nothing else starts.
    setValueForKey(pane.get(), true, "pealixActive");
    ASSERT_TRUE(QTest::qWaitFor([] { return runningAgents().size() == 1; }, 10000));
    const QList<int> running = runningAgents();
    pane->checkForUpdates();
    posted();
    QTest::qWait(300);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(runningAgents(), running);
    setValueForKey(pane.get(), false, "pealixActive");
    EXPECT_TRUE(QTest::qWaitFor([] { return runningAgents().isEmpty(); }, 5000));
}

TEST_F(PealixPrefTest, the_help_names_each_page_and_control_as_the_window_shows_them)
{
    auto pane = open();
    pane->showHelp();
    QLabel* text = nullptr;
    for (QLabel* label : pane->helpWindow()->findChildren<QLabel*>())
        if (label->text().contains("<p>"))
            text = label;
    ASSERT_TRUE(text);
    AnimatingTabView* tabs = pane->tabView();
    const auto page = [tabs](const QString& title) -> QWidget* {
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i).remove('&') == title)
                return tabs->widget(i);
        return nullptr;
    };
    // A control is named by its accessible name, or by its first words where each quarter has one.
    const auto found = [](QWidget* on, const QString& name) {
        for (QWidget* widget : on->findChildren<QWidget*>()) {
            if (widget->accessibleName() == name || widget->accessibleName().startsWith(name + ' '))
                return true;
            if (auto* box = qobject_cast<QComboBox*>(widget); box && box->findText(name) != -1)
                return true;
        }
        return false;
    };
    QStringList described;
    static const QRegularExpression paragraph("<p><b>([^<]+)</b>(.*?)</p>");
    static const QRegularExpression control("<i>([^<]+)</i>");
    for (auto p = paragraph.globalMatch(text->text()); p.hasNext();) {
        const auto match = p.next();
        QWidget* on = page(match.captured(1));
        ASSERT_TRUE(on) << "no page " << match.captured(1).toStdString();
        described << match.captured(1);
        for (auto c = control.globalMatch(match.captured(2)); c.hasNext();) {
            const QString name = c.next().captured(1);
            EXPECT_TRUE(found(on, name))
                << name.toStdString() << " is not on " << match.captured(1).toStdString();
        }
    }
    QStringList pages;
    for (int i = 0; i < tabs->count(); ++i)
        pages << tabs->tabText(i).remove('&');
    EXPECT_EQ(described, pages);
}

TEST_F(PealixPrefTest, help_sheet_shows_the_bundles_version_line_each_time_and_closes)
{
    const QString bundle = m_env.root() + QStringLiteral("/Copy.prefPane");
    auto info = [&](const QByteArray& version) {
        m_env.writeFile(QStringLiteral("Copy.prefPane/Contents/Info.plist"),
                        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                        "<key>NSPrefPaneIconLabel</key><string>Pealix</string>"
                        "<key>CFBundleShortVersionString</key><string>" +
                            version +
                            "</string>"
                            "<key>CFBundleVersion</key><string>42</string></dict></plist>");
    };
    info("1.0");
    auto pane = open(bundle);
    QWidget window;
    pane->mainView()->setParent(&window);
    window.show();
    pane->showHelp();
    ASSERT_TRUE(pane->helpWindow());
    EXPECT_TRUE(pane->helpWindow()->isVisible());
    EXPECT_EQ(pane->helpWindow()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(pane->helpWindowVersionAndCopyright()->text(), QStringLiteral("Pealix 1.0 (42), (null)"));
    pane->hideHelp();
    EXPECT_FALSE(pane->helpWindow()->isVisible());

    info("1.1");
    pane = open(bundle);
    pane->showHelp();
    pane->showHelp();
    EXPECT_EQ(pane->helpWindowVersionAndCopyright()->text(), QStringLiteral("Pealix 1.1 (42), (null)"));

    // The shipped bundle has every entry.
    auto shipped = open();
    shipped->showHelp();
    EXPECT_FALSE(shipped->helpWindowVersionAndCopyright()->text().contains(QStringLiteral("(null)")));
}

TEST_F(PealixPrefTest, choose_a_sound_starts_in_the_last_folder_chosen_else_the_music_folder_else_home)
{
    auto pane = open();
    const auto startFolder = [&pane] {
        auto* box = pane->mainView()->findChildren<QComboBox*>().value(1); // :15
        emit box->activated(box->findText(PealixPref::customChoiceName));
        QFileDialog* panel = pane->customSoundPanel();
        const QString folder =
            panel ? QDir(panel->directory()).canonicalPath() : QStringLiteral("<no sheet>");
        if (panel)
            panel->reject();
        return folder;
    };
    const QString home = QDir::homePath();
    EXPECT_EQ(startFolder(), QDir(home).canonicalPath()) << "not the folder the program started in";
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/Music")));
    EXPECT_EQ(startFolder(), QDir(home + QStringLiteral("/Music")).canonicalPath());

    ASSERT_TRUE(QDir().mkpath(m_env.root() + QStringLiteral("/sounds")));
    const QString bell = tone(QStringLiteral("sounds/bell.wav"), 0.2);
    platform::setValueForKey(pane.get(), pane->standardChimesets().last(), "sound15min");
    pane->customSoundPanelDidEnd({bell}, 1,
                                 {{PealixPref::contextKeyPath, QStringLiteral("sound15min")},
                                  {PealixPref::contextOldValue, pane->chimesets15().value(0)}});
    ASSERT_EQ(pane->sound15min(), custom(bell));
    const QString sounds = QDir(m_env.root() + QStringLiteral("/sounds")).canonicalPath();
    EXPECT_EQ(startFolder(), sounds);
    // The next opening remembers it through the stored sound, once that has landed.
    landed(*pane);
    pane = open();
    EXPECT_EQ(startFolder(), sounds);
}

TEST_F(PealixPrefTest, about_page_reads_version_what_pealix_is_copyright_and_the_installed_licence)
{
    auto pane = open();
    QWidget* about = pane->versionInfo()->parentWidget();
    QStringList texts;
    for (QLabel* label : about->findChildren<QLabel*>())
        texts << label->text();
    EXPECT_EQ(texts.value(0), QStringLiteral("Pealix %1").arg(QStringLiteral(PEALIX_TEST_VERSION)));
    EXPECT_TRUE(texts.value(1).contains(QStringLiteral("clock chime"))) << texts.value(1).toStdString();
    EXPECT_EQ(texts.value(2), QStringLiteral("Copyright © 2026 The Pealix developers"));
    EXPECT_TRUE(texts.value(3).contains(QStringLiteral("GNU General Public License, version 3 or later")));
    QFile licence(pane->licencePath());
    ASSERT_TRUE(licence.open(QIODevice::ReadOnly)) << pane->licencePath().toStdString();
    EXPECT_TRUE(licence.read(400).contains("GNU GENERAL PUBLIC LICENSE"));
}

TEST_F(PealixPrefTest, a_maximised_window_keeps_the_pages_at_a_readable_width_in_the_middle)
{
    auto pane = open();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pane->mainView());
    window.resize(2400, 900);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect pages(pane->tabView()->mapTo(pane->mainView(), QPoint(0, 0)), pane->tabView()->size());
    const int em = window.fontMetrics().horizontalAdvance(QLatin1Char('M'));
    EXPECT_LE(pages.width(), 60 * em);
    EXPECT_GE(pages.width(), pane->tabView()->minimumSizeHint().width());
    const int left = pages.left();
    const int right = pane->mainView()->width() - pages.right() - 1;
    EXPECT_LE(std::abs(left - right), 2) << left << " " << right;
}

TEST_F(PealixPrefTest, the_silence_boxes_show_the_stored_choices_and_save_only_what_differs_from_the_default)
{
    storeSettings({{PrefKeys::silentDoNotDisturb, false}, {PrefKeys::silentLocked, true}});
    auto pane = open();
    QCheckBox* dnd = control<QCheckBox>(*pane, "While Do Not Disturb is on");
    QCheckBox* microphone = control<QCheckBox>(*pane, "While the microphone is in use");
    QCheckBox* fullScreen = control<QCheckBox>(*pane, "While a full-screen window is focused");
    QCheckBox* locked = control<QCheckBox>(*pane, "While the screen is locked");
    ASSERT_TRUE(dnd && microphone && fullScreen && locked);
    EXPECT_FALSE(dnd->isChecked());
    EXPECT_TRUE(microphone->isChecked());
    EXPECT_FALSE(fullScreen->isChecked());
    EXPECT_TRUE(locked->isChecked());

    const int before = posted();
    microphone->click();
    dnd->click();
    landed(*pane);
    EXPECT_GE(posted(), before + 1);
    EXPECT_EQ(stored(PrefKeys::silentMicrophone), QVariant(false));
    EXPECT_FALSE(stored(PrefKeys::silentDoNotDisturb).isValid());
    EXPECT_EQ(stored(PrefKeys::silentLocked), QVariant(true));
    EXPECT_FALSE(stored(PrefKeys::silentFullScreen).isValid());
}
