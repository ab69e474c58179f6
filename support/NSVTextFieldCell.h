// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A text delegate that draws its single line centred vertically in a row taller than the text.

#include <QRectF>
#include <QStyledItemDelegate>

class NSVTextFieldCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit NSVTextFieldCell(QObject* parent = nullptr);

    void setVerticalAlignment(bool vAlign) { _vAlign = vAlign; }
    bool isVerticalAligned() const { return _vAlign; }

    // The frame the text is drawn in: moved down by half the room the font leaves, cut toward zero, and
    // shortened by that offset once, so the text stays clear of the bottom edge.
    static QRectF alignedFrame(const QRectF& frame, qreal fontSize, bool vAlign);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    bool _vAlign = true;
};
