// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/TabViewAnimation.h"

#include "support/AnimatingTabView.h"

TabViewAnimation::TabViewAnimation(int durationMs, QWidget* delegate, QObject* parent)
    : QVariantAnimation(parent), _delegate(delegate)
{
    setStartValue(0.0);
    setEndValue(1.0);
    setDuration(durationMs);
    setEasingCurve(easeInEaseOut());
}

QEasingCurve TabViewAnimation::easeInEaseOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

void TabViewAnimation::updateCurrentValue(const QVariant&)
{
    if (!_delegate)
        return;
    // Painted now rather than at the next idle moment, so each step of the timer is a frame on screen.
    if (auto* tabView = qobject_cast<AnimatingTabView*>(_delegate.data()))
        tabView->repaint(tabView->imageRect());
    else
        _delegate->repaint();
}
