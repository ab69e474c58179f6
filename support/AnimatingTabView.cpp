// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/AnimatingTabView.h"

#include "platform/ui/ReducedMotion.h"
#include "support/TabViewAnimation.h"
#include "support/TransitionFilter.h"

#include <QApplication>
#include <QDataStream>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QTabBar>
#include <QTimer>

Q_LOGGING_CATEGORY(lcTabView, "pealix.tabview", QtWarningMsg)

namespace {

constexpr qreal swipeBackAngle = 3.14159265358979323846;
// Past the animation's own end: a loop that outlives this has lost its timer and is ended anyway.
constexpr int loopBoundSlackMs = 2000;

const QString styleKey = QStringLiteral("transitionStyle");

QString filterNameForStyle(int style)
{
    switch (style) {
    case 0:
        return QStringLiteral("CICopyMachineTransition");
    case 1:
        return QStringLiteral("CIDissolveTransition");
    case 2:
        return QStringLiteral("CIFlashTransition");
    case 3:
        return QStringLiteral("CIModTransition");
    default:
        return QStringLiteral("CISwipeTransition");
    }
}

} // namespace

AnimatingTabView::AnimatingTabView(QWidget* parent) : QTabWidget(parent)
{
    tabBar()->installEventFilter(this);
    connect(this, &QTabWidget::currentChanged, this, &AnimatingTabView::_pageChanged);
    // A dragged tab changes the current index without a change of page.
    connect(tabBar(), &QTabBar::tabMoved, this, [this] {
        if (!_loop)
            _previousTabIndex = currentIndex();
    });
}

AnimatingTabView::~AnimatingTabView()
{
    // The base's tear-down removes pages and changes the current index; this part is gone by then.
    disconnect(this, &QTabWidget::currentChanged, this, &AnimatingTabView::_pageChanged);
    tabBar()->removeEventFilter(this);
    if (_loop)
        _loop->quit();
}

void AnimatingTabView::selectTabViewItem(int index)
{
    if (index < 0 || index >= count())
        return;
    if (index != currentIndex()) {
        setCurrentIndex(index);
        return;
    }
    // The base ignores a request for the current page; the transition still plays, from the page to itself.
    if (_loop)
        return;
    if (!_shouldAnimate()) {
        _previousTabIndex = index;
        return;
    }
    _play(widget(index), widget(index), index);
}

void AnimatingTabView::createTransitionFilterForRect(const QRectF& rect, const QImage& initialImage,
                                                     const QImage& finalImage, int fromTabIndex,
                                                     int toTabIndex)
{
    std::unique_ptr<TransitionFilter> filter =
        TransitionFilter::filterWithName(filterNameForStyle(_transitionStyle));
    filter->setValue(initialImage, QStringLiteral("inputImage"));
    filter->setValue(finalImage, QStringLiteral("inputTargetImage"));
    const QPointF center(rect.x() + 0.5 * rect.width(), rect.y() + 0.5 * rect.height());
    switch (_transitionStyle) {
    case 0:
        filter->setValue(rect, QStringLiteral("inputExtent"));
        break;
    case 1:
        break;
    case 2:
        filter->setValue(center, QStringLiteral("inputCenter"));
        filter->setValue(rect, QStringLiteral("inputExtent"));
        break;
    case 3:
        filter->setValue(center, QStringLiteral("inputCenter"));
        break;
    default:
        filter->setValue(toTabIndex >= fromTabIndex ? 0.0 : swipeBackAngle, QStringLiteral("inputAngle"));
        filter->setValue(initialImage.deviceIndependentSize().width(), QStringLiteral("inputWidth"));
        break;
    }
    _transitionFilter = std::move(filter);
}

