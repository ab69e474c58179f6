// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "pane/SettingsSaver.h"

#include "platform/notifications/DistributedNotificationCenter.h"
#include "platform/settings/Preferences.h"
#include "shared/PrefKeys.h"

#include <QLoggingCategory>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

Q_LOGGING_CATEGORY(lcSaver, "pealix.pane.save", QtWarningMsg)

struct SettingsSaver::State {
    QString domain;
    std::mutex mutex;
    std::condition_variable changed;
    // The owner, while it lives; results are delivered to it.
    SettingsSaver* owner = nullptr;
    Settings::Values newest;
    quint64 asked = 0;
    std::optional<std::pair<quint64, Settings::Values>> waiting;
    bool writing = false;
    bool lastSaved = true;
    bool stopping = false;
    int lockWaitMs = 0;
    std::thread thread;

    void run();
    bool settled() const { return !writing && !waiting; }
};

void SettingsSaver::State::run()
{
    platform::Preferences domainFile(domain);
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return waiting || stopping; });
        if (stopping)
            return;
        const auto [number, values] = std::move(*waiting);
        waiting.reset();
        writing = true;
        domainFile.setLockWait(lockWaitMs);
        lock.unlock();

        Settings::write(domainFile, values);
        const bool saved = domainFile.synchronize();
        if (saved)
            platform::DistributedNotificationCenter::defaultCenter()->postNotificationName(
                PrefKeys::prefsUpdateNotification);
        const QString error = saved ? QString() : domainFile.lastWriteError();

        lock.lock();
        writing = false;
        lastSaved = saved;
        if (SettingsSaver* target = owner)
            QMetaObject::invokeMethod(
                target, [target, number, saved, error] { emit target->finished(number, saved, error); },
                Qt::QueuedConnection);
        changed.notify_all();
    }
}

SettingsSaver::SettingsSaver(const QString& domain, QObject* parent)
    : QObject(parent), m_state(std::make_shared<State>())
{
    m_state->domain = domain;
    m_state->owner = this;
    // Made here, on the owner's thread, before the writer posts through it.
    platform::DistributedNotificationCenter::defaultCenter();
    m_state->thread = std::thread([state = m_state] { state->run(); });
}

SettingsSaver::~SettingsSaver()
{
    std::unique_lock lock(m_state->mutex);
    m_state->owner = nullptr;
    m_state->stopping = true;
    m_state->changed.notify_all();
    const bool writing = m_state->writing;
    lock.unlock();
    // A write stuck on the disk keeps its thread; the state it needs is shared with it.
    if (writing) {
        qCWarning(lcSaver) << "a settings write is still under way; it is left to finish";
        m_state->thread.detach();
    } else {
        m_state->thread.join();
    }
}

quint64 SettingsSaver::save(const Settings::Values& values)
{
    const std::lock_guard lock(m_state->mutex);
    m_state->newest = values;
    m_state->waiting.emplace(++m_state->asked, values);
    m_state->changed.notify_all();
    return m_state->asked;
}

quint64 SettingsSaver::retry()
{
    {
        const std::lock_guard lock(m_state->mutex);
        if (m_state->asked == 0)
            return 0;
    }
    return save(m_state->newest);
}

bool SettingsSaver::flush(int lockWaitMs, int boundMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    std::unique_lock lock(m_state->mutex);
    m_state->lockWaitMs = lockWaitMs;
    const auto settled = [this] { return m_state->settled(); };
    if (!m_state->changed.wait_until(lock, deadline, settled))
        return false;
    if (m_state->lastSaved)
        return true;
    if (m_state->asked == 0)
        return true;
    m_state->waiting.emplace(++m_state->asked, m_state->newest);
    m_state->changed.notify_all();
    return m_state->changed.wait_until(lock, deadline, settled) && m_state->lastSaved;
}
