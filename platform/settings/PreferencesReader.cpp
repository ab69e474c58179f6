// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/settings/PreferencesReader.h"

#include "platform/settings/Preferences.h"
#include "platform/settings/PropertyList.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include <sys/inotify.h>
#include <unistd.h>

namespace platform {

namespace {

Q_LOGGING_CATEGORY(lcPrefsReader, "pealix.preferences.reader", QtWarningMsg)

constexpr uint32_t watchedEvents = IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                   IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;

PreferencesReader::Result readNow(const QString& path)
{
    PreferencesReader::Result result;
    if (path.isEmpty())
        return result;
    PropertyList::FileContents contents = PropertyList::readFileContents(path);
    switch (contents.status) {
    case PropertyList::FileContents::ok:
        if (contents.root.typeId() == QMetaType::QVariantMap) {
            result.status = PreferencesReader::Status::ok;
            result.values = contents.root.toMap();
        } else {
            result.status = PreferencesReader::Status::unusable;
        }
        break;
    case PropertyList::FileContents::absent:
        break;
    default:
        result.status = PreferencesReader::Status::unusable;
        break;
    }
    return result;
}

} // namespace

// What the reader and its reading thread share; the thread may outlive the reader.
struct PreferencesReader::Shared {
    ~Shared()
    {
        if (inotifyFd >= 0)
            ::close(inotifyFd);
    }
    std::mutex mutex;
    std::condition_variable done;
    PreferencesReader* owner = nullptr; // none once the reader is gone
    bool reading = false;
    bool waiting = false; // read() waits for this result itself
    std::optional<Result> result;
    int inotifyFd = -1;
};

PreferencesReader::PreferencesReader(const QString& domain, QObject* parent)
    : QObject(parent), m_path(Preferences(domain).filePath()), m_shared(std::make_shared<Shared>())
{
    qRegisterMetaType<Result>();
    m_shared->owner = this;
    m_shared->inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_shared->inotifyFd >= 0) {
        m_notifier = new QSocketNotifier(m_shared->inotifyFd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PreferencesReader::readEvents);
    }
}

PreferencesReader::~PreferencesReader()
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->owner = nullptr;
}

bool PreferencesReader::isReading() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->reading;
}

std::optional<PreferencesReader::Result> PreferencesReader::read(int waitMs)
{
    std::unique_lock lock(m_shared->mutex);
    // A result that has come but not been delivered yet (no event loop ran) is superseded by this read.
    if (m_shared->reading && !m_shared->result) {
        m_again = true;
        return std::nullopt;
    }
    m_again = false;
    m_shared->reading = true;
    m_shared->result.reset();
    const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
    try {
        std::thread([shared = m_shared, path = m_path, folder] {
            // Adding a watch looks the folder up, which may hang like the read.
            if (shared->inotifyFd >= 0 && !path.isEmpty())
                ::inotify_add_watch(shared->inotifyFd, folder.constData(), watchedEvents);
            Result result = readNow(path);
            std::lock_guard lock(shared->mutex);
            shared->result = std::move(result);
            shared->done.notify_all();
            if (!shared->waiting && shared->owner)
                QMetaObject::invokeMethod(shared->owner, &PreferencesReader::deliver, Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error& error) {
        qCWarning(lcPrefsReader) << "cannot start a thread to read the settings:" << error.what();
        m_shared->reading = false;
        return Result{Status::unusable, {}};
    }
    m_shared->waiting = true;
    const bool ended = m_shared->done.wait_for(lock, std::chrono::milliseconds(std::max(waitMs, 0)),
                                               [&] { return m_shared->result.has_value(); });
    m_shared->waiting = false;
    if (!ended) {
        qCDebug(lcPrefsReader) << m_path << "not read within" << waitMs << "ms";
        return std::nullopt;
    }
    m_shared->reading = false;
    std::optional<Result> result = std::move(m_shared->result);
    m_shared->result.reset();
    return result;
}

void PreferencesReader::deliver()
{
    std::optional<Result> result;
    {
        std::lock_guard lock(m_shared->mutex);
        // Taken by a read() since, or the one of a read that is out now.
        if (!m_shared->result)
            return;
        result = std::move(m_shared->result);
        m_shared->result.reset();
        m_shared->reading = false;
    }
    emit finished(*result);
    if (m_again) {
        m_again = false;
        if (std::optional<Result> next = read(0))
            emit finished(*next);
    }
}

void PreferencesReader::readEvents()
{
    const QByteArray name = QFile::encodeName(QFileInfo(m_path).fileName());
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    for (;;) {
        const ssize_t n = ::read(m_shared->inotifyFd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // The folder itself went (the file with it), or events were lost.
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW))
                changed = true;
            else if (event->len > 0 && name == event->name)
                changed = true;
            at += ssize_t(sizeof(inotify_event)) + event->len;
        }
    }
    if (changed)
        emit fileChanged();
}

} // namespace platform
