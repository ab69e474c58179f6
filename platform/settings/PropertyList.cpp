// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/settings/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QVariantList>
#include <QVariantMap>
#include <QXmlStreamReader>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <plist/plist.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace platform::PropertyList {

namespace {

// Deeper trees are rejected before libplist sees them: its parser and its plist_free recurse.
constexpr int maxDepth = 512;
// A binary list may reference one object many times; libplist copies each reference.
constexpr quint64 maxNodes = 1u << 20;
// libplist counts dates in seconds from 2001-01-01 UTC.
constexpr qint64 macEpoch = 978307200;

struct PlistHolder {
    plist_t node = nullptr;
    ~PlistHolder()
    {
        if (node)
            plist_free(node);
    }
};

quint64 readBigEndian(const uchar* p, int size)
{
    quint64 v = 0;
    for (int i = 0; i < size; ++i)
        v = (v << 8) | p[i];
    return v;
}

// Walks the object graph of a binary list without building it: rejects cycles, references out of
// range, nesting deeper than maxDepth and graphs that would expand to more than maxNodes.
bool binaryShapeAcceptable(const QByteArray& data)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const quint64 length = static_cast<quint64>(data.size());
    if (length < 8 + 32)
        return false;
    const uchar* trailer = bytes + length - 32;
    const int offsetSize = trailer[6];
    const int refSize = trailer[7];
    const quint64 objectCount = readBigEndian(trailer + 8, 8);
    const quint64 top = readBigEndian(trailer + 16, 8);
    const quint64 tableOffset = readBigEndian(trailer + 24, 8);
    const quint64 bodyEnd = length - 32;
    if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8 || objectCount == 0 ||
        top >= objectCount || tableOffset < 8 || tableOffset > bodyEnd ||
        objectCount > (bodyEnd - tableOffset) / static_cast<quint64>(offsetSize))
        return false;

    std::vector<quint64> offsets(objectCount);
    for (quint64 i = 0; i < objectCount; ++i) {
        offsets[i] = readBigEndian(bytes + tableOffset + i * offsetSize, offsetSize);
        if (offsets[i] < 8 || offsets[i] >= tableOffset)
            return false;
    }

    // Reads the count that follows a marker whose low nibble is 0xF.
    auto countAt = [&](quint64 at, quint64& n, quint64& pos) {
        n = bytes[at] & 0x0F;
        pos = at + 1;
        if (n != 0x0F)
            return true;
        if (pos >= tableOffset || (bytes[pos] >> 4) != 0x1)
            return false;
        const int size = 1 << (bytes[pos] & 0x0F);
        if (size > 8 || pos + 1 + size > tableOffset)
            return false;
        n = readBigEndian(bytes + pos + 1, size);
        pos += 1 + size;
        return true;
    };

    // libplist asserts that a key holds no NUL, so such keys (and keys that are no strings) stop here.
    auto keyAcceptable = [&](quint64 index) {
        const quint64 at = offsets[index];
        const int kind = bytes[at] >> 4;
        quint64 n = 0, pos = 0;
        if ((kind != 0x5 && kind != 0x6) || !countAt(at, n, pos))
            return false;
        const quint64 unit = kind == 0x6 ? 2 : 1;
        if (n > (tableOffset - pos) / unit)
            return false;
        for (quint64 i = 0; i < n; ++i) {
            if (bytes[pos + i * unit] == 0 && (unit == 1 || bytes[pos + i * unit + 1] == 0))
                return false;
        }
        return true;
    };

    // Children of a container object: the span of its references, or false when malformed.
    auto children = [&](quint64 index, quint64& first, quint64& count, quint64& keys) {
        const quint64 at = offsets[index];
        const int kind = bytes[at] >> 4;
        count = 0;
        keys = 0;
        if (kind != 0xA && kind != 0xC && kind != 0xD)
            return true;
        quint64 n = 0, pos = 0;
        if (!countAt(at, n, pos))
            return false;
        const quint64 refs = kind == 0xD ? n * 2 : n;
        if (n > bodyEnd || refs > (tableOffset - pos) / static_cast<quint64>(refSize))
            return false;
        first = pos;
        count = refs;
        keys = kind == 0xD ? n : 0;
        return true;
    };

    enum : uchar { unseen, open, done };
    std::vector<uchar> state(objectCount, unseen);
    std::vector<quint64> size(objectCount, 0);
    struct Frame {
        quint64 index, first, count, keys, next;
    };
    std::vector<Frame> stack;
    auto push = [&](quint64 index) {
        Frame f{index, 0, 0, 0, 0};
        if (!children(index, f.first, f.count, f.keys))
            return false;
        state[index] = open;
        size[index] = 1;
        stack.push_back(f);
        return stack.size() <= static_cast<size_t>(maxDepth);
    };
    if (!push(top))
        return false;
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.next == f.count) {
            state[f.index] = done;
            const quint64 finished = size[f.index];
            stack.pop_back();
            if (!stack.empty()) {
                quint64& parent = size[stack.back().index];
                parent = std::min(parent + finished, maxNodes + 1);
                if (parent > maxNodes)
                    return false;
            }
            continue;
        }
        const quint64 child = readBigEndian(bytes + f.first + f.next * refSize, refSize);
        const bool isKey = f.next < f.keys;
        ++f.next;
        if (child >= objectCount || state[child] == open || (isKey && !keyAcceptable(child)))
            return false;
        if (state[child] == done) {
            quint64& parent = size[f.index];
            parent = std::min(parent + size[child], maxNodes + 1);
            if (parent > maxNodes)
                return false;
            continue;
        }
        if (!push(child))
            return false;
    }
    return true;
}

