// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pane/PealixPref.h"

#include "pane/SettingsSaver.h"

#include "platform/audio/Sound.h"
#include "platform/bindings/Bindings.h"
#include "platform/bundles/Bundle.h"
#include "platform/files/FileManager.h"
#include "platform/settings/Preferences.h"
#include "platform/workspace/LaunchServices.h"
#include "platform/workspace/ProcessSignals.h"
#include "shared/ChimeSets.h"
#include "shared/PrefKeys.h"
#include "shared/Product.h"
#include "shared/Settings.h"
#include "support/Authorizer.h"
#include "support/NSWorkspaceProcessInfo.h"
#include "support/QXLoginItemRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>

Q_LOGGING_CATEGORY(lcPane, "pealix.pane", QtWarningMsg)

using platform::didChangeValueForKey;
using platform::KeyValueChange;
using platform::setValueForKey;
using platform::Sound;
using platform::willChangeValueForKey;

//: The last entry of each quarter's list of chime sets; it asks for a sound file of one's own.
const QString PealixPref::customChoiceName = QStringLiteral(QT_TRANSLATE_NOOP("ChimeSets", "Custom..."));
// The chime sets that ship, by the names their lists give them: the boxes show them translated.
[[maybe_unused]] const char* const shippedChimeSetNames[] = {
    //: A chime set: the bells of a chiming clock.
    QT_TRANSLATE_NOOP("ChimeSets", "Chimes"),
    //: A chime set: the large bells of a cathedral.
    QT_TRANSLATE_NOOP("ChimeSets", "Cathedral"),
    //: A chime set: a carillon, many tuned bells played together.
    QT_TRANSLATE_NOOP("ChimeSets", "Carillon")};
const QString PealixPref::customKey = QStringLiteral("custom");
const QString PealixPref::contextKeyPath = QStringLiteral("keyPath");
const QString PealixPref::contextOldValue = QStringLiteral("old");

namespace {

const QString agentBundleName = QLatin1String(Product::agentBundleName);
const QString agentCommandName = QStringLiteral("PealixTool");
const QString uninstallToolName = QStringLiteral("UninstallTool");
const char uninstallRightName[] = "com.quorlenvik.pealix.uninstall";
// The tool only moves files, but a trash on another file system means copying them.
constexpr int uninstallToolLimitMs = 10 * 60 * 1000;
constexpr int maximumLoginItemRemovals = 64;
constexpr int swipeTransition = 4;
constexpr int panelConfirmed = 1;
// A chosen file still loading after this long (a hung mount) is refused like a file without sound.
constexpr int customSoundLoadLimitMs = 10000;
// A change that could not be saved is tried again after these, doubling in between.
constexpr int firstSaveRetryMs = 250;
constexpr int lastSaveRetryMs = 4000;
constexpr int closingLockWaitMs = 500;
// The whole of the last save as the window goes: the lock wait and the write itself.
constexpr int closingBoundMs = 1500;

struct Quarter {
    int minute;
    const char* chime;
    const char* strike;
    const char* selection;
    const char* list;
};

constexpr Quarter quarters[] = {
    {0, "chime0", "strike0", "sound0min", "chimesets0"},
    {15, "chime15", "strike15", "sound15min", "chimesets15"},
    {30, "chime30", "strike30", "sound30min", "chimesets30"},
    {45, "chime45", "strike45", "sound45min", "chimesets45"},
};

const Quarter* quarterForMinute(qint64 minute)
{
    for (const Quarter& q : quarters)
        if (q.minute == minute)
            return &q;
    return nullptr;
}

const Quarter* quarterForSelection(const QString& key)
{
    for (const Quarter& q : quarters)
        if (key == QLatin1String(q.selection))
            return &q;
    return nullptr;
}

bool isCustomEntry(const QVariantMap& entry)
{
    return entry.contains(PealixPref::customKey);
}

QVariantMap customEntry(const QString& path)
{
    return {{ChimeSets::setNameKey, QFileInfo(path).fileName()},
            {ChimeSets::fileKey, path},
            {PealixPref::customKey, true}};
}

// An application-modal alert of the host; true when the default (first) button was pressed.
bool runAlertPanel(const QString& title, const QString& message, const QString& defaultButton = {},
                   const QString& alternateButton = {})
{
    QMessageBox box(QMessageBox::NoIcon, title, message);
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* first = box.addButton(defaultButton.isEmpty() ? QMessageBox::tr("OK") : defaultButton,
                                       QMessageBox::AcceptRole);
    if (!alternateButton.isEmpty())
        box.addButton(alternateButton, QMessageBox::RejectRole);
    box.setDefaultButton(first);
    box.exec();
    return box.clickedButton() == static_cast<QAbstractButton*>(first);
}

// The message above the pages: the window's own colour tinted amber, taken when painted, so that the
// text stays legible in light and dark themes alike.
class SaveProblemBar : public QFrame {
protected:
    void paintEvent(QPaintEvent* event) override
    {
        const QColor window = palette().color(QPalette::Window);
        const QColor amber(0xf6, 0xb7, 0x2d);
        const auto mix = [](float a, float b) { return a * 0.75f + b * 0.25f; };
        QPainter(this).fillRect(rect(), QColor::fromRgbF(mix(window.redF(), amber.redF()),
                                                         mix(window.greenF(), amber.greenF()),
                                                         mix(window.blueF(), amber.blueF())));
        QFrame::paintEvent(event);
    }
};

} // namespace

