// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A tab widget that plays a short transition from a picture of the old page to one of the new page on every
// change of page, and only then shows the new page live.
//
// Every way of changing the page goes through it (the tab bar, Ctrl+Tab, mnemonics, setCurrentIndex,
// setCurrentWidget, selectTabViewItem). The change returns when its transition has ended; meanwhile a local
// event loop keeps the window painting and delivers input as usual. A change asked for during a transition
// is queued and plays when the running one ends, inside the first call. Nothing animates while the widget
// is hidden or the desktop asks for reduced motion.

#include <QPointer>
#include <QTabWidget>
#include <memory>

class QDataStream;
class QEventLoop;
class TabViewAnimation;
class TransitionFilter;

class AnimatingTabView : public QTabWidget {
    Q_OBJECT
    Q_PROPERTY(int transitionStyle READ transitionStyle WRITE setTransitionStyle)
public:
    static constexpr int normalDurationMs = 500;
    static constexpr int slowMotionDurationMs = 3000;

    explicit AnimatingTabView(QWidget* parent = nullptr);
    ~AnimatingTabView() override;

    // 0 copy machine, 1 dissolve, 2 flash, 3 mod, any other value a swipe.
    int transitionStyle() const { return _transitionStyle; }
    void setTransitionStyle(int style) { _transitionStyle = style; }
    int previousTabIndex() const { return _previousTabIndex; }
    bool slowMotionDemo() const { return _slowMotionDemo; }

    // Also plays a transition for the page already shown (from the page to itself).
    void selectTabViewItem(int index);

    // Sets transitionFilter to the style's filter over the capture rectangle.
    void createTransitionFilterForRect(const QRectF& rect, const QImage& initialImage,
                                       const QImage& finalImage, int fromTabIndex, int toTabIndex);

    // Present only while a transition runs.
    TransitionFilter* transitionFilter() const { return _transitionFilter.get(); }
    TabViewAnimation* animation() const { return _animation; }
    // Where the frames are drawn, in this widget's coordinates.
    QRect imageRect() const { return _imageRect; }

    // The tab widget's own settings, then the transition style, as keyed maps.
    void encodeWithCoder(QDataStream& out) const;
    // False, with nothing changed, when the stream does not hold a whole archive.
    bool initWithCoder(QDataStream& in);
    void awakeFromNib();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void _pageChanged(int index);
    void _play(QWidget* first, QWidget* target, int toIndex);
    void _runTransition(QWidget* from, QWidget* target, int toIndex);
    bool _shouldAnimate() const;
    QImage _pictureOf(QWidget* page, const QRect& captureRect) const;
    void _noteShiftPress(const QMouseEvent* event);
    void _hideWaitingPage(QWidget* page);

    int _transitionStyle = 1;
    std::unique_ptr<TransitionFilter> _transitionFilter;
    QRect _imageRect;
    TabViewAnimation* _animation = nullptr;
    bool _slowMotionDemo = false;
    int _previousTabIndex = 0;

    QPointer<QWidget> _shownPage;
    // Focus that was in a page while it waited hidden, given back when it is shown.
    QPointer<QWidget> _focusInHiddenPage;
    QEventLoop* _loop = nullptr;
    bool _changeQueued = false;
    // A Shift-press during a transition is for the next one and survives the end of the running one.
    bool _shiftPressedDuringTransition = false;
};