// XML is read here rather than by libplist, whose parser slows down faster than its input grows (its
// dictionaries hash into a fixed number of buckets), nor by QXmlStreamReader, which reads a large file
// in seconds. This reads the XML that property lists use (no internal DTD subset, so no entity
// declarations) in one pass over the bytes with an explicit stack, so time and memory follow the size
// of the input.
class XmlReader {
public:
    explicit XmlReader(const QByteArray& data) : p(data.constData()), end(data.constData() + data.size()) {}

    std::optional<QVariant> read()
    {
        if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
            p += 3;
        for (;;) {
            skipSpace();
            if (at("<?") || at("<!--")) {
                if (!skipMarkup())
                    return std::nullopt;
            } else if (at("<!DOCTYPE")) {
                if (!skipDoctype())
                    return std::nullopt;
            } else {
                break;
            }
        }
        const char* rootStart = p;
        Tag tag;
        if (!startTag(tag))
            return std::nullopt;
        bool wrapped = false;
        if (tag.name == "plist") {
            if (tag.empty)
                return std::nullopt;
            wrapped = true;
        } else {
            p = rootStart;
        }
        QVariant root;
        if (!value(root))
            return std::nullopt;
        if (wrapped && (!skipMisc() || !endTag("plist")))
            return std::nullopt;
        if (!skipMisc() || p != end)
            return std::nullopt;
        return root;
    }

private:
    struct Tag {
        std::string_view name;
        bool empty = false;
    };
    struct Frame {
        bool isDict = false;
        QVariantList list;
        QVariantMap map;
        QString key;
        bool hasKey = false;
    };

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool isNameChar(char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == ':' || c == '.' || c == '-';
    }

    bool at(std::string_view literal) const
    {
        return static_cast<size_t>(end - p) >= literal.size() &&
               std::memcmp(p, literal.data(), literal.size()) == 0;
    }
    void skipSpace()
    {
        while (p < end && isSpace(*p))
            ++p;
    }
    bool skipPast(std::string_view literal)
    {
        const void* found = memmem(p, static_cast<size_t>(end - p), literal.data(), literal.size());
        if (!found)
            return false;
        p = static_cast<const char*>(found) + literal.size();
        return true;
    }
    // A comment or a processing instruction.
    bool skipMarkup() { return at("<?") ? skipPast("?>") : (p += 4, skipPast("-->")); }
    // Whitespace, comments and processing instructions between elements.
    bool skipMisc()
    {
        for (;;) {
            skipSpace();
            if (!at("<?") && !at("<!--"))
                return true;
            if (!skipMarkup())
                return false;
        }
    }
    // An internal subset could declare entities that expand without bound; property lists have none.
    bool skipDoctype()
    {
        char quote = 0;
        for (++p; p < end; ++p) {
            if (quote) {
                if (*p == quote)
                    quote = 0;
            } else if (*p == '"' || *p == '\'') {
                quote = *p;
            } else if (*p == '[') {
                return false;
            } else if (*p == '>') {
                ++p;
                return true;
            }
        }
        return false;
    }

