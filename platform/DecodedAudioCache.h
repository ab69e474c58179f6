#pragma once
// Shares the decoded samples of identical files between sounds, and keeps recently opened ones a while.

#include "platform/GstAudioDecoder.h"

#include <QString>
#include <memory>

namespace platform {

class DecodedAudioCache {
public:
    // A file is the same while its canonical path, size, modification time and inode are unchanged.
    // Decodes on a miss; nullptr when the file does not decode.
    static std::shared_ptr<DecodedAudio> lookupOrDecode(const QString& path);
    // Limit on the samples one sound keeps in memory; PEALIX_SOUND_MAX_DECODED_BYTES lowers it for tests.
    static size_t maxDecodedBytes();
};

} // namespace platform
