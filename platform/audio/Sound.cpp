// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/audio/Sound.h"

#include "platform/audio/gst/DecodedAudioCache.h"
#include "platform/audio/gst/GstSoundOutput.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <chrono>
#include <condition_variable>
#include <gst/gst.h>
#include <malloc.h>
#include <map>
#include <mutex>
#include <thread>

namespace platform {

namespace {

// How long open() waits for a load: a quick file is settled when it returns, a hanging one costs the
// main thread this once (a second open of a file still loading does not wait again).
constexpr int kOpenWaitMs = 400;

} // namespace

// One read and decode of a file on a thread of its own, shared by the sounds opened from it meanwhile.
struct LoadJob {
    QString path;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::shared_ptr<DecodedAudio> result;
    QElapsedTimer age;                    // main thread
    std::vector<QPointer<Sound>> waiting; // main thread
};

struct Sound::Impl {
    QString path;
    State state = State::Loading;
    std::shared_ptr<DecodedAudio> audio;
    std::shared_ptr<LoadJob> job;
    std::shared_ptr<std::atomic<float>> volume = std::make_shared<std::atomic<float>>(1.0f);
    uint64_t serial = 0; // bumped by play and stop, so a stale end event is ignored
    bool playing = false;
};

struct SoundPrivateAccess {
    static void ended(Sound* sound, uint64_t serial)
    {
        if (serial != sound->d->serial || !sound->d->playing)
            return;
        sound->d->playing = false;
        QPointer<Sound> guard(sound);
        emit sound->didEnd();
        if (guard)
            emit Sound::endNotifier()->soundDidEnd(sound);
        if (auto* out = GstSoundOutput::existingInstance())
            out->scheduleIdleClose();
    }
    static void settle(Sound* sound, std::shared_ptr<DecodedAudio> audio, bool announce)
    {
        sound->d->job.reset();
        sound->d->audio = std::move(audio);
        sound->d->state = sound->d->audio ? Sound::State::Loaded : Sound::State::Failed;
        if (announce)
            emit sound->loaded(sound->d->state == Sound::State::Loaded);
    }
    static std::map<QString, std::shared_ptr<LoadJob>>& jobs()
    {
        static std::map<QString, std::shared_ptr<LoadJob>> inFlight; // main thread
        return inFlight;
    }
    static void finish(const std::shared_ptr<LoadJob>& job)
    {
        auto& inFlight = jobs();
        auto it = inFlight.find(job->path);
        if (it != inFlight.end() && it->second == job)
            inFlight.erase(it);
        for (const QPointer<Sound>& sound : std::exchange(job->waiting, {}))
            if (sound && sound->d->state == Sound::State::Loading)
                settle(sound, job->result, true);
        // Each decode thread leaves the buffers it went through in an allocator arena of its own;
        // once the loads are done, that memory goes back to the system.
        if (inFlight.empty())
            malloc_trim(0);
    }
};

void soundReachedEnd(Sound* sound, uint64_t serial)
{
    SoundPrivateAccess::ended(sound, serial);
}

Sound::Sound() : d(std::make_unique<Impl>()) {}

Sound::~Sound()
{
    if (auto* out = GstSoundOutput::existingInstance())
        out->release(this);
    DecodedAudioCache::keepAWhile(d->audio);
}

std::shared_ptr<Sound> Sound::open(const QString& path)
{
    ensureGstInit();
    if (path.isEmpty())
        return nullptr;
    SoundEndNotifier* notifier = endNotifier(); // created here, on the main thread
    auto& job = SoundPrivateAccess::jobs()[path];
    if (!job) {
        job = std::make_shared<LoadJob>();
        job->path = path;
        job->age.start();
        std::thread([job, notifier] {
            auto audio = DecodedAudioCache::lookupOrDecode(job->path);
            {
                std::lock_guard lock(job->mutex);
                job->result = std::move(audio);
                job->done = true;
            }
            job->finished.notify_all();
            QMetaObject::invokeMethod(
                notifier, [job] { SoundPrivateAccess::finish(job); }, Qt::QueuedConnection);
        }).detach();
    }
    bool done = false;
    std::shared_ptr<DecodedAudio> audio;
    {
        std::unique_lock lock(job->mutex);
        const auto left = std::chrono::milliseconds(std::max<qint64>(0, kOpenWaitMs - job->age.elapsed()));
        job->finished.wait_for(lock, left, [&] { return job->done; });
        done = job->done;
        audio = job->result;
    }
    if (done && !audio)
        return nullptr;
    std::shared_ptr<Sound> sound(new Sound);
    sound->d->path = path;
    if (done) {
        SoundPrivateAccess::settle(sound.get(), std::move(audio), false);
    } else {
        sound->d->job = job;
        job->waiting.emplace_back(sound.get());
    }
    return sound;
}

Sound::State Sound::state() const
{
    return d->state;
}

bool Sound::waitUntilLoaded(int timeoutMs)
{
    if (d->state == State::Loading && d->job) {
        std::shared_ptr<LoadJob> job = d->job;
        std::shared_ptr<DecodedAudio> audio;
        bool done = false;
        {
            std::unique_lock lock(job->mutex);
            job->finished.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return job->done; });
            done = job->done;
            audio = job->result;
        }
        if (done)
            SoundPrivateAccess::settle(this, std::move(audio), true);
    }
    return d->state == State::Loaded;
}

