// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The animation that drives a tab view's transition: its value is the eased progress from 0 to 1, and
// each step has the delegate redrawn at once.

#include <QPointer>
#include <QVariantAnimation>

class QWidget;

class TabViewAnimation : public QVariantAnimation {
    Q_OBJECT
public:
    TabViewAnimation(int durationMs, QWidget* delegate, QObject* parent = nullptr);

    QWidget* delegate() const { return _delegate; }
    // Slow at both ends: the cubic Bézier (0.42, 0) (0.58, 1).
    static QEasingCurve easeInEaseOut();

protected:
    void updateCurrentValue(const QVariant& value) override;

private:
    QPointer<QWidget> _delegate;
};