    std::string_view name()
    {
        const char* start = p;
        while (p < end && isNameChar(*p))
            ++p;
        return std::string_view(start, static_cast<size_t>(p - start));
    }

    // <name attr="..."> or <name/>; attributes are read past and ignored.
    bool startTag(Tag& tag)
    {
        if (p >= end || *p != '<')
            return false;
        ++p;
        tag.name = name();
        if (tag.name.empty())
            return false;
        for (;;) {
            const char* before = p;
            skipSpace();
            if (at("/>")) {
                p += 2;
                tag.empty = true;
                return true;
            }
            if (at(">")) {
                ++p;
                tag.empty = false;
                return true;
            }
            if (p == before || name().empty())
                return false;
            skipSpace();
            if (!at("="))
                return false;
            ++p;
            skipSpace();
            if (p >= end || (*p != '"' && *p != '\''))
                return false;
            const void* close = std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1));
            if (!close)
                return false;
            p = static_cast<const char*>(close) + 1;
        }
    }

    bool endTag(std::string_view expected)
    {
        if (!at("</"))
            return false;
        p += 2;
        if (name() != expected)
            return false;
        skipSpace();
        if (!at(">"))
            return false;
        ++p;
        return true;
    }

    // Appends text to m_text with its references resolved and line ends normalised, as XML reads it.
    bool appendText(const char* from, const char* to, bool references)
    {
        while (from < to) {
            const char* stop = from;
            while (stop < to && *stop != '\r' && !(references && *stop == '&'))
                ++stop;
            m_text.append(from, stop - from);
            from = stop;
            if (from == to)
                break;
            if (*from == '\r') {
                m_text.append('\n');
                from += (from + 1 < to && from[1] == '\n') ? 2 : 1;
                continue;
            }
            const char* semicolon =
                static_cast<const char*>(std::memchr(from, ';', static_cast<size_t>(to - from)));
            if (!semicolon || semicolon - from > 12)
                return false;
            const std::string_view ref(from + 1, static_cast<size_t>(semicolon - from - 1));
            from = semicolon + 1;
            if (ref == "lt")
                m_text.append('<');
            else if (ref == "gt")
                m_text.append('>');
            else if (ref == "amp")
                m_text.append('&');
            else if (ref == "quot")
                m_text.append('"');
            else if (ref == "apos")
                m_text.append('\'');
            else if (!appendCharacterReference(ref))
                return false;
        }
        return true;
    }

    bool appendCharacterReference(std::string_view ref)
    {
        if (ref.size() < 2 || ref[0] != '#')
            return false;
        const bool hex = ref[1] == 'x';
        const std::string_view digits = ref.substr(hex ? 2 : 1);
        if (digits.empty())
            return false;
        char32_t code = 0;
        for (char c : digits) {
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return false;
            code = code * (hex ? 16 : 10) + static_cast<char32_t>(digit);
            if (code > 0x10FFFF)
                return false;
        }
        if (code == 0 || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        m_text.append(QString::fromUcs4(&code, 1).toUtf8());
        return true;
    }

    // The text of a value element up to its end tag; false when the element holds other elements.
    // Points into the input when it needed no decoding.
    bool text(std::string_view element, std::string_view& out)
    {
        m_text.clear();
        const char* plainStart = p;
        bool plain = true;
        for (;;) {
            const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
            if (!lt)
                return false;
            if (plain && (std::memchr(p, '&', static_cast<size_t>(lt - p)) ||
                          std::memchr(p, '\r', static_cast<size_t>(lt - p)))) {
                plain = false;
                m_text.append(plainStart, p - plainStart);
            }
            if (!plain && !appendText(p, lt, true))
                return false;
            p = lt;
            if (at("</")) {
                const char* textEnd = p;
                if (!endTag(element))
                    return false;
                out = plain ? std::string_view(plainStart, static_cast<size_t>(textEnd - plainStart))
                            : std::string_view(m_text.constData(), static_cast<size_t>(m_text.size()));
                return true;
            }
            if (plain) {
                plain = false;
                m_text.append(plainStart, p - plainStart);
            }
            if (at("<![CDATA[")) {
                const char* from = p + 9;
                if (!skipPast("]]>") || !appendText(from, p - 3, false))
                    return false;
            } else if (at("<?") || at("<!--")) {
                if (!skipMarkup())
                    return false;
            } else {
                return false;
            }
        }
    }

    // Dictionaries of many records repeat the same few keys; one copy of each is shared.
    QString key(std::string_view bytes, bool pointsIntoInput)
    {
        if (!pointsIntoInput || bytes.size() > 64)
            return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
        auto it = m_keys.find(bytes);
        if (it != m_keys.end())
            return it->second;
        QString made = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
        if (m_keys.size() < 4096)
            m_keys.emplace(bytes, made);
        return made;
    }

    static std::string_view trimmed(std::string_view s)
    {
        while (!s.empty() && isSpace(s.front()))
            s.remove_prefix(1);
        while (!s.empty() && isSpace(s.back()))
            s.remove_suffix(1);
        return s;
    }

    // Integers are signed 64-bit; larger unsigned ones wrap to negative, as libplist stores them.
    static std::optional<qint64> integerValue(std::string_view s)
    {
        s = trimmed(s);
        const bool negative = !s.empty() && s.front() == '-';
        if (!s.empty() && (s.front() == '-' || s.front() == '+'))
            s.remove_prefix(1);
        int base = 10;
        if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
            base = 16;
            s.remove_prefix(2);
        }
        quint64 magnitude = 0;
        const auto [rest, error] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
        if (s.empty() || error != std::errc() || rest != s.data() + s.size())
            return std::nullopt;
        if (negative) {
            if (magnitude > quint64(1) << 63)
                return std::nullopt;
            return static_cast<qint64>(0 - magnitude);
        }
        return static_cast<qint64>(magnitude);
    }

    // Places a finished value: into the open container, or as the root when none is open.
    bool deliver(QVariant v, QVariant& root)
    {
        if (m_stack.empty()) {
            root = std::move(v);
            m_rootDone = true;
            return true;
        }
        Frame& top = m_stack.back();
        if (!top.isDict) {
            top.list.append(std::move(v));
            return true;
        }
        if (!top.hasKey)
            return false;
        top.map.insert(top.key, std::move(v));
        top.hasKey = false;
        return true;
    }

    std::optional<QVariant> scalar(std::string_view element, std::string_view content)
    {
        if (element == "string")
            return QVariant(QString::fromUtf8(content.data(), static_cast<qsizetype>(content.size())));
        if (element == "integer") {
            const auto v = integerValue(content);
            return v ? std::optional<QVariant>(QVariant(*v)) : std::nullopt;
        }
        if (element == "real") {
            bool ok = false;
            const std::string_view text = trimmed(content);
            const QByteArray t = QByteArray(text.data(), static_cast<qsizetype>(text.size())).toLower();
            // The spellings of libplist's own writer (and other plist writers) for the infinities.
            if (t == "+infinity" || t == "infinity")
                return QVariant(std::numeric_limits<double>::infinity());
            if (t == "-infinity")
                return QVariant(-std::numeric_limits<double>::infinity());
            const double v = t.toDouble(&ok);
            return ok ? std::optional<QVariant>(QVariant(v)) : std::nullopt;
        }
        if (element == "date") {
            const std::string_view t = trimmed(content);
            const QDateTime when = QDateTime::fromString(
                QString::fromLatin1(t.data(), static_cast<qsizetype>(t.size())), Qt::ISODate);
            return when.isValid() ? std::optional<QVariant>(QVariant(when.toUTC())) : std::nullopt;
        }
        if (element == "data") {
            QByteArray base64;
            base64.reserve(static_cast<qsizetype>(content.size()));
            for (char c : content) {
                if (!isSpace(c))
                    base64.append(c);
            }
            auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
            return decoded ? std::optional<QVariant>(QVariant(std::move(*decoded))) : std::nullopt;
        }
        return std::nullopt;
    }

    // One value starting at p, with everything inside it.
    bool value(QVariant& root)
    {
        m_rootDone = false;
        while (!m_rootDone) {
            if (!skipMisc() || p >= end)
                return false;
            if (at("</")) {
                if (m_stack.empty() || !endTag(m_stack.back().isDict ? "dict" : "array"))
                    return false;
                Frame frame = std::move(m_stack.back());
                m_stack.pop_back();
                if (frame.isDict && frame.hasKey)
                    return false; // a key without its value
                if (!deliver(frame.isDict ? QVariant(std::move(frame.map)) : QVariant(std::move(frame.list)),
                             root))
                    return false;
                continue;
            }
            Tag tag;
            if (!startTag(tag))
                return false;
            const bool inDict = !m_stack.empty() && m_stack.back().isDict;
            if (tag.name == "key") {
                if (!inDict || m_stack.back().hasKey)
                    return false;
                std::string_view content;
                if (!tag.empty && !text("key", content))
                    return false;
                const bool direct = !tag.empty && content.data() != m_text.constData();
                m_stack.back().key = key(content, direct);
                m_stack.back().hasKey = true;
                continue;
            }
            if (inDict && !m_stack.back().hasKey)
                return false; // a value without its key
            if (tag.name == "dict" || tag.name == "array") {
                const bool isDict = tag.name == "dict";
                if (tag.empty) {
                    if (!deliver(isDict ? QVariant(QVariantMap()) : QVariant(QVariantList()), root))
                        return false;
                    continue;
                }
                if (m_stack.size() >= static_cast<size_t>(maxDepth))
                    return false;
                m_stack.emplace_back();
                m_stack.back().isDict = isDict;
                continue;
            }
            if (tag.name == "true" || tag.name == "false") {
                const bool v = tag.name == "true";
                std::string_view content;
                if (!tag.empty && (!text(tag.name, content) || !trimmed(content).empty()))
                    return false;
                if (!deliver(QVariant(v), root))
                    return false;
                continue;
            }
            std::string_view content;
            const std::string_view element = tag.name;
            if (!tag.empty && !text(element, content))
                return false;
            std::optional<QVariant> v = scalar(element, content);
            if (!v || !deliver(std::move(*v), root))
                return false;
        }
        return true;
    }

    const char* p;
    const char* end;
    std::vector<Frame> m_stack;
    QByteArray m_text;
    std::unordered_map<std::string_view, QString> m_keys;
    bool m_rootDone = false;
};

