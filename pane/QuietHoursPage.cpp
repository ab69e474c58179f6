// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pane/QuietHoursPage.h"

#include "shared/NextChime.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The accessible names name whole days in the language of the messages, which need not be the one of the
// formats that the buttons show.
const char* const isoDayNames[] = {
    QT_TRANSLATE_NOOP("QuietHoursPage", "Monday"),    QT_TRANSLATE_NOOP("QuietHoursPage", "Tuesday"),
    QT_TRANSLATE_NOOP("QuietHoursPage", "Wednesday"), QT_TRANSLATE_NOOP("QuietHoursPage", "Thursday"),
    QT_TRANSLATE_NOOP("QuietHoursPage", "Friday"),    QT_TRANSLATE_NOOP("QuietHoursPage", "Saturday"),
    QT_TRANSLATE_NOOP("QuietHoursPage", "Sunday")};

QList<int> daysInLocaleOrder()
{
    const int first = int(QLocale().firstDayOfWeek());
    QList<int> days;
    for (int i = 0; i < 7; ++i)
        days.append((first - 1 + i) % 7 + 1);
    return days;
}

QTime timeOf(int minutes)
{
    return QTime(minutes / 60, minutes % 60);
}

int minutesOf(QTime time)
{
    return time.hour() * 60 + time.minute();
}

// A day that is on is drawn in the selection colour: a pressed-in bevel alone is hard to tell from one that
// is out, in light and dark themes alike.
class DayToggle : public QToolButton {
public:
    DayToggle()
    {
        setCheckable(true);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        if (isChecked()) {
            option.palette.setColor(QPalette::Button, palette().color(QPalette::Highlight));
            option.palette.setColor(QPalette::ButtonText, palette().color(QPalette::HighlightedText));
            option.state &= ~QStyle::State_Sunken;
            option.state |= QStyle::State_Raised;
        }
        painter.drawComplexControl(QStyle::CC_ToolButton, option);
    }
};

// A list that is as wide as its rows, so that a large font or scale widens the window instead of hiding
// the ends of the rows behind a scroll bar; it scrolls only up and down.
class RangeList : public QScrollArea {
public:
    RangeList()
    {
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

    QSize minimumSizeHint() const override
    {
        const QSize rows = widget() ? widget()->minimumSizeHint() : QSize();
        const int oneRow = fontMetrics().height() * 2 + 4;
        return {rows.width() + chrome(), std::min(rows.height(), oneRow * 2) + 2 * frameWidth()};
    }
    QSize sizeHint() const override
    {
        const QSize rows = widget() ? widget()->sizeHint() : QSize();
        const int oneRow = fontMetrics().height() * 2 + 4;
        return {rows.width() + chrome(), std::min(rows.height(), oneRow * 5) + 2 * frameWidth()};
    }

private:
    int chrome() const { return 2 * frameWidth() + verticalScrollBar()->sizeHint().width(); }
};

} // namespace

