// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/update/UpdateExchange.h"

#include "platform/settings/PropertyList.h"
#include "platform/workspace/LaunchServices.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::update {

namespace {

Q_LOGGING_CATEGORY(lcInstall, "pealix.update.install", QtWarningMsg)

} // namespace

QString stagingPrefix(const QString& targetPath)
{
    return QStringLiteral(".") + QFileInfo(targetPath).fileName() + QStringLiteral(".update-");
}

bool disabledByPolicy()
{
    QString policy = qEnvironmentVariable("PEALIX_UPDATE_POLICY_FILE");
    if (policy.isEmpty())
        policy = QStringLiteral("/etc/pealix/updates-disabled");
    // Inside Flatpak the store that installed us does the updating.
    return QFileInfo::exists(policy) || QFileInfo::exists(QStringLiteral("/.flatpak-info"));
}

bool configured(const QVariantMap& hostInfo)
{
    return !hostInfo.value(QStringLiteral("PealixUpdateFeedURL")).toString().isEmpty();
}

bool automaticChecksPossible(const QVariantMap& hostInfo)
{
    return configured(hostInfo) && !disabledByPolicy() && !LaunchServices::installedByPackageManager();
}

QString exchangeInto(const QString& newBundle, const QString& target)
{
    const QByteArray from = QFile::encodeName(newBundle);
    const QByteArray to = QFile::encodeName(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0)
        return {};
    if (errno == ENOENT && !QFileInfo::exists(target)) {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
            return {};
    } else if (errno == EINVAL || errno == ENOSYS) {
        // A file system without the exchange: aside, in, and back on failure. A kill between the two
        // renames leaves the previous bundle beside the target under the staging folder.
        const QByteArray aside =
            QFile::encodeName(QFileInfo(newBundle).absolutePath() + QStringLiteral("/previous"));
        if (::rename(to.constData(), aside.constData()) == 0) {
            if (::rename(from.constData(), to.constData()) == 0) {
                ::rename(aside.constData(), from.constData());
                return {};
            }
            ::rename(aside.constData(), to.constData());
        }
    }
    qCDebug(lcInstall) << "exchange failed" << std::strerror(errno);
    return QCoreApplication::translate("Updater", "The update could not be installed: %1")
        .arg(QString::fromLocal8Bit(std::strerror(errno)));
}

