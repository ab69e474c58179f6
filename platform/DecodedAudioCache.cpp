#include "platform/DecodedAudioCache.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <deque>
#include <map>
#include <mutex>
#include <sys/stat.h>

namespace platform {

namespace {

constexpr size_t kMaxDecodedBytes = 32u * 1024 * 1024;
constexpr int kDecodeTimeoutMs = 10000;
// Callers often drop a sound just before opening the same file again (re-reading settings), so the
// last few decodes stay alive on their own, up to a total size.
constexpr size_t kRecentCount = 8;
constexpr size_t kRecentBytes = 64u * 1024 * 1024;

struct Cache {
    std::mutex mutex;
    std::map<QString, std::weak_ptr<DecodedAudio>> entries;
    std::deque<std::pair<QString, std::shared_ptr<DecodedAudio>>> recent;
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
    if (::stat(QFile::encodeName(canonical).constData(), &st) != 0 || !S_ISREG(st.st_mode))
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

void remember(Cache& c, const QString& key, const std::shared_ptr<DecodedAudio>& audio)
{
    for (auto it = c.recent.begin(); it != c.recent.end(); ++it)
        if (it->first == key) {
            c.recent.erase(it);
            break;
        }
    c.recent.emplace_front(key, audio);
    size_t bytes = 0;
    size_t keep = 0;
    for (; keep < c.recent.size() && keep < kRecentCount; ++keep) {
        bytes += c.recent[keep].second->samples.size() * sizeof(float);
        if (bytes > kRecentBytes && keep > 0)
            break;
    }
    c.recent.resize(keep);
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

std::shared_ptr<DecodedAudio> DecodedAudioCache::lookupOrDecode(const QString& path)
{
    const QString key = identityKey(path);
    if (key.isEmpty())
        return nullptr;
    Cache& c = cache();
    {
        std::lock_guard lock(c.mutex);
        auto it = c.entries.find(key);
        if (it != c.entries.end()) {
            if (auto audio = it->second.lock()) {
                remember(c, key, audio);
                return audio;
            }
            c.entries.erase(it);
        }
    }
    // Decoding runs unlocked; two threads racing on one file decode it twice, which is harmless.
    auto audio = decodeAudioFile(QFileInfo(path).canonicalFilePath(), maxDecodedBytes(), kDecodeTimeoutMs);
    if (!audio)
        return nullptr;
    std::lock_guard lock(c.mutex);
    for (auto it = c.entries.begin(); it != c.entries.end();)
        it = it->second.expired() ? c.entries.erase(it) : std::next(it);
    c.entries[key] = audio;
    remember(c, key, audio);
    return audio;
}

} // namespace platform
