// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Quiet Hours page driven by its accessible names, a file of thousands of ranges, and the line on the
// Chimes page that says when the next chime sounds.

#include "pane/PealixPref.h"
#include "platform/bindings/KeyValueCoding.h"
#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/settings/Preferences.h"
#include "shared/PrefKeys.h"
#include "support/NSWorkspaceProcessInfo.h"
#include "testsupport/PostedUpdates.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/PrivatePids.h"
#include "testsupport/TestClock.h"
#include "testsupport/TestEnvironment.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <QTimeEdit>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Chimes on starts an agent, and off stops every agent of the user: only those of this program may be seen.
const bool privatePids = PrivatePids::enter();
PrivateBus* const& bus = PrivateBus::forProgram();

const QString sentinel = QStringLiteral("org.example.quiet-hours-test.sentinel");

#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 boundMs = 20000;
#else
constexpr qint64 boundMs = 5000;
#endif

QVariantMap range(const QList<int>& days, int start, int end)
{
    QVariantList dayList;
    for (int day : days)
        dayList << qint64(day);
    return {{PrefKeys::quietDays, dayList},
            {PrefKeys::quietStart, qint64(start)},
            {PrefKeys::quietEnd, qint64(end)}};
}

QString shortTime(int hour, int minute)
{
    return QLocale().toString(QTime(hour, minute), NextChime::timeFormat());
}

class QuietHoursPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!privatePids)
            GTEST_SKIP() << "no pid namespace of its own: the pane would stop the agents of the user";
        ASSERT_TRUE(bus && bus->isRunning());
        m_updates.start();
    }
    int posted() { return m_updates.count(); }
    static std::unique_ptr<PealixPref> open()
    {
        auto pane = std::make_unique<PealixPref>(platform::Bundle(paneBundleDir()));
        pane->loadMainView();
        pane->mainViewDidLoad();
        return pane;
    }
    static QVariant stored(const QString& key)
    {
        platform::Preferences domain(PrefKeys::domain);
        domain.synchronize();
        return domain.copyValue(key);
    }
    static QVariant saved(const PealixPref& pane, const QString& key)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return pane.changesSaved(); }, boundMs))
            << "a save that never lands";
        return stored(key);
    }
    template <typename W> static W* find(PealixPref& pane, const QString& name)
    {
        for (W* widget : pane.mainView()->findChildren<W*>())
            if (widget->accessibleName() == name)
                return widget;
        return nullptr;
    }
    template <typename W> static W* control(PealixPref& pane, const QString& name)
    {
        W* widget = find<W>(pane, name);
        if (!widget)
            ADD_FAILURE() << "no control " << name.toStdString();
        return widget;
    }

    TestEnvironment m_env;
    PostedUpdates m_updates{sentinel};
};

QList<int> agents()
{
    QList<int> found;
    for (int pid : NSWorkspaceProcessInfo::pidsForProcessesWithCommand(QStringLiteral("PealixTool")))
        found.append(pid);
    return found;
}

} // namespace

