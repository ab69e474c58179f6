// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The Pealix bell as layers of filled or stroked paths, fitted to the pixel grid of one size, painted
// into an image or written as SVG from the same layers, so the scalable icon and the PNGs agree.

#include <QColor>
#include <QGradientStops>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QString>

struct BellShape {
    QPainterPath body;
    QPainterPath lip;
    QPainterPath crown;
    QPainterPath clapper;
    QPainterPath silhouette() const;
};

// Horizontal edges of the lip, crown and clapper and the lip's ends lie on whole pixels of a size px square.
BellShape bellShape(int size);

struct Paint {
    enum Kind { Solid, Linear } kind = Solid;
    QColor color;
    QPointF from, to; // of a linear gradient
    QGradientStops stops;
};

struct Layer {
    QPainterPath path;
    Paint paint;
    qreal strokeWidth = 0; // 0 fills the path
    QPainterPath clip;     // empty: none
};

// The coloured application icon.
QList<Layer> appIconLayers(int size);
// A one-colour silhouette for panels and menus that recolour it.
QList<Layer> symbolicLayers(int size);

QImage paintLayers(const QList<Layer>& layers, int size);
QByteArray svgDocument(const QList<Layer>& layers, int size);
