// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/update/Updater.h"

#include "platform/core/ApplicationIdentity.h"
#include "platform/settings/PropertyList.h"
#include "platform/update/UpdateFeed.h"
#include "platform/update/UpdateInstaller.h"
#include "platform/workspace/LaunchServices.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QWindow>
#include <cerrno>
#include <unistd.h>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcUpdater, "pealix.update", QtWarningMsg)

int stallTimeoutMs(int normal)
{
    const int seam = qEnvironmentVariableIntValue("PEALIX_UPDATE_STALL_MS");
    return seam > 0 ? seam : normal;
}
int deadlineMs(int normal)
{
    const int seam = qEnvironmentVariableIntValue("PEALIX_UPDATE_DEADLINE_MS");
    return seam > 0 ? seam : normal;
}
// Less than this in any stall period, or no end by the deadline, and a transfer is given up: a server
// that trickles keeps the stall timer happy for ever.
constexpr qint64 minBytesPerSecond = 1024;
constexpr int feedDeadlineMs = 2 * 60 * 1000;
constexpr int archiveDeadlineMs = 60 * 60 * 1000;
const char* const giveUpReason = "pealixGiveUpReason";
// A restarted agent waits this long after start before its first quiet check.
constexpr int firstQuietCheckDelayMs = 60000;
// How long a newly installed agent has to answer "--version" before the previous version returns.
constexpr int newAgentAnswerMs = 15000;

const QString keyHighestSeen = QStringLiteral("HighestSeenVersion");
const QString keyLastCheck = QStringLiteral("LastCheckTime");
const QString keyAutomatic = QStringLiteral("AutomaticChecks");
const QString keySkipped = QStringLiteral("SkippedVersion");

// The product's name in what the updater says, as its program gave it.
QString product()
{
    return applicationIdentity().name;
}

QVariantMap readState(const QString& path)
{
    return PropertyList::readFile(path).value_or(QVariant()).toMap();
}

void writeState(const QString& path, const QVariantMap& state)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(PropertyList::toXml(state)) < 0 || !file.commit())
        qCDebug(lcUpdater) << "state not saved" << path;
}

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

// A request that ended with an error the user did not cause: a stall timed out, or the network failed.
QString transferError(const QNetworkReply* reply)
{
    if (const QString reason = reply->property(giveUpReason).toString(); !reason.isEmpty())
        return reason;
    if (reply->error() == QNetworkReply::OperationCanceledError ||
        reply->error() == QNetworkReply::TimeoutError)
        //: Completes "The update could not be downloaded: %1" and the like.
        return QCoreApplication::translate("Updater", "the server stopped answering");
    return reply->errorString();
}

void giveUp(QNetworkReply* reply, const QString& reason)
{
    reply->setProperty(giveUpReason, reason);
    reply->abort();
}

// Stall timeout, total deadline, minimum rate, and redirects only to addresses the feed itself may have.
void guardTransfer(QNetworkReply* reply, int stallMs, int totalMs)
{
    // Bytes received by the request now under way, and at the last look.
    struct Progress {
        qint64 now = 0;
        qint64 atLastLook = 0;
    };
    auto progress = std::make_shared<Progress>();
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, progress](const QUrl& to) {
        if (!update::isAllowedUrl(to)) {
            giveUp(reply, QCoreApplication::translate(
                              "Updater", "the server sent it on to an address that is not secure"));
            return;
        }
        *progress = Progress();
        emit reply->redirectAllowed();
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [progress](qint64 bytes, qint64) { progress->now = bytes; });
    auto* watch = new QTimer(reply);
    QObject::connect(watch, &QTimer::timeout, reply, [reply, progress, stallMs] {
        if (reply->isFinished())
            return;
        if (progress->now - progress->atLastLook < minBytesPerSecond * stallMs / 1000) {
            giveUp(reply, QCoreApplication::translate("Updater", "the server sends too slowly"));
            return;
        }
        progress->atLastLook = progress->now;
    });
    watch->start(stallMs);
    QTimer::singleShot(totalMs, reply, [reply] {
        if (!reply->isFinished())
            giveUp(reply, QCoreApplication::translate("Updater", "the server took too long"));
    });
}

