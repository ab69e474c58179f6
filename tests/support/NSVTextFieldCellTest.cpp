// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/NSVTextFieldCell.h"

#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QTableView>
#include <gtest/gtest.h>

TEST(NSVTextFieldCell, offset_is_half_the_spare_height_cut_toward_zero_and_taken_off_once)
{
    struct Case {
        QRectF frame;
        qreal font;
        bool vAlign;
        QRectF expected;
    };
    const Case cases[] = {
        {{0, 10, 100, 30}, 13, true, {0, 18, 100, 22}},  // 8.5 -> 8
        {{0, 10, 100, 8}, 13, true, {0, 8, 100, 10}},    // -2.5 -> -2: starts higher and is taller
        {{0, 10, 100, 13}, 13, true, {0, 10, 100, 13}},  // no room, no offset
        {{5, 10, 100, 30}, 13, false, {5, 10, 100, 30}}, // off: unchanged
    };
    for (const Case& c : cases)
        EXPECT_EQ(NSVTextFieldCell::alignedFrame(c.frame, c.font, c.vAlign), c.expected)
            << c.frame.height() << " high, " << c.font << " font, vAlign " << c.vAlign;
    EXPECT_TRUE(NSVTextFieldCell().isVerticalAligned());
}

namespace {

// Rows of inked pixels in a tall table row drawn by the cell.
std::pair<int, int> inkedRows(bool vAlign)
{
    QStandardItemModel model(1, 1);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("Mail")));
    QTableView view;
    QFont font = view.font();
    font.setPixelSize(13);
    view.setFont(font);
    NSVTextFieldCell cell;
    cell.setVerticalAlignment(vAlign);
    view.setItemDelegate(&cell);
    view.setModel(&model);

    QImage image(200, 60, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.font = font;
    option.rect = QRect(0, 0, 200, 60);
    option.widget = &view;
    {
        QPainter painter(&image);
        cell.paint(&painter, option, model.index(0, 0));
    }
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
    return {first, last};
}

} // namespace

TEST(NSVTextFieldCell, text_sits_in_the_middle_of_a_tall_row_only_when_aligned)
{
    const auto [top, bottom] = inkedRows(true);
    ASSERT_GE(top, 0) << "nothing drawn";
    // The frame starts 23 px down in a 60 px row: the glyphs lie in its middle third, not at the top.
    EXPECT_GE(top, 20);
    EXPECT_LE(bottom, 45);

    const auto [plainTop, plainBottom] = inkedRows(false);
    ASSERT_GE(plainTop, 0);
    EXPECT_LT(plainBottom, 20) << "a plain cell draws at the top of its frame";
}
