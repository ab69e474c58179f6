// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LoginItemService.h"

#include <QLoggingCategory>
#include <cstring>

Q_LOGGING_CATEGORY(lcLoginItems, "pealix.loginitems.events", QtWarningMsg)

using namespace platform;

namespace {

constexpr AEEventClass kAECoreSuite = fourCharCode("core");
constexpr AEEventID kAEGetData = fourCharCode("getd");
constexpr AEEventID kAECreateElement = fourCharCode("crel");
constexpr AEEventID kAEDelete = fourCharCode("delo");
constexpr AEKeyword keyAEObjectClass = fourCharCode("kocl");
constexpr AEKeyword keyAEPropData = fourCharCode("prdt");
constexpr AEKeyword keyAEInsertHere = fourCharCode("insh");
constexpr DescType cLoginItem = fourCharCode("logi");
constexpr DescType cProperty = fourCharCode("prop");
constexpr DescType formAbsolutePosition = fourCharCode("indx");
constexpr DescType formPropertyID = fourCharCode("prop");
constexpr FourCharCode kAEAll = fourCharCode("all ");
constexpr FourCharCode kAEEnd = fourCharCode("end ");
constexpr FourCharCode pAll = fourCharCode("pALL");
constexpr AEKeyword pPath = fourCharCode("ppth");
constexpr AEKeyword pHidden = fourCharCode("hidn");

// A four-byte code of the record under key, coerced to type; false when it is missing or not one code.
bool readCode(const AERecord& record, AEKeyword key, DescType type, FourCharCode* code)
{
    std::size_t size = 0;
    return AEGetParamPtr(record, key, type, nullptr, code, sizeof *code, &size) == noErr &&
           size == sizeof *code;
}

bool leafIs(const AEDesc& desc, DescType type, FourCharCode code)
{
    FourCharCode value = 0;
    if (desc.descriptorType != type || desc.kind != AEDesc::Kind::leaf || desc.data.size() != sizeof value)
        return false;
    std::memcpy(&value, desc.data.constData(), sizeof value);
    return value == code;
}

struct Specifier {
    FourCharCode want = 0;
    FourCharCode form = 0;
    AEDesc container;
    AEDesc keyData;
};

bool readSpecifier(const AEDesc& desc, Specifier* specifier)
{
    return desc.descriptorType == typeObjectSpecifier && desc.kind == AEDesc::Kind::record &&
           readCode(desc, keyAEDesiredClass, typeType, &specifier->want) &&
           readCode(desc, keyAEKeyForm, typeEnumerated, &specifier->form) &&
           AEGetParamDesc(desc, keyAEContainer, typeWildCard, &specifier->container) == noErr &&
           AEGetParamDesc(desc, keyAEKeyData, typeWildCard, &specifier->keyData) == noErr;
}

// The direct object: a login item of the application (the null container) chosen by its number.
bool readLoginItemSpecifier(const AppleEvent& event, Specifier* specifier)
{
    AEDesc object;
    return AEGetParamDesc(event, keyDirectObject, typeWildCard, &object) == noErr &&
           readSpecifier(object, specifier) && specifier->want == cLoginItem &&
           specifier->form == formAbsolutePosition && specifier->container.isNull();
}

OSErr statusOf(XdgAutostartStore::Status status)
{
    switch (status) {
    case XdgAutostartStore::Status::ok:
        return noErr;
    case XdgAutostartStore::Status::badPath:
        return paramErr;
    case XdgAutostartStore::Status::noBundleExecutable:
        return fnfErr;
    case XdgAutostartStore::Status::noSuchItem:
        return errAENoSuchObject;
    case XdgAutostartStore::Status::notOurs:
        return errAEPrivilegeError;
    case XdgAutostartStore::Status::ioError:
        return ioErr;
    }
    return ioErr;
}

} // namespace

OSErr LoginItemService::handle(const AppleEvent& event, AppleEvent* reply)
{
    OSErr status = errAEEventNotHandled;
    if (event.eventClass == kAECoreSuite && event.eventID == kAEGetData)
        status = getProperties(event, reply);
    else if (event.eventClass == kAECoreSuite && event.eventID == kAECreateElement)
        status = create(event, reply);
    else if (event.eventClass == kAECoreSuite && event.eventID == kAEDelete)
        status = remove(event);
    qCDebug(lcLoginItems) << fourCharCodeString(event.eventClass) << fourCharCodeString(event.eventID) << "->"
                          << status;
    return status;
}

