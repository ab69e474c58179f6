#pragma once
// The user's running applications, their launch and quit, sleep and wake, and opening files.
//
// Applications come from /proc, diffed from the main loop about once a second while someone
// watches; sleep and wake come from systemd-logind (see LogindSleepMonitor.h).
// Test seams: PEALIX_PROC_ROOT (default /proc), XDG_DATA_HOME / XDG_DATA_DIRS, DBUS_SYSTEM_BUS_ADDRESS.

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

namespace platform {

inline const QString NSApplicationProcessIdentifier = QStringLiteral("NSApplicationProcessIdentifier");
inline const QString NSApplicationBundleIdentifier = QStringLiteral("NSApplicationBundleIdentifier");
inline const QString NSApplicationPath = QStringLiteral("NSApplicationPath");
inline const QString NSApplicationName = QStringLiteral("NSApplicationName");

class Workspace : public QObject {
    Q_OBJECT
public:
    static Workspace* sharedWorkspace();

    // One map per running application of this user, keyed by the NSApplication* names above;
    // the process identifier is a qint64.
    QVariantList launchedApplications();
    // A pane bundle opens in the pane host; anything else in the desktop's default application.
    bool openFile(const QString& path);

signals:
    // userInfo holds NSApplicationProcessIdentifier (qint64), delivered on the main thread.
    void didLaunchApplication(const QVariantMap& userInfo);
    void didTerminateApplication(const QVariantMap& userInfo);
    // Emitted synchronously before the machine sleeps: sleep waits until every handler returned.
    void willSleep();
    void didWake();

protected:
    void connectNotify(const QMetaMethod& signal) override;

private:
    explicit Workspace(QObject* parent = nullptr);
    struct Impl;
    Impl* d;
};

} // namespace platform