void AnimatingTabView::encodeWithCoder(QDataStream& out) const
{
    const QVariantMap own{
        {QStringLiteral("currentIndex"), currentIndex()},
        {QStringLiteral("tabPosition"), int(tabPosition())},
        {QStringLiteral("tabShape"), int(tabShape())},
        {QStringLiteral("elideMode"), int(elideMode())},
        {QStringLiteral("documentMode"), documentMode()},
        {QStringLiteral("tabsClosable"), tabsClosable()},
        {QStringLiteral("movable"), isMovable()},
        {QStringLiteral("usesScrollButtons"), usesScrollButtons()},
    };
    out << own << QVariantMap{{styleKey, qint32(_transitionStyle)}};
}

bool AnimatingTabView::initWithCoder(QDataStream& in)
{
    QVariantMap own, mine;
    in >> own >> mine;
    if (in.status() != QDataStream::Ok)
        return false;
    // Each value is taken only when it is of a usable kind and in range; the others keep their state.
    const auto intIn = [&own](const QString& key, int lo, int hi, auto apply) {
        bool ok = false;
        const int v = own.value(key).toInt(&ok);
        if (ok && v >= lo && v <= hi)
            apply(v);
    };
    const auto flag = [&own](const QString& key, auto apply) {
        const QVariant v = own.value(key);
        if (v.typeId() == QMetaType::Bool)
            apply(v.toBool());
    };
    intIn(QStringLiteral("tabPosition"), North, East, [this](int v) { setTabPosition(TabPosition(v)); });
    intIn(QStringLiteral("tabShape"), Rounded, Triangular, [this](int v) { setTabShape(TabShape(v)); });
    intIn(QStringLiteral("elideMode"), Qt::ElideLeft, Qt::ElideNone,
          [this](int v) { setElideMode(Qt::TextElideMode(v)); });
    flag(QStringLiteral("documentMode"), [this](bool v) { setDocumentMode(v); });
    flag(QStringLiteral("tabsClosable"), [this](bool v) { setTabsClosable(v); });
    flag(QStringLiteral("movable"), [this](bool v) { setMovable(v); });
    flag(QStringLiteral("usesScrollButtons"), [this](bool v) { setUsesScrollButtons(v); });
    intIn(QStringLiteral("currentIndex"), 0, count() - 1, [this](int v) { setCurrentIndex(v); });
    bool ok = false;
    const int style = mine.value(styleKey).toInt(&ok);
    if (ok)
        _transitionStyle = style;
    return true;
}

void AnimatingTabView::awakeFromNib()
{
    _transitionStyle = 1;
    _previousTabIndex = 0;
}

void AnimatingTabView::paintEvent(QPaintEvent* event)
{
    QTabWidget::paintEvent(event);
    if (!_animation || !_transitionFilter)
        return;
    const QVariant progress = _animation->currentValue();
    _transitionFilter->setValue(progress, QStringLiteral("inputTime"));
    QPainter painter(this);
    painter.setClipRect(_imageRect);
    painter.translate(_imageRect.topLeft());
    _transitionFilter->render(painter, progress.toDouble());
}

void AnimatingTabView::mousePressEvent(QMouseEvent* event)
{
    _noteShiftPress(event);
    QTabWidget::mousePressEvent(event);
}

bool AnimatingTabView::eventFilter(QObject* watched, QEvent* event)
{
    // The tabs are a child widget: their presses reach this view only through the filter.
    if (watched == tabBar() && event->type() == QEvent::MouseButtonPress)
        _noteShiftPress(static_cast<QMouseEvent*>(event));
    return QTabWidget::eventFilter(watched, event);
}

void AnimatingTabView::_noteShiftPress(const QMouseEvent* event)
{
    if (!(event->modifiers() & Qt::ShiftModifier))
        return;
    _slowMotionDemo = true;
    if (_loop)
        _shiftPressedDuringTransition = true;
}

void AnimatingTabView::_pageChanged(int index)
{
    QWidget* to = widget(index);
    QPointer<QWidget> from = _shownPage;
    _shownPage = to;
    if (to && to == from) {
        // Only the index moved, with a tab inserted or removed before it.
        if (!_loop)
            _previousTabIndex = index;
        return;
    }
    if (_loop) {
        // The base already shows the page live; it waits hidden until the running transition has ended.
        _hideWaitingPage(to);
        _changeQueued = true;
        return;
    }
    if (!to || !from || indexOf(from) < 0 || !_shouldAnimate()) {
        _previousTabIndex = index;
        return;
    }
    _play(from, to, index);
}