InstallLock::InstallLock(const QString& targetPath)
{
    // The folder that holds the target, as the target itself is swapped away.
    m_fd = ::open(QFile::encodeName(QFileInfo(targetPath).absolutePath()).constData(),
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

InstallLock::~InstallLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString stateDirectory()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/pealix");
}

namespace {

const QString journalPrefix = QStringLiteral("pending-update-");

QString journalPath(const QString& target)
{
    const QByteArray id = QCryptographicHash::hash(QFile::encodeName(QFileInfo(target).absoluteFilePath()),
                                                   QCryptographicHash::Sha256)
                              .toHex()
                              .left(16);
    return stateDirectory() + QLatin1Char('/') + journalPrefix + QString::fromLatin1(id) +
           QStringLiteral(".plist");
}

std::optional<struct stat> statOf(const QString& path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return st;
}

QString inodeText(const struct stat& st)
{
    return QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
}

// Undoes the exchange the journal at `path` records; empty when the previous version is in place (or
// the exchange never happened) and the journal is gone.
QString undoJournal(const QString& path)
{
    const QVariantMap journal = PropertyList::readFile(path).value_or(QVariant()).toMap();
    const QString target = journal.value(QStringLiteral("Target")).toString();
    const QString previous = journal.value(QStringLiteral("Previous")).toString();
    const QString oldId = journal.value(QStringLiteral("PreviousInode")).toString();
    const QString newId = journal.value(QStringLiteral("NewInode")).toString();
    // Only what our own updater writes: the new bundle in a staging folder beside the target.
    const QString staging = QFileInfo(QFileInfo(previous).absolutePath()).absolutePath();
    const bool sane = !target.isEmpty() && QDir::isAbsolutePath(target) && !oldId.isEmpty() &&
                      !newId.isEmpty() && QFileInfo(previous).fileName() == QFileInfo(target).fileName() &&
                      QFileInfo(QFileInfo(previous).absolutePath()).fileName() == QLatin1String("new") &&
                      QFileInfo(staging).absolutePath() == QFileInfo(target).absolutePath() &&
                      QFileInfo(staging).fileName().startsWith(stagingPrefix(target));
    if (!sane) {
        qCWarning(lcInstall) << "ignoring a damaged update record" << path;
        QFile::remove(path);
        return {};
    }
    auto holdsOld = [&oldId](const QString& p) {
        const auto st = statOf(p);
        return st && S_ISDIR(st->st_mode) && inodeText(*st) == oldId;
    };
    const auto now = statOf(target);
    // The exchange without RENAME_EXCHANGE parks the previous bundle here for a moment.
    const QString aside = QFileInfo(previous).absolutePath() + QStringLiteral("/previous");
    const QString oldAt = holdsOld(previous) ? previous : holdsOld(aside) ? aside : QString();
    if (now && inodeText(*now) == newId && !oldAt.isEmpty()) {
        if (QString e = exchangeInto(oldAt, target); !e.isEmpty())
            return e;
        qCWarning(lcInstall) << "put the previous version back at" << target;
    } else if (!now && !oldAt.isEmpty()) {
        if (::rename(QFile::encodeName(oldAt).constData(), QFile::encodeName(target).constData()) != 0)
            return QString::fromLocal8Bit(std::strerror(errno));
        qCWarning(lcInstall) << "put the previous version back at" << target;
    } else if (!now || inodeText(*now) != oldId) {
        // Neither version where it should be: leave everything for a person to look at.
        return QCoreApplication::translate("Updater", "%1 is neither the previous nor the new version")
            .arg(target);
    }
    QFile::remove(path);
    QDir(staging).removeRecursively();
    return {};
}

} // namespace

QString recordPendingExchange(const QString& newBundle, const QString& target)
{
    const auto fresh = statOf(newBundle);
    const auto old = statOf(target);
    if (!fresh || !old)
        return QCoreApplication::translate("Updater", "The update could not be installed.");
    const QString path = journalPath(target);
    QDir().mkpath(stateDirectory());
    QSaveFile file(path);
    const QVariantMap journal{{QStringLiteral("Target"), QFileInfo(target).absoluteFilePath()},
                              {QStringLiteral("Previous"), QFileInfo(newBundle).absoluteFilePath()},
                              {QStringLiteral("PreviousInode"), inodeText(*old)},
                              {QStringLiteral("NewInode"), inodeText(*fresh)}};
    // QSaveFile::commit() syncs the file before it takes the journal's name.
    if (!file.open(QIODevice::WriteOnly) || file.write(PropertyList::toXml(journal)) < 0 || !file.commit())
        return QCoreApplication::translate("Updater", "The update could not be recorded in %1.")
            .arg(stateDirectory());
    return {};
}

void confirmPendingExchange(const QString& target)
{
    QFile::remove(journalPath(target));
}

QString undoPendingExchange(const QString& target)
{
    const QString path = journalPath(target);
    return QFileInfo::exists(path) ? undoJournal(path) : QString();
}

void recoverInterruptedUpdates(char** argv)
{
    const QDir states(stateDirectory());
    const QStringList journals =
        states.entryList({journalPrefix + QStringLiteral("*.plist")}, QDir::Files | QDir::Hidden);
    for (const QString& name : journals) {
        const QString path = states.filePath(name);
        const QString target = PropertyList::readFile(path)
                                   .value_or(QVariant())
                                   .toMap()
                                   .value(QStringLiteral("Target"))
                                   .toString();
        if (target.isEmpty() || journalPath(target) != path || !QFileInfo(target).absoluteDir().exists()) {
            QFile::remove(path);
            continue;
        }
        // A live updater holds it while its new version is being asked.
        const InstallLock lock(target);
        if (!lock.isHeld())
            continue;
        const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
        const QString installed = QFileInfo(target).canonicalFilePath();
        const auto before = statOf(target);
        if (const QString e = undoJournal(path); !e.isEmpty()) {
            qCWarning(lcInstall) << "an interrupted update could not be undone:" << e;
            continue;
        }
        const auto after = statOf(target);
        const bool replaced = before && after && inodeText(*before) != inodeText(*after);
        if (replaced && argv && !installed.isEmpty() && self.startsWith(installed + QLatin1Char('/'))) {
            // This program was started from the version just taken out; the same path now holds the one
            // put back.
            ::execv(QFile::encodeName(self).constData(), argv);
            qCWarning(lcInstall) << "could not start again from" << self << std::strerror(errno);
        }
    }
}

} // namespace platform::update