PealixPref::PealixPref(const platform::Bundle& bundle, QObject* parent)
    : PreferencePane(bundle, parent), m_domain(std::make_unique<platform::Preferences>(PrefKeys::domain)),
      m_saver(std::make_unique<SettingsSaver>(PrefKeys::domain)), m_help(std::make_unique<HelpPanel>(*this)),
      m_excluded(std::make_unique<ExcludedApplications>(*this))
{
    // The window never waits on another program's lock, nor on the disk: m_domain only reads, and a write
    // that cannot happen now is retried.
    m_saveRetry.setSingleShot(true);
    connect(&m_saveRetry, &QTimer::timeout, this, &PealixPref::writePrefs);
    connect(m_saver.get(), &SettingsSaver::finished, this, &PealixPref::saveFinished);
    connect(m_excluded.get(), &ExcludedApplications::edited, this, &PealixPref::saveToPrefs);
}

PealixPref::~PealixPref()
{
    // A change still waiting to be saved gets one last, short wait for the lock as the window goes.
    if (!changesSaved() && !m_saver->flush(closingLockWaitMs, closingBoundMs))
        qCWarning(lcPane) << "the last change did not reach" << m_domain->filePath();
    stopPreview();
    delete m_customSoundPanel.data();
}

QString PealixPref::agentResourcePath() const
{
    const QString agent = bundle().pathForAuxiliaryExecutable(agentBundleName);
    return agent.isEmpty() ? QString() : platform::Bundle(agent).resourcePath();
}

void PealixPref::mainViewDidLoad()
{
    PreferencePane::mainViewDidLoad();
    m_chimesetDict.clear();
    m_standardChimesets.clear();
    buildChoiceLists();
    m_excluded->viewDidLoad();
    readPrefs();
    saveToPrefs();
    stopPreview();
    if (m_versionInfo) {
        const QVariantMap info = bundle().infoDictionary();
        m_versionInfo->setText(
            QStringLiteral("%1 %2").arg(info.value(QStringLiteral("NSPrefPaneIconLabel")).toString(),
                                        info.value(QStringLiteral("CFBundleShortVersionString")).toString()));
    }
    if (m_tabView)
        m_tabView->setTransitionStyle(swipeTransition);
}

void PealixPref::buildChoiceLists()
{
    const QString agentPath = bundle().pathForAuxiliaryExecutable(agentBundleName);
    const QStringList paths = agentPath.isEmpty()
                                  ? QStringList()
                                  : platform::Bundle(agentPath).pathsForResourcesOfType(ChimeSets::extension);
    m_defaultChimeIndex = 0;
    for (const QString& path : paths) {
        // An unreadable set is left out of the lists and the lookup alike.
        const auto set = ChimeSets::loadSet(path);
        if (!set)
            continue;
        const QString name = set->value(ChimeSets::setNameKey).toString();
        if (name == ChimeSets::defaultSetName)
            m_defaultChimeIndex = int(m_standardChimesets.size());
        m_standardChimesets.append(*set);
        m_chimesetDict.insert(name, *set);
    }
    m_standardChimesets.append(QVariantMap{{ChimeSets::setNameKey, customChoiceName}});
    for (const Quarter& q : quarters)
        willChangeValueForKey(this, q.list);
    m_chimesets0 = m_chimesets15 = m_chimesets30 = m_chimesets45 = m_standardChimesets;
    for (const Quarter& q : quarters)
        didChangeValueForKey(this, q.list);
}