std::optional<QVariant> toVariant(plist_t node, int depth)
{
    if (depth > maxDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t v = 0;
        plist_get_bool_val(node, &v);
        return QVariant(v != 0);
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        return QVariant(static_cast<qint64>(v));
    }
    case PLIST_REAL: {
        double v = 0;
        plist_get_real_val(node, &v);
        return QVariant(v);
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        return QVariant(QString::fromUtf8(s, static_cast<qsizetype>(length)));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* s = plist_get_data_ptr(node, &length);
        return QVariant(QByteArray(s, static_cast<qsizetype>(length)));
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        const qint64 ms = (macEpoch + sec) * 1000 + usec / 1000;
        return QVariant(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t n = plist_array_get_size(node);
        list.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            auto item = toVariant(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return std::nullopt;
            list.append(*item);
        }
        return QVariant(list);
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it)
            return std::nullopt;
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!value) {
                free(key);
                break;
            }
            auto item = toVariant(value, depth + 1);
            const QString name = QString::fromUtf8(key);
            free(key);
            if (!item) {
                free(it);
                return std::nullopt;
            }
            map.insert(name, *item);
        }
        free(it);
        return QVariant(map);
    }
    default:
        // Keyed-archive UIDs and keys outside a dictionary are no property-list values of ours.
        return std::nullopt;
    }
}

