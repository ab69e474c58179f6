// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/AnimatingTabView.h"
#include "support/TabViewAnimation.h"
#include "support/TransitionFilter.h"

#include <QBuffer>
#include <QDataStream>
#include <QPainter>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <utility>

namespace {

constexpr double pi = 3.14159265358979323846;

QImage picture(QColor base, QColor mark, qreal ratio)
{
    QImage image((QSizeF(120, 80) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(base);
    QPainter(&image).fillRect(QRectF(10, 10, 20, 20), mark);
    return image;
}

int distance(QRgb a, QRgb b)
{
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

QRgb at(const QImage& image, qreal x, qreal y)
{
    const qreal r = image.devicePixelRatio();
    return image.pixel(int(x * r), int(y * r));
}

QImage frame(TransitionFilter& filter, qreal t)
{
    filter.setValue(t, QStringLiteral("inputTime"));
    return filter.outputImage();
}

// Pages of distinct colours, each with a small patch of its own, in a shown tab view.
class TabViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("PEALIX_REDUCED_MOTION", "0");
        const QColor colours[] = {Qt::darkBlue, Qt::darkGreen, Qt::darkRed};
        const char* titles[] = {"&Alpha", "&Beta", "&Gamma"};
        for (int i = 0; i < 3; ++i) {
            auto* page = new QWidget;
            page->setAutoFillBackground(true);
            QPalette p = page->palette();
            p.setColor(QPalette::Window, colours[i]);
            page->setPalette(p);
            auto* patch = new QWidget(page);
            patch->setGeometry(10, 10, 20, 20);
            patch->setAutoFillBackground(true);
            p.setColor(QPalette::Window, QColor(Qt::yellow).darker(100 + 40 * i));
            patch->setPalette(p);
            view.addTab(page, QString::fromLatin1(titles[i]));
        }
        view.setTransitionStyle(4);
        view.resize(320, 240);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    void TearDown() override { qunsetenv("PEALIX_REDUCED_MOTION"); }

    QRgb patchColour(int page) const
    {
        return view.widget(page)->findChild<QWidget*>()->palette().window().color().rgb();
    }

    AnimatingTabView view;
};

// Watches from inside the transition's event loop: records each transition, lets the test act within it,
// then ends it at once so that no test waits for the clock.
struct Seen {
    QString filter;
    int duration = 0;
    QVariantMap parameters;
    QList<int> visiblePages;
};

class TransitionProbe {
public:
    explicit TransitionProbe(AnimatingTabView& view) : _view(view)
    {
        QObject::connect(&_timer, &QTimer::timeout, [this] { tick(); });
        _timer.start(0);
    }
    std::vector<Seen> seen;
    std::function<void(TabViewAnimation&)> during;

private:
    void tick()
    {
        TabViewAnimation* animation = _view.animation();
        if (!animation || !_view.transitionFilter())
            return;
        Seen s{_view.transitionFilter()->name(),
               animation->duration(),
               _view.transitionFilter()->parameters(),
               {}};
        for (int i = 0; i < _view.count(); ++i)
            if (_view.widget(i)->isVisible())
                s.visiblePages << i;
        seen.push_back(s);
        if (during)
            during(*animation);
        animation->setCurrentTime(animation->duration());
    }
    AnimatingTabView& _view;
    QTimer _timer;
};

} // namespace

TEST(TransitionStyles, style_chooses_the_filter_and_sets_its_parameters_from_the_capture_rectangle)
{
    AnimatingTabView view;
    const QImage from = picture(Qt::blue, Qt::white, 1), to = picture(Qt::red, Qt::black, 1);
    const QRectF rect(0, 0, 120, 80);
    const QPointF centre(60, 40);
    const auto make = [&](int style, int fromIndex, int toIndex) {
        view.setTransitionStyle(style);
        view.createTransitionFilterForRect(rect, from, to, fromIndex, toIndex);
        TransitionFilter* f = view.transitionFilter();
        EXPECT_EQ(f->valueForKey("inputImage").value<QImage>(), from) << style;
        EXPECT_EQ(f->valueForKey("inputTargetImage").value<QImage>(), to) << style;
        return f;
    };
    TransitionFilter* f = make(0, 0, 1);
    EXPECT_EQ(f->name(), "CICopyMachineTransition");
    EXPECT_EQ(f->valueForKey("inputExtent").toRectF(), rect);
    f = make(1, 0, 1);
    EXPECT_EQ(f->name(), "CIDissolveTransition");
    f = make(2, 0, 1);
    EXPECT_EQ(f->name(), "CIFlashTransition");
    EXPECT_EQ(f->valueForKey("inputCenter").toPointF(), centre);
    EXPECT_EQ(f->valueForKey("inputExtent").toRectF(), rect);
    f = make(3, 0, 1);
    EXPECT_EQ(f->name(), "CIModTransition");
    EXPECT_EQ(f->valueForKey("inputCenter").toPointF(), centre);
    for (int style : {4, 5, -1}) {
        f = make(style, 0, 2);
        EXPECT_EQ(f->name(), "CISwipeTransition") << style;
        EXPECT_EQ(f->valueForKey("inputAngle").toDouble(), 0.0);
        EXPECT_EQ(f->valueForKey("inputWidth").toDouble(), 120.0);
    }
    EXPECT_NEAR(make(4, 2, 0)->valueForKey("inputAngle").toDouble(), pi, 1e-6);
    EXPECT_EQ(make(4, 2, 2)->valueForKey("inputAngle").toDouble(), 0.0);
    EXPECT_EQ(TransitionFilter::filterWithName("CIBlurTransition"), nullptr);
}

TEST(TransitionFilters, frames_run_from_the_old_picture_to_the_new_and_look_like_their_names)
{
    const QColor oldBase(20, 40, 160), newBase(230, 140, 30);
    for (qreal ratio : {1.0, 2.0}) {
        const QImage from = picture(oldBase, Qt::white, ratio), to = picture(newBase, Qt::black, ratio);
        for (const char* name : {"CICopyMachineTransition", "CIDissolveTransition", "CIFlashTransition",
                                 "CIModTransition", "CISwipeTransition"}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(ratio));
            auto filter = TransitionFilter::filterWithName(name);
            ASSERT_TRUE(filter);
            filter->setValue(from, "inputImage");
            filter->setValue(to, "inputTargetImage");
            filter->setValue(120.0, "inputWidth");
            EXPECT_EQ(frame(*filter, 0), from);
            EXPECT_EQ(frame(*filter, 1), to);
            EXPECT_EQ(frame(*filter, -0.5), from);
            EXPECT_EQ(frame(*filter, 7), to);
            const QImage middle = frame(*filter, 0.5);
            EXPECT_NE(middle, from);
            EXPECT_NE(middle, to);
        }

        const auto middleOf = [&](const char* name, QVariantMap extra = {}) {
            auto filter = TransitionFilter::filterWithName(name);
            filter->setValue(from, "inputImage");
            filter->setValue(to, "inputTargetImage");
            for (auto it = extra.cbegin(); it != extra.cend(); ++it)
                filter->setValue(it.value(), it.key());
            return frame(*filter, 0.5);
        };
        const QRgb o = oldBase.rgb(), n = newBase.rgb();
        const QRgb half =
            qRgb((qRed(o) + qRed(n)) / 2, (qGreen(o) + qGreen(n)) / 2, (qBlue(o) + qBlue(n)) / 2);
        EXPECT_LE(distance(at(middleOf("CIDissolveTransition"), 60, 40), half), 2);

        // A swipe as wide as the page: half way, the leading side is new and the trailing side old.
        const QImage forward = middleOf("CISwipeTransition", {{"inputWidth", 120.0}, {"inputAngle", 0.0}});
        EXPECT_LE(distance(at(forward, 0.5, 60), n), 8);
        EXPECT_LE(distance(at(forward, 119.5, 60), o), 8);
        const QImage back = middleOf("CISwipeTransition", {{"inputWidth", 120.0}, {"inputAngle", pi}});
        EXPECT_LE(distance(at(back, 0.5, 60), o), 8);
        EXPECT_LE(distance(at(back, 119.5, 60), n), 8);

        // The copy machine's bar is lighter than either page; it has copied the left side already.
        const QImage copy = middleOf("CICopyMachineTransition", {{"inputWidth", 40.0}});
        EXPECT_GT(qGray(at(copy, 60, 60)), std::max(qGray(o), qGray(n)) + 40);
        EXPECT_LE(distance(at(copy, 5, 60), n), 2);
        EXPECT_LE(distance(at(copy, 115, 60), o), 2);

        // The flash is white at the centre and has not reached the corners at full strength.
        const QImage flash = middleOf("CIFlashTransition");
        EXPECT_GE(qRed(at(flash, 60, 40)), 245);
        EXPECT_GE(qBlue(at(flash, 60, 40)), 245);
        EXPECT_LT(qGray(at(flash, 119.5, 79.5)), 200);

        // The modulation shows patches of both pages at once.
        // Rings and wave of a size that fits the small picture several times.
        const QImage mod = middleOf("CIModTransition", {{"inputRadius", 30.0}, {"inputCompression", 60.0}});
        int nearOld = 0, nearNew = 0;
        for (int y = 0; y < mod.height(); y += 2)
            for (int x = 0; x < mod.width(); x += 2) {
                nearOld += distance(mod.pixel(x, y), o) < 10;
                nearNew += distance(mod.pixel(x, y), n) < 10;
            }
        const int samples = (mod.height() / 2) * (mod.width() / 2);
        EXPECT_GT(nearOld, samples / 10);
        EXPECT_GT(nearNew, samples / 10);
    }
}

TEST_F(TabViewTest, every_way_of_changing_page_plays_the_transition_and_shows_the_page_after_it)
{
    TransitionProbe probe(view);
    QImage onScreen, expected;
    qreal eased = -1;
    probe.during = [&](TabViewAnimation& animation) {
        if (!onScreen.isNull())
            return;
        animation.setCurrentTime(animation.duration() / 4);
        eased = animation.currentValue().toDouble();
        onScreen = view.grab(view.imageRect()).toImage();
        expected = view.transitionFilter()->outputImage();
    };
    view.setCurrentIndex(2);
    ASSERT_EQ(probe.seen.size(), 1u);
    const Seen& first = probe.seen[0];
    EXPECT_EQ(first.filter, "CISwipeTransition");
    EXPECT_EQ(first.duration, 500);
    EXPECT_EQ(first.parameters["inputAngle"].toDouble(), 0.0);
    EXPECT_TRUE(first.visiblePages.isEmpty()) << "the new page is live only after the transition";
    // Pictures of whole pages with their children, the old one taken although it was no longer current.
    const QImage oldPicture = first.parameters["inputImage"].value<QImage>();
    EXPECT_EQ(oldPicture.deviceIndependentSize(), QSizeF(view.widget(0)->size()));
    EXPECT_EQ(at(oldPicture, 15, 15), patchColour(0));
    EXPECT_EQ(at(first.parameters["inputTargetImage"].value<QImage>(), 15, 15), patchColour(2));
    EXPECT_GT(eased, 0.0);
    EXPECT_LT(eased, 0.2) << "slow at the start";
    ASSERT_FALSE(onScreen.isNull());
    ASSERT_EQ(onScreen.size(), expected.size());
    EXPECT_EQ(onScreen.convertToFormat(QImage::Format_RGB32), expected.convertToFormat(QImage::Format_RGB32));
    EXPECT_TRUE(view.widget(2)->isVisible());
    EXPECT_EQ(view.previousTabIndex(), 2);
    EXPECT_EQ(view.animation(), nullptr);
    EXPECT_EQ(view.transitionFilter(), nullptr);

    QTest::mouseClick(view.tabBar(), Qt::LeftButton, Qt::NoModifier, view.tabBar()->tabRect(0).center());
    ASSERT_EQ(probe.seen.size(), 2u);
    EXPECT_NEAR(probe.seen[1].parameters["inputAngle"].toDouble(), pi, 1e-6);
    EXPECT_EQ(view.currentIndex(), 0);

    QTest::keyClick(&view, Qt::Key_Tab, Qt::ControlModifier);
    ASSERT_EQ(probe.seen.size(), 3u);
    EXPECT_EQ(probe.seen[2].parameters["inputAngle"].toDouble(), 0.0);
    EXPECT_EQ(view.currentIndex(), 1);

    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    QTest::keyClick(&view, Qt::Key_G, Qt::AltModifier);
    ASSERT_EQ(probe.seen.size(), 4u);
    EXPECT_EQ(view.currentIndex(), 2);
    EXPECT_TRUE(view.widget(2)->isVisible());
}

TEST_F(TabViewTest, shift_click_on_a_tab_slows_that_change_only)
{
    TransitionProbe probe(view);
    QTabBar* tabs = view.tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::ShiftModifier, tabs->tabRect(1).center());
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(2).center());
    ASSERT_EQ(probe.seen.size(), 2u);
    EXPECT_EQ(probe.seen[0].duration, 3000);
    EXPECT_EQ(probe.seen[1].duration, 500);
    EXPECT_FALSE(view.slowMotionDemo());

    // A Shift-press while a change runs is for the change after it.
    probe.during = [&, once = true](TabViewAnimation&) mutable {
        if (std::exchange(once, false)) {
            QTest::mousePress(tabs, Qt::LeftButton, Qt::ShiftModifier, tabs->tabRect(0).center());
            QTest::mouseRelease(tabs, Qt::LeftButton, Qt::ShiftModifier, tabs->tabRect(0).center());
        }
    };
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(0).center());
    ASSERT_EQ(probe.seen.size(), 3u);
    EXPECT_EQ(probe.seen[2].duration, 500);
    EXPECT_TRUE(view.slowMotionDemo());
    view.setCurrentIndex(1);
    ASSERT_EQ(probe.seen.size(), 4u);
    EXPECT_EQ(probe.seen[3].duration, 3000);
}