void relaunchAfterExit(const QString& executable)
{
    // The new agent starts only once this one is gone, so two never chime at once; bounded, so a
    // process that never ends does not leave the relauncher waiting for ever.
    const QString script = QStringLiteral("i=0; while kill -0 \"$1\" 2>/dev/null && [ $i -lt 300 ]; do "
                                          "sleep 0.1; i=$((i+1)); done; exec \"$2\"");
    QProcess::startDetached(QStringLiteral("/bin/sh"),
                            {QStringLiteral("-c"), script, QStringLiteral("pealix-relaunch"),
                             QString::number(::getpid()), executable});
}

} // namespace

struct Updater::Session {
    bool interactive = true;
    QPointer<QNetworkReply> reply;
    update::UpdateOffer offer;
    QString target;
    std::unique_ptr<update::InstallLock> lock;
    std::unique_ptr<update::StagingArea> staging;
    qint64 received = 0;
    bool cancelled = false;
};

Updater::Updater(const Bundle& hostBundle, QObject* parent) : QObject(parent), m_host(hostBundle)
{
    m_restart = [](const QString& executable) {
        if (!QCoreApplication::arguments().contains(QStringLiteral("-u")))
            relaunchAfterExit(executable);
        QCoreApplication::quit();
    };
}

Updater::~Updater()
{
    stopWorker();
    // Its windows have no parent to take them along.
    delete m_window;
    delete m_parentWindow;
}

bool Updater::isConfigured() const
{
    return update::configured(m_host.infoDictionary());
}

bool Updater::isDisabledByPolicy() const
{
    return update::disabledByPolicy();
}

QString Updater::stateFilePath() const
{
    return update::stateDirectory() + QStringLiteral("/updater.plist");
}