OSErr LoginItemService::getProperties(const AppleEvent& event, AppleEvent* reply)
{
    // Only "properties of every login item" is asked for; any other object is one we do not know.
    AEDesc object;
    Specifier property, items;
    if (AEGetParamDesc(event, keyDirectObject, typeWildCard, &object) != noErr ||
        !readSpecifier(object, &property) || property.want != cProperty || property.form != formPropertyID ||
        !leafIs(property.keyData, typeType, pAll) || !readSpecifier(property.container, &items) ||
        items.want != cLoginItem || items.form != formAbsolutePosition || !items.container.isNull() ||
        !leafIs(items.keyData, typeAbsoluteOrdinal, kAEAll))
        return errAEEventNotHandled;

    AEDescList list;
    AECreateList(false, &list);
    for (const XdgAutostartStore::Item& item : m_store->items()) {
        AERecord record;
        AEDesc path, hidden;
        AECreateList(true, &record);
        const QByteArray utf8 = item.path.toUtf8();
        AECreateDesc(typeUTF8Text, utf8.constData(), std::size_t(utf8.size()), &path);
        const bool flag = item.hidden;
        AECreateDesc(typeBoolean, &flag, 1, &hidden);
        AEPutParamDesc(&record, pPath, path);
        AEPutParamDesc(&record, pHidden, hidden);
        AEPutDesc(&list, 0, record);
    }
    return AEPutParamDesc(reply, keyDirectObject, list);
}

OSErr LoginItemService::create(const AppleEvent& event, AppleEvent* reply)
{
    FourCharCode objectClass = 0;
    if (!readCode(event.parameters, keyAEObjectClass, typeType, &objectClass) || objectClass != cLoginItem)
        return errAEEventNotHandled;

    // Only the end of the list is a place we can put an item, since the order is ours to keep.
    AEDesc where;
    if (AEGetParamDesc(event, keyAEInsertHere, typeWildCard, &where) == noErr) {
        AEDesc location, object;
        FourCharCode position = 0;
        if (AECoerceDesc(where, typeAERecord, &location) != noErr ||
            !readCode(location, keyAEPosition, typeEnumerated, &position) || position != kAEEnd ||
            (AEGetParamDesc(location, keyAEObject, typeWildCard, &object) == noErr && !object.isNull()))
            return errAEEventNotHandled;
    }

    AERecord properties;
    AEDesc path;
    OSErr status = AEGetParamDesc(event, keyAEPropData, typeAERecord, &properties);
    if (status != noErr)
        return status;
    if ((status = AEGetParamDesc(properties, pPath, typeUTF8Text, &path)) != noErr)
        return status;
    const QString text = QString::fromUtf8(path.data);
    // Bytes that are not UTF-8 would come back as another path than was given.
    if (text.toUtf8() != path.data)
        return paramErr;
    unsigned char hidden = 0;
    AEDesc flag;
    if (AEGetParamDesc(properties, pHidden, typeWildCard, &flag) == noErr &&
        AEGetParamPtr(properties, pHidden, typeBoolean, nullptr, &hidden, 1, nullptr) != noErr)
        return errAEWrongDataType;

    if ((status = statusOf(m_store->add(text, hidden != 0))) != noErr)
        return status;

    // The new item, by its number, as the answer to a creation.
    AEDesc container, number, created;
    const std::int32_t count = std::int32_t(m_store->items().size());
    AECreateDesc(typeSInt32, &count, sizeof count, &number);
    CreateObjSpecifier(cLoginItem, &container, formAbsolutePosition, &number, true, &created);
    return AEPutParamDesc(reply, keyDirectObject, created);
}

OSErr LoginItemService::remove(const AppleEvent& event)
{
    Specifier item;
    std::int32_t index = 0;
    std::size_t size = 0;
    if (!readLoginItemSpecifier(event, &item))
        return errAEEventNotHandled;
    AERecord holder;
    AECreateList(true, &holder);
    AEPutParamDesc(&holder, keyAEKeyData, item.keyData);
    if (AEGetParamPtr(holder, keyAEKeyData, typeSInt32, nullptr, &index, sizeof index, &size) != noErr ||
        size != sizeof index)
        return errAEEventNotHandled;
    return statusOf(m_store->remove(index));
}