QuietHoursPage::QuietHoursPage(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(tr("During these hours the chimes stay silent or play quietly:"));
    intro->setWordWrap(true);
    layout->addWidget(intro);

    m_list = new RangeList;
    m_list->setAccessibleName(tr("Quiet hours"));
    layout->addWidget(m_list, 1);
    m_empty = new QLabel(tr("No quiet hours: the chimes sound at every quarter you chose."));
    m_empty->setWordWrap(true);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setEnabled(false);
    layout->addWidget(m_empty, 1);
    m_capped = new QLabel;
    m_capped->setWordWrap(true);
    m_capped->hide();
    layout->addWidget(m_capped);

    auto* buttons = new QHBoxLayout;
    m_add = new QPushButton(tr("A&dd Quiet Hours"));
    m_add->setAccessibleName(tr("Add quiet hours"));
    m_add->setToolTip(tr("Add a range of hours in which the chimes are quiet"));
    connect(m_add, &QPushButton::clicked, this, [this] { addRange(); });
    buttons->addWidget(m_add);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    layout->addSpacing(fontMetrics().height() / 2);
    layout->addWidget(new QLabel(tr("During quiet hours:")));
    m_silent = new QRadioButton(tr("&Stay silent"));
    m_silent->setAccessibleName(tr("Stay silent during quiet hours"));
    layout->addWidget(m_silent);
    auto* quietlyRow = new QHBoxLayout;
    m_quietly = new QRadioButton(tr("Play quie&tly"));
    m_quietly->setAccessibleName(tr("Play quietly during quiet hours"));
    quietlyRow->addWidget(m_quietly);
    m_volume = new QSlider(Qt::Horizontal);
    // Silence is the other choice; the slider stays above it.
    m_volume->setRange(1, 100);
    m_volume->setPageStep(10);
    m_volume->setValue(defaultPlayingVolume);
    m_volume->setAccessibleName(tr("Quiet volume"));
    m_volume->setToolTip(tr("The volume of the chimes during quiet hours"));
    quietlyRow->addWidget(m_volume, 1);
    layout->addLayout(quietlyRow);
    auto* group = new QButtonGroup(this);
    group->addButton(m_silent);
    group->addButton(m_quietly);

    connect(m_silent, &QRadioButton::toggled, this, [this](bool on) {
        if (!on || m_showing)
            return;
        m_quietVolume = 0;
        m_volume->setEnabled(false);
        emit edited();
    });
    connect(m_quietly, &QRadioButton::toggled, this, [this](bool on) {
        if (!on || m_showing)
            return;
        m_quietVolume = m_volume->value();
        m_volume->setEnabled(true);
        emit edited();
    });
    connect(m_volume, &QSlider::valueChanged, this, [this](int volume) {
        if (m_showing || !m_quietly->isChecked())
            return;
        m_quietVolume = volume;
        emit edited();
    });

    showVolume();
    rebuildRows();
}

QuietHoursPage::~QuietHoursPage()
{
    // Without a parent they would outlive the window when no event loop runs after it.
    for (const QPointer<QWidget>& rows : std::as_const(m_retired))
        delete rows.data();
}

void QuietHoursPage::setValues(const QList<QuietRange>& ranges, int quietVolume)
{
    m_ranges = ranges;
    m_quietVolume = std::clamp(quietVolume, 0, 100);
    showVolume();
    rebuildRows();
}

void QuietHoursPage::addRange()
{
    QuietRange range;
    if (m_ranges.isEmpty()) {
        // The night, every night.
        range.days = 0x7f;
        range.start = 22 * 60;
        range.end = 7 * 60;
    } else {
        // Then the weekend, whole days: the next wish of most.
        range.setDay(6, true);
        range.setDay(7, true);
    }
    // Past the rows shown it goes to the last row shown, so that it can be seen and edited.
    const qsizetype at = std::min<qsizetype>(m_ranges.size(), shownLimit - 1);
    m_ranges.insert(at, range);
    rebuildRows();
    if (at < m_rows.size())
        m_list->ensureWidgetVisible(m_rows[at].remove);
    emit edited();
}

void QuietHoursPage::removeRange(int index)
{
    if (index < 0 || index >= m_ranges.size())
        return;
    m_ranges.removeAt(index);
    rebuildRows();
    // The keyboard stays in the list, on the next row's button, else the previous one's.
    if (index < m_rows.size())
        m_rows[index].remove->setFocus();
    else if (!m_rows.isEmpty())
        m_rows.last().remove->setFocus();
    else
        m_add->setFocus();
    emit edited();
}

void QuietHoursPage::showVolume()
{
    m_showing = true;
    const bool quietly = m_quietVolume > 0;
    (quietly ? m_quietly : m_silent)->setChecked(true);
    if (quietly)
        m_volume->setValue(m_quietVolume);
    m_volume->setEnabled(quietly);
    m_showing = false;
}