bool Updater::canShowWindows() const
{
    const QString platform = QGuiApplication::platformName();
    return m_windowsWithoutDisplay ||
           (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"));
}

void Updater::checkForUpdates(QObject*)
{
    if (m_session) {
        // A check is under way; its window is the answer, and a quiet one gets its progress shown.
        m_session->interactive = canShowWindows();
        if (m_window) {
            m_window->show();
            m_window->raise();
            m_window->activateWindow();
        } else if (m_session->interactive) {
            showWindow(progressWindow(QCoreApplication::translate("Updater", "Checking for updates…"), 0));
        }
        return;
    }
    beginCheck(true);
}

void Updater::scheduleCheckWithInterval(double seconds)
{
    if (!(seconds > 0) || !update::automaticChecksPossible(m_host.infoDictionary()))
        return;
    m_interval = std::min(seconds, 365.0 * 86400);
    if (!m_schedule) {
        m_schedule = new QTimer(this);
        m_schedule->setSingleShot(true);
        connect(m_schedule, &QTimer::timeout, this, &Updater::automaticCheckDue);
    }
    const QDateTime last = readState(stateFilePath()).value(keyLastCheck).toDateTime();
    qint64 dueMs = firstQuietCheckDelayMs;
    if (last.isValid()) {
        const qint64 since = last.msecsTo(QDateTime::currentDateTimeUtc());
        // A clock set back makes the last check lie in the future: count it as just done.
        dueMs = std::max<qint64>(firstQuietCheckDelayMs,
                                 static_cast<qint64>(m_interval * 1000) - std::max<qint64>(since, 0));
    }
    m_schedule->start(static_cast<int>(std::min<qint64>(dueMs, std::numeric_limits<int>::max())));
}

void Updater::automaticCheckDue()
{
    m_schedule->start(static_cast<int>(std::min<double>(m_interval * 1000, std::numeric_limits<int>::max())));
    if (m_session)
        return;
    QVariantMap state = readState(stateFilePath());
    if (!state.contains(keyAutomatic)) {
        if (!canShowWindows())
            return;
        m_busy = true;
        auto* box = new QMessageBox(
            QMessageBox::Question,
            QCoreApplication::translate("Updater", "Check for %1 updates automatically?").arg(product()),
            QCoreApplication::translate("Updater", "Check for %1 updates automatically?").arg(product()),
            QMessageBox::NoButton);
        box->setObjectName(QStringLiteral("askAutomatic"));
        box->setInformativeText(QStringLiteral("%1 can look for a newer version once a day. You can always "
                                               "check by hand from the About page of its preferences.")
                                    .arg(product()));
        box->addButton(QCoreApplication::translate("Updater", "Check Automatically"), QMessageBox::AcceptRole)
            ->setObjectName(QStringLiteral("yes"));
        box->addButton(QCoreApplication::translate("Updater", "Don't Check"), QMessageBox::RejectRole)
            ->setObjectName(QStringLiteral("no"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(box, &QMessageBox::finished, this, [this, box] {
            const bool yes =
                box->clickedButton() && box->clickedButton()->objectName() == QLatin1String("yes");
            QVariantMap s = readState(stateFilePath());
            s.insert(keyAutomatic, yes);
            writeState(stateFilePath(), s);
            m_busy = false;
            if (yes)
                beginCheck(false);
        });
        m_window = box;
        box->show();
        return;
    }
    if (state.value(keyAutomatic).toBool())
        beginCheck(false);
}

void Updater::beginCheck(bool interactive)
{
    m_busy = true;
    m_session = std::make_unique<Session>();
    m_session->interactive = interactive && canShowWindows();
    if (isDisabledByPolicy()) {
        showMessage(QStringLiteral("updatesDisabled"),
                    QCoreApplication::translate("Updater", "Updates Are Turned Off"),
                    QCoreApplication::translate("Updater",
                                                "Updates of %1 are managed by the system on this computer.")
                        .arg(product()),
                    false);
        return;
    }
    if (LaunchServices::installedByPackageManager()) {
        // Replacing files the package manager lists would make its records false.
        showMessage(QStringLiteral("updatesByPackageManager"),
                    QCoreApplication::translate("Updater", "%1 Updates").arg(product()),
                    QCoreApplication::translate("Updater", "%1 is updated by your system's package manager.")
                        .arg(product()),
                    false, QMessageBox::Information);
        return;
    }
    const QVariantMap info = m_host.infoDictionary();
    const QUrl feedUrl(info.value(QStringLiteral("PealixUpdateFeedURL")).toString());
    if (feedUrl.isEmpty()) {
        // Information, not a fault: whoever installed this copy (a distribution, a store) updates it.
        showMessage(QStringLiteral("updatesNotConfigured"),
                    QCoreApplication::translate("Updater", "%1 Updates").arg(product()),
                    QCoreApplication::translate(
                        "Updater", "This copy of %1 is updated by the program that installed it.")
                        .arg(product()),
                    false, QMessageBox::Information);
        return;
    }
    if (!update::isAllowedUrl(feedUrl)) {
        fail(QCoreApplication::translate("Updater", "The update address of this build is not a secure one."));
        return;
    }
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(feedUrl);
    request.setTransferTimeout(stallTimeoutMs(30000));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = m_network->get(request);
    guardTransfer(reply, stallTimeoutMs(30000), deadlineMs(feedDeadlineMs));
    m_session->reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > update::maxFeedBytes)
            giveUp(reply, QCoreApplication::translate("Updater", "the update information is too large"));
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { feedArrived(reply); });
    if (m_session->interactive)
        showWindow(progressWindow(QCoreApplication::translate("Updater", "Checking for updates…"), 0));
}

QProgressDialog* Updater::progressWindow(const QString& text, int maximum)
{
    auto* progress = new QProgressDialog(text, QStringLiteral("Cancel"), 0, maximum);
    progress->setObjectName(QStringLiteral("updateProgress"));
    progress->setWindowTitle(QCoreApplication::translate("Updater", "%1 Update").arg(product()));
    progress->setMinimumDuration(0);
    progress->setAttribute(Qt::WA_DeleteOnClose);
    connect(progress, &QProgressDialog::canceled, this, [this] {
        if (m_session) {
            m_session->cancelled = true;
            // The worker, when unpacking, reports back soon after and the session ends then; a worker that
            // starts later clears the flag first.
            m_cancelWork = true;
            if (m_session->reply)
                m_session->reply->abort();
        }
    });
    return progress;
}

void Updater::feedArrived(QNetworkReply* reply)
{
    reply->deleteLater();
    if (!m_session || m_session->reply != reply)
        return;
    if (m_session->cancelled) {
        endSession();
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(QCoreApplication::translate("Updater", "The update information could not be fetched: %1")
                 .arg(transferError(reply)));
        return;
    }
    const QByteArray document = reply->read(update::maxFeedBytes + 1);
    const QVariantMap info = m_host.infoDictionary();
    QVariantMap state = readState(stateFilePath());

    update::FeedTrust trust;
    trust.identifier = info.value(QStringLiteral("PealixUpdateIdentifier")).toString();
    trust.runningVersion = info.value(QStringLiteral("CFBundleShortVersionString")).toString();
    trust.highestSeenVersion = state.value(keyHighestSeen).toString();
    for (const char* key : {"PealixUpdatePublicKey", "PealixUpdateNextPublicKey"}) {
        const QByteArray k = update::decodePublicKey(info.value(QString::fromLatin1(key)).toString());
        if (!k.isEmpty())
            trust.publicKeys.append(k);
    }
    trust.feedUrl = reply->url();
    trust.now = QDateTime::currentDateTimeUtc();
    const update::FeedResult result = update::evaluateFeed(document, trust);
    if (result.status == update::FeedResult::Refused) {
        fail(result.message);
        return;
    }
    // Only a signed, current feed moves the bounds.
    if (trust.highestSeenVersion.isEmpty() ||
        update::compareVersions(result.offer.version, trust.highestSeenVersion).value_or(0) > 0)
        state.insert(keyHighestSeen, result.offer.version);
    state.insert(keyLastCheck, QDateTime::currentDateTimeUtc());
    writeState(stateFilePath(), state);

    if (result.status == update::FeedResult::UpToDate ||
        (!m_session->interactive && state.value(keySkipped).toString() == result.offer.version)) {
        if (m_session->interactive)
            showMessage(QStringLiteral("upToDate"),
                        QCoreApplication::translate("Updater", "You're up to date!"),
                        //: %2 is the product's name, %1 its version.
                        QCoreApplication::translate("Updater", "%2 %1 is the newest version available.")
                            .arg(trust.runningVersion, product()),
                        true);
        else
            endSession();
        return;
    }
    if (!canShowWindows()) {
        qCDebug(lcUpdater) << "version" << result.offer.version << "is available; nobody to ask";
        endSession(true, QString());
        return;
    }
    m_session->offer = result.offer;
    offerInstall();
}

void Updater::offerInstall()
{
    const update::UpdateOffer& offer = m_session->offer;
    auto* box = new QMessageBox(
        QMessageBox::Information, QCoreApplication::translate("Updater", "%1 Update").arg(product()),
        QCoreApplication::translate("Updater", "A new version of %1 is available!").arg(product()),
        QMessageBox::NoButton);
    box->setObjectName(QStringLiteral("updateAvailable"));
    const QString running =
        m_host.infoDictionary().value(QStringLiteral("CFBundleShortVersionString")).toString();
    box->setInformativeText(
        //: %3 is the product's name, %1 the version offered, %2 the version installed.
        QCoreApplication::translate("Updater",
                                    "%3 %1 is now available; you have %2. Would you like to install it now?")
            .arg(offer.version, running, product()));
    if (!offer.notes.isEmpty()) {
        // Short notes are read at a glance; long ones wait behind Show Details.
        if (offer.notes.size() <= 600 && offer.notes.count(QLatin1Char('\n')) < 8)
            box->setInformativeText(
                QStringLiteral("<p>%1</p><p>%2</p>")
                    .arg(box->informativeText().toHtmlEscaped(),
                         offer.notes.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"))));
        else
            box->setDetailedText(offer.notes);
    }
    box->addButton(QCoreApplication::translate("Updater", "Install Update"), QMessageBox::AcceptRole)
        ->setObjectName(QStringLiteral("install"));
    box->addButton(QCoreApplication::translate("Updater", "Remind Me Later"), QMessageBox::RejectRole)
        ->setObjectName(QStringLiteral("later"));
    box->addButton(QCoreApplication::translate("Updater", "Skip This Version"), QMessageBox::DestructiveRole)
        ->setObjectName(QStringLiteral("skip"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box] {
        const QString choice = box->clickedButton() ? box->clickedButton()->objectName() : QString();
        if (!m_session)
            return;
        if (choice == QLatin1String("install")) {
            QTimer::singleShot(0, this, &Updater::startDownload);
            return;
        }
        if (choice == QLatin1String("skip")) {
            QVariantMap state = readState(stateFilePath());
            state.insert(keySkipped, m_session->offer.version);
            writeState(stateFilePath(), state);
        }
        endSession();
    });
    showWindow(box);
}

void Updater::startDownload()
{
    if (!m_session)
        return;
    const std::optional<QString> target = m_delegate ? m_delegate->updaterInstallTargetPath() : std::nullopt;
    if (!target || target->isEmpty() || !QFileInfo(*target).isDir()) {
        fail(
            QCoreApplication::translate("Updater", "%1 is not installed in a place this updater can replace.")
                .arg(product()));
        return;
    }
    m_session->target = QFileInfo(*target).absoluteFilePath();
    // Another updater's staging folder and half-done exchange are its own business until it is gone.
    m_session->lock = std::make_unique<update::InstallLock>(m_session->target);
    if (!m_session->lock->isHeld()) {
        showMessage(QStringLiteral("updateUnderWay"),
                    QCoreApplication::translate("Updater", "Update Under Way"),
                    QCoreApplication::translate(
                        "Updater", "Another %1 updater is installing an update; try again when it is done.")
                        .arg(product()),
                    false);
        return;
    }
    if (const QString e = update::undoPendingExchange(m_session->target); !e.isEmpty()) {
        fail(QCoreApplication::translate("Updater", "An earlier update could not be undone: %1").arg(e));
        return;
    }
    update::StagingArea::removeStale(m_session->target);
    m_session->staging = std::make_unique<update::StagingArea>(m_session->target);
    if (!m_session->staging->isValid() || m_session->staging->createArchiveFile() < 0) {
        fail(QCoreApplication::translate("Updater", "There is no room to download the update beside %1.")
                 .arg(m_session->target));
        return;
    }
    QNetworkRequest request(m_session->offer.archiveUrl);
    request.setTransferTimeout(stallTimeoutMs(60000));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    QNetworkReply* reply = m_network->get(request);
    guardTransfer(reply, stallTimeoutMs(60000), deadlineMs(archiveDeadlineMs));
    m_session->reply = reply;
    QProgressDialog* progress = progressWindow(
        QCoreApplication::translate("Updater", "Downloading %2 %1…").arg(m_session->offer.version, product()),
        100);
    QPointer<QProgressDialog> bar = progress;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply, bar] {
        if (!m_session || m_session->reply != reply)
            return;
        const QByteArray chunk = reply->readAll();
        m_session->received += chunk.size();
        if (m_session->received > m_session->offer.size ||
            !writeAll(m_session->staging->archiveFd(), chunk.constData(), chunk.size())) {
            reply->abort();
            return;
        }
        if (bar)
            bar->setValue(
                static_cast<int>(m_session->received * 100 / std::max<qint64>(m_session->offer.size, 1)));
    });
    connect(reply, &QNetworkReply::finished, this, &Updater::downloadFinished);
    showWindow(progress);
}

void Updater::downloadFinished()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (reply)
        reply->deleteLater();
    if (!m_session || m_session->reply != reply)
        return;
    if (m_session->cancelled) {
        endSession();
        return;
    }
    if (m_session->received > m_session->offer.size) {
        fail(QCoreApplication::translate("Updater", "The downloaded update is larger than announced."));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(QCoreApplication::translate("Updater", "The update could not be downloaded: %1")
                 .arg(transferError(reply)));
        return;
    }
    install();
}

