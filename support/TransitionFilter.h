// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// An image transition from one picture to another, made by name and set up through named parameters, that
// paints the frame for a given time: the stand-in for the platform's transition filters.
//
// Every filter takes "inputImage" (the picture at time 0), "inputTargetImage" (the picture at time 1) and
// "inputTime"; the rest are the filter's own. Positions are in the pictures' device-independent pixels,
// origin top left. An "inputExtent" or "inputCenter" that was never set means the whole first picture or
// its centre.

#include <QImage>
#include <QString>
#include <QVariantMap>
#include <memory>

class QPainter;

class TransitionFilter {
public:
    // Absent for a name that is not one of the five transitions.
    static std::unique_ptr<TransitionFilter> filterWithName(const QString& name);
    virtual ~TransitionFilter();

    const QString& name() const { return _name; }
    const QVariantMap& parameters() const { return _parameters; }
    QVariant valueForKey(const QString& key) const { return _parameters.value(key); }
    void setValue(const QVariant& value, const QString& key) { _parameters.insert(key, value); }

    // Paints the frame at progress (clamped to 0..1) over the first picture's rectangle, its top left at the
    // painter's origin. Frame 0 is exactly "inputImage" and frame 1 exactly "inputTargetImage".
    void render(QPainter& painter, qreal progress) const;
    // The frame at "inputTime", in the first picture's size and pixel ratio.
    QImage outputImage() const;

protected:
    TransitionFilter(QString name, QVariantMap defaults);

    // Called for 0 < t < 1 with two pictures of the same size.
    virtual void renderFrame(QPainter& painter, const QImage& from, const QImage& to, qreal t) const = 0;

    QRectF extent(const QImage& from) const;
    QPointF center(const QImage& from) const;
    // Draws `to` over what is painted, its alpha running from full where the position along the direction
    // `angle` (radians, counter-clockwise on screen) is below `fullUntil` to none from `noneFrom` on.
    // Positions along the direction start at the picture's first corner in that direction.
    void drawSoftEdged(QPainter& painter, const QImage& to, qreal angle, qreal fullUntil,
                       qreal noneFrom) const;
    // Draws `to` through an alpha mask covering the picture, scaled up smoothly.
    void drawMasked(QPainter& painter, const QImage& to, const QImage& mask) const;
    // `to` copied into a reused buffer of the same size, to be cut by a mask.
    QImage& scratchWith(const QImage& to) const;

private:
    QString _name;
    QVariantMap _parameters;
    mutable QImage _scratch;
};