void PealixPref::readPrefs()
{
    m_prefsDoneReading = false;
    setValueForKey(this, QVariantList(), "excludedApplicationsDisplay");
    setValueForKey(this, QVariantList(), "excludedApplicationsPrefs");

    for (const Quarter& q : quarters)
        willChangeValueForKey(this, q.selection);
    const QVariantMap defaultChoice = m_standardChimesets.value(m_defaultChimeIndex).toMap();
    m_sound0min = m_sound15min = m_sound30min = m_sound45min = defaultChoice;
    for (const Quarter& q : quarters)
        didChangeValueForKey(this, q.selection);

    for (const ChimeInfo& info : Settings::defaultChimeInfo({})) {
        const Quarter& q = *quarterForMinute(info.minute);
        setValueForKey(this, info.chime, q.chime);
        setValueForKey(this, info.strike, q.strike);
    }
    setValueForKey(this, Settings::spec(Settings::Key::pealixMenuActive).paneDefault->toBool(),
                   "showPealixMenu");
    setValueForKey(this, int(Settings::spec(Settings::Key::chimeVolume).paneDefault->toLongLong()),
                   "chimeVolume");

    m_domain->synchronize();
    const Settings::Values values = Settings::read(*m_domain, Settings::Reader::pane);
    if (m_domain->copyValue(PrefKeys::chimeInfo).typeId() == QMetaType::QVariantList) {
        // As for the agent, so that a file with thousands of records still leaves one choice per quarter.
        for (const ChimeInfo& info : Settings::lastPerQuarter(values.chimeInfo)) {
            const Quarter& q = *quarterForMinute(info.minute);
            const bool isSet = info.set && m_chimesetDict.contains(*info.set);
            setValueForKey(this, info.strike, q.strike);
            setValueForKey(this, info.chime, q.chime);
            if (isSet) {
                setValueForKey(this, m_chimesetDict.value(*info.set), q.selection);
            } else {
                const QVariantMap entry = customEntry(info.path);
                willChangeValueForKey(this, q.list);
                platform::mutableArrayValueForKey(this, q.list).append(entry);
                didChangeValueForKey(this, q.list);
                setValueForKey(this, entry, q.selection);
            }
        }
    }
    setValueForKey(this, values.chimeVolume, "chimeVolume");
    setValueForKey(this, values.pealixActive.value_or(false), "pealixActive");
    m_quietHours = values.quietHours;
    m_quietVolume = values.quietVolume;
    if (m_quietHoursPage)
        m_quietHoursPage->setValues(m_quietHours.ranges(), m_quietVolume);
    m_silence = values.silence;
    const bool silenceChecked[] = {m_silence.doNotDisturb, m_silence.microphone, m_silence.fullScreen,
                                   m_silence.lockedScreen};
    for (std::size_t i = 0; i < m_silenceBoxes.size(); ++i)
        if (m_silenceBoxes[i])
            m_silenceBoxes[i]->setChecked(silenceChecked[i]);
    if (values.pealixMenuActive)
        setValueForKey(this, *values.pealixMenuActive, "showPealixMenu");

    const auto observe = [this](const char* key, const void* context) {
        platform::addObserver(
            this, key, this, [this](const KeyValueChange& change) { observeValueForKeyPath(change); },
            context);
    };
    for (const Quarter& q : quarters)
        observe(q.chime, nullptr);
    for (const Quarter& q : quarters)
        observe(q.strike, nullptr);
    for (const Quarter& q : quarters)
        observe(q.selection, &m_standardChimesets);
    observe("showPealixMenu", nullptr);
    observe("chimeVolume", nullptr);

    if (!values.excluded.isEmpty()) {
        QVariantList stored;
        stored.reserve(values.excluded.size());
        for (const ExcludedApplication& app : values.excluded)
            stored.append(app.toValue());
        setValueForKey(this, stored, "excludedApplicationsPrefs");
        m_excluded->rebuild();
    }
    // What shows is whether the agent really is a login item: a registration that failed reads as off.
    setValueForKey(this, QXLoginItemRegistry::indexForLoginItemWithAppName(agentBundleName) != -1,
                   "pealixActive");
    m_prefsDoneReading = true;
}

