// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/appleevents/AppleEvent.h"

#include "platform/core/RuntimeDirectory.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr char magic[4] = {'P', 'A', 'E', '1'};
constexpr long defaultTimeoutTicks = 60 * 60;

bool isRecordType(DescType type)
{
    return type == typeAERecord || type == typeObjectSpecifier || type == typeInsertionLoc;
}

bool isCodeType(DescType type)
{
    return type == typeType || type == typeEnumerated || type == typeAbsoluteOrdinal;
}

bool readInteger(const AEDesc& desc, qint64* value)
{
    if (desc.kind != AEDesc::Kind::leaf)
        return false;
    if (desc.descriptorType == typeSInt16 && desc.data.size() == 2) {
        std::int16_t v;
        std::memcpy(&v, desc.data.constData(), 2);
        *value = v;
    } else if (desc.descriptorType == typeSInt32 && desc.data.size() == 4) {
        std::int32_t v;
        std::memcpy(&v, desc.data.constData(), 4);
        *value = v;
    } else if (desc.descriptorType == typeBoolean && desc.data.size() == 1) {
        *value = desc.data[0] != 0;
    } else {
        return false;
    }
    return true;
}

AEDesc leaf(DescType type, const void* data, std::size_t size)
{
    AEDesc desc;
    desc.descriptorType = type;
    desc.data = QByteArray(static_cast<const char*>(data), qsizetype(size));
    return desc;
}

// --- wire form: big-endian framing, leaves as they are held ---

void put32(QByteArray& out, std::uint32_t v)
{
    const std::uint32_t be = qToBigEndian(v);
    out.append(reinterpret_cast<const char*>(&be), 4);
}

void putDesc(QByteArray& out, const AEDesc& desc)
{
    put32(out, desc.descriptorType);
    out.append(char(desc.kind));
    if (desc.kind == AEDesc::Kind::leaf) {
        put32(out, std::uint32_t(desc.data.size()));
        out.append(desc.data);
        return;
    }
    put32(out, std::uint32_t(desc.items.size()));
    for (std::size_t i = 0; i < desc.items.size(); ++i) {
        if (desc.kind == AEDesc::Kind::record)
            put32(out, desc.keys[i]);
        putDesc(out, desc.items[i]);
    }
}

class Reader {
public:
    Reader(const char* data, std::size_t size) : m_data(data), m_left(size) {}

    bool get32(std::uint32_t* v)
    {
        if (m_left < 4)
            return false;
        std::uint32_t be;
        std::memcpy(&be, m_data, 4);
        *v = qFromBigEndian(be);
        advance(4);
        return true;
    }
    bool get8(std::uint8_t* v)
    {
        if (m_left < 1)
            return false;
        *v = std::uint8_t(*m_data);
        advance(1);
        return true;
    }
    bool getBytes(std::size_t n, QByteArray* out)
    {
        if (n > m_left)
            return false;
        *out = QByteArray(m_data, qsizetype(n));
        advance(n);
        return true;
    }
    bool getDesc(AEDesc* desc, int depth)
    {
        std::uint32_t type = 0, count = 0;
        std::uint8_t kind = 0;
        if (depth > maximumDepth || !get32(&type) || !get8(&kind) || !get32(&count))
            return false;
        desc->descriptorType = type;
        if (kind == std::uint8_t(AEDesc::Kind::leaf)) {
            desc->kind = AEDesc::Kind::leaf;
            return getBytes(count, &desc->data);
        }
        if (kind != std::uint8_t(AEDesc::Kind::list) && kind != std::uint8_t(AEDesc::Kind::record))
            return false;
        desc->kind = AEDesc::Kind(kind);
        const bool record = desc->kind == AEDesc::Kind::record;
        // Every item takes at least its header, so a count that cannot fit is refused before any allocation.
        const std::size_t smallest = record ? 13 : 9;
        m_items += count;
        if (m_items > maximumItems || count > m_left / smallest)
            return false;
        desc->items.resize(count);
        if (record)
            desc->keys.resize(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (record && !get32(&desc->keys[i]))
                return false;
            if (!getDesc(&desc->items[i], depth + 1))
                return false;
        }
        return true;
    }
    bool atEnd() const { return m_left == 0; }

private:
    void advance(std::size_t n)
    {
        m_data += n;
        m_left -= n;
    }
    const char* m_data;
    std::size_t m_left;
    std::size_t m_items = 0;
};

// --- sockets ---

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::clamp<long long>(left, 0, 1 << 30));
}

// False on time-out or failure.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, millisecondsLeft(deadline));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

