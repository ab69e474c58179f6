#include "platform/Sound.h"

#include "platform/DecodedAudioCache.h"
#include "platform/GstSoundOutput.h"

#include <QPointer>
#include <gst/gst.h>

namespace platform {

struct Sound::Impl {
    std::shared_ptr<DecodedAudio> audio;
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
};

void soundReachedEnd(Sound* sound, uint64_t serial)
{
    SoundPrivateAccess::ended(sound, serial);
}

Sound::Sound() : d(std::make_unique<Impl>()) {}

Sound::~Sound()
{
    if (auto* out = GstSoundOutput::existingInstance())
        out->stop(this);
}

std::shared_ptr<Sound> Sound::open(const QString& path)
{
    ensureGstInit();
    auto audio = DecodedAudioCache::lookupOrDecode(path);
    if (!audio)
        return nullptr;
    std::shared_ptr<Sound> sound(new Sound);
    sound->d->audio = std::move(audio);
    return sound;
}

bool Sound::hasAudio() const
{
    return d->audio && d->audio->frames > 0;
}

QString Sound::path() const
{
    return d->audio->path;
}

double Sound::duration() const
{
    return double(d->audio->frames) / kOutputRate;
}

void Sound::play()
{
    ++d->serial;
    d->playing = true;
    GstSoundOutput::instance()->play(this, d->serial, d->audio, d->volume);
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
}

float Sound::volume() const
{
    return d->volume->load();
}

void Sound::prepareOutput()
{
    ensureGstInit();
    GstSoundOutput::instance()->prepare();
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