QVariantMap PealixPref::_prefsDictForMinute(int minute, bool chime, bool strike,
                                            const QVariantMap& soundInfo) const
{
    QVariantMap record{
        {PrefKeys::chime, chime}, {PrefKeys::strike, strike}, {PrefKeys::minute, qint64(minute)}};
    if (isCustomEntry(soundInfo)) {
        record.insert(PrefKeys::set, PrefKeys::customSetName);
        record.insert(PrefKeys::path, soundInfo.value(ChimeSets::fileKey).toString());
    } else {
        if (soundInfo.contains(ChimeSets::setNameKey))
            record.insert(PrefKeys::set, soundInfo.value(ChimeSets::setNameKey).toString());
        record.insert(PrefKeys::path, PrefKeys::blankPath);
    }
    return record;
}

void PealixPref::quietHoursEdited()
{
    m_quietHours = QuietHours(m_quietHoursPage->ranges());
    m_quietVolume = m_quietHoursPage->quietVolume();
    saveToPrefs();
}

void PealixPref::showNextChime()
{
    if (!m_nextChimeLine)
        return;
    QMap<qint64, NextChime::Sounds> schedule;
    const std::pair<bool, bool> flags[] = {
        {m_chime0, m_strike0}, {m_chime15, m_strike15}, {m_chime30, m_strike30}, {m_chime45, m_strike45}};
    for (int i = 0; i < 4; ++i)
        schedule.insert(quarters[i].minute, {flags[i].first, flags[i].second});
    m_nextChimeLine->setSchedule(m_pealixActive, schedule, m_quietHours, m_quietVolume);
}

void PealixPref::saveToPrefs()
{
    if (!m_prefsDoneReading)
        return;
    // Every edit comes through here, so the line follows each one.
    showNextChime();
    Settings::Values values;
    const std::pair<bool, bool> flags[] = {
        {m_chime0, m_strike0}, {m_chime15, m_strike15}, {m_chime30, m_strike30}, {m_chime45, m_strike45}};
    const QVariantMap* selections[] = {&m_sound0min, &m_sound15min, &m_sound30min, &m_sound45min};
    for (int i = 0; i < 4; ++i) {
        const QVariantMap record =
            _prefsDictForMinute(quarters[i].minute, flags[i].first, flags[i].second, *selections[i]);
        if (auto info = ChimeInfo::fromValue(record))
            values.chimeInfo.append(*info);
    }
    values.chimeVolume = m_chimeVolume;
    values.pealixActive = m_pealixActive;
    values.pealixMenuActive = m_showPealixMenu;
    values.quietHours = m_quietHours;
    values.quietVolume = m_quietVolume;
    values.silence = m_silence;
    for (const QVariant& record : std::as_const(m_excludedApplicationsPrefs))
        if (auto app = ExcludedApplication::fromValue(record))
            values.excluded.append(*app);
    m_saveRetry.stop();
    m_saveRetryDelay = firstSaveRetryMs;
    m_savingNumber = m_saver->save(values);
}

QWidget* PealixPref::buildSaveProblem()
{
    auto* bar = new SaveProblemBar;
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setAccessibleName(tr("Changes not saved"));
    auto* layout = new QHBoxLayout(bar);
    auto* icon = new QLabel;
    const int side = bar->style()->pixelMetric(QStyle::PM_SmallIconSize);
    icon->setPixmap(bar->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(side, side));
    layout->addWidget(icon, 0, Qt::AlignTop);
    m_saveProblemText = new QLabel;
    m_saveProblemText->setWordWrap(true);
    m_saveProblemText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_saveProblemText, 1);
    m_saveRetryButton = new QPushButton(tr("Retr&y"));
    m_saveRetryButton->setAccessibleName(tr("Retry"));
    connect(m_saveRetryButton, &QPushButton::clicked, this, &PealixPref::writePrefs);
    layout->addWidget(m_saveRetryButton, 0, Qt::AlignVCenter);
    bar->setVisible(false);
    m_saveProblem = bar;
    return bar;
}

void PealixPref::writePrefs()
{
    m_saveRetry.stop();
    if (const quint64 number = m_saver->retry())
        m_savingNumber = number;
}

