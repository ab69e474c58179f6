// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The pane's window, built in code: four pages of controls bound to the controller's keys.

#include "pane/PealixPref.h"

#include "platform/bindings/Bindings.h"
#include "platform/ui/PanelIconWatch.h"
#include "shared/ChimeSets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIconEngine>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Play (off) and stop (on), drawn in the button's text colour at paint time: some icon themes draw these
// as pale outlines that read as disabled, and this way they follow a light or dark palette as it changes.
class PreviewIconEngine : public QIconEngine {
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPalette palette = QApplication::palette();
        const QColor colour =
            palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                          mode == QIcon::Selected ? QPalette::HighlightedText : QPalette::ButtonText);
        const qreal side = std::min(rect.width(), rect.height());
        const QRectF box(rect.x() + (rect.width() - side) / 2.0, rect.y() + (rect.height() - side) / 2.0,
                         side, side);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(colour);
        if (state == QIcon::On) {
            const qreal inset = side * 0.25;
            painter->drawRoundedRect(box.adjusted(inset, inset, -inset, -inset), side * 0.06, side * 0.06);
        } else {
            const qreal top = box.top() + side * 0.2, bottom = box.bottom() - side * 0.2;
            const qreal left = box.left() + side * 0.28, right = box.right() - side * 0.18;
            painter->drawPolygon(
                QPolygonF({QPointF(left, top), QPointF(right, box.center().y()), QPointF(left, bottom)}));
        }
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        pixmap.setDevicePixelRatio(scale);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new PreviewIconEngine; }
};

QIcon previewIcon()
{
    return QIcon(new PreviewIconEngine);
}

// Rich text takes its link colour when the text is set: after a change of palette (a dark theme) the
// link is set again, so that it does not keep the light theme's blue.
class LinkRecolour : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::PaletteChange) {
            if (auto* label = qobject_cast<QLabel*>(watched)) {
                const QString text = label->text();
                label->clear();
                label->setText(text);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// The excluded applications: an icon column and the name column, greyed with a tooltip when the
// application was not found.
class ExcludedApplicationsModel : public platform::ChoiceListModel {
public:
    static constexpr int iconColumn = 0;
    static constexpr int nameColumn = 1;

    ExcludedApplicationsModel(PealixPref* pane, QObject* parent)
        : ChoiceListModel(pane, "excludedApplicationsDisplay", PealixPref::displayNameKey, parent)
    {
    }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : 2;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= entries().size())
            return {};
        const QVariantMap entry = entries().at(index.row()).toMap();
        const bool notFound = entry.value(PealixPref::notFoundKey).toBool();
        if (index.column() == iconColumn) {
            if (role == Qt::DecorationRole)
                return entry.value(PealixPref::iconKey);
            if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
                return data(index.siblingAtColumn(nameColumn), role);
            return {};
        }
        switch (role) {
        case Qt::ToolTipRole:
            return notFound
                       ? PealixPref::tr("%1 was not found; it stays excluded where it is installed again")
                             .arg(entry.value(PealixPref::displayNameKey).toString())
                       : ChoiceListModel::data(index, role);
        case Qt::ForegroundRole:
            return notFound ? QVariant(QApplication::palette().brush(QPalette::Disabled, QPalette::Text))
                            : QVariant();
        default:
            return ChoiceListModel::data(index, role);
        }
    }
};

} // namespace