OSErr writeAll(int fd, const QByteArray& bytes, Clock::time_point deadline)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + done, std::size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(fd, POLLOUT, deadline))
                return errAETimeout;
        } else {
            return connectionInvalid;
        }
    }
    return noErr;
}

OSErr readExactly(int fd, char* buffer, std::size_t size, Clock::time_point deadline)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::recv(fd, buffer + done, size - done, 0);
        if (n > 0) {
            done += std::size_t(n);
        } else if (n == 0) {
            // The peer went away without answering.
            return connectionInvalid;
        } else if (errno == EAGAIN || errno == EINTR) {
            if (!waitFor(fd, POLLIN, deadline))
                return errAETimeout;
        } else {
            return connectionInvalid;
        }
    }
    return noErr;
}

} // namespace

QString fourCharCodeString(FourCharCode code)
{
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xff);
        text += (c >= 0x20 && c < 0x7f) ? QChar(c) : QChar('?');
    }
    return text;
}

OSErr AECreateDesc(DescType type, const void* data, std::size_t size, AEDesc* result)
{
    if (!result || (size && !data))
        return paramErr;
    if (size > maximumMessageSize)
        return memFullErr;
    *result = type == typeNull ? AEDesc{} : leaf(type, data, size);
    return noErr;
}

OSErr AECreateList(bool isRecord, AEDescList* result)
{
    if (!result)
        return paramErr;
    *result = AEDesc{};
    result->descriptorType = isRecord ? typeAERecord : typeAEList;
    result->kind = isRecord ? AEDesc::Kind::record : AEDesc::Kind::list;
    return noErr;
}

OSErr AEDisposeDesc(AEDesc* desc)
{
    if (desc)
        *desc = AEDesc{};
    return noErr;
}

OSErr AEDisposeDesc(AppleEvent* event)
{
    if (event)
        *event = AppleEvent{};
    return noErr;
}

OSErr AECountItems(const AEDescList& list, long* count)
{
    if (!count)
        return paramErr;
    if (list.kind == AEDesc::Kind::leaf)
        return errAEWrongDataType;
    *count = long(list.items.size());
    return noErr;
}

OSErr AEPutDesc(AEDescList* list, long index, const AEDesc& desc)
{
    if (!list || list->kind != AEDesc::Kind::list)
        return errAEWrongDataType;
    const long count = long(list->items.size());
    if (index < 0 || index > count + 1)
        return errAEBadListItem;
    if (index == 0 || index == count + 1)
        list->items.push_back(desc);
    else
        list->items[std::size_t(index - 1)] = desc;
    return noErr;
}

OSErr AEGetNthDesc(const AEDescList& list, long index, DescType desiredType, AEKeyword* key, AEDesc* result)
{
    if (!result)
        return paramErr;
    if (list.kind == AEDesc::Kind::leaf)
        return errAEWrongDataType;
    if (index < 1 || index > long(list.items.size()))
        return errAEBadListItem;
    if (key)
        *key = list.kind == AEDesc::Kind::record ? list.keys[std::size_t(index - 1)] : 0;
    return AECoerceDesc(list.items[std::size_t(index - 1)], desiredType, result);
}

OSErr AEPutParamDesc(AERecord* record, AEKeyword key, const AEDesc& desc)
{
    if (!record || record->kind != AEDesc::Kind::record)
        return errAEWrongDataType;
    const auto at = std::find(record->keys.begin(), record->keys.end(), key);
    if (at != record->keys.end()) {
        record->items[std::size_t(at - record->keys.begin())] = desc;
    } else {
        record->keys.push_back(key);
        record->items.push_back(desc);
    }
    return noErr;
}

OSErr AEGetParamDesc(const AERecord& record, AEKeyword key, DescType desiredType, AEDesc* result)
{
    if (!result)
        return paramErr;
    if (record.kind != AEDesc::Kind::record)
        return errAEWrongDataType;
    const auto at = std::find(record.keys.begin(), record.keys.end(), key);
    if (at == record.keys.end())
        return errAEDescNotFound;
    return AECoerceDesc(record.items[std::size_t(at - record.keys.begin())], desiredType, result);
}

OSErr AEGetParamPtr(const AERecord& record, AEKeyword key, DescType desiredType, DescType* actualType,
                    void* buffer, std::size_t maximumSize, std::size_t* actualSize)
{
    AEDesc value;
    if (const OSErr status = AEGetParamDesc(record, key, desiredType, &value); status != noErr)
        return status;
    if (value.kind != AEDesc::Kind::leaf)
        return errAEWrongDataType;
    if (actualType)
        *actualType = value.descriptorType;
    if (actualSize)
        *actualSize = std::size_t(value.data.size());
    if (buffer && maximumSize)
        std::memcpy(buffer, value.data.constData(), std::min(maximumSize, std::size_t(value.data.size())));
    return noErr;
}