void QuietHoursPage::rebuildRows()
{
    // The old rows may hold the button being clicked; they go once its click has returned, and are out of
    // the window at once.
    if (QWidget* old = m_list->takeWidget()) {
        // Their numbers no longer match the ranges; a time edit losing focus as it goes must not write.
        for (QObject* child : old->findChildren<QObject*>())
            QObject::disconnect(child, nullptr, this, nullptr);
        old->hide();
        old->setParent(nullptr);
        old->deleteLater();
        m_retired.removeAll(nullptr);
        m_retired.append(old);
    }
    m_rows.clear();

    auto* rows = new QWidget;
    auto* grid = new QGridLayout(rows);
    grid->setColumnStretch(5, 1);
    const QLocale locale;
    const QList<int> order = daysInLocaleOrder();
    const QString timeFormat = NextChime::timeFormat();
    int dayWidth = 0;
    const qsizetype shown = std::min<qsizetype>(m_ranges.size(), shownLimit);
    for (int index = 0; index < shown; ++index) {
        const QuietRange& range = m_ranges[index];
        const int number = index + 1;
        Row row;
        auto* days = new QHBoxLayout;
        days->setSpacing(2);
        for (int day : order) {
            auto* toggle = new DayToggle;
            toggle->setText(locale.dayName(day, QLocale::ShortFormat));
            toggle->setToolTip(locale.dayName(day, QLocale::LongFormat));
            //: The accessible name of a day's button in a row of quiet hours: "Quiet hours 1 Monday"
            toggle->setAccessibleName(tr("Quiet hours %1 %2").arg(number).arg(tr(isoDayNames[day - 1])));
            toggle->setChecked(range.hasDay(day));
            dayWidth = std::max(dayWidth, toggle->sizeHint().width());
            connect(toggle, &QToolButton::toggled, this, [this, index, day](bool on) {
                m_ranges[index].setDay(day, on);
                emit edited();
            });
            days->addWidget(toggle);
            row.days.append(toggle);
        }
        grid->addLayout(days, index, 0);

        const auto timeEdit = [&](int minutes, const QString& name) {
            auto* edit = new QTimeEdit(timeOf(minutes));
            edit->setDisplayFormat(timeFormat);
            edit->setWrapping(true);
            edit->setAccessibleName(name);
            return edit;
        };
        row.from = timeEdit(range.start, tr("Quiet hours %1 from").arg(number));
        row.from->setToolTip(tr("Quiet from"));
        connect(row.from, &QTimeEdit::timeChanged, this, [this, index](QTime time) {
            m_ranges[index].start = minutesOf(time);
            emit edited();
        });
        row.until = timeEdit(range.end, tr("Quiet hours %1 until").arg(number));
        row.until->setToolTip(tr("Quiet until; a time not after the start is on the next day"));
        connect(row.until, &QTimeEdit::timeChanged, this, [this, index](QTime time) {
            m_ranges[index].end = minutesOf(time);
            emit edited();
        });
        grid->addWidget(row.from, index, 1);
        //: Between the start and the end of quiet hours
        grid->addWidget(new QLabel(tr("–")), index, 2);
        grid->addWidget(row.until, index, 3);

        row.remove = new QPushButton(tr("Remove"));
        row.remove->setAccessibleName(tr("Remove quiet hours %1").arg(number));
        row.remove->setToolTip(tr("Remove these quiet hours"));
        connect(row.remove, &QPushButton::clicked, this, [this, index] { removeRange(index); });
        grid->addWidget(row.remove, index, 4);
        m_rows.append(row);
    }
    // Every day as wide as the widest, so that the days of all rows line up.
    for (const Row& row : std::as_const(m_rows))
        for (QAbstractButton* toggle : row.days)
            toggle->setMinimumWidth(dayWidth);
    grid->setRowStretch(int(shown), 1);
    m_list->setWidget(rows);
    m_list->setVisible(!m_ranges.isEmpty());
    m_empty->setVisible(m_ranges.isEmpty());
    m_list->updateGeometry();

    m_capped->setVisible(m_ranges.size() > shownLimit);
    if (m_ranges.size() > shownLimit)
        m_capped->setText(tr("The first %1 of %2 quiet hours are shown; the others are kept as they are.")
                              .arg(shownLimit)
                              .arg(QLocale().toString(m_ranges.size())));
    chainFocus();
    emit rowsChanged();
}

void QuietHoursPage::chainFocus()
{
    // Rows made after the buttons below them come first all the same.
    QList<QWidget*> order;
    for (const Row& row : std::as_const(m_rows)) {
        for (QAbstractButton* toggle : row.days)
            order.append(toggle);
        order << row.from << row.until << row.remove;
    }
    order << m_add << m_silent << m_quietly << m_volume;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}