QWidget* PealixPref::loadMainView()
{
    auto* view = new QWidget;
    setMainView(view);
    auto* layout = new QVBoxLayout(view);
    m_tabView = new AnimatingTabView;
    // A maximised window keeps the message and the pages at a width one can read across, in the middle.
    auto* column = new QWidget;
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->addWidget(buildSaveProblem());
    columnLayout->addWidget(m_tabView);
    auto* centred = new QHBoxLayout;
    centred->addStretch(1);
    centred->addWidget(column, 100);
    centred->addStretch(1);
    layout->addLayout(centred);

    // Chimes.
    auto* chimesPage = new QWidget;
    auto* chimesLayout = new QVBoxLayout(chimesPage);
    auto* active = new QCheckBox(tr("Chimes &on"));
    active->setAccessibleName(tr("Chimes on"));
    active->setToolTip(tr("Play the chosen chimes at every quarter hour"));
    platform::bind(active, "checked", this, "pealixActive");
    chimesLayout->addWidget(active);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    //: The label of a quarter's row: its minutes; the mnemonic may move to another digit.
    const char* rowLabels[] = {QT_TR_NOOP(":0&0"), QT_TR_NOOP(":&15"), QT_TR_NOOP(":&30"),
                               QT_TR_NOOP(":&45")};
    const char* keys[][4] = {{"sound0min", "chimesets0", "chime0", "strike0"},
                             {"sound15min", "chimesets15", "chime15", "strike15"},
                             {"sound30min", "chimesets30", "chime30", "strike30"},
                             {"sound45min", "chimesets45", "chime45", "strike45"}};
    const int minutes[] = {0, 15, 30, 45};
    const QIcon icon = previewIcon();
    for (int row = 0; row < 4; ++row) {
        const QString quarter = QStringLiteral(":%1").arg(minutes[row], 2, 10, QLatin1Char('0'));
        auto* label = new QLabel(tr(rowLabels[row]));
        auto* choice = new QComboBox;
        choice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        choice->setMinimumContentsLength(12);
        label->setBuddy(choice);
        platform::bindChoice(choice, this, keys[row][1], keys[row][0], ChimeSets::setNameKey, "ChimeSets");
        auto* melody = new QCheckBox(tr("Play melody"));
        melody->setAccessibleName(tr("Play melody at %1").arg(quarter));
        platform::bind(melody, "checked", this, keys[row][2]);
        //: A check box: after the melody, the bells strike as many times as the hour.
        auto* strike = new QCheckBox(tr("Strike the hour"));
        strike->setAccessibleName(tr("Strike the hour at %1").arg(quarter));
        platform::bind(strike, "checked", this, keys[row][3]);
        auto* preview = new QToolButton;
        preview->setCheckable(true);
        preview->setIcon(icon);
        preview->setAutoRaise(false);
        preview->setProperty("tag", minutes[row]);
        //: %1 is a quarter of the hour, written as its minutes: ":15".
        preview->setAccessibleName(tr("Preview %1").arg(quarter));
        preview->setToolTip(tr("Play or stop the melody of %1").arg(quarter));
        connect(preview, &QToolButton::clicked, this, [this, preview] { previewSound(preview); });
        m_previewButtons[row] = preview;
        grid->addWidget(label, row, 0, Qt::AlignRight);
        grid->addWidget(choice, row, 1);
        grid->addWidget(melody, row, 2);
        grid->addWidget(strike, row, 3);
        grid->addWidget(preview, row, 4);
    }
    chimesLayout->addLayout(grid);

    auto* volumeRow = new QFormLayout;
    auto* volume = new QSlider(Qt::Horizontal);
    volume->setRange(0, 100);
    volume->setPageStep(10);
    volume->setAccessibleName(tr("Volume"));
    platform::bind(volume, "value", this, "chimeVolume");
    volumeRow->addRow(tr("&Volume:"), volume);
    m_nextChimeLine = new NextChimeLine;
    volumeRow->addRow(QString(), m_nextChimeLine);
    chimesLayout->addLayout(volumeRow);
    chimesLayout->addStretch(1);
    //: The page of the chimes of the four quarters; mnemonics must differ from the other pages' names.
    m_tabView->addTab(chimesPage, tr("&Chimes"));

    m_quietHoursPage = new QuietHoursPage;
    connect(m_quietHoursPage, &QuietHoursPage::edited, this, &PealixPref::quietHoursEdited);
    m_tabView->addTab(m_quietHoursPage, tr("&Quiet Hours"));

    // Options.
    auto* optionsPage = new QWidget;
    auto* optionsLayout = new QVBoxLayout(optionsPage);
    //: The panel: the bar of the desktop that holds the clock and the icons of running programs.
    auto* menu = new QCheckBox(tr("Show &icon in the panel"));
    menu->setAccessibleName(tr("Show icon in the panel"));
    platform::bind(menu, "checked", this, "showPealixMenu");
    optionsLayout->addWidget(menu);
    // Stock desktops without a tray would otherwise take the check box silently; the desktop entry's
    // actions still reach the agent there.
    auto* noPanel = new QLabel(tr("This desktop shows no panel icons; right-click Pealix in the application "
                                  "menu to pause"));
    noPanel->setWordWrap(true);
    noPanel->setForegroundRole(QPalette::PlaceholderText);
    noPanel->setContentsMargins(menu->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                                    menu->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing),
                                0, 0, 0);
    noPanel->setAccessibleName(tr("No panel icons"));
    noPanel->hide();
    optionsLayout->addWidget(noPanel);
    auto* panel = new platform::PanelIconWatch(noPanel);
    const auto explain = [menu, noPanel, panel] {
        noPanel->setVisible(menu->isChecked() && panel->isSettled() && !panel->trayPresent());
    };
    connect(panel, &platform::PanelIconWatch::changed, noPanel, explain);
    connect(menu, &QCheckBox::toggled, noPanel, explain);
    auto* excludedLabel = new QLabel(tr("Stay silent while these applications run:"));
    excludedLabel->setWordWrap(true);
    optionsLayout->addWidget(excludedLabel);
    auto* excluded = new QTableView;
    excluded->setAccessibleName(tr("Excluded applications"));
    excluded->setModel(new ExcludedApplicationsModel(this, excluded));
    excluded->setSelectionMode(QAbstractItemView::SingleSelection);
    excluded->setEditTriggers(QAbstractItemView::NoEditTriggers);
    excluded->setIconSize(QSize(32, 32));
    excluded->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    excluded->verticalHeader()->setDefaultSectionSize(std::max(36, excluded->fontMetrics().height() + 8));
    excluded->horizontalHeader()->hide();
    excluded->horizontalHeader()->setStretchLastSection(true);
    excluded->horizontalHeader()->setSectionResizeMode(ExcludedApplicationsModel::iconColumn,
                                                       QHeaderView::Fixed);
    excluded->horizontalHeader()->resizeSection(ExcludedApplicationsModel::iconColumn, 40);
    excluded->setShowGrid(false);
    excluded->verticalHeader()->hide();
    excluded->setSelectionBehavior(QAbstractItemView::SelectRows);
    excluded->setMinimumHeight(excluded->verticalHeader()->defaultSectionSize() * 4);
    excludedLabel->setBuddy(excluded);
    optionsLayout->addWidget(excluded, 1);
    auto* excludedButtons = new QHBoxLayout;
    auto* addApplicationButton = new QPushButton(tr("&Add…"));
    addApplicationButton->setAccessibleName(tr("Add application…"));
    addApplicationButton->setToolTip(tr("Choose an application during which the chimes stay silent"));
    auto* removeApplicationButton = new QPushButton(tr("&Remove"));
    removeApplicationButton->setAccessibleName(tr("Remove application"));
    removeApplicationButton->setToolTip(tr("Remove the selected application from the list"));
    m_excluded->setControls(excluded, ExcludedApplicationsModel::nameColumn, addApplicationButton,
                            removeApplicationButton);
    excludedButtons->addWidget(addApplicationButton);
    excludedButtons->addWidget(removeApplicationButton);
    excludedButtons->addStretch(1);
    optionsLayout->addLayout(excludedButtons);
    auto* silenceGroup = new QGroupBox(tr("Also stay silent"));
    auto* silenceLayout = new QVBoxLayout(silenceGroup);
    using Option = bool Settings::SilenceOptions::*;
    const std::pair<QString, Option> silenceChoices[] = {
        {tr("While Do Not Disturb is on"), &Settings::SilenceOptions::doNotDisturb},
        {tr("While the microphone is in use"), &Settings::SilenceOptions::microphone},
        {tr("While a full-screen window is focused"), &Settings::SilenceOptions::fullScreen},
        {tr("While the screen is locked"), &Settings::SilenceOptions::lockedScreen},
    };
    for (std::size_t i = 0; i < m_silenceBoxes.size(); ++i) {
        const auto& [text, option] = silenceChoices[i];
        auto* box = new QCheckBox(text);
        box->setAccessibleName(text);
        box->setChecked(m_silence.*option);
        connect(box, &QCheckBox::toggled, this, [this, option](bool on) {
            m_silence.*option = on;
            saveToPrefs();
        });
        silenceLayout->addWidget(box);
        m_silenceBoxes[i] = box;
    }
    // Without an X server nothing tells which window is full-screen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        m_silenceBoxes[2]->setEnabled(false);
        m_silenceBoxes[2]->setToolTip(
            tr("This Wayland session does not tell applications which window is full-screen"));
    }
    optionsLayout->addWidget(silenceGroup);
    m_tabView->addTab(optionsPage, tr("O&ptions"));

    // About.
    auto* aboutPage = new QWidget;
    auto* aboutLayout = new QVBoxLayout(aboutPage);
    m_versionInfo = new QLabel;
    m_versionInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont versionFont = m_versionInfo->font();
    versionFont.setBold(true);
    m_versionInfo->setFont(versionFont);
    aboutLayout->addWidget(m_versionInfo);
    auto* what = new QLabel(tr("A clock chime for the desktop: a melody at the quarter hours, and the hour "
                               "struck on the bells."));
    what->setWordWrap(true);
    aboutLayout->addWidget(what);
    aboutLayout->addWidget(new QLabel(tr("Copyright © 2026 The Pealix developers")));
    auto* licence =
        new QLabel(QStringLiteral("<a href=\"licence\">%1</a>")
                       .arg(tr("GNU General Public License, version 3 or later").toHtmlEscaped()));
    licence->setAccessibleName(tr("GNU General Public License, version 3 or later"));
    licence->setToolTip(tr("Show the licence"));
    licence->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(licence, &QLabel::linkActivated, this, [this] { showLicence(); });
    licence->installEventFilter(new LinkRecolour(licence));
    aboutLayout->addWidget(licence);
    aboutLayout->addSpacing(licence->fontMetrics().height());
    auto* aboutButtons = new QHBoxLayout;
    auto* help = new QPushButton(tr("&Help"));
    help->setAccessibleName(tr("Help"));
    connect(help, &QPushButton::clicked, this, [this, help] { showHelp(help); });
    aboutButtons->addWidget(help);
    auto* update = new QPushButton(tr("Check for &Updates"));
    update->setAccessibleName(tr("Check for updates"));
    connect(update, &QPushButton::clicked, this, [this, update] { checkForUpdates(update); });
    aboutButtons->addWidget(update);
    auto* uninstallButton = new QPushButton(tr("U&ninstall…"));
    uninstallButton->setAccessibleName(tr("Uninstall…"));
    connect(uninstallButton, &QPushButton::clicked, this, [this] { uninstall(); });
    aboutButtons->addWidget(uninstallButton);
    aboutButtons->addStretch(1);
    aboutLayout->addLayout(aboutButtons);
    aboutLayout->addStretch(1);
    m_tabView->addTab(aboutPage, tr("A&bout"));

    // Settings apply at once, so Esc only has to close the window.
    auto* close = new QShortcut(QKeySequence::Cancel, view, nullptr, nullptr, Qt::WindowShortcut);
    connect(close, &QShortcut::activated, view, [view] { view->window()->close(); });
    auto* helpKey = new QShortcut(QKeySequence::HelpContents, view, nullptr, nullptr, Qt::WindowShortcut);
    connect(helpKey, &QShortcut::activated, this, [this] { showHelp(); });
    m_pagesColumn = column;
    fitPagesColumn();
    connect(m_quietHoursPage, &QuietHoursPage::rowsChanged, this, &PealixPref::fitPagesColumn);
    return view;
}

void PealixPref::fitPagesColumn()
{
    if (!m_pagesColumn || !m_tabView)
        return;
    // Never narrower than the widest page needs.
    const int readableWidth = std::max(m_tabView->minimumSizeHint().width(),
                                       m_pagesColumn->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 56);
    m_pagesColumn->setMaximumWidth(readableWidth);
}