TEST_F(QuietHoursPageTest, each_edit_writes_both_keys_in_one_save_and_the_last_removal_leaves_neither)
{
    auto pane = open();
    EXPECT_FALSE(saved(*pane, PrefKeys::quietHours).isValid()) << "no quiet hours, no key";
    int posts = posted();
    // One edit, one save that lands with one notification, and the keys as they are then.
    const auto edit = [&](const std::function<void()>& action, const QVariant& ranges,
                          const QVariant& volume) {
        action();
        EXPECT_EQ(saved(*pane, PrefKeys::quietHours), ranges);
        EXPECT_EQ(stored(PrefKeys::quietVolume), volume);
        EXPECT_EQ(posted(), ++posts);
    };
    const QVariantMap night = range({1, 2, 3, 4, 5, 6, 7}, 22 * 60, 7 * 60);
    auto* add = control<QPushButton>(*pane, QStringLiteral("Add quiet hours"));
    ASSERT_TRUE(add);
    edit([&] { add->click(); }, QVariantList{night}, qint64(0));
    auto* from = control<QTimeEdit>(*pane, QStringLiteral("Quiet hours 1 from"));
    ASSERT_TRUE(from);
    EXPECT_EQ(from->time(), QTime(22, 0));
    EXPECT_EQ(control<QTimeEdit>(*pane, QStringLiteral("Quiet hours 1 until"))->time(), QTime(7, 0));

    edit([&] { control<QToolButton>(*pane, QStringLiteral("Quiet hours 1 Sunday"))->click(); },
         QVariantList{range({1, 2, 3, 4, 5, 6}, 22 * 60, 7 * 60)}, qint64(0));
    edit([&] { control<QTimeEdit>(*pane, QStringLiteral("Quiet hours 1 until"))->setTime(QTime(6, 30)); },
         QVariantList{range({1, 2, 3, 4, 5, 6}, 22 * 60, 6 * 60 + 30)}, qint64(0));
    const QVariantMap weekend = range({6, 7}, 0, 0);
    edit([&] { add->click(); }, QVariantList{range({1, 2, 3, 4, 5, 6}, 22 * 60, 6 * 60 + 30), weekend},
         qint64(0));

    // From the tabs, Tab goes through the rows in the order shown, then the controls below them, although
    // the rows were made after those.
    const char* const englishDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                       "Friday", "Saturday", "Sunday"};
    QStringList expectedOrder;
    for (int row = 1; row <= 2; ++row) {
        for (int i = 0; i < 7; ++i)
            expectedOrder << QStringLiteral("Quiet hours %1 %2")
                                 .arg(row)
                                 .arg(englishDays[(int(QLocale().firstDayOfWeek()) - 1 + i) % 7]);
        expectedOrder << QStringLiteral("Quiet hours %1 from").arg(row)
                      << QStringLiteral("Quiet hours %1 until").arg(row)
                      << QStringLiteral("Remove quiet hours %1").arg(row);
    }
    expectedOrder << "Add quiet hours"
                  << "Stay silent during quiet hours"
                  << "Play quietly during quiet hours"
                  << "Quiet volume";
    QStringList order;
    QWidget* widget = pane->tabView()->tabBar();
    for (int steps = 0; steps < 2000 && order.size() < expectedOrder.size(); ++steps) {
        if (expectedOrder.contains(widget->accessibleName()) && !order.contains(widget->accessibleName()))
            order << widget->accessibleName();
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(order, expectedOrder);

    // Play quietly starts from a volume that can be heard, then follows its slider.
    auto* slider = control<QSlider>(*pane, QStringLiteral("Quiet volume"));
    ASSERT_TRUE(slider);
    EXPECT_FALSE(slider->isEnabled());
    const QVariant both = stored(PrefKeys::quietHours);
    edit([&] { control<QRadioButton>(*pane, QStringLiteral("Play quietly during quiet hours"))->click(); },
         both, qint64(QuietHoursPage::defaultPlayingVolume));
    EXPECT_TRUE(slider->isEnabled());
    edit([&] { slider->setValue(45); }, both, qint64(45));

    // The rows after a removed one move up and take its number.
    edit([&] { control<QPushButton>(*pane, QStringLiteral("Remove quiet hours 1"))->click(); },
         QVariantList{weekend}, qint64(45));
    EXPECT_EQ(control<QTimeEdit>(*pane, QStringLiteral("Quiet hours 1 from"))->time(), QTime(0, 0));
    EXPECT_FALSE(find<QTimeEdit>(*pane, QStringLiteral("Quiet hours 2 from")));
    EXPECT_TRUE(control<QToolButton>(*pane, QStringLiteral("Quiet hours 1 Saturday"))->isChecked());
    EXPECT_FALSE(control<QToolButton>(*pane, QStringLiteral("Quiet hours 1 Monday"))->isChecked());

    edit([&] { control<QRadioButton>(*pane, QStringLiteral("Stay silent during quiet hours"))->click(); },
         QVariantList{weekend}, qint64(0));
    edit([&] { control<QPushButton>(*pane, QStringLiteral("Remove quiet hours 1"))->click(); }, QVariant(),
         QVariant());

    // The next opening shows what was saved.
    edit([&] { add->click(); }, QVariantList{night}, qint64(0));
    pane = open();
    EXPECT_EQ(control<QTimeEdit>(*pane, QStringLiteral("Quiet hours 1 from"))->time(), QTime(22, 0));
    EXPECT_TRUE(control<QRadioButton>(*pane, QStringLiteral("Stay silent during quiet hours"))->isChecked());
}