void Updater::install()
{
    Session& s = *m_session;
    // The agent's executable, at the same place inside the new bundle as in the running one.
    const QString agentRelative = QDir(s.target).relativeFilePath(
        m_host.bundlePath() + QStringLiteral("/Contents/Linux/") +
        m_host.infoDictionary().value(QStringLiteral("CFBundleExecutable")).toString());
    if (agentRelative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(agentRelative)) {
        fail(
            QCoreApplication::translate("Updater", "%1 is not installed in a place this updater can replace.")
                .arg(product()));
        return;
    }
    if (auto* bar = qobject_cast<QProgressDialog*>(m_window.data())) {
        bar->setLabelText(
            QCoreApplication::translate("Updater", "Verifying %2 %1…").arg(s.offer.version, product()));
        bar->setRange(0, 0);
    }
    const QString identifier =
        m_host.infoDictionary().value(QStringLiteral("PealixUpdateIdentifier")).toString();
    const int fd = s.staging->archiveFd();
    const QString unpacked = s.staging->path() + QStringLiteral("/new");
    const QString bundleName = QFileInfo(s.target).fileName();
    const update::UpdateOffer offer = s.offer;
    stopWorker();
    m_cancelWork = false;
    // Up to a gigabyte to hash and unpack: a chime on the main thread must not wait for it. The staging
    // area outlives the worker, as the session ends only after its result arrives (or stopWorker()).
    m_worker = std::thread([this, fd, unpacked, bundleName, offer, identifier, agentRelative] {
        const QString newBundle = unpacked + QLatin1Char('/') + bundleName;
        const QString error = [&]() -> QString {
            if (::fsync(fd) != 0)
                return QCoreApplication::translate("Updater",
                                                   "The update could not be written (is the disk full?).");
            if (QString e = update::verifyArchive(fd, offer, &m_cancelWork); !e.isEmpty())
                return e;
            if (!QDir().mkdir(unpacked))
                return QCoreApplication::translate("Updater", "The update could not be unpacked.");
            if (QString e =
                    update::extractArchive(fd, unpacked, bundleName, update::maxUnpackedBytes, &m_cancelWork);
                !e.isEmpty())
                return e;
            if (QString e = update::checkBundle(newBundle, identifier, offer.version, agentRelative);
                !e.isEmpty())
                return e;
            // The new files reach the disk before the swap makes them the installation.
            if (::syncfs(fd) != 0)
                return QCoreApplication::translate("Updater",
                                                   "The update could not be written (is the disk full?).");
            return {};
        }();
        QMetaObject::invokeMethod(
            this, [this, error, newBundle, agentRelative] { finishInstall(error, newBundle, agentRelative); },
            Qt::QueuedConnection);
    });
}

