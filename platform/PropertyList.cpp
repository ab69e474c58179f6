#include "platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QVariantList>
#include <QVariantMap>
#include <cstring>
#include <limits>
#include <plist/plist.h>
#include <vector>

namespace platform::PropertyList {

namespace {

// Deeper trees are rejected before libplist sees them: its parser and its plist_free recurse.
constexpr int maxDepth = 512;
// A binary list may reference one object many times; libplist copies each reference.
constexpr quint64 maxNodes = 1u << 20;
constexpr qsizetype maxBytes = 64 * 1024 * 1024;
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

// Counts open containers; tags inside comments count too, which can only reject, never admit.
bool xmlDepthAcceptable(const QByteArray& data)
{
    int depth = 0;
    const char* p = data.constData();
    const char* end = p + data.size();
    while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p))))) {
        const bool closing = p + 1 < end && p[1] == '/';
        const char* name = p + (closing ? 2 : 1);
        auto startsWith = [&](const char* word) {
            const size_t n = std::strlen(word);
            return static_cast<size_t>(end - name) > n && std::memcmp(name, word, n) == 0 &&
                   (name[n] == '>' || name[n] == ' ' || name[n] == '\t' || name[n] == '\n' ||
                    name[n] == '\r' || name[n] == '/');
        };
        if (startsWith("array") || startsWith("dict")) {
            const char* close =
                static_cast<const char*>(std::memchr(name, '>', static_cast<size_t>(end - name)));
            const bool empty = close && close > name && close[-1] == '/';
            if (closing)
                --depth;
            else if (!empty && ++depth > maxDepth)
                return false;
        }
        ++p;
    }
    return true;
}

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
    PlistHolder root;
    if (data.startsWith("bplist00")) {
        if (!binaryShapeAcceptable(data))
            return std::nullopt;
        plist_from_bin(data.constData(), static_cast<uint32_t>(data.size()), &root.node);
    } else {
        // XML has no NUL character; libplist would take one into a key and then assert on it.
        if (data.contains('\0') || !xmlDepthAcceptable(data))
            return std::nullopt;
        plist_from_xml(data.constData(), static_cast<uint32_t>(data.size()), &root.node);
    }
    if (!root.node)
        return std::nullopt;
    return toVariant(root.node, 0);
}

std::optional<QVariant> readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    if (file.size() > maxBytes)
        return std::nullopt;
    return fromData(file.readAll());
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