TEST_F(QuietHoursPageTest, ten_thousand_ranges_open_in_bounded_time_and_those_not_shown_are_saved_unchanged)
{
    QVariantList ranges;
    for (int i = 0; i < 10000; ++i) {
        const int bits = i % 127 + 1;
        QList<int> days;
        for (int d = 1; d <= 7; ++d)
            if (bits & (1 << (d - 1)))
                days << d;
        ranges << range(days, (i * 7) % 1440, (i * 13) % 1440);
    }
    // Entries that are no range are left out; the rest of the file reads, and a volume that is no volume
    // is silence.
    QVariantList file = ranges;
    file.insert(3, QStringLiteral("junk"));
    file.insert(7, QVariantMap{{PrefKeys::quietDays, QStringLiteral("1")}, {PrefKeys::quietStart, 0}});
    file.insert(9, range({1}, 1440, 5));
    storeSettings(
        {{PrefKeys::quietHours, file}, {PrefKeys::quietVolume, 1e300}, {PrefKeys::chimeVolume, qint64(33)}});

    QElapsedTimer clock;
    clock.start();
    auto pane = open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return pane->changesSaved(); }, boundMs));
    EXPECT_LT(clock.elapsed(), boundMs);
    EXPECT_EQ(stored(PrefKeys::quietHours).toList(), ranges);
    EXPECT_EQ(stored(PrefKeys::chimeVolume), qint64(33));
    EXPECT_TRUE(control<QRadioButton>(*pane, QStringLiteral("Stay silent during quiet hours"))->isChecked());

    const int limit = QuietHoursPage::shownLimit;
    ASSERT_TRUE(find<QTimeEdit>(*pane, QStringLiteral("Quiet hours %1 from").arg(limit)));
    EXPECT_FALSE(find<QTimeEdit>(*pane, QStringLiteral("Quiet hours %1 from").arg(limit + 1)));
    bool noted = false;
    for (QLabel* label : pane->quietHoursPage()->findChildren<QLabel*>())
        noted = noted || (!label->isHidden() && label->text().contains(QLocale().toString(10000)));
    EXPECT_TRUE(noted) << "no word of the ranges not shown";

    // An edit of a shown row changes that range only.
    clock.restart();
    control<QToolButton>(*pane, QStringLiteral("Quiet hours 1 Sunday"))->click();
    QVariantList expected = ranges;
    expected[0] = range({1, 7}, 0, 0);
    EXPECT_EQ(saved(*pane, PrefKeys::quietHours).toList(), expected);
    EXPECT_LT(clock.elapsed(), boundMs);

    // A removal brings the first range not shown into the last row; an addition goes to the last row.
    control<QPushButton>(*pane, QStringLiteral("Remove quiet hours %1").arg(limit))->click();
    expected.removeAt(limit - 1);
    EXPECT_EQ(saved(*pane, PrefKeys::quietHours).toList(), expected);
    EXPECT_EQ(control<QTimeEdit>(*pane, QStringLiteral("Quiet hours %1 from").arg(limit))->time(),
              QTime(0, 0).addSecs(60 * ((limit * 7) % 1440)));
    control<QPushButton>(*pane, QStringLiteral("Add quiet hours"))->click();
    expected.insert(limit - 1, range({6, 7}, 0, 0));
    EXPECT_EQ(saved(*pane, PrefKeys::quietHours).toList(), expected);
    EXPECT_TRUE(
        control<QToolButton>(*pane, QStringLiteral("Quiet hours %1 Saturday").arg(limit))->isChecked());
}