void Updater::stopWorker()
{
    if (!m_worker.joinable())
        return;
    m_cancelWork = true;
    m_worker.join();
}

void Updater::finishInstall(const QString& error, const QString& newBundle, const QString& agentRelative)
{
    if (m_worker.joinable())
        m_worker.join();
    if (!m_session)
        return;
    Session& s = *m_session;
    if (s.cancelled) {
        endSession();
        return;
    }
    if (!error.isEmpty()) {
        fail(error);
        return;
    }
    if (const QString e = update::recordPendingExchange(newBundle, s.target); !e.isEmpty()) {
        fail(e);
        return;
    }
    qCDebug(lcUpdater) << "recorded the exchange";
    if (const QString e = update::exchangeInto(newBundle, s.target); !e.isEmpty()) {
        // A rename half done without the exchange call is put right from the record.
        if (!update::undoPendingExchange(s.target).isEmpty())
            s.staging->keep();
        fail(e);
        return;
    }
    qCDebug(lcUpdater) << "exchanged; asking the new agent";
    confirmNewAgent(s.target + QLatin1Char('/') + agentRelative);
}

void Updater::confirmNewAgent(const QString& executable)
{
    // The old version, now in the staging folder, goes back in unless the new agent runs and names its
    // version.
    if (auto* bar = qobject_cast<QProgressDialog*>(m_window.data()))
        bar->setLabelText(QCoreApplication::translate("Updater", "Starting %2 %1…")
                              .arg(m_session->offer.version, product()));
    auto* probe = new QProcess(this);
    probe->setProcessChannelMode(QProcess::SeparateChannels);
    probe->setStandardInputFile(QProcess::nullDevice());
    auto answered = std::make_shared<bool>(false);
    auto done = [this, probe, answered, executable](bool ok) {
        if (*answered)
            return;
        *answered = true;
        probe->disconnect(this);
        probe->deleteLater();
        newAgentAnswered(ok, executable);
    };
    connect(probe, &QProcess::finished, this, [this, probe, done](int code, QProcess::ExitStatus status) {
        const QByteArray out = probe->readAllStandardOutput();
        const QByteArray expected = m_session ? m_session->offer.version.toUtf8() : QByteArray();
        done(status == QProcess::NormalExit && code == 0 && !expected.isEmpty() &&
             out.trimmed().split(' ').contains(expected));
    });
    connect(probe, &QProcess::errorOccurred, this, [done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(false);
    });
    // A new agent that hangs counts as one that did not start.
    QTimer::singleShot(newAgentAnswerMs, probe, [probe] { probe->kill(); });
    probe->start(executable, {QStringLiteral("--version")});
}