OSErr AEPutParamDesc(AppleEvent* event, AEKeyword key, const AEDesc& desc)
{
    return event ? AEPutParamDesc(&event->parameters, key, desc) : paramErr;
}

OSErr AEGetParamDesc(const AppleEvent& event, AEKeyword key, DescType desiredType, AEDesc* result)
{
    return AEGetParamDesc(event.parameters, key, desiredType, result);
}

OSErr AEGetParamPtr(const AppleEvent& event, AEKeyword key, DescType desiredType, DescType* actualType,
                    void* buffer, std::size_t maximumSize, std::size_t* actualSize)
{
    return AEGetParamPtr(event.parameters, key, desiredType, actualType, buffer, maximumSize, actualSize);
}

OSErr AECoerceDesc(const AEDesc& desc, DescType toType, AEDesc* result)
{
    if (!result)
        return paramErr;
    const DescType from = desc.descriptorType;
    if (toType == from || toType == typeWildCard) {
        *result = desc;
        return noErr;
    }
    if (desc.kind == AEDesc::Kind::record) {
        if (!isRecordType(toType) || !isRecordType(from))
            return errAECoercionFail;
        *result = desc;
        result->descriptorType = toType;
        return noErr;
    }
    if (desc.kind != AEDesc::Kind::leaf)
        return errAECoercionFail;
    if (from == typeUTF8Text && toType == typeUnicodeText) {
        const QString text = QString::fromUtf8(desc.data);
        *result = leaf(typeUnicodeText, text.utf16(), std::size_t(text.size()) * sizeof(char16_t));
        return noErr;
    }
    if (from == typeUnicodeText && toType == typeUTF8Text) {
        if (desc.data.size() % 2)
            return errAECoercionFail;
        const QByteArray utf8 =
            QString(reinterpret_cast<const QChar*>(desc.data.constData()), desc.data.size() / 2).toUtf8();
        *result = leaf(typeUTF8Text, utf8.constData(), std::size_t(utf8.size()));
        return noErr;
    }
    if (isCodeType(from) && isCodeType(toType)) {
        if (desc.data.size() != 4)
            return errAECoercionFail;
        *result = leaf(toType, desc.data.constData(), 4);
        return noErr;
    }
    qint64 value = 0;
    if (!readInteger(desc, &value))
        return errAECoercionFail;
    if (toType == typeSInt16 && value >= INT16_MIN && value <= INT16_MAX) {
        const std::int16_t v = std::int16_t(value);
        *result = leaf(toType, &v, 2);
    } else if (toType == typeSInt32 && value >= INT32_MIN && value <= INT32_MAX) {
        const std::int32_t v = std::int32_t(value);
        *result = leaf(toType, &v, 4);
    } else if (toType == typeBoolean && (value == 0 || value == 1)) {
        const std::uint8_t v = std::uint8_t(value);
        *result = leaf(toType, &v, 1);
    } else {
        return errAECoercionFail;
    }
    return noErr;
}

OSErr CreateObjSpecifier(DescType desiredClass, AEDesc* container, DescType keyForm, AEDesc* keyData,
                         bool disposeInputs, AEDesc* result)
{
    if (!container || !keyData || !result)
        return paramErr;
    AEDesc spec;
    AECreateList(true, &spec);
    spec.descriptorType = typeObjectSpecifier;
    AEPutParamDesc(&spec, keyAEDesiredClass, leaf(typeType, &desiredClass, 4));
    AEPutParamDesc(&spec, keyAEContainer, *container);
    AEPutParamDesc(&spec, keyAEKeyForm, leaf(typeEnumerated, &keyForm, 4));
    AEPutParamDesc(&spec, keyAEKeyData, *keyData);
    if (disposeInputs) {
        AEDisposeDesc(container);
        AEDisposeDesc(keyData);
    }
    *result = std::move(spec);
    return noErr;
}

OSErr AECreateAppleEvent(AEEventClass eventClass, AEEventID eventID, const AEAddressDesc& target,
                         short returnID, int transactionID, AppleEvent* result)
{
    if (!result)
        return paramErr;
    static short lastReturnID = 0;
    AppleEvent event;
    event.eventClass = eventClass;
    event.eventID = eventID;
    event.returnID = returnID == kAutoGenerateReturnID ? ++lastReturnID : returnID;
    event.transactionID = transactionID;
    event.target = target;
    event.null = false;
    *result = std::move(event);
    return noErr;
}

