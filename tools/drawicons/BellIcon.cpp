// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "BellIcon.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <cmath>

namespace {

// The design is drawn on a 64-unit square.
constexpr qreal designUnits = 64;

QString number(qreal v)
{
    QString text = QString::number(v, 'f', 3);
    while (text.contains(QLatin1Char('.')) &&
           (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString pathData(const QPainterPath& path)
{
    QString d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            if (i > 0)
                d += QLatin1String("Z");
            d += QStringLiteral("M%1 %2").arg(number(e.x), number(e.y));
            break;
        case QPainterPath::LineToElement:
            d += QStringLiteral("L%1 %2").arg(number(e.x), number(e.y));
            break;
        case QPainterPath::CurveToElement: {
            const QPainterPath::Element c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            d += QStringLiteral("C%1 %2 %3 %4 %5 %6")
                     .arg(number(e.x), number(e.y), number(c2.x), number(c2.y), number(end.x), number(end.y));
            i += 2;
            break;
        }
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    return d + QLatin1String("Z");
}

QBrush brushOf(const Paint& paint)
{
    switch (paint.kind) {
    case Paint::Solid:
        return paint.color;
    case Paint::Linear: {
        QLinearGradient gradient(paint.from, paint.to);
        gradient.setStops(paint.stops);
        return gradient;
    }
    }
    return {};
}

Paint solid(QColor color)
{
    Paint paint;
    paint.color = color;
    return paint;
}

Paint linear(QPointF from, QPointF to, QGradientStops stops)
{
    Paint paint;
    paint.kind = Paint::Linear;
    paint.from = from;
    paint.to = to;
    paint.stops = std::move(stops);
    return paint;
}

} // namespace

QPainterPath BellShape::silhouette() const
{
    return body.united(lip).united(crown).united(clapper);
}

BellShape bellShape(int size)
{
    const qreal s = size / designUnits;
    const auto px = [s](qreal v) { return std::round(v * s); };
    const qreal cx = size / 2.0;
    BellShape shape;

    const qreal lipTop = px(45);
    const qreal lipBottom = std::max(lipTop + 1, px(51));
    const qreal lipLeft = px(7);
    const qreal flare = px(10); // where the side meets the lip
    const qreal top = 9 * s;

    QPainterPath body;
    body.moveTo(cx, top);
    body.cubicTo(cx + 10 * s, top, cx + 14 * s, top + 6 * s, cx + 14 * s, 25 * s);
    body.cubicTo(cx + 14 * s, 36 * s, cx + 16 * s, lipTop - 2 * s, size - flare, lipTop);
    body.lineTo(size - flare, lipTop + 0.5);
    body.lineTo(flare, lipTop + 0.5);
    body.lineTo(flare, lipTop);
    body.cubicTo(cx - 16 * s, lipTop - 2 * s, cx - 14 * s, 36 * s, cx - 14 * s, 25 * s);
    body.cubicTo(cx - 14 * s, top + 6 * s, cx - 10 * s, top, cx, top);
    body.closeSubpath();
    shape.body = body;

    const qreal lipHeight = lipBottom - lipTop;
    shape.lip.addRoundedRect(QRectF(lipLeft, lipTop, size - 2 * lipLeft, lipHeight), lipHeight / 2,
                             lipHeight / 2);

    const QRectF crown(px(28), px(4), size - 2 * px(28), std::max(px(11) - px(4), 2.0));
    const qreal crownRadius = std::min(crown.width(), crown.height()) * 0.35;
    shape.crown.addRoundedRect(crown, crownRadius, crownRadius);
    if (size >= 32) {
        // A loop to hang it by, once there are pixels for the hole.
        const qreal wall = std::max(1.0, px(2.5));
        shape.crown.addRoundedRect(crown.adjusted(wall, wall, -wall, -wall), crownRadius / 2,
                                   crownRadius / 2);
        shape.crown.setFillRule(Qt::OddEvenFill);
    }

    const qreal clapperBottom = px(60);
    const qreal radius = std::max(1.0, 5 * s);
    shape.clapper.addEllipse(QPointF(cx, clapperBottom - radius), radius, radius);
    return shape;
}

QList<Layer> appIconLayers(int size)
{
    const qreal s = size / designUnits;
    const BellShape bell = bellShape(size);
    const QRectF box = bell.silhouette().boundingRect();
    const QColor outline(0x6b, 0x40, 0x0c);
    QList<Layer> layers;

    if (size >= 32) {
        // A soft shadow on the ground: two flat ellipses, the inner one darker.
        for (const auto& [halfWidth, alpha] : {std::pair{25.0, 28}, std::pair{19.0, 40}}) {
            QPainterPath shadow;
            shadow.addEllipse(QPointF(size / 2.0, box.bottom() - 1.2 * s), halfWidth * s,
                              halfWidth * s * 0.1);
            layers.append({shadow, solid(QColor(0, 0, 0, alpha)), 0, {}});
        }
    }

    const QRectF clapper = bell.clapper.boundingRect();
    layers.append({bell.clapper,
                   linear(clapper.topLeft(), clapper.bottomRight(),
                          {{0, QColor(0x9a, 0x66, 0x22)}, {1, QColor(0x4a, 0x2c, 0x08)}}),
                   0,
                   {}});

    const QRectF body = bell.body.boundingRect();
    layers.append({bell.body,
                   linear(QPointF(body.left(), 0), QPointF(body.right(), 0),
                          {{0, QColor(0xfb, 0xdd, 0x86)},
                           {0.3, QColor(0xf3, 0xbb, 0x40)},
                           {0.7, QColor(0xd6, 0x8f, 0x22)},
                           {1, QColor(0xa5, 0x62, 0x16)}}),
                   0,
                   {}});
    if (size >= 32) {
        QPainterPath streak;
        streak.moveTo(size / 2.0 - 7 * s, 15 * s);
        streak.cubicTo(size / 2.0 - 10.5 * s, 19 * s, size / 2.0 - 10.5 * s, 30 * s, size / 2.0 - 12.5 * s,
                       41 * s);
        QPainterPathStroker stroker;
        stroker.setWidth(2.6 * s);
        stroker.setCapStyle(Qt::RoundCap);
        layers.append({stroker.createStroke(streak), solid(QColor(255, 255, 255, 110)), 0, {}});
    }

    const QRectF lip = bell.lip.boundingRect();
    layers.append({bell.lip,
                   linear(QPointF(lip.left(), 0), QPointF(lip.right(), 0),
                          {{0, QColor(0xf6, 0xcb, 0x62)},
                           {0.35, QColor(0xe4, 0xa4, 0x30)},
                           {1, QColor(0x96, 0x58, 0x12)}}),
                   0,
                   {}});
    if (size >= 48) {
        QPainterPath shine;
        shine.addRoundedRect(QRectF(lip.left() + 3 * s, lip.top() + 1.2 * s, lip.width() * 0.55, 1.3 * s),
                             0.65 * s, 0.65 * s);
        layers.append({shine, solid(QColor(255, 255, 255, 95)), 0, {}});
    }

    const QRectF crown = bell.crown.boundingRect();
    layers.append({bell.crown,
                   linear(crown.topLeft(), crown.bottomRight(),
                          {{0, QColor(0xd9, 0x97, 0x30)}, {1, QColor(0x8a, 0x52, 0x12)}}),
                   0,
                   {}});

    // An outline inside the silhouette keeps the bell apart from light and dark backgrounds alike; drawn
    // twice as wide and clipped, its edge stays on the pixel grid.
    const QPainterPath silhouette = bell.silhouette();
    const qreal width = size <= 24 ? 1.0 : std::max(1.0, 1.25 * s);
    layers.append({silhouette, solid(outline), 2 * width, silhouette});
    // The line where the body meets the lip.
    if (size >= 22) {
        QPainterPath seam;
        seam.addRect(QRectF(lip.left() + width, lip.top(), lip.width() - 2 * width, std::max(1.0, 0.75 * s)));
        layers.append({seam.intersected(bell.lip), solid(QColor(0x8a, 0x52, 0x12, 200)), 0, {}});
    }
    return layers;
}

QList<Layer> symbolicLayers(int size)
{
    // The parts one by one rather than their union, which would be flattened into a polygon.
    const BellShape bell = bellShape(size);
    const Paint ink = solid(QColor(0x2e, 0x34, 0x36));
    return {{bell.body, ink, 0, {}},
            {bell.lip, ink, 0, {}},
            {bell.crown, ink, 0, {}},
            {bell.clapper, ink, 0, {}}};
}

QImage paintLayers(const QList<Layer>& layers, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Layer& layer : layers) {
        painter.save();
        if (!layer.clip.isEmpty())
            painter.setClipPath(layer.clip);
        if (layer.strokeWidth > 0)
            painter.strokePath(layer.path, QPen(brushOf(layer.paint), layer.strokeWidth, Qt::SolidLine,
                                                Qt::FlatCap, Qt::MiterJoin));
        else
            painter.fillPath(layer.path, brushOf(layer.paint));
        painter.restore();
    }
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QByteArray svgDocument(const QList<Layer>& layers, int size)
{
    QString defs, body;
    const auto colour = [](const QColor& c) { return c.name(QColor::HexRgb); };
    int id = 0;
    for (const Layer& layer : layers) {
        QString paint;
        QString paintOpacity;
        const Paint& p = layer.paint;
        if (p.kind == Paint::Solid) {
            paint = colour(p.color);
            if (p.color.alpha() != 255)
                paintOpacity = number(p.color.alphaF());
        } else {
            const QString name = QStringLiteral("g%1").arg(++id);
            defs +=
                QStringLiteral("<linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" x1=\"%2\" "
                               "y1=\"%3\" x2=\"%4\" y2=\"%5\">")
                    .arg(name, number(p.from.x()), number(p.from.y()), number(p.to.x()), number(p.to.y()));
            for (const QGradientStop& stop : p.stops) {
                defs += QStringLiteral("<stop offset=\"%1\" stop-color=\"%2\"")
                            .arg(number(stop.first), colour(stop.second));
                if (stop.second.alpha() != 255)
                    defs += QStringLiteral(" stop-opacity=\"%1\"").arg(number(stop.second.alphaF()));
                defs += QLatin1String("/>");
            }
            defs += QLatin1String("</linearGradient>\n");
            paint = QStringLiteral("url(#%1)").arg(name);
        }
        const QString rule =
            layer.path.fillRule() == Qt::OddEvenFill ? QStringLiteral("evenodd") : QStringLiteral("nonzero");
        QString element = QStringLiteral("<path d=\"%1\"").arg(pathData(layer.path));
        if (layer.strokeWidth > 0) {
            element += QStringLiteral(" fill=\"none\" stroke=\"%1\" stroke-width=\"%2\"")
                           .arg(paint, number(layer.strokeWidth));
            if (!paintOpacity.isEmpty())
                element += QStringLiteral(" stroke-opacity=\"%1\"").arg(paintOpacity);
        } else {
            element += QStringLiteral(" fill=\"%1\" fill-rule=\"%2\"").arg(paint, rule);
            if (!paintOpacity.isEmpty())
                element += QStringLiteral(" fill-opacity=\"%1\"").arg(paintOpacity);
        }
        if (!layer.clip.isEmpty()) {
            const QString name = QStringLiteral("c%1").arg(++id);
            const QString clipRule = layer.clip.fillRule() == Qt::OddEvenFill ? QStringLiteral("evenodd")
                                                                              : QStringLiteral("nonzero");
            defs += QStringLiteral("<clipPath id=\"%1\"><path d=\"%2\" clip-rule=\"%3\"/></clipPath>\n")
                        .arg(name, pathData(layer.clip), clipRule);
            element += QStringLiteral(" clip-path=\"url(#%1)\"").arg(name);
        }
        body += element + QLatin1String("/>\n");
    }
    QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                                 "viewBox=\"0 0 %1 %1\">\n")
                      .arg(size);
    if (!defs.isEmpty())
        svg += QLatin1String("<defs>\n") + defs + QLatin1String("</defs>\n");
    svg += body + QLatin1String("</svg>\n");
    return svg.toUtf8();
}
