// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Typed descriptors named by four-character codes, and events sent to another process of this user with
// a reply and a time-out: the calls of the Apple Event Manager that the login-item registry makes.
//
// A descriptor is a leaf (its bytes), a list (items) or a record (items under keywords): records are
// 'reco' and the types built on it ('obj ' object specifiers, 'insl' insertion locations). Leaves hold
// numbers in this machine's byte order, 'utf8' as UTF-8 and 'utxt' as UTF-16, as the Manager does.
// Calls answer a status (noErr or a negative error number) and never throw.

#include "platform/Export.h"
#include "platform/workspace/ProcessManager.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace platform {

using FourCharCode = std::uint32_t;
using DescType = FourCharCode;
using AEKeyword = FourCharCode;
using AEEventClass = FourCharCode;
using AEEventID = FourCharCode;
using OSErr = int;

constexpr FourCharCode fourCharCode(const char (&code)[5])
{
    return (FourCharCode(std::uint8_t(code[0])) << 24) | (FourCharCode(std::uint8_t(code[1])) << 16) |
           (FourCharCode(std::uint8_t(code[2])) << 8) | FourCharCode(std::uint8_t(code[3]));
}
// "psn " for 'psn '; unprintable bytes as '?'.
PEALIX_EXPORT QString fourCharCodeString(FourCharCode code);

constexpr DescType typeNull = fourCharCode("null");
constexpr DescType typeWildCard = fourCharCode("****");
constexpr DescType typeProcessSerialNumber = fourCharCode("psn ");
constexpr DescType typeSInt32 = fourCharCode("long");
constexpr DescType typeSInt16 = fourCharCode("shor");
constexpr DescType typeBoolean = fourCharCode("bool");
constexpr DescType typeUTF8Text = fourCharCode("utf8");
constexpr DescType typeUnicodeText = fourCharCode("utxt");
constexpr DescType typeType = fourCharCode("type");
constexpr DescType typeEnumerated = fourCharCode("enum");
constexpr DescType typeAbsoluteOrdinal = fourCharCode("abso");
constexpr DescType typeAEList = fourCharCode("list");
constexpr DescType typeAERecord = fourCharCode("reco");
constexpr DescType typeObjectSpecifier = fourCharCode("obj ");
constexpr DescType typeInsertionLoc = fourCharCode("insl");
constexpr DescType typeAppleEvent = fourCharCode("aevt");

constexpr AEKeyword keyDirectObject = fourCharCode("----");
constexpr AEKeyword keyErrorNumber = fourCharCode("errn");
constexpr AEKeyword keyAEDesiredClass = fourCharCode("want");
constexpr AEKeyword keyAEContainer = fourCharCode("from");
constexpr AEKeyword keyAEKeyForm = fourCharCode("form");
constexpr AEKeyword keyAEKeyData = fourCharCode("seld");
constexpr AEKeyword keyAEObject = fourCharCode("kobj");
constexpr AEKeyword keyAEPosition = fourCharCode("kpos");

constexpr OSErr errAECoercionFail = -1700;
constexpr OSErr errAEDescNotFound = -1701;
constexpr OSErr errAEWrongDataType = -1703;
constexpr OSErr errAENotAEDesc = -1704;
constexpr OSErr errAEBadListItem = -1705;
constexpr OSErr errAETimeout = -1712;
constexpr OSErr errAEEventNotHandled = -1708;
constexpr OSErr connectionInvalid = -609;
constexpr OSErr paramErr = -50;
constexpr OSErr memFullErr = -108;

constexpr short kAutoGenerateReturnID = -1;
constexpr int kAnyTransactionID = 0;
constexpr int kAEWaitReply = 3;
// Ticks are sixtieths of a second.
constexpr int kAEDefaultTimeout = -1;

struct PEALIX_EXPORT AEDesc {
    enum class Kind { leaf, list, record };

    DescType descriptorType = typeNull;
    Kind kind = Kind::leaf;
    QByteArray data;
    // Lists and records; keys only for records, one per item.
    std::vector<AEDesc> items;
    std::vector<AEKeyword> keys;

    bool isNull() const { return descriptorType == typeNull; }
    bool operator==(const AEDesc&) const = default;
};
using AEDescList = AEDesc;
using AERecord = AEDesc;
using AEAddressDesc = AEDesc;

// An event: its attributes and its parameters (a record).
struct PEALIX_EXPORT AppleEvent {
    AEEventClass eventClass = 0;
    AEEventID eventID = 0;
    short returnID = 0;
    int transactionID = 0;
    AEAddressDesc target;
    AERecord parameters{typeAERecord, AEDesc::Kind::record, {}, {}, {}};
    // A null event is what a reply place holds before a reply arrives.
    bool null = true;