// Nullptr for values that have no property-list form, and for trees deeper than maxDepth.
plist_t fromVariant(const QVariant& value, int depth, bool& tooDeep)
{
    if (depth > maxDepth) {
        tooDeep = true;
        return nullptr;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QString: {
        const QByteArray utf8 = value.toString().toUtf8();
        // libplist keeps strings as C strings; an embedded NUL would silently cut the text.
        if (utf8.contains('\0'))
            return nullptr;
        return plist_new_string(utf8.constData());
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const QDateTime when = value.toDateTime();
        if (!when.isValid())
            return nullptr;
        const qint64 ms = when.toMSecsSinceEpoch() - macEpoch * 1000;
        qint64 sec = ms / 1000;
        qint64 rest = ms % 1000;
        if (rest < 0) {
            --sec;
            rest += 1000;
        }
        if (sec < std::numeric_limits<int32_t>::min() || sec > std::numeric_limits<int32_t>::max())
            return nullptr;
        return plist_new_date(static_cast<int32_t>(sec), static_cast<int32_t>(rest * 1000));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant& item : value.toList()) {
            if (plist_t child = fromVariant(item, depth + 1, tooDeep))
                plist_array_append_item(array, child);
            if (tooDeep) {
                plist_free(array);
                return nullptr;
            }
        }
        return array;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            const QByteArray key = it.key().toUtf8();
            if (key.contains('\0'))
                continue;
            if (plist_t child = fromVariant(it.value(), depth + 1, tooDeep))
                plist_dict_set_item(dict, key.constData(), child);
            if (tooDeep) {
                plist_free(dict);
                return nullptr;
            }
        }
        return dict;
    }
    default:
        return nullptr;
    }
}

} // namespace

