// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Shares the decoded samples of identical files between sounds, and keeps dropped ones a little while.

#include "platform/Export.h"

#include "platform/audio/gst/GstAudioDecoder.h"

#include <QString>
#include <memory>

namespace platform {

class PEALIX_INTERNAL DecodedAudioCache {
public:
    // A file is the same while its canonical path, size, modification time and inode are unchanged.
    // Decodes on a miss (blocking; call it off the main thread); nullptr when the file does not decode.
    // Threads asking for a file that is being decoded wait for that decode.
    static std::shared_ptr<DecodedAudio> lookupOrDecode(const QString& path);
    // A sound let go of its samples: they stay for a re-read of the settings that opens the same file
    // again soon, and are released a while after the last user went. Main thread.
    static void keepAWhile(const std::shared_ptr<DecodedAudio>& audio);
    // The most channels among the samples held now (at least 1).
    static int widestLiveChannels();
    // Limit on the samples one sound keeps in memory (512 kB); PEALIX_SOUND_MAX_DECODED_BYTES lowers it.
    static size_t maxDecodedBytes();
    // PEALIX_SOUND_KEEP_MS (default 30000) lowers how long dropped samples stay, for tests.
    static int keepMs();
};

} // namespace platform