TEST_F(TabViewTest, selecting_the_page_already_shown_plays_a_transition_to_itself)
{
    TransitionProbe probe(view);
    view.selectTabViewItem(0);
    ASSERT_EQ(probe.seen.size(), 1u);
    const QVariantMap& p = probe.seen[0].parameters;
    EXPECT_EQ(p["inputImage"].value<QImage>(), p["inputTargetImage"].value<QImage>());
    EXPECT_TRUE(probe.seen[0].visiblePages.isEmpty());
    EXPECT_TRUE(view.widget(0)->isVisible());
    EXPECT_EQ(view.currentIndex(), 0);
}

TEST_F(TabViewTest, change_asked_for_during_a_transition_plays_after_it)
{
    TransitionProbe probe(view);
    bool returnedAtOnce = false;
    probe.during = [&, once = true](TabViewAnimation&) mutable {
        if (!std::exchange(once, false))
            return;
        const size_t before = probe.seen.size();
        view.setCurrentIndex(2);
        returnedAtOnce =
            probe.seen.size() == before && view.currentIndex() == 2 && !view.widget(2)->isVisible();
    };
    view.setCurrentIndex(1);
    EXPECT_TRUE(returnedAtOnce);
    ASSERT_EQ(probe.seen.size(), 2u);
    EXPECT_EQ(at(probe.seen[1].parameters["inputImage"].value<QImage>(), 15, 15), patchColour(1));
    EXPECT_EQ(at(probe.seen[1].parameters["inputTargetImage"].value<QImage>(), 15, 15), patchColour(2));
    EXPECT_TRUE(probe.seen[1].visiblePages.isEmpty());
    EXPECT_FALSE(view.widget(1)->isVisible());
    EXPECT_TRUE(view.widget(2)->isVisible());
    EXPECT_EQ(view.previousTabIndex(), 2);
}

