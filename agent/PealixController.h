#pragma once
// The agent's one controller: reads the settings, keeps the chime schedule and plays the quarters.

#include "agent/BusyFlag.h"
#include "platform/Bundle.h"
#include "platform/Preferences.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace platform {
class Sound;
}

// One quarter of the schedule: the stored record with "path" and "strikepath" resolved, and the
// sounds loaded from them (absent when they did not load).
struct ChimeRecord {
    QVariantMap record;
    std::shared_ptr<platform::Sound> chimeSound;
    std::shared_ptr<platform::Sound> strikeSound;
};

class PealixController : public QObject {
    Q_OBJECT
public:
    // The bundle whose resources hold the chime sets; arguments as the process received them.
    PealixController(platform::Bundle agentBundle, QStringList arguments, QObject* parent = nullptr);
    ~PealixController() override;

    void awakeFromNib();
    void readPrefs();
    void prefsUpdateNotificationHandler(const QString& notification);

    bool isUpdateOnlyMode() const { return m_updateOnly; }
    bool chimingEnabled() const { return m_chimingEnabled; }
    int volume() const { return chimeVolume; }
    const QVariantMap& setTable() const { return chimesetDict; }
    const QMap<qint64, ChimeRecord>& schedule() const { return chimePrefs; }

    void setCurrentSoundVolume();

signals:
    // After every readPrefs; lets tools and tests wait for a re-read.
    void prefsRead();

private:
    ChimeRecord resolveRecord(const QVariantMap& stored) const;

    // Fields in the order the agent has always declared them.
    QVariantMap chimesetDict;
    QMap<qint64, ChimeRecord> chimePrefs;
    BusyFlag chimeLock;
    bool suspended = false;
    bool excludedAppRunning = false;
    int chimeVolume = 70;
    QMenu* controlMenu = nullptr;
    QSystemTrayIcon* controlMenuStatusItem = nullptr;
    QAction* suspendResumeChimesMenuItem = nullptr;
    QList<std::shared_ptr<platform::Sound>> playlist;
    std::shared_ptr<platform::Sound> currentSound;

    bool m_chimingEnabled = false;
    bool m_updateOnly = false;
    platform::Bundle m_bundle;
    QStringList m_arguments;
    platform::Preferences m_prefs;
};