bool Sound::hasAudio() const
{
    return d->audio && d->audio->frames > 0;
}

QString Sound::path() const
{
    return d->audio ? d->audio->path : d->path;
}

double Sound::duration() const
{
    return d->audio ? double(d->audio->frames) / kOutputRate : 0.0;
}

void Sound::play()
{
    ++d->serial;
    if (!hasAudio()) {
        d->playing = false;
        return;
    }
    d->playing = true;
    GstSoundOutput::instance()->play(this, d->serial, d->audio, d->volume,
                                     QFileInfo(d->path).completeBaseName());
}

void Sound::stop()
{
    ++d->serial;
    d->playing = false;
    if (auto* out = GstSoundOutput::existingInstance())
        out->stop(this);
}

bool Sound::isPlaying() const
{
    return d->playing;
}

void Sound::setVolume(float volume)
{
    d->volume->store(volume >= 0.0f ? std::min(volume, 1.0f) : 0.0f); // NaN ends up silent too
    if (auto* out = GstSoundOutput::existingInstance())
        out->volumeChanged();
}

float Sound::volume() const
{
    return d->volume->load();
}

void Sound::prepareOutput(const QString& title)
{
    ensureGstInit();
    GstSoundOutput::instance()->prepare(title);
}

bool Sound::isOutputOpen()
{
    auto* out = GstSoundOutput::existingInstance();
    return out && out->isOpen();
}

SoundEndNotifier* Sound::endNotifier()
{
    static SoundEndNotifier notifier;
    return &notifier;
}

namespace {

// A file type plays when its container has a demuxer or parser and at least one of its usual codecs a
// decoder; raw PCM containers need no codec.
struct FileType {
    const char* extensions;
    const char* container; // nullptr: the codec caps are the file's own
    std::vector<const char*> codecs;
};

const std::vector<FileType>& fileTypes()
{
    static const std::vector<FileType> types = {
        {"wav wave", "audio/x-wav", {}},
        {"aiff aif aifc", "audio/x-aiff", {}},
        {"au snd", "audio/x-au", {}},
        {"flac", nullptr, {"audio/x-flac"}},
        {"mp3",
         "audio/mpeg,mpegversion=(int)1,layer=(int)3",
         {"audio/mpeg,mpegversion=(int)1,layer=(int)3,parsed=(boolean)true"}},
        {"ogg oga", "application/ogg", {"audio/x-vorbis", "audio/x-opus", "audio/x-flac", "audio/x-speex"}},
        {"opus", "application/ogg", {"audio/x-opus"}},
        {"spx", "application/ogg", {"audio/x-speex"}},
        {"m4a mp4 mov", "video/quicktime", {"audio/mpeg,mpegversion=(int)4", "audio/x-alac"}},
        {"aac", "audio/mpeg,mpegversion=(int)4", {"audio/mpeg,mpegversion=(int)4,stream-format=(string)raw"}},
        {"mka webm", "video/x-matroska", {"audio/x-vorbis", "audio/x-opus", "audio/x-flac"}},
        {"wv", nullptr, {"audio/x-wavpack"}},
        {"caf", "audio/x-caf", {}},
        {"w64", "audio/x-w64", {}},
    };
    return types;
}

bool hasElementFor(GstElementFactoryListType type, const char* capsText)
{
    GList* factories = gst_element_factory_list_get_elements(type, GST_RANK_MARGINAL);
    GstCaps* caps = gst_caps_from_string(capsText);
    GList* matching = caps ? gst_element_factory_list_filter(factories, caps, GST_PAD_SINK, FALSE) : nullptr;
    const bool found = matching != nullptr;
    gst_plugin_feature_list_free(matching);
    gst_plugin_feature_list_free(factories);
    if (caps)
        gst_caps_unref(caps);
    return found;
}

} // namespace

QStringList Sound::movieFileTypes()
{
    static const QStringList result = [] {
        ensureGstInit();
        QStringList list;
        const auto containerTypes =
            GstElementFactoryListType(GST_ELEMENT_FACTORY_TYPE_DEMUXER | GST_ELEMENT_FACTORY_TYPE_PARSER);
        for (const FileType& t : fileTypes()) {
            if (t.container && !hasElementFor(containerTypes, t.container))
                continue;
            bool codec = t.codecs.empty();
            for (const char* c : t.codecs)
                codec = codec || hasElementFor(GST_ELEMENT_FACTORY_TYPE_DECODER, c);
            if (codec)
                list += QString::fromLatin1(t.extensions).split(u' ');
        }
        return list;
    }();
    return result;
}

} // namespace platform