void PealixPref::saveFinished(quint64 number, bool saved, const QString& error)
{
    // A result for values since replaced says nothing about what the window shows.
    if (number != m_savingNumber)
        return;
    m_savingNumber = 0;
    if (saved) {
        m_saveRetry.stop();
        m_unsavedReason.clear();
        if (m_saveProblem)
            m_saveProblem->hide();
        return;
    }
    m_unsavedReason = error;
    m_unsavedReason.replace(QDir::homePath() + QLatin1Char('/'), QStringLiteral("~/"));
    qCDebug(lcPane) << "the settings did not reach" << m_domain->filePath() << m_unsavedReason;
    if (m_saveProblemText)
        m_saveProblemText->setText(
            tr("Your changes are not saved yet: %1. Pealix keeps trying.").arg(m_unsavedReason));
    if (m_saveProblem)
        m_saveProblem->show();
    // Ever less often while it keeps failing, up to every few seconds.
    m_saveRetry.start(m_saveRetryDelay);
    m_saveRetryDelay = std::min(m_saveRetryDelay * 2, lastSaveRetryMs);
}

void PealixPref::observeValueForKeyPath(const KeyValueChange& change)
{
    if (!m_restoringChoice && change.context == &m_standardChimesets &&
        m_standardChimesets.contains(change.newValue) &&
        change.newValue.toMap().value(ChimeSets::setNameKey).toString() == customChoiceName) {
        startCustomChoice(change);
        return;
    }
    saveToPrefs();
}

void PealixPref::startCustomChoice(const KeyValueChange& change)
{
    // A sheet per window: an earlier one still open is ended as cancelled first.
    if (m_customSoundPanel)
        m_customSoundPanel->reject();
    const QVariantMap contextInfo{{PealixPref::contextOldValue, change.oldValue},
                                  {PealixPref::contextKeyPath, QString::fromLatin1(change.key)}};
    auto* panel = new QFileDialog(window());
    panel->setFileMode(QFileDialog::ExistingFile);
    panel->setWindowModality(Qt::WindowModal);
    panel->setWindowTitle(tr("Choose a Sound"));
    panel->setDirectory(customSoundFolder());
    // File dialogs match patterns case-sensitively; Bell.WAV is a sound all the same.
    QStringList patterns;
    for (const QString& type : Sound::movieFileTypes()) {
        QString pattern = QStringLiteral("*.");
        for (const QChar c : type)
            pattern += c.toLower() == c.toUpper() ? QString(c)
                                                  : QStringLiteral("[%1%2]").arg(c.toLower(), c.toUpper());
        patterns << pattern;
    }
    panel->setOption(QFileDialog::HideNameFilterDetails);
    panel->setNameFilter(tr("Sound files (%1)").arg(patterns.join(QLatin1Char(' '))));
    m_customSoundPanel = panel;
    connect(panel, &QDialog::finished, this, [this, panel, contextInfo](int result) {
        if (m_customSoundPanel == panel)
            m_customSoundPanel = nullptr;
        panel->deleteLater();
        customSoundPanelDidEnd(panel->selectedFiles(), result == QDialog::Accepted ? panelConfirmed : 0,
                               contextInfo);
    });
    panel->open();
}

QString PealixPref::customSoundFolder() const
{
    if (QFileInfo(m_lastSoundFolder).isDir())
        return m_lastSoundFolder;
    // A sound chosen in an earlier session is in the choice lists, read from the settings; the quarter being
    // changed already shows "Custom...", but its list still holds its sound.
    for (const QVariantList* list : {&m_chimesets0, &m_chimesets15, &m_chimesets30, &m_chimesets45}) {
        for (const QVariant& choice : *list) {
            const QVariantMap entry = choice.toMap();
            const QString folder = QFileInfo(entry.value(ChimeSets::fileKey).toString()).absolutePath();
            if (isCustomEntry(entry) && QFileInfo(folder).isDir())
                return folder;
        }
    }
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return !music.isEmpty() && QFileInfo(music).isDir() ? music : QDir::homePath();
}

