// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One update check through the updater's windows, in a process of its own, pressing Install when offered:
// a stand-in for an agent in update-only mode that a test can kill or run twice at once.
//   UpdaterProbe AGENT_BUNDLE TARGET
// PROBE_KILL_AT: SIGKILL at the first updater diagnostic containing this text.
// PROBE_GO_FILE: Install is pressed only once this file exists ("offered" is printed before waiting).
// Prints "window NAME" for each window and "finished ok|failed MESSAGE" at the end (exit status 0 or 1).

#include "platform/bundles/Bundle.h"
#include "platform/update/Updater.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace {

QByteArray killAt;

void handler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (!killAt.isEmpty() && message.toUtf8().contains(killAt))
        ::raise(SIGKILL);
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

class Delegate : public platform::UpdaterDelegate {
public:
    std::optional<QString> updaterInstallTargetPath() override { return target; }
    QString target;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    killAt = qgetenv("PROBE_KILL_AT");
    qInstallMessageHandler(handler);
    QApplication app(argc, argv);
    // Install closes the only window; the probe goes on.
    QApplication::setQuitOnLastWindowClosed(false);
    QLoggingCategory::setFilterRules(QStringLiteral("pealix.update*.debug=true"));
    const QString goFile = qEnvironmentVariable("PROBE_GO_FILE");

    platform::Updater updater{platform::Bundle(QString::fromLocal8Bit(argv[1]))};
    Delegate delegate;
    delegate.target = QString::fromLocal8Bit(argv[2]);
    updater.setDelegate(&delegate);
    updater.setWindowsWithoutDisplay(true);
    updater.setRestartHandler([](const QString&) {});
    QObject::connect(&updater, &platform::Updater::checkFinished, &app, [](bool ok, const QString& message) {
        std::printf("finished %s %s\n", ok ? "ok" : "failed", qPrintable(message));
        std::fflush(stdout);
        QCoreApplication::exit(ok ? 0 : 1);
    });
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(updater.currentWindow());
        if (!box || !box->isVisible() || box->property("probeSeen").toBool())
            return;
        const bool offer = box->objectName() == QLatin1String("updateAvailable");
        if (offer && !goFile.isEmpty() && !box->property("probeOffered").toBool()) {
            box->setProperty("probeOffered", true);
            std::printf("offered\n");
            std::fflush(stdout);
        }
        if (offer && !goFile.isEmpty() && !QFileInfo::exists(goFile))
            return;
        box->setProperty("probeSeen", true);
        std::printf("window %s\n", qPrintable(box->objectName()));
        std::fflush(stdout);
        for (QAbstractButton* button : box->buttons()) {
            if (!offer || button->objectName() == QLatin1String("install")) {
                button->click();
                break;
            }
        }
    });
    press.start(1);
    updater.checkForUpdates();
    return QApplication::exec();
}
