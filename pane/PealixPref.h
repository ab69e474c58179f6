// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The pane's controller: holds every setting in a key-value property that the window's controls are
// bound to, reads the domain once when the pane loads and writes all of it back after every change.

#include "pane/ExcludedApplications.h"
#include "pane/HelpPanel.h"
#include "pane/NextChimeLine.h"
#include "pane/QuietHoursPage.h"
#include "platform/bindings/KeyValueCoding.h"
#include "platform/panes/PreferencePane.h"
#include "platform/privileges/PrivilegedExecution.h"
#include "shared/PrefKeys.h"
#include "shared/QuietHours.h"
#include "shared/Settings.h"
#include "support/AnimatingTabView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>
#include <array>
#include <memory>

namespace platform {
class Preferences;
class Sound;
} // namespace platform

#define PEALIX_KEY(type, name)                                                                               \
    Q_PROPERTY(type name MEMBER m_##name NOTIFY name##Changed)                                               \
public:                                                                                                      \
    type name() const                                                                                        \
    {                                                                                                        \
        return m_##name;                                                                                     \
    }                                                                                                        \
    Q_SIGNAL void name##Changed();                                                                           \
                                                                                                             \
private:

class QMimeData;

class SettingsSaver;

class PealixPref : public platform::PreferencePane {
    Q_OBJECT
    PEALIX_KEY(bool, chime0)
    PEALIX_KEY(bool, chime15)
    PEALIX_KEY(bool, chime30)
    PEALIX_KEY(bool, chime45)
    PEALIX_KEY(bool, strike0)
    PEALIX_KEY(bool, strike15)
    PEALIX_KEY(bool, strike30)
    PEALIX_KEY(bool, strike45)
    PEALIX_KEY(QVariantList, standardChimesets)
    PEALIX_KEY(QVariantList, chimesets0)
    PEALIX_KEY(QVariantList, chimesets15)
    PEALIX_KEY(QVariantList, chimesets30)
    PEALIX_KEY(QVariantList, chimesets45)
    PEALIX_KEY(QVariantMap, chimesetDict)
    PEALIX_KEY(QVariantMap, sound0min)
    PEALIX_KEY(QVariantMap, sound15min)
    PEALIX_KEY(QVariantMap, sound30min)
    PEALIX_KEY(QVariantMap, sound45min)
    Q_PROPERTY(bool pealixActive READ pealixActive WRITE setPealixActive NOTIFY pealixActiveChanged)
    PEALIX_KEY(bool, showPealixMenu)
    Q_PROPERTY(int chimeVolume READ chimeVolume WRITE setChimeVolume NOTIFY chimeVolumeChanged)
    PEALIX_KEY(QVariantList, excludedApplicationsDisplay)
    PEALIX_KEY(QVariantList, excludedApplicationsPrefs)

public:
    // "Custom..." and the keys of a custom entry.
    static const QString customChoiceName;
    static const QString customKey;
    // The keys of the custom-sound panel's context: the selection's key and its value before "Custom...".
    static const QString contextKeyPath;
    static const QString contextOldValue;

    explicit PealixPref(const platform::Bundle& bundle, QObject* parent = nullptr);
    ~PealixPref() override;

    QWidget* loadMainView() override;
    void mainViewDidLoad() override;

    void readPrefs();
    // Hands every setting to the writer thread, which never waits on another writer; what could not be
    // written is shown above the pages and tried again on a timer until it is.
    void saveToPrefs();
    // Nothing waiting to be written, and the last write landed.
    bool changesSaved() const { return m_savingNumber == 0 && m_unsavedReason.isEmpty(); }
    // The message above the pages while a change is not saved, with its Retry button.
    QWidget* saveProblem() const { return m_saveProblem; }
    QPushButton* saveRetryButton() const { return m_saveRetryButton; }
    QVariantMap _prefsDictForMinute(int minute, bool chime, bool strike, const QVariantMap& soundInfo) const;
    void observeValueForKeyPath(const platform::KeyValueChange& change);

    // The open panel's end: result code 1 confirms the panel's first chosen path.
    void customSoundPanelDidEnd(const QStringList& filenames, int returnCode, const QVariantMap& contextInfo);
    // The sheet that is open, or null.
    QFileDialog* customSoundPanel() const { return m_customSoundPanel; }
    // Where "Choose a Sound" starts: the folder of the last sound chosen, else the music folder, else home.
    QString customSoundFolder() const;

    void previewSound(QAbstractButton* sender);
    void soundDidEnd();
    platform::Sound* currentPreview() const { return m_previewSound.get(); }
    QAbstractButton* previewButtonForMinute(int minute) const;

    bool pealixActive() const { return m_pealixActive; }
    void setPealixActive(bool active);
    // Chimes on: one hidden login item for this pane's agent and the agent launched. Off: no agent login
    // item, and every agent of the user signalled to end.
    void startStopTool(bool start);
    // Removes the whole product, once the user confirms, and quits the host.
    void uninstall();
    // Help and updates, by the help panel.
    void showHelp(QObject* = nullptr) { m_help->show(); }
    void hideHelp(QObject* = nullptr) { m_help->hide(); }
    void checkForUpdates(QObject* = nullptr) { m_help->checkForUpdates(m_pealixActive); }
    void showLicence() { HelpPanel::showLicence(); }
    QString licencePath() const { return HelpPanel::licencePath(); }
    HelpPanel* helpPanel() const { return m_help.get(); }
    QDialog* helpWindow() const { return m_help->window(); }
    QLabel* helpWindowVersionAndCopyright() const { return m_help->versionAndCopyright(); }

    int chimeVolume() const { return m_chimeVolume; }
    void setChimeVolume(int volume);

    // The excluded applications editor, which edits the two excludedApplications keys.
    ExcludedApplications* excludedApplications() const { return m_excluded.get(); }
    void chooseApplication() { m_excluded->chooseApplication(); }
    QDialog* applicationChooser() const { return m_excluded->applicationChooser(); }
    void addApplication() { m_excluded->addApplication(); }
    void removeApplication() { m_excluded->removeApplication(); }
    void excludeAppAtPath(const QString& path) { m_excluded->excludeAppAtPath(path); }
    bool panelShouldShowFilename(QFileDialog* panel, const QString& filename) const
    {
        return m_excluded->panelShouldShowFilename(panel, filename);
    }
    Qt::DropAction tableViewValidateDrop(QTableView* tableView, const QMimeData* info, int row,
                                         Qt::DropAction operation) const
    {
        return m_excluded->tableViewValidateDrop(tableView, info, row, operation);
    }
    bool tableViewAcceptDrop(QTableView* tableView, const QMimeData* info, int row, Qt::DropAction operation)
    {
        return m_excluded->tableViewAcceptDrop(tableView, info, row, operation);
    }
    void addApplicationPanelDidEnd(const QStringList& filenames, int returnCode)
    {
        m_excluded->addApplicationPanelDidEnd(filenames, returnCode);
    }
    QFileDialog* addApplicationPanel() const { return m_excluded->addApplicationPanel(); }
    QVariantList excludedApplicationPaths() const { return m_excluded->paths(); }
    QTableView* excludedApplicationsTable() const { return m_excluded->table(); }
    QPushButton* removeApplicationButton() const { return m_excluded->removeButton(); }
    static QIcon genericApplicationIcon() { return ExcludedApplications::genericApplicationIcon(); }
    static inline const QString& displayNameKey = ExcludedApplications::displayNameKey;
    static inline const QString& iconKey = ExcludedApplications::iconKey;
    static inline const QString& notFoundKey = ExcludedApplications::notFoundKey;

    bool prefsDoneReading() const { return m_prefsDoneReading; }
    int defaultChimeIndex() const { return m_defaultChimeIndex; }
    QLabel* versionInfo() const { return m_versionInfo; }
    AnimatingTabView* tabView() const { return m_tabView; }
    QuietHoursPage* quietHoursPage() const { return m_quietHoursPage; }
    NextChimeLine* nextChimeLine() const { return m_nextChimeLine; }
    QString agentResourcePath() const;

signals:
    void pealixActiveChanged();
    void chimeVolumeChanged();

protected:
    // The host's end once the pane's bundle is gone.
    virtual void terminateHost();

private:
    void buildChoiceLists();
    QWidget* buildSaveProblem();
    void writePrefs();
    void quietHoursEdited();
    void fitPagesColumn();
    void showNextChime();
    void saveFinished(quint64 number, bool saved, const QString& error);
    void startCustomChoice(const platform::KeyValueChange& change);
    void finishCustomChoice(const QString& path, const QVariantMap& contextInfo);
    void restoreChoice(const QVariantMap& contextInfo);
    void startPreview(QAbstractButton* button, std::shared_ptr<platform::Sound> sound);
    void stopPreview();
    void showAuthorizationFailure(platform::AuthorizationResult result);
    void showRemovalResult(const platform::ToolRun& run);

    // The fields in the order of the design; those of later features are held here already.
    bool m_chime0 = false, m_chime15 = false, m_chime30 = false, m_chime45 = false;
    bool m_strike0 = false, m_strike15 = false, m_strike30 = false, m_strike45 = false;
    QVariantList m_standardChimesets;
    QVariantList m_chimesets0, m_chimesets15, m_chimesets30, m_chimesets45;
    QVariantMap m_chimesetDict;
    QVariantMap m_sound0min, m_sound15min, m_sound30min, m_sound45min;
    bool m_prefsDoneReading = false;
    bool m_pealixActive = false;
    bool m_showPealixMenu = false;
    int m_chimeVolume = 0;
    QuietHours m_quietHours;
    int m_quietVolume = PrefKeys::defaultQuietVolume;
    Settings::SilenceOptions m_silence;
    // The "Also stay silent" boxes, in the order of SilenceOptions' fields.
    std::array<QPointer<QCheckBox>, 4> m_silenceBoxes;
    std::shared_ptr<platform::Sound> m_previewSound;
    QPointer<QAbstractButton> m_previewButton;
    QPointer<QLabel> m_versionInfo;
    int m_defaultChimeIndex = 0;
    QVariantList m_excludedApplicationsDisplay, m_excludedApplicationsPrefs;
    QPointer<AnimatingTabView> m_tabView;
    QPointer<QWidget> m_pagesColumn;
    QPointer<QuietHoursPage> m_quietHoursPage;
    QPointer<NextChimeLine> m_nextChimeLine;

    std::unique_ptr<platform::Preferences> m_domain;
    QPointer<QWidget> m_saveProblem;
    QPointer<QLabel> m_saveProblemText;
    QPointer<QPushButton> m_saveRetryButton;
    std::unique_ptr<SettingsSaver> m_saver;
    // The write whose result is awaited, or 0.
    quint64 m_savingNumber = 0;
    QTimer m_saveRetry;
    QString m_unsavedReason;
    int m_saveRetryDelay = 0;
    QPointer<QFileDialog> m_customSoundPanel;
    // Set while a cancelled or refused choice is put back, which must not count as a new pick.
    bool m_restoringChoice = false;
    QString m_lastSoundFolder;
    // A preview whose file is still loading; it starts when loaded unless another click came first.
    std::shared_ptr<platform::Sound> m_pendingPreview;
    QPointer<QAbstractButton> m_pendingButton;
    QAbstractButton* m_previewButtons[4] = {};
    std::unique_ptr<HelpPanel> m_help;
    std::unique_ptr<ExcludedApplications> m_excluded;
};