void PealixPref::customSoundPanelDidEnd(const QStringList& filenames, int returnCode,
                                        const QVariantMap& contextInfo)
{
    if (returnCode != panelConfirmed || filenames.isEmpty()) {
        restoreChoice(contextInfo);
        return;
    }
    const QString path = filenames.constFirst();
    m_lastSoundFolder = QFileInfo(path).absolutePath();
    std::shared_ptr<Sound> movie = Sound::open(path);
    if (!movie) {
        restoreChoice(contextInfo);
        return;
    }
    if (movie->state() != Sound::State::Loading) {
        if (movie->hasAudio())
            finishCustomChoice(path, contextInfo);
        else
            restoreChoice(contextInfo);
        return;
    }
    // A slow file is decided when it has loaded, as long as the quarter still waits on "Custom...".
    const QString key = contextInfo.value(PealixPref::contextKeyPath).toString();
    const QVariant waitingOn = platform::valueForKey(this, key.toLatin1().constData());
    auto decided = std::make_shared<bool>(false);
    const auto decide = [this, movie, decided, path, contextInfo, key, waitingOn](bool ok) {
        if (std::exchange(*decided, true))
            return;
        QObject::disconnect(movie.get(), nullptr, this, nullptr);
        if (platform::valueForKey(this, key.toLatin1().constData()) != waitingOn)
            return;
        if (ok && movie->hasAudio())
            finishCustomChoice(path, contextInfo);
        else
            restoreChoice(contextInfo);
    };
    connect(movie.get(), &Sound::loaded, this, decide);
    QTimer::singleShot(customSoundLoadLimitMs, this, [decide] { decide(false); });
}

void PealixPref::finishCustomChoice(const QString& path, const QVariantMap& contextInfo)
{
    const Quarter* q = quarterForSelection(contextInfo.value(PealixPref::contextKeyPath).toString());
    if (!q)
        return;
    platform::MutableArrayProxy list = platform::mutableArrayValueForKey(this, q->list);
    for (qsizetype i = list.count() - 1; i >= 0; --i)
        if (isCustomEntry(list.at(i).toMap()))
            list.removeAt(i);
    const QVariantMap entry = customEntry(path);
    list.insert(std::max<qsizetype>(0, list.count() - 1), entry);
    setValueForKey(this, entry, q->selection);
}

void PealixPref::restoreChoice(const QVariantMap& contextInfo)
{
    const QString key = contextInfo.value(PealixPref::contextKeyPath).toString();
    if (!quarterForSelection(key))
        return;
    const QScopedValueRollback<bool> restoring(m_restoringChoice, true);
    setValueForKey(this, contextInfo.value(PealixPref::contextOldValue), key.toLatin1().constData());
}

QAbstractButton* PealixPref::previewButtonForMinute(int minute) const
{
    for (int i = 0; i < 4; ++i)
        if (quarters[i].minute == minute)
            return m_previewButtons[i];
    return nullptr;
}

void PealixPref::stopPreview()
{
    if (m_pendingPreview) {
        QObject::disconnect(m_pendingPreview.get(), nullptr, this, nullptr);
        m_pendingPreview.reset();
        if (m_pendingButton)
            m_pendingButton->setChecked(false);
        m_pendingButton = nullptr;
    }
    if (m_previewSound) {
        QObject::disconnect(m_previewSound.get(), nullptr, this, nullptr);
        m_previewSound->stop();
        m_previewSound.reset();
        if (m_previewButton)
            m_previewButton->setChecked(false);
        m_previewButton = nullptr;
    }
}

void PealixPref::previewSound(QAbstractButton* sender)
{
    if (!sender)
        return;
    const bool wanted = sender->isChecked();
    stopPreview();
    if (!wanted)
        return;
    // A click that finds nothing to play leaves the button off: on means playing.
    sender->setChecked(false);
    const Quarter* q = quarterForMinute(sender->property("tag").toInt());
    if (!q)
        return;
    const QVariantMap selection = platform::valueForKey(this, q->selection).toMap();
    if (selection.isEmpty())
        return;
    QString path;
    if (isCustomEntry(selection)) {
        path = selection.value(ChimeSets::fileKey).toString();
    } else {
        const QVariantList chimes = selection.value(ChimeSets::chimesKey).toList();
        const auto match = std::find_if(chimes.cbegin(), chimes.cend(), [&](const QVariant& element) {
            bool ok = false;
            const qint64 minute = element.toMap().value(ChimeSets::minuteKey).toLongLong(&ok);
            return ok && minute == q->minute;
        });
        if (match == chimes.cend())
            return;
        const QVariant file = match->toMap().value(ChimeSets::fileKey);
        if (file.typeId() != QMetaType::QString)
            return;
        path = ChimeSets::soundPath(agentResourcePath(), selection.value(ChimeSets::setNameKey).toString(),
                                    file.toString());
    }
    std::shared_ptr<Sound> sound = Sound::open(path);
    if (!sound)
        return;
    sender->setChecked(true);
    if (sound->state() == Sound::State::Loading) {
        m_pendingPreview = sound;
        m_pendingButton = sender;
        connect(sound.get(), &Sound::loaded, this, [this, sound, sender](bool ok) {
            if (m_pendingPreview != sound)
                return;
            m_pendingPreview.reset();
            m_pendingButton = nullptr;
            if (ok && sound->hasAudio())
                startPreview(sender, sound);
            else
                sender->setChecked(false);
        });
        return;
    }
    startPreview(sender, sound);
}