std::optional<QVariant> fromData(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > maxBytes)
        return std::nullopt;
    if (!data.startsWith("bplist00")) {
        // XML has no NUL character.
        if (data.contains('\0'))
            return std::nullopt;
        return XmlReader(data).read();
    }
    if (!binaryShapeAcceptable(data))
        return std::nullopt;
    PlistHolder root;
    plist_from_bin(data.constData(), static_cast<uint32_t>(data.size()), &root.node);
    if (!root.node)
        return std::nullopt;
    return toVariant(root.node, 0);
}

FileContents readFileContents(const QString& path)
{
    FileContents result;
    int fd;
    do
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A socket cannot be opened (ENXIO); like a missing file it holds no settings.
        result.status = errno == ENOENT || errno == ENOTDIR || errno == ENXIO || errno == ELOOP
                            ? FileContents::absent
                            : FileContents::unreadable;
        return result;
    }
    struct stat st {};
    QByteArray bytes;
    bool failed = false;
    if (::fstat(fd, &st) != 0) {
        failed = true;
    } else if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return result;
    } else if (st.st_size > maxBytes) {
        ::close(fd);
        result.status = FileContents::tooLarge;
        return result;
    } else {
        // The size may change under a tool writing in place; read to the end, but never past the bound.
        bytes.resize(static_cast<qsizetype>(st.st_size) + 1);
        qsizetype have = 0;
        for (;;) {
            if (have == bytes.size()) {
                if (bytes.size() > maxBytes)
                    break;
                bytes.resize(std::min<qsizetype>(bytes.size() * 2, maxBytes + 1));
            }
            const ssize_t n = ::read(fd, bytes.data() + have, static_cast<size_t>(bytes.size() - have));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                failed = true;
            if (n <= 0)
                break;
            have += n;
        }
        bytes.truncate(have);
    }
    ::close(fd);
    if (failed) {
        result.status = FileContents::unreadable;
        return result;
    }
    if (bytes.size() > maxBytes) {
        result.status = FileContents::tooLarge;
        return result;
    }
    std::optional<QVariant> root = fromData(bytes);
    bytes = QByteArray();
    if (!root) {
        result.status = FileContents::unparseable;
        return result;
    }
    result.status = FileContents::ok;
    result.root = std::move(*root);
    return result;
}

std::optional<QVariant> readFile(const QString& path)
{
    FileContents contents = readFileContents(path);
    if (contents.status != FileContents::ok)
        return std::nullopt;
    return std::move(contents.root);
}

QByteArray toXml(const QVariant& root)
{
    bool tooDeep = false;
    PlistHolder node;
    node.node = fromVariant(root, 0, tooDeep);
    if (!node.node || tooDeep)
        return {};
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node.node, &xml, &length);
    if (!xml)
        return {};
    QByteArray out(xml, static_cast<qsizetype>(length));
    plist_to_xml_free(xml);
    return out;
}

std::optional<double> numberValue(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return value.toDouble();
    default:
        return std::nullopt;
    }
}

} // namespace platform::PropertyList