void Updater::newAgentAnswered(bool ok, const QString& executable)
{
    if (!m_session)
        return;
    Session& s = *m_session;
    if (!ok || s.cancelled) {
        qCDebug(lcUpdater) << "new agent did not answer; putting the previous version back";
        const QString running =
            m_host.infoDictionary().value(QStringLiteral("CFBundleShortVersionString")).toString();
        if (const QString e = update::undoPendingExchange(s.target); !e.isEmpty()) {
            // Nothing better is left: the new version stays, and the next start tries again.
            s.staging->keep();
            fail(QCoreApplication::translate("Updater",
                                             "%4 %1 did not start, and %2 could not be put back: %3")
                     .arg(s.offer.version, running, e, product()));
            return;
        }
        qCDebug(lcUpdater) << "put the previous version back";
        if (s.cancelled)
            endSession();
        else
            fail(QCoreApplication::translate("Updater",
                                             "%3 %1 did not start on this system; %3 %2 stays installed.")
                     .arg(s.offer.version, running, product()));
        return;
    }
    update::confirmPendingExchange(s.target);
    qCDebug(lcUpdater) << "confirmed";
    // The previous version stays in the staging folder until the next run removes it.
    s.staging->keep();
    const QString installed =
        Bundle(s.target).infoDictionary().value(QStringLiteral("CFBundleShortVersionString")).toString();
    if (installed != s.offer.version) {
        fail(QCoreApplication::translate("Updater", "%3 %1 is installed, not %2.")
                 .arg(installed, s.offer.version, product()));
        return;
    }
    qCDebug(lcUpdater) << "installed" << s.offer.version << "over" << s.target;
    if (m_window)
        m_window->close();
    emit willRestart();
    m_session.reset();
    m_busy = false;
    emit checkFinished(true, QString());
    if (m_restart)
        m_restart(executable);
}

