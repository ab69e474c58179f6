// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/TransitionFilter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr qreal pi = 3.14159265358979323846;

QVariantMap withCommonInputs(QVariantMap own)
{
    own.insert(QStringLiteral("inputImage"), QImage());
    own.insert(QStringLiteral("inputTargetImage"), QImage());
    own.insert(QStringLiteral("inputTime"), 0.0);
    return own;
}

qreal smoothstep(qreal edge0, qreal edge1, qreal x)
{
    const qreal t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

qreal farthestCorner(const QPointF& c, const QRectF& r)
{
    qreal d = 0;
    for (const QPointF& p : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
        d = std::max(d, std::hypot(p.x() - c.x(), p.y() - c.y()));
    return d;
}

QColor colorParameter(const QVariant& v, const QColor& fallback)
{
    const QColor c = v.value<QColor>();
    return c.isValid() ? c : fallback;
}

// Positions along a direction over a rectangle: where the rectangle starts and how long it is.
struct Axis {
    QPointF dir;
    qreal start = 0;
    qreal length = 0;
};

Axis axisOver(const QRectF& r, qreal angle)
{
    // Counter-clockwise on screen, so y points down in the direction vector.
    Axis a;
    a.dir = QPointF(std::cos(angle), -std::sin(angle));
    qreal lo = 0, hi = 0;
    bool first = true;
    for (const QPointF& p : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
        const qreal s = p.x() * a.dir.x() + p.y() * a.dir.y();
        lo = first ? s : std::min(lo, s);
        hi = first ? s : std::max(hi, s);
        first = false;
    }
    a.start = lo;
    a.length = hi - lo;
    return a;
}

class DissolveTransition final : public TransitionFilter {
public:
    DissolveTransition() : TransitionFilter(QStringLiteral("CIDissolveTransition"), {}) {}

protected:
    void renderFrame(QPainter& painter, const QImage& from, const QImage& to, qreal t) const override
    {
        painter.drawImage(QPointF(), from);
        painter.setOpacity(t);
        painter.drawImage(QPointF(), to);
    }
};

class SwipeTransition final : public TransitionFilter {
public:
    SwipeTransition()
        : TransitionFilter(QStringLiteral("CISwipeTransition"), {{QStringLiteral("inputExtent"), QRectF()},
                                                                 {QStringLiteral("inputAngle"), 0.0},
                                                                 {QStringLiteral("inputWidth"), 300.0}})
    {
    }

protected:
    // The soft edge, as wide as "inputWidth", starts wholly before the extent and ends wholly past it.
    void renderFrame(QPainter& painter, const QImage& from, const QImage& to, qreal t) const override
    {
        const QRectF area = extent(from);
        const qreal angle = valueForKey(QStringLiteral("inputAngle")).toDouble();
        const qreal width = std::max(1.0, valueForKey(QStringLiteral("inputWidth")).toDouble());
        const qreal length = axisOver(area, angle).length;
        const qreal middle = -width / 2 + t * (length + width);
        painter.drawImage(QPointF(), from);
        drawSoftEdged(painter, to, angle, middle - width / 2, middle + width / 2);
    }
};

class CopyMachineTransition final : public TransitionFilter {
public:
    CopyMachineTransition()
        : TransitionFilter(QStringLiteral("CICopyMachineTransition"),
                           {{QStringLiteral("inputExtent"), QRectF()},
                            {QStringLiteral("inputColor"), QColor::fromRgbF(0.6f, 1.0f, 1.0f)},
                            {QStringLiteral("inputWidth"), 200.0},
                            {QStringLiteral("inputOpacity"), 1.3}})
    {
    }

protected:
    // A bar of light crosses the extent left to right; the new page is copied in under it.
    void renderFrame(QPainter& painter, const QImage& from, const QImage& to, qreal t) const override
    {
        const QRectF area = extent(from);
        const qreal bar = std::clamp(valueForKey(QStringLiteral("inputWidth")).toDouble(), 1.0,
                                     std::max(1.0, area.width()));
        const qreal middle = area.left() - bar / 2 + t * (area.width() + bar);
        painter.drawImage(QPointF(), from);
        drawSoftEdged(painter, to, 0, middle - bar / 4, middle + bar / 4);

        QColor light = colorParameter(valueForKey(QStringLiteral("inputColor")), Qt::cyan);
        const qreal peak =
            std::clamp(0.45 * valueForKey(QStringLiteral("inputOpacity")).toDouble(), 0.0, 1.0);
        QLinearGradient glow(middle - bar / 2, 0, middle + bar / 2, 0);
        const auto at = [&](qreal pos, qreal alpha) {
            QColor c = light;
            c.setAlphaF(float(alpha));
            glow.setColorAt(pos, c);
        };
        at(0, 0);
        at(0.3, peak * 0.25);
        at(0.47, peak);
        at(0.53, peak);
        at(0.7, peak * 0.25);
        at(1, 0);
        painter.setCompositionMode(QPainter::CompositionMode_Plus);
        painter.fillRect(area.intersected(QRectF(middle - bar / 2, area.top(), bar, area.height())), glow);
    }
};

class FlashTransition final : public TransitionFilter {
public:
    FlashTransition()
        : TransitionFilter(QStringLiteral("CIFlashTransition"),
                           {{QStringLiteral("inputCenter"), QVariant()},
                            {QStringLiteral("inputExtent"), QRectF()},
                            {QStringLiteral("inputColor"), QColor(Qt::white)},
                            {QStringLiteral("inputStriationStrength"), 0.5}})
    {
    }

protected:
    // A white flash grows from the centre and fades; the pages change while it is brightest.
    void renderFrame(QPainter& painter, const QImage& from, const QImage& to, qreal t) const override
    {
        const QRectF area = extent(from);
        const QPointF c = center(from);
        painter.drawImage(QPointF(), from);
        painter.setOpacity(smoothstep(0.35, 0.65, t));
        painter.drawImage(QPointF(), to);
        painter.setOpacity(1);

        const qreal strength = std::sin(pi * t);
        const qreal reach = farthestCorner(c, area) * std::min(1.0, 0.15 + 2 * t);
        if (reach <= 0)
            return;
        const QColor color = colorParameter(valueForKey(QStringLiteral("inputColor")), Qt::white);
        const auto tinted = [&](qreal alpha) {
            QColor k = color;
            k.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
            return k;
        };
        // The light is smooth, so it is drawn on a quarter-size layer and scaled up: a fraction of the cost
        // of filling a gradient over every pixel of a dense screen.
        constexpr int cell = 4;
        const QSize grid(std::max(1, int(std::ceil(area.width() / cell))),
                         std::max(1, int(std::ceil(area.height() / cell))));
        if (_light.size() != grid)
            _light = QImage(grid, QImage::Format_ARGB32_Premultiplied);
        _light.fill(0);
        {
            QPainter light(&_light);
            light.scale(qreal(grid.width()) / area.width(), qreal(grid.height()) / area.height());
            light.translate(-area.topLeft());
            QRadialGradient flash(c, reach);
            flash.setColorAt(0, tinted(strength));
            flash.setColorAt(0.45, tinted(strength * 0.85));
            flash.setColorAt(1, tinted(0));
            light.fillRect(area, flash);

            // Thin rays turning slowly, brightest near the centre.
            const qreal striation = valueForKey(QStringLiteral("inputStriationStrength")).toDouble();
            QRadialGradient rayLight(c, reach * 1.2);
            rayLight.setColorAt(0, tinted(strength * striation));
            rayLight.setColorAt(1, tinted(0));
            QPainterPath rays;
            constexpr int count = 18;
            constexpr qreal half = 0.025;
            for (int i = 0; i < count; ++i) {
                const qreal a = 2 * pi * i / count + 0.4 * t;
                rays.moveTo(c);
                rays.lineTo(c + reach * 1.2 * QPointF(std::cos(a - half), std::sin(a - half)));
                rays.lineTo(c + reach * 1.2 * QPointF(std::cos(a + half), std::sin(a + half)));
                rays.closeSubpath();
            }
            light.setRenderHint(QPainter::Antialiasing);
            light.fillPath(rays, rayLight);
        }
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(area, _light);
    }

private:
    mutable QImage _light;
};

class ModTransition final : public TransitionFilter {
public:
    ModTransition()
        : TransitionFilter(QStringLiteral("CIModTransition"), {{QStringLiteral("inputCenter"), QVariant()},
                                                               {QStringLiteral("inputAngle"), 2.0},
                                                               {QStringLiteral("inputRadius"), 150.0},
                                                               {QStringLiteral("inputCompression"), 300.0}})
    {
    }

protected:
    // The new page shows through where a pattern of rings from the centre, crossed by a wave, falls below
    // a level that rises with time. The pattern is worked out on a quarter-size grid and scaled up smoothly,
    // which also softens its edges.
    void renderFrame(QPainter& painter, const QImage& from, const QImage& to, qreal t) const override
    {
        const QSizeF size = from.deviceIndependentSize();
        const QPointF c = center(from);
        const qreal angle = valueForKey(QStringLiteral("inputAngle")).toDouble();
        const qreal radius = std::max(1.0, valueForKey(QStringLiteral("inputRadius")).toDouble());
        const qreal compression = std::max(1.0, valueForKey(QStringLiteral("inputCompression")).toDouble());
        constexpr int cell = 4;
        const QSize grid(std::max(1, int(std::ceil(size.width() / cell))),
                         std::max(1, int(std::ceil(size.height() / cell))));
        if (_mask.size() != grid)
            _mask = QImage(grid, QImage::Format_ARGB32_Premultiplied);
        const qreal sx = size.width() / grid.width(), sy = size.height() / grid.height();
        const qreal ca = std::cos(angle), sa = std::sin(angle);
        constexpr qreal soft = 0.12;
        const qreal level = -soft + t * (1 + 2 * soft);
        for (int j = 0; j < grid.height(); ++j) {
            auto* line = reinterpret_cast<quint32*>(_mask.scanLine(j));
            const qreal y = (j + 0.5) * sy - c.y();
            for (int i = 0; i < grid.width(); ++i) {
                const qreal x = (i + 0.5) * sx - c.x();
                const qreal rings = std::sin(2 * pi * (std::hypot(x, y) / radius - 2 * t));
                const qreal wave = std::sin(2 * pi * ((x * ca + y * sa) / compression + t));
                const qreal f = 0.5 + 0.25 * rings + 0.25 * wave;
                const qreal alpha = std::clamp((level - f) / soft, 0.0, 1.0);
                line[i] = quint32(std::lround(alpha * 255)) << 24;
            }
        }
        painter.drawImage(QPointF(), from);
        drawMasked(painter, to, _mask);
    }

private:
    mutable QImage _mask;
};

} // namespace

TransitionFilter::TransitionFilter(QString name, QVariantMap defaults)
    : _name(std::move(name)), _parameters(withCommonInputs(std::move(defaults)))
{
}

TransitionFilter::~TransitionFilter() = default;

std::unique_ptr<TransitionFilter> TransitionFilter::filterWithName(const QString& name)
{
    if (name == QLatin1String("CICopyMachineTransition"))
        return std::make_unique<CopyMachineTransition>();
    if (name == QLatin1String("CIDissolveTransition"))
        return std::make_unique<DissolveTransition>();
    if (name == QLatin1String("CIFlashTransition"))
        return std::make_unique<FlashTransition>();
    if (name == QLatin1String("CIModTransition"))
        return std::make_unique<ModTransition>();
    if (name == QLatin1String("CISwipeTransition"))
        return std::make_unique<SwipeTransition>();
    return nullptr;
}

void TransitionFilter::render(QPainter& painter, qreal progress) const
{
    const QImage from = valueForKey(QStringLiteral("inputImage")).value<QImage>();
    const QImage to = valueForKey(QStringLiteral("inputTargetImage")).value<QImage>();
    // Also catches NaN.
    const qreal t = progress > 0 ? std::min(progress, 1.0) : 0.0;
    painter.save();
    if (to.isNull() || (t == 0 && !from.isNull())) {
        painter.drawImage(QPointF(), from);
    } else if (from.isNull() || t == 1) {
        painter.drawImage(QPointF(), to);
    } else if (to.size() != from.size() || to.devicePixelRatio() != from.devicePixelRatio()) {
        // The tab view never makes such a pair; a plain cross-fade keeps it drawable.
        painter.drawImage(QPointF(), from);
        painter.setOpacity(t);
        painter.drawImage(QPointF(), to);
    } else {
        renderFrame(painter, from, to, t);
    }
    painter.restore();
}

QImage TransitionFilter::outputImage() const
{
    const QImage from = valueForKey(QStringLiteral("inputImage")).value<QImage>();
    const QImage base =
        from.isNull() ? valueForKey(QStringLiteral("inputTargetImage")).value<QImage>() : from;
    if (base.isNull())
        return {};
    QImage out(base.size(), QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(base.devicePixelRatio());
    out.fill(0);
    QPainter painter(&out);
    render(painter, valueForKey(QStringLiteral("inputTime")).toDouble());
    return out;
}

QRectF TransitionFilter::extent(const QImage& from) const
{
    const QRectF r = valueForKey(QStringLiteral("inputExtent")).toRectF();
    return r.isValid() ? r : QRectF(QPointF(), from.deviceIndependentSize());
}

QPointF TransitionFilter::center(const QImage& from) const
{
    const QVariant c = valueForKey(QStringLiteral("inputCenter"));
    return c.isValid() ? c.toPointF() : extent(from).center();
}

QImage& TransitionFilter::scratchWith(const QImage& to) const
{
    const QImage source = to.format() == QImage::Format_ARGB32_Premultiplied
                              ? to
                              : to.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (_scratch.size() != source.size() || _scratch.bytesPerLine() != source.bytesPerLine())
        _scratch = QImage(source.size(), QImage::Format_ARGB32_Premultiplied);
    _scratch.setDevicePixelRatio(source.devicePixelRatio());
    if (_scratch.bytesPerLine() == source.bytesPerLine())
        std::memcpy(_scratch.bits(), source.constBits(), size_t(source.sizeInBytes()));
    return _scratch;
}

void TransitionFilter::drawSoftEdged(QPainter& painter, const QImage& to, qreal angle, qreal fullUntil,
                                     qreal noneFrom) const
{
    const QRectF area(QPointF(), to.deviceIndependentSize());
    const Axis axis = axisOver(area, angle);
    noneFrom = std::max(noneFrom, fullUntil + 1e-3);
    QImage& layer = scratchWith(to);
    {
        QPainter cut(&layer);
        cut.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        QLinearGradient edge(axis.dir * (axis.start + fullUntil), axis.dir * (axis.start + noneFrom));
        edge.setColorAt(0, Qt::black);
        edge.setColorAt(1, Qt::transparent);
        cut.fillRect(area, edge);
    }
    painter.drawImage(QPointF(), layer);
}

void TransitionFilter::drawMasked(QPainter& painter, const QImage& to, const QImage& mask) const
{
    QImage& layer = scratchWith(to);
    {
        QPainter cut(&layer);
        cut.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        cut.setRenderHint(QPainter::SmoothPixmapTransform);
        cut.drawImage(QRectF(QPointF(), to.deviceIndependentSize()), mask);
    }
    painter.drawImage(QPointF(), layer);
}