void PealixPref::startPreview(QAbstractButton* button, std::shared_ptr<Sound> sound)
{
    m_previewSound = std::move(sound);
    m_previewButton = button;
    connect(m_previewSound.get(), &Sound::didEnd, this, &PealixPref::soundDidEnd);
    // The volume goes first, so that the first samples already have it.
    m_previewSound->setVolume(float(m_chimeVolume) / 100.0f);
    m_previewSound->play();
}

void PealixPref::soundDidEnd()
{
    if (m_previewSound)
        QObject::disconnect(m_previewSound.get(), nullptr, this, nullptr);
    m_previewSound.reset();
    if (m_previewButton)
        m_previewButton->setChecked(false);
    m_previewButton = nullptr;
}

void PealixPref::setChimeVolume(int volume)
{
    const bool changed = m_chimeVolume != volume;
    m_chimeVolume = volume;
    if (m_previewSound)
        m_previewSound->setVolume(float(volume) / 100.0f);
    if (changed)
        emit chimeVolumeChanged();
    saveToPrefs();
}

void PealixPref::setPealixActive(bool active)
{
    const bool changed = m_pealixActive != active;
    m_pealixActive = active;
    if (changed)
        emit pealixActiveChanged();
    startStopTool(active);
    saveToPrefs();
}

void PealixPref::startStopTool(bool start)
{
    int index = QXLoginItemRegistry::indexForLoginItemWithAppName(agentBundleName);
    // Every agent item goes, also those of other copies. A removal that fails while its item stays listed
    // ends the loop, and so does a list that keeps producing items beyond any real one.
    const auto removeAgentItems = [&index] {
        for (int round = 0; index != -1 && round < maximumLoginItemRemovals; ++round) {
            if (!QXLoginItemRegistry::removeLoginItemAtIndex(index))
                break;
            index = QXLoginItemRegistry::indexForLoginItemWithAppName(agentBundleName);
        }
    };
    if (start) {
        const QString agent = bundle().pathForAuxiliaryExecutable(agentBundleName);
        removeAgentItems();
        QXLoginItemRegistry::addLoginItemWithPath(agent, true);
        platform::LaunchServices::LSApplicationParameters launch;
        launch.application = agent;
        platform::LaunchServices::LSOpenApplication(launch, nullptr);
    } else {
        removeAgentItems();
        // Every agent of the user, also one started from a terminal or over ssh with another runtime folder.
        for (const int pid : NSWorkspaceProcessInfo::pidsForProcessesWithCommand(agentCommandName))
            platform::terminateProcess(pid);
    }
}

