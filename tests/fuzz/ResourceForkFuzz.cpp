// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Whatever a file's resource fork holds: parsed, and when it parses, written out again and parsed to the
// same resources.

#include "platform/files/ResourceFork.h"

#include <cstdint>
#include <cstdlib>

using namespace platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto map = ResourceFork::parse(bytes);
    if (!map)
        return 0;
    for (quint32 type : map->types())
        for (int i = 1; i <= map->count(type); ++i)
            if (!map->indexed(type, i))
                std::abort();
    const QByteArray again = ResourceFork::serialize(*map);
    if (again.isEmpty())
        return 0; // too many resources of a type to encode
    const auto reparsed = ResourceFork::parse(again);
    if (!reparsed || reparsed->resources.size() != map->resources.size())
        std::abort();
    for (qsizetype i = 0; i < map->resources.size(); ++i) {
        const ResourceFork::Resource &a = map->resources[i], &b = reparsed->resources[i];
        if (a.type != b.type || a.id != b.id || a.name != b.name || a.data != b.data ||
            a.attributes != b.attributes)
            std::abort();
    }
    return 0;
}