TEST_F(QuietHoursPageTest,
       the_next_chime_line_names_the_end_of_silent_quiet_hours_and_moves_on_at_the_quarter)
{
    // Every quarter plays the melody and the hour strikes at :00 (the first opening's default), quiet every
    // night and all of the weekend. Friday 11 December 2026, 21:40.
    storeSettings({{PrefKeys::quietHours,
                    QVariantList{range({1, 2, 3, 4, 5, 6, 7}, 22 * 60, 7 * 60), range({6, 7}, 0, 0)}}});
    // The clock outlives the window's timer.
    TestClock clock(TestClock::local(2026, 12, 11, 21, 40, 0));
    auto pane = open();
    NextChimeLine* line = pane->nextChimeLine();
    ASSERT_TRUE(line);
    line->setClock(clock);
    EXPECT_EQ(line->text(), QStringLiteral("Chimes are off"));

    platform::setValueForKey(pane.get(), true, "pealixActive");
    EXPECT_EQ(line->text(), QStringLiteral("Next: %1, melody").arg(shortTime(21, 45)));
    clock.advanceTo(TestClock::local(2026, 12, 11, 21, 45, 0));
    EXPECT_EQ(line->text(), QStringLiteral("Next: %1 %2 (quiet until then)")
                                .arg(QLocale().dayName(1, QLocale::ShortFormat), shortTime(7, 0)));

    // Playing quietly, the next quarter plays at once, and the line follows the check boxes.
    control<QRadioButton>(*pane, QStringLiteral("Play quietly during quiet hours"))->click();
    EXPECT_EQ(line->text(), QStringLiteral("Next: %1, melody and strikes, quietly").arg(shortTime(22, 0)));
    control<QCheckBox>(*pane, QStringLiteral("Play melody at :00"))->click();
    EXPECT_EQ(line->text(), QStringLiteral("Next: %1, strikes, quietly").arg(shortTime(22, 0)));

    platform::setValueForKey(pane.get(), false, "pealixActive");
    EXPECT_EQ(line->text(), QStringLiteral("Chimes are off"));
    EXPECT_TRUE(QTest::qWaitFor([] { return agents().isEmpty(); }, 5000));
}

TEST(QuietHoursPageLocaleTest, the_days_start_the_week_where_the_locale_does_and_the_times_use_its_clock)
{
    const QLocale previous;
    struct Case {
        QLocale locale;
        QStringList days;
        QString firstTip;
        const char* from;
        // The ISO weekday of the first button.
        int firstDay;
    };
    const Case cases[] = {{QLocale(QLocale::German, QLocale::Germany),
                           {"Mo.", "Di.", "Mi.", "Do.", "Fr.", "Sa.", "So."},
                           "Montag",
                           "22:00",
                           1},
                          {QLocale(QLocale::English, QLocale::UnitedStates),
                           {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
                           "Sunday",
                           "10:00 PM",
                           7},
                          {QLocale(QLocale::French, QLocale::France),
                           {"lun.", "mar.", "mer.", "jeu.", "ven.", "sam.", "dim."},
                           "lundi",
                           "22:00",
                           1}};
    for (const Case& c : cases) {
        QLocale::setDefault(c.locale);
        QuietRange night;
        night.days = 0x7f;
        night.start = 22 * 60;
        night.end = 7 * 60;
        QuietHoursPage page;
        page.setValues({night}, 0);
        QStringList days;
        const QList<QToolButton*> toggles = page.findChildren<QToolButton*>();
        for (QToolButton* toggle : toggles)
            days << toggle->text();
        EXPECT_EQ(days, c.days) << c.locale.name().toStdString();
        ASSERT_EQ(toggles.size(), 7);
        EXPECT_EQ(toggles.first()->toolTip(), c.firstTip);
        const QList<QTimeEdit*> times = page.findChildren<QTimeEdit*>();
        ASSERT_EQ(times.size(), 2);
        EXPECT_EQ(times.first()->text().replace(QChar(0x202f), QLatin1Char(' ')), QLatin1String(c.from))
            << c.locale.name().toStdString();

        // The first button is the locale's first day, in what is saved too.
        toggles.first()->click();
        EXPECT_FALSE(page.ranges().first().hasDay(c.firstDay)) << c.locale.name().toStdString();
        EXPECT_EQ(page.ranges().first().days, 0x7f & ~(1 << (c.firstDay - 1)))
            << c.locale.name().toStdString();
    }
    QLocale::setDefault(previous);
}