void PealixPref::uninstall()
{
    const QString title = tr("Removing Pealix");
    // Moving what the package manager lists would make its records false; it removes its own.
    if (platform::LaunchServices::installedByPackageManager()) {
        runAlertPanel(title,
                      tr("Pealix was installed by your system's package manager, which removes it too.  "
                         "To remove it, run this command in a terminal:\n\nsudo apt remove pealix"));
        return;
    }
    if (!runAlertPanel(title, tr("Are you sure you want to uninstall Pealix?  This cannot be undone."),
                       tr("Uninstall"), tr("No, just checking")))
        return;
    runAlertPanel(title, tr("Pealix and associated files will be moved to the trash"), tr("OK"));

    // Without its tool nothing can be removed; better said before the agent is stopped than after.
    const QString tool = bundle().pathForAuxiliaryExecutable(uninstallToolName);
    if (tool.isEmpty()) {
        runAlertPanel(title, tr("Pealix cannot be removed because its removal tool is missing."));
        return;
    }

    std::unique_ptr<Authorizer> authorizer;
    if (!platform::isDeletableFileAtPath(bundle().bundlePath())) {
        runAlertPanel(title,
                      tr("Your copy of Pealix cannot be removed without administrator permission.  "
                         "Please enter your administrator password in the authorization window when it "
                         "appears"));
        authorizer = std::make_unique<Authorizer>(uninstallRightName);
        if (!authorizer->preauthorize()) {
            showAuthorizationFailure(authorizer->lastResult());
            return;
        }
    }

    startStopTool(false);

    platform::ToolRun run;
    if (authorizer) {
        authorizer->executeWithPrivileges(QFile::encodeName(tool).constData(), nullptr);
        run = authorizer->lastRun();
    } else {
        auto process = std::make_unique<QProcess>();
        process->setStandardInputFile(QProcess::nullDevice());
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(tool, QStringList());
        if (!process->waitForStarted()) {
            run.outcome = platform::ToolRun::Outcome::couldNotStart;
        } else if (process->waitForFinished(uninstallToolLimitMs)) {
            if (process->exitStatus() == QProcess::NormalExit)
                run = {platform::ToolRun::Outcome::exited, process->exitCode()};
            else
                run.outcome = platform::ToolRun::Outcome::killed;
        } else {
            run.outcome = platform::ToolRun::Outcome::timedOut;
            // Deleting the object would kill the tool half-way; it is left to finish on its own.
            process.release();
        }
    }
    qCDebug(lcPane) << "removal tool ended:" << int(run.outcome) << run.exitCode;
    showRemovalResult(run);
    terminateHost();
}

void PealixPref::showAuthorizationFailure(platform::AuthorizationResult result)
{
    const QString title = tr("Removing Pealix");
    switch (result) {
    case platform::AuthorizationResult::actionUnknown:
        runAlertPanel(title, tr("Pealix cannot be removed because polkit does not know its removal action "
                                "\"%1\": the file %1.policy is missing from /usr/share/polkit-1/actions.  "
                                "Install Pealix again, or ask your administrator to remove it.")
                                 .arg(QString::fromLatin1(uninstallRightName)));
        break;
    case platform::AuthorizationResult::programMissing:
        runAlertPanel(title, tr("Pealix cannot be removed because pkexec, which runs its removal tool with "
                                "administrator permission, is not installed.  Install the package pkexec "
                                "(polkit) and try again, or ask your administrator to remove Pealix."));
        break;
    case platform::AuthorizationResult::failed:
        runAlertPanel(title,
                      tr("Pealix cannot be removed because polkit, which asks for the administrator "
                         "password, did not answer.  Check that the polkit service runs and try again."));
        break;
    case platform::AuthorizationResult::denied:
    case platform::AuthorizationResult::authorized:
        runAlertPanel(tr("Remove Pealix cancelled"),
                      tr("Uninstall was cancelled because you did not enter an administrator password"));
        break;
    }
}

void PealixPref::showRemovalResult(const platform::ToolRun& run)
{
    const QString title = tr("Removing Pealix");
    // The tool names on its standard error what it left in place.
    switch (run.outcome) {
    case platform::ToolRun::Outcome::exited:
        if (run.exitCode == 0)
            runAlertPanel(title, tr("Pealix has been removed.  System Preferences will now exit."), tr("OK"));
        else
            runAlertPanel(title,
                          tr("Parts of Pealix could not be moved to the trash.  System Preferences will now "
                             "exit."),
                          tr("OK"));
        break;
    case platform::ToolRun::Outcome::couldNotStart:
        runAlertPanel(title,
                      tr("The removal tool could not be started, so nothing was removed.  System "
                         "Preferences will now exit."),
                      tr("OK"));
        break;
    case platform::ToolRun::Outcome::killed:
        runAlertPanel(title,
                      tr("The removal tool was stopped before it finished; parts of Pealix may remain.  "
                         "System Preferences will now exit."),
                      tr("OK"));
        break;
    case platform::ToolRun::Outcome::timedOut:
        runAlertPanel(title,
                      tr("The removal tool is still running after the time allowed for it; it goes on "
                         "by itself.  System Preferences will now exit."),
                      tr("OK"));
        break;
    case platform::ToolRun::Outcome::notAuthorized:
        runAlertPanel(tr("Remove Pealix cancelled"),
                      tr("Uninstall was cancelled because you did not enter an administrator password"));
        break;
    }
}

void PealixPref::terminateHost()
{
    QCoreApplication::quit();
}