void Updater::showWindow(QWidget* window)
{
    if (m_window && m_window != window) {
        // Closing the old window must not end the session.
        m_window->disconnect(this);
        m_window->close();
    }
    m_window = window;
    attachToParentWindow(window);
    window->show();
    window->raise();
    window->activateWindow();
}

void Updater::attachToParentWindow(QWidget* window)
{
    bool ok = false;
    const WId id =
        m_parentHandle.startsWith(QLatin1String("x11:")) ? m_parentHandle.mid(4).toULongLong(&ok) : 0;
    if (!ok || id == 0 || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    if (!m_parentWindow || m_parentWindow->winId() != id) {
        delete m_parentWindow;
        m_parentWindow = QWindow::fromWinId(id);
    }
    window->winId();
    if (QWindow* handle = window->windowHandle())
        handle->setTransientParent(m_parentWindow);
}

void Updater::showMessage(const QString& name, const QString& title, const QString& text, bool ok,
                          std::optional<QMessageBox::Icon> icon)
{
    if (!m_session || !m_session->interactive) {
        qCDebug(lcUpdater) << "quiet check:" << text;
        endSession(ok, text);
        return;
    }
    auto* box = new QMessageBox(icon.value_or(ok ? QMessageBox::Information : QMessageBox::Warning), title,
                                title, QMessageBox::Ok);
    box->setObjectName(name);
    box->setInformativeText(text);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, ok, text] { endSession(ok, text); });
    showWindow(box);
}

void Updater::fail(const QString& text)
{
    qCDebug(lcUpdater) << "update failed:" << text;
    showMessage(QStringLiteral("updateError"), QCoreApplication::translate("Updater", "Update Error"), text,
                false);
}

void Updater::endSession(bool ok, const QString& message)
{
    stopWorker();
    if (m_window) {
        m_window->disconnect(this);
        m_window->close();
    }
    if (m_session && m_session->reply) {
        // Its end would report into the session that is going.
        m_session->reply->disconnect(this);
        m_session->reply->abort();
    }
    m_session.reset();
    // The window that asked belongs to this check only; a later daily check stands on its own.
    m_parentHandle.clear();
    m_busy = false;
    emit checkFinished(ok, message);
}

} // namespace platform