    bool isNull() const { return null; }
    bool operator==(const AppleEvent&) const = default;
};

PEALIX_EXPORT OSErr AECreateDesc(DescType type, const void* data, std::size_t size, AEDesc* result);
// A list, or with isRecord an empty 'reco'.
PEALIX_EXPORT OSErr AECreateList(bool isRecord, AEDescList* result);
// Always noErr; the descriptor becomes null.
PEALIX_EXPORT OSErr AEDisposeDesc(AEDesc* desc);
PEALIX_EXPORT OSErr AEDisposeDesc(AppleEvent* event);

PEALIX_EXPORT OSErr AECountItems(const AEDescList& list, long* count);
// index counts from 1; 0 or count + 1 appends.
PEALIX_EXPORT OSErr AEPutDesc(AEDescList* list, long index, const AEDesc& desc);
// index counts from 1. key receives the item's keyword in a record, 0 in a list (may be null).
PEALIX_EXPORT OSErr AEGetNthDesc(const AEDescList& list, long index, DescType desiredType, AEKeyword* key,
                                 AEDesc* result);
// Replaces an item of the same keyword, else appends.
PEALIX_EXPORT OSErr AEPutParamDesc(AERecord* record, AEKeyword key, const AEDesc& desc);
PEALIX_EXPORT OSErr AEGetParamDesc(const AERecord& record, AEKeyword key, DescType desiredType,
                                   AEDesc* result);
// Copies at most maximumSize bytes of the (coerced) value; actualSize is the whole value's size.
PEALIX_EXPORT OSErr AEGetParamPtr(const AERecord& record, AEKeyword key, DescType desiredType,
                                  DescType* actualType, void* buffer, std::size_t maximumSize,
                                  std::size_t* actualSize);
PEALIX_EXPORT OSErr AEPutParamDesc(AppleEvent* event, AEKeyword key, const AEDesc& desc);
PEALIX_EXPORT OSErr AEGetParamDesc(const AppleEvent& event, AEKeyword key, DescType desiredType,
                                   AEDesc* result);
PEALIX_EXPORT OSErr AEGetParamPtr(const AppleEvent& event, AEKeyword key, DescType desiredType,
                                  DescType* actualType, void* buffer, std::size_t maximumSize,
                                  std::size_t* actualSize);

// The coercions there are: to the same type or typeWildCard; 'utf8' and 'utxt' both ways; 'shor',
// 'long' and 'bool' among each other where the value fits; a record to any record type ('insl',
// 'obj ') and back to 'reco'; 'type' and 'enum' and 'abso' among each other.
PEALIX_EXPORT OSErr AECoerceDesc(const AEDesc& desc, DescType toType, AEDesc* result);

// An object specifier: the record {'want': type desiredClass, 'from': container, 'form': enum keyForm,
// 'seld': keyData}. With disposeInputs the container and key data become null.
PEALIX_EXPORT OSErr CreateObjSpecifier(DescType desiredClass, AEDesc* container, DescType keyForm,
                                       AEDesc* keyData, bool disposeInputs, AEDesc* result);

PEALIX_EXPORT OSErr AECreateAppleEvent(AEEventClass eventClass, AEEventID eventID,
                                       const AEAddressDesc& target, short returnID, int transactionID,
                                       AppleEvent* result);

// Sends the event to the process its 'psn ' target names and, in kAEWaitReply mode, waits for the
// reply at most timeOutInTicks (kAEDefaultTimeout: 60 s). The wait is bounded in every case; a target
// that does not exist or listens nowhere gives connectionInvalid, no reply in time errAETimeout, a reply
// that does not decode errAENotAEDesc.
PEALIX_EXPORT OSErr AESendMessage(const AppleEvent& event, AppleEvent* reply, int sendMode,
                                  long timeOutInTicks);

// The socket on which the process named by psn receives events: in $XDG_RUNTIME_DIR (or a private
// /tmp folder of the user's), named by pid and start time, so a socket left by a dead process is never
// taken for a later process with the same pid.
PEALIX_EXPORT QString appleEventSocketPath(const ProcessSerialNumber& psn);

// The wire form of one event, for the event server and the fuzzer. decodeAppleEvent refuses what is
// truncated, too large (over maximumMessageSize), nested deeper than maximumDepth, or holds more than
// maximumItems items, and any length or count that does not fit what remains.
constexpr std::size_t maximumMessageSize = 4 * 1024 * 1024;
constexpr int maximumDepth = 32;
constexpr std::size_t maximumItems = 65536;
PEALIX_EXPORT QByteArray encodeAppleEvent(const AppleEvent& event);
PEALIX_EXPORT bool decodeAppleEvent(const char* data, std::size_t size, AppleEvent* event);

} // namespace platform
