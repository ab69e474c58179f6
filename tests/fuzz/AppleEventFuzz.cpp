// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Whatever arrives on an event socket: decoded, and when it decodes, walked and encoded again to the same
// bytes.

#include "platform/appleevents/AppleEvent.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace platform;

namespace {

void walk(const AEDesc& desc)
{
    long count = 0;
    if (AECountItems(desc, &count) != noErr)
        return;
    for (long i = 1; i <= count; ++i) {
        AEKeyword key = 0;
        AEDesc item, coerced;
        if (AEGetNthDesc(desc, i, typeWildCard, &key, &item) != noErr)
            std::abort();
        for (DescType to : {typeUnicodeText, typeUTF8Text, typeSInt16, typeBoolean, typeInsertionLoc})
            AECoerceDesc(item, to, &coerced);
        walk(item);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    AppleEvent event;
    if (!decodeAppleEvent(reinterpret_cast<const char*>(data), size, &event))
        return 0;
    walk(event.target);
    walk(event.parameters);
    char buffer[1024];
    AEGetParamPtr(event, keyErrorNumber, typeSInt16, nullptr, buffer, sizeof buffer, nullptr);
    AEGetParamPtr(event, fourCharCode("ppth"), typeUTF8Text, nullptr, buffer, sizeof buffer - 1, nullptr);
    const QByteArray again = encodeAppleEvent(event);
    if (std::size_t(again.size()) != size || std::memcmp(again.constData(), data, size) != 0)
        std::abort();
    return 0;
}
