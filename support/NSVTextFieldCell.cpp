// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/NSVTextFieldCell.h"

#include <QApplication>
#include <QFontInfo>
#include <QPainter>
#include <cmath>

NSVTextFieldCell::NSVTextFieldCell(QObject* parent) : QStyledItemDelegate(parent) {}

QRectF NSVTextFieldCell::alignedFrame(const QRectF& frame, qreal fontSize, bool vAlign)
{
    if (!vAlign)
        return frame;
    const qreal offset = std::trunc((frame.height() - fontSize) * 0.5);
    return QRectF(frame.x(), frame.y() + offset, frame.width(), frame.height() - offset);
}

void NSVTextFieldCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    // The row is still drawn whole (selection, focus); only the text moves. The text starts at the top of
    // its frame as a plain text cell does, so the offset alone decides where it sits.
    const QRect row = cell.rect;
    // The font's em in the view's units: what a point is on a display where view units are points.
    const qreal fontSize = QFontInfo(cell.font).pixelSize();
    const QRect text = alignedFrame(row, fontSize, _vAlign).toRect();
    cell.displayAlignment = (cell.displayAlignment & Qt::AlignHorizontal_Mask) | Qt::AlignTop;

    QStyleOptionViewItem background(cell);
    background.text.clear();
    background.icon = QIcon();
    QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, cell.widget);

    QStyleOptionViewItem label(cell);
    label.rect = text;
    // The row's pass drew the background, selection and focus; this one draws the icon and text only, and
    // keeps the selected state for the text's colour.
    label.state &= ~QStyle::State_HasFocus;
    label.backgroundBrush = Qt::NoBrush;
    label.features &= ~QStyleOptionViewItem::Alternate;
    label.palette.setBrush(QPalette::Highlight, Qt::transparent);
    painter->save();
    painter->setClipRect(row);
    style->drawControl(QStyle::CE_ItemViewItem, &label, painter, cell.widget);
    painter->restore();
}
