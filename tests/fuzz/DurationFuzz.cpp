// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Whatever is typed after `pealix pause`: a duration within the limit, or a message.

#include "cli/Duration.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto parsed = Duration::parse(text);
    if (const auto* seconds = std::get_if<quint32>(&parsed)) {
        if (*seconds == 0 || *seconds > Duration::maximumSeconds)
            std::abort();
    } else if (std::get<QString>(parsed).isEmpty()) {
        std::abort();
    }
    return 0;
}
