// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// libFuzzer entry over the property-list reader: any bytes must parse or be rejected, never crash,
// and whatever parses must encode and read back.

#include "platform/settings/PropertyList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QVariant> root = platform::PropertyList::fromData(bytes);
    if (!root)
        return 0;
    const QByteArray xml = platform::PropertyList::toXml(*root);
    if (!xml.isEmpty() && !platform::PropertyList::fromData(xml))
        std::abort();
    return 0;
}