TEST_F(TabViewTest, no_transition_when_only_the_index_moves_while_hidden_or_with_reduced_motion)
{
    TransitionProbe probe(view);
    view.setCurrentIndex(2);
    ASSERT_EQ(probe.seen.size(), 1u);
    view.removeTab(0);
    EXPECT_EQ(probe.seen.size(), 1u);
    EXPECT_EQ(view.previousTabIndex(), 1);

    qputenv("PEALIX_REDUCED_MOTION", "1");
    view.setCurrentIndex(0);
    EXPECT_TRUE(view.widget(0)->isVisible());
    qputenv("PEALIX_REDUCED_MOTION", "0");
    view.hide();
    view.setCurrentIndex(1);
    view.selectTabViewItem(1);
    EXPECT_EQ(probe.seen.size(), 1u);
    EXPECT_EQ(view.previousTabIndex(), 1);
}

TEST(TabViewArchive, round_trip_keeps_the_style_and_awake_from_nib_resets_it)
{
    AnimatingTabView original;
    original.setTransitionStyle(3);
    original.setTabPosition(QTabWidget::South);
    original.setMovable(true);
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        original.encodeWithCoder(out);
    }
    AnimatingTabView read;
    {
        QDataStream in(bytes);
        ASSERT_TRUE(read.initWithCoder(in));
    }
    EXPECT_EQ(read.transitionStyle(), 3);
    EXPECT_EQ(read.tabPosition(), QTabWidget::South);
    EXPECT_TRUE(read.isMovable());
    read.awakeFromNib();
    EXPECT_EQ(read.transitionStyle(), 1);
    EXPECT_EQ(read.previousTabIndex(), 0);

    // A cut archive changes nothing; a style of the wrong kind is passed over.
    AnimatingTabView untouched;
    untouched.setTransitionStyle(4);
    QDataStream cut(bytes.left(bytes.size() - 3));
    EXPECT_FALSE(untouched.initWithCoder(cut));
    EXPECT_EQ(untouched.transitionStyle(), 4);
    EXPECT_EQ(untouched.tabPosition(), QTabWidget::North);
    QByteArray odd;
    {
        QDataStream out(&odd, QIODevice::WriteOnly);
        out << QVariantMap{{"tabPosition", 99}} << QVariantMap{{"transitionStyle", QStringLiteral("swipe")}};
    }
    QDataStream in(odd);
    EXPECT_TRUE(untouched.initWithCoder(in));
    EXPECT_EQ(untouched.transitionStyle(), 4);
    EXPECT_EQ(untouched.tabPosition(), QTabWidget::North);
}