QByteArray encodeAppleEvent(const AppleEvent& event)
{
    QByteArray body;
    put32(body, event.eventClass);
    put32(body, event.eventID);
    put32(body, std::uint32_t(std::int32_t(event.returnID)));
    put32(body, std::uint32_t(event.transactionID));
    putDesc(body, event.target);
    putDesc(body, event.parameters);
    QByteArray message(magic, 4);
    put32(message, std::uint32_t(body.size()));
    return message + body;
}

bool decodeAppleEvent(const char* data, std::size_t size, AppleEvent* event)
{
    if (!data || !event || size < 8 || size > maximumMessageSize + 8 || std::memcmp(data, magic, 4) != 0)
        return false;
    Reader reader(data + 4, size - 4);
    std::uint32_t length = 0, returnID = 0, transaction = 0;
    AppleEvent decoded;
    if (!reader.get32(&length) || length != size - 8 || !reader.get32(&decoded.eventClass) ||
        !reader.get32(&decoded.eventID) || !reader.get32(&returnID) || !reader.get32(&transaction) ||
        !reader.getDesc(&decoded.target, 0) || !reader.getDesc(&decoded.parameters, 0) || !reader.atEnd())
        return false;
    if (decoded.parameters.kind != AEDesc::Kind::record || std::int32_t(returnID) < INT16_MIN ||
        std::int32_t(returnID) > INT16_MAX)
        return false;
    decoded.returnID = short(std::int32_t(returnID));
    decoded.transactionID = int(transaction);
    decoded.null = false;
    *event = std::move(decoded);
    return true;
}

QString appleEventSocketPath(const ProcessSerialNumber& psn)
{
    const QByteArray runtime = runtimeDirectory();
    if (runtime.isEmpty())
        return {};
    return QFile::decodeName(runtime) +
           QStringLiteral("/pealix-appleevents/%1-%2.sock").arg(psn.pid).arg(psn.startTime);
}

OSErr AESendMessage(const AppleEvent& event, AppleEvent* reply, int sendMode, long timeOutInTicks)
{
    if (event.isNull() || (reply && !reply->isNull()))
        return paramErr;
    ProcessSerialNumber psn;
    if (event.target.descriptorType != typeProcessSerialNumber || event.target.data.size() != sizeof psn)
        return connectionInvalid;
    std::memcpy(&psn, event.target.data.constData(), sizeof psn);
    const QByteArray path = QFile::encodeName(appleEventSocketPath(psn));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || std::size_t(path.size()) >= sizeof address.sun_path)
        return connectionInvalid;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));

    const long ticks = timeOutInTicks > 0 ? timeOutInTicks : defaultTimeoutTicks;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ticks * 1000 / 60);
    int fd = -1;
    struct Closer {
        int& fd;
        ~Closer()
        {
            if (fd >= 0)
                ::close(fd);
        }
    } closer{fd};
    for (;;) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return connectionInvalid;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            break;
        // A full backlog (the server is busy with other clients) is no connection at all on a local
        // socket: it is tried again, as is one that does not listen yet.
        if (errno != EAGAIN && errno != ENOENT && errno != ECONNREFUSED)
            return connectionInvalid;
        // A process that was just launched may not listen yet; one that has gone never will.
        ProcessSerialNumber now;
        if (GetProcessForPID(pid_t(psn.pid), &now) != noErr || now.startTime != psn.startTime)
            return connectionInvalid;
        ::close(fd);
        fd = -1;
        if (millisecondsLeft(deadline) == 0)
            return errAETimeout;
        ::usleep(5000);
    }
    if (const OSErr status = writeAll(fd, encodeAppleEvent(event), deadline); status != noErr)
        return status;
    if (sendMode != kAEWaitReply)
        return noErr;

    char header[8];
    if (const OSErr status = readExactly(fd, header, sizeof header, deadline); status != noErr)
        return status;
    std::uint32_t length;
    std::memcpy(&length, header + 4, 4);
    length = qFromBigEndian(length);
    if (std::memcmp(header, magic, 4) != 0 || length > maximumMessageSize)
        return errAENotAEDesc;
    QByteArray message(header, sizeof header);
    message.resize(qsizetype(sizeof header + length));
    if (const OSErr status = readExactly(fd, message.data() + sizeof header, length, deadline);
        status != noErr)
        return status;
    AppleEvent answer;
    if (!decodeAppleEvent(message.constData(), std::size_t(message.size()), &answer))
        return errAENotAEDesc;
    if (reply)
        *reply = std::move(answer);
    return noErr;
}

} // namespace platform