void AnimatingTabView::_play(QWidget* first, QWidget* target, int toIndex)
{
    QPointer<AnimatingTabView> self(this);
    // Pages may be removed or deleted while a transition runs.
    QPointer<QWidget> from(first), to(target);
    for (;;) {
        _runTransition(from, to, toIndex);
        if (!self)
            return;
        if (!_changeQueued)
            break;
        _changeQueued = false;
        QWidget* next = currentWidget();
        if (!next || !to || next == to || indexOf(to) < 0 || !_shouldAnimate()) {
            _previousTabIndex = currentIndex();
            break;
        }
        from = to;
        to = next;
        toIndex = currentIndex();
    }
    if (QWidget* page = currentWidget()) {
        page->show();
        if (_focusInHiddenPage && page->isAncestorOf(_focusInHiddenPage))
            _focusInHiddenPage->setFocus(Qt::OtherFocusReason);
    }
    _focusInHiddenPage = nullptr;
    update();
}

void AnimatingTabView::_runTransition(QWidget* from, QWidget* target, int toIndex)
{
    QPointer<QWidget> to(target);
    const QRect capture = from->rect().united(to->rect());
    _imageRect =
        QRect(from->mapTo(this, QPoint()), from->size()).united(QRect(to->mapTo(this, QPoint()), to->size()));
    const QImage initial = _pictureOf(from, capture);
    const QImage final = _pictureOf(to, capture);
    if (initial.isNull() || final.isNull()) {
        _previousTabIndex = toIndex;
        return;
    }
    createTransitionFilterForRect(QRectF(capture), initial, final, _previousTabIndex, toIndex);

    const int duration = _slowMotionDemo ? slowMotionDurationMs : normalDurationMs;
    _shiftPressedDuringTransition = false;
    qCDebug(lcTabView) << "transition" << _previousTabIndex << "->" << toIndex << "with"
                       << _transitionFilter->name() << "for" << duration << "ms";
    QPointer<AnimatingTabView> self(this);
    TabViewAnimation animation(duration, this);
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    connect(&animation, &QAbstractAnimation::finished, &loop, &QEventLoop::quit);
    connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    _animation = &animation;
    _loop = &loop;
    _hideWaitingPage(to);
    bound.start(duration + loopBoundSlackMs);
    animation.start();
    if (animation.state() == QAbstractAnimation::Running)
        loop.exec();
    if (!self)
        return;
    _loop = nullptr;
    _animation = nullptr;
    _transitionFilter.reset();
    // Tabs inserted, removed or moved meanwhile have moved the page.
    _previousTabIndex = to && indexOf(to) >= 0 ? indexOf(to) : toIndex;
    if (!_shiftPressedDuringTransition)
        _slowMotionDemo = false;
    _shiftPressedDuringTransition = false;
    update();
}

void AnimatingTabView::_hideWaitingPage(QWidget* page)
{
    if (!page)
        return;
    QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == page || page->isAncestorOf(focus)))
        _focusInHiddenPage = focus;
    page->hide();
}

bool AnimatingTabView::_shouldAnimate() const
{
    if (!isVisible() || !updatesEnabled() || window()->isMinimized()) {
        qCDebug(lcTabView) << "no transition: not on screen";
        return false;
    }
    if (platform::prefersReducedMotion()) {
        qCDebug(lcTabView) << "no transition: reduced motion";
        return false;
    }
    return true;
}

QImage AnimatingTabView::_pictureOf(QWidget* page, const QRect& captureRect) const
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(captureRect.size()) * ratio).toSize();
    if (pixels.isEmpty())
        return {};
    QImage picture(pixels, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull())
        return {};
    picture.setDevicePixelRatio(ratio);
    picture.fill(0);
    // A page that is not current is hidden, which render() draws all the same.
    page->render(&picture, QPoint(), QRegion(captureRect));
    return picture;
}
