// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/audio/gst/DecodedAudioCache.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <sys/stat.h>

namespace platform {

namespace {

// About 5 s of mono: strikes and short sounds stay in memory; a long melody keeps its first second and
// is decoded as it plays, which costs a few milliseconds of CPU against megabytes held all day.
constexpr size_t kMaxDecodedBytes = 512u * 1024;
constexpr int kDecodeTimeoutMs = 10000;
constexpr int kDefaultKeepMs = 30000;
constexpr size_t kKeptBytes = 32u * 1024 * 1024;

using SteadyTime = std::chrono::steady_clock::time_point;

struct Entry {
    std::weak_ptr<DecodedAudio> audio;
    std::shared_ptr<DecodedAudio> kept; // set while nobody else may hold it
    SteadyTime keptUntil;
};

struct Cache {
    std::mutex mutex;
    std::condition_variable decoded;
    std::map<QString, Entry> entries;
    std::map<QString, int> decoding; // keys being decoded, and how many threads wait for them
    bool pruneArmed = false;
    SteadyTime pruneDue;
    unsigned pruneGeneration = 0;
};

Cache& cache()
{
    static Cache c;
    return c;
}

QString identityKey(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return {};
    struct stat st;
    if (::stat(QFile::encodeName(canonical).constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return {};
    return QStringLiteral("%1|%2|%3|%4.%5|%6|%7")
        .arg(canonical)
        .arg(qint64(st.st_size))
        .arg(quint64(st.st_dev))
        .arg(qint64(st.st_mtim.tv_sec))
        .arg(qint64(st.st_mtim.tv_nsec))
        .arg(quint64(st.st_ino))
        .arg(quint64(DecodedAudioCache::maxDecodedBytes()));
}

// Under the lock. Returns the time until the next release, if any is pending.
std::optional<std::chrono::milliseconds> prune(Cache& c, SteadyTime now)
{
    std::optional<std::chrono::milliseconds> next;
    for (auto it = c.entries.begin(); it != c.entries.end();) {
        Entry& e = it->second;
        if (e.kept && e.keptUntil <= now)
            e.kept.reset();
        if (e.kept) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(e.keptUntil - now);
            next = next ? std::min(*next, left) : left;
        }
        it = e.audio.expired() ? c.entries.erase(it) : std::next(it);
    }
    return next;
}

void armPrune(Cache& c, std::chrono::milliseconds in)
{
    const SteadyTime due = std::chrono::steady_clock::now() + in;
    if (!QCoreApplication::instance() || (c.pruneArmed && c.pruneDue <= due))
        return;
    // A timer armed for later is superseded by this one, which re-arms for what is left.
    c.pruneArmed = true;
    c.pruneDue = due;
    const unsigned generation = ++c.pruneGeneration;
    QTimer::singleShot(in + std::chrono::milliseconds(50), QCoreApplication::instance(), [generation] {
        Cache& c = cache();
        std::unique_lock lock(c.mutex);
        if (generation != c.pruneGeneration)
            return;
        c.pruneArmed = false;
        if (const auto next = prune(c, std::chrono::steady_clock::now()))
            armPrune(c, *next);
    });
}

} // namespace

size_t DecodedAudioCache::maxDecodedBytes()
{
    bool ok = false;
    const qlonglong v = qEnvironmentVariableIntValue("PEALIX_SOUND_MAX_DECODED_BYTES", &ok);
    if (ok && v > 0 && size_t(v) < kMaxDecodedBytes)
        return size_t(v);
    return kMaxDecodedBytes;
}

int DecodedAudioCache::keepMs()
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue("PEALIX_SOUND_KEEP_MS", &ok);
    return ok && v >= 0 && v < kDefaultKeepMs ? v : kDefaultKeepMs;
}

std::shared_ptr<DecodedAudio> DecodedAudioCache::lookupOrDecode(const QString& path)
{
    const QString key = identityKey(path);
    if (key.isEmpty())
        return nullptr;
    Cache& c = cache();
    {
        std::unique_lock lock(c.mutex);
        for (;;) {
            auto it = c.entries.find(key);
            if (it != c.entries.end())
                if (auto audio = it->second.audio.lock())
                    return audio;
            auto busy = c.decoding.find(key);
            if (busy == c.decoding.end())
                break;
            // The same file twice at start-up (each quarter's strike) is decoded once.
            c.decoded.wait(lock);
        }
        c.decoding[key] = 1;
    }
    auto audio = decodeAudioFile(QFileInfo(path).canonicalFilePath(), maxDecodedBytes(), kDecodeTimeoutMs);
    std::lock_guard lock(c.mutex);
    c.decoding.erase(key);
    if (audio)
        c.entries[key].audio = audio;
    c.decoded.notify_all();
    return audio;
}

void DecodedAudioCache::keepAWhile(const std::shared_ptr<DecodedAudio>& audio)
{
    if (!audio)
        return;
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    const auto now = std::chrono::steady_clock::now();
    const auto keep = std::chrono::milliseconds(keepMs());
    size_t bytes = audio->bytes();
    for (auto& [key, e] : c.entries) {
        if (e.audio.lock() == audio) {
            e.kept = audio;
            e.keptUntil = now + keep;
        } else if (e.kept) {
            bytes += e.kept->bytes();
        }
    }
    // Beyond the budget, the ones kept longest go first.
    while (bytes > kKeptBytes) {
        Entry* oldest = nullptr;
        for (auto& [key, e] : c.entries)
            if (e.kept && e.kept != audio && (!oldest || e.keptUntil < oldest->keptUntil))
                oldest = &e;
        if (!oldest)
            break;
        bytes -= oldest->kept->bytes();
        oldest->kept.reset();
    }
    if (const auto next = prune(c, now))
        armPrune(c, *next);
}

int DecodedAudioCache::widestLiveChannels()
{
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    int channels = 1;
    for (auto& [key, e] : c.entries)
        if (auto audio = e.audio.lock())
            channels = std::max(channels, audio->channels);
    return channels;
}

} // namespace platform
