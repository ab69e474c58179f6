// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The Quiet Hours page: the stored ranges as rows of day toggles and two times, and whether the chimes stay
// silent or play quietly during them. It holds every range; the controller saves what it reports.

#include "shared/QuietHours.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSlider;
class QTimeEdit;

class QuietHoursPage : public QWidget {
    Q_OBJECT
public:
    // Rows shown at most: a file of thousands of ranges must not build thousands of rows. The ranges
    // beyond are kept as they are and saved with the others.
    static constexpr int shownLimit = 50;
    // What "Play quietly" starts from when nothing louder than silence was chosen before.
    static constexpr int defaultPlayingVolume = 30;

    explicit QuietHoursPage(QWidget* parent = nullptr);
    ~QuietHoursPage() override;

    // Shows stored values; reports nothing.
    void setValues(const QList<QuietRange>& ranges, int quietVolume);
    const QList<QuietRange>& ranges() const { return m_ranges; }
    int quietVolume() const { return m_quietVolume; }

    // What the buttons do.
    void addRange();
    void removeRange(int index);

signals:
    // After each change the user makes, once.
    void edited();
    // The rows were made again; the page may need another width.
    void rowsChanged();

private:
    struct Row {
        QList<QAbstractButton*> days; // in the locale's order
        QTimeEdit* from = nullptr;
        QTimeEdit* until = nullptr;
        QPushButton* remove = nullptr;
    };

    void rebuildRows();
    void showVolume();
    void chainFocus();

    QList<QuietRange> m_ranges;
    int m_quietVolume = 0;
    QList<Row> m_rows;
    // Rows taken out of the window, whose deletion waits for the event loop.
    QList<QPointer<QWidget>> m_retired;
    QPointer<QScrollArea> m_list;
    QPointer<QLabel> m_empty;
    QPointer<QLabel> m_capped;
    QPointer<QPushButton> m_add;
    QPointer<QRadioButton> m_silent;
    QPointer<QRadioButton> m_quietly;
    QPointer<QSlider> m_volume;
    // Set while the page shows values, so that the controls' signals are not taken for the user's.
    bool m_showing = false;
};
