// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Draws the status item images: a bell, and the same bell struck through for "silenced".
//
// Each image is a two-page TIFF (16 and 32 px) so QIcon picks the page for the screen's density;
// each size is drawn from the same outline fitted to its own pixel grid rather than scaled.
// Usage: drawicons <output dir> [<preview dir>]  (the preview dir gets enlarged PNGs to look at)

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>
#include <cstdio>

namespace {

const QColor glyph(0x22, 0x22, 0x22);
const QColor halo(0xff, 0xff, 0xff, 0xe6);

// The bell in a 16-unit square; rim, crown and clapper edges lie on whole units so that the
// 16 px image has sharp horizontal edges.
QPainterPath bellPath()
{
    QPainterPath body;
    body.moveTo(8, 3);
    body.cubicTo(10.5, 3, 11.5, 5, 11.5, 7.5);
    body.cubicTo(11.5, 9.5, 12.5, 10.5, 14, 11);
    body.lineTo(14, 12);
    body.lineTo(2, 12);
    body.lineTo(2, 11);
    body.cubicTo(3.5, 10.5, 4.5, 9.5, 4.5, 7.5);
    body.cubicTo(4.5, 5, 5.5, 3, 8, 3);
    body.closeSubpath();
    QPainterPath parts = body;
    parts.addRoundedRect(QRectF(7, 1.2, 2, 2), 0.7, 0.7); // the crown
    parts.addRoundedRect(QRectF(7, 12, 2, 2), 0.9, 0.9);  // the clapper below the rim
    return parts.simplified();
}

QImage draw(int size, bool barred)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    // Outline width in units: one pixel at 16 px, a pixel and a half at 32 px.
    const qreal haloWidth = size <= 16 ? 2.0 : 1.5;
    const QPainterPath bell = bellPath();
    painter.strokePath(bell, QPen(halo, haloWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(bell, glyph);
    if (barred && size <= 16) {
        // At 16 px an antialiased diagonal turns grey; a two-pixel staircase with a halo pixel on
        // either side stays sharp.
        painter.end();
        for (int row = 1; row <= 14; ++row) {
            const int x = row;
            for (int dx : {-1, 2})
                if (x + dx >= 0 && x + dx < size)
                    image.setPixelColor(x + dx, row, halo);
            image.setPixelColor(x, row, glyph);
            image.setPixelColor(x + 1, row, glyph);
        }
    } else if (barred) {
        const QLineF bar(2.0, 2.0, 14.0, 14.0);
        const qreal barWidth = 1.5;
        const qreal gap = 1.5;
        // A clear gap around the bar keeps it apart from the bell on any panel colour.
        painter.setPen(QPen(halo, barWidth + gap, Qt::SolidLine, Qt::RoundCap));
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawLine(bar);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setPen(QPen(glyph, barWidth, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(bar);
    }
    return image;
}

// Baseline TIFF: one uncompressed RGBA strip per page, unassociated alpha, pages chained.
QByteArray tiff(const QList<QImage>& pages)
{
    QByteArray out("II*\0\0\0\0\0", 8);
    auto put16 = [&out](quint16 v) { out.append(char(v & 0xff)).append(char(v >> 8)); };
    auto put32 = [&out](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out.append(char((v >> (8 * i)) & 0xff));
    };
    auto patch32 = [&out](qsizetype at, quint32 v) { qToLittleEndian(v, out.data() + at); };
    qsizetype nextLink = 4;
    for (const QImage& page : pages) {
        const QImage rgba = page.convertToFormat(QImage::Format_RGBA8888);
        const quint32 width = quint32(rgba.width()), height = quint32(rgba.height());
        const quint32 bitsAt = quint32(out.size());
        for (int y = 0; y < rgba.height(); ++y)
            out.append(reinterpret_cast<const char*>(rgba.constScanLine(y)), qsizetype(width) * 4);
        const quint32 bitsPerSampleAt = quint32(out.size());
        for (int i = 0; i < 4; ++i)
            put16(8);
        if (out.size() % 2)
            out.append('\0');
        patch32(nextLink, quint32(out.size()));
        struct Entry {
            quint16 tag, type;
            quint32 count, value;
        };
        const Entry entries[] = {
            {256, 4, 1, width}, {257, 4, 1, height}, {258, 3, 4, bitsPerSampleAt},
            {259, 3, 1, 1},     {262, 3, 1, 2},      {273, 4, 1, bitsAt},
            {277, 3, 1, 4},     {278, 4, 1, height}, {279, 4, 1, width * height * 4},
            {284, 3, 1, 1},     {338, 3, 1, 2},
        };
        put16(quint16(std::size(entries)));
        for (const Entry& e : entries) {
            put16(e.tag);
            put16(e.type);
            put32(e.count);
            if (e.type == 3 && e.count == 1) {
                put16(quint16(e.value));
                put16(0);
            } else {
                put32(e.value);
            }
        }
        nextLink = out.size();
        put32(0);
    }
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QImage enlarged(const QImage& image, int factor)
{
    QImage big = image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return big;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication::setAttribute(Qt::AA_Use96Dpi);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: drawicons <output dir> [<preview dir>]\n");
        return 2;
    }
    const QString outDir = arguments.at(1);
    QDir().mkpath(outDir);
    for (const bool barred : {false, true}) {
        const QString name = barred ? QStringLiteral("Pealix16bar") : QStringLiteral("Pealix16");
        const QImage small = draw(16, barred), large = draw(32, barred);
        if (!writeFile(outDir + '/' + name + ".tiff", tiff({small, large}))) {
            std::fprintf(stderr, "drawicons: cannot write %s\n", qPrintable(outDir + '/' + name + ".tiff"));
            return 1;
        }
        if (arguments.size() > 2) {
            const QString previewDir = arguments.at(2);
            QDir().mkpath(previewDir);
            // Each preview on a light and on a dark panel colour side by side.
            for (const auto& [image, factor] : {std::pair{small, 12}, std::pair{large, 6}}) {
                const QImage big = enlarged(image, factor);
                QImage sheet(big.width() * 2, big.height(), QImage::Format_ARGB32);
                QPainter painter(&sheet);
                painter.fillRect(0, 0, big.width(), big.height(), QColor(0xe8, 0xe8, 0xe8));
                painter.fillRect(big.width(), 0, big.width(), big.height(), QColor(0x30, 0x30, 0x38));
                painter.drawImage(0, 0, big);
                painter.drawImage(big.width(), 0, big);
                painter.end();
                sheet.save(QStringLiteral("%1/%2-%3.png").arg(previewDir, name).arg(image.width()));
            }
        }
    }
    return 0;
}
