// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/LoginItemsAE.h"

#include "platform/workspace/LaunchServices.h"
#include "platform/workspace/ProcessManager.h"

#include <QDir>
#include <QFileInfo>
#include <QVariantMap>
#include <cassert>

using namespace platform;

namespace {

constexpr std::uint32_t serviceSignature = fourCharCode("sevs");
constexpr AEEventClass kAECoreSuite = fourCharCode("core");
constexpr AEEventID kAEGetData = fourCharCode("getd");
constexpr AEEventID kAECreateElement = fourCharCode("crel");
constexpr AEEventID kAEDelete = fourCharCode("delo");
constexpr DescType cLoginItem = fourCharCode("logi");
constexpr DescType cProperty = fourCharCode("prop");
constexpr DescType formAbsolutePosition = fourCharCode("indx");
constexpr DescType formPropertyID = fourCharCode("prop");
constexpr FourCharCode kAEAll = fourCharCode("all ");
constexpr FourCharCode pAll = fourCharCode("pALL");
constexpr FourCharCode kAEEnd = fourCharCode("end ");
constexpr AEKeyword pPath = fourCharCode("ppth");
constexpr AEKeyword pHidden = fourCharCode("hidn");
constexpr AEKeyword keyAEObjectClass = fourCharCode("kocl");
constexpr AEKeyword keyAEPropData = fourCharCode("prdt");
constexpr AEKeyword keyAEInsertHere = fourCharCode("insh");
constexpr long sendTimeoutTicks = 300;
constexpr std::size_t pathBufferSize = 1024;

OSStatus findService(ProcessSerialNumber* psn)
{
    ProcessSerialNumber walk = kNoProcess;
    OSStatus status;
    while ((status = GetNextProcess(&walk)) == noErr) {
        ProcessInfoRec info{};
        status = GetProcessInformation(walk, &info);
        // A process that ended during the walk is passed over.
        if (status == noErr && info.processSignature == serviceSignature) {
            *psn = walk;
            return noErr;
        }
    }
    if (status != procNotFound)
        return status;
    QString application;
    status = LaunchServices::LSFindApplicationForInfo(serviceSignature, {}, {}, &application);
    if (status != noErr)
        return status;
    LaunchServices::LSApplicationParameters parameters;
    parameters.version = 0;
    parameters.flags = LaunchServices::kLSLaunchDefaults;
    parameters.application = application;
    return LaunchServices::LSOpenApplication(parameters, psn);
}

} // namespace

QUrl LoginItemsAEFileURL(const QString& path)
{
    QUrl url = QUrl::fromLocalFile(path);
    if (QFileInfo(path).isDir() && !url.path().endsWith('/'))
        url.setPath(url.path() + '/');
    return url;
}

OSStatus LoginItemsAESendEvent(AEEventClass eventClass, AEEventID eventID, AppleEvent* reply,
                               std::initializer_list<std::pair<AEKeyword, const AEDesc*>> parameters)
{
    assert(!reply || reply->isNull());
    ProcessSerialNumber psn;
    OSStatus status = findService(&psn);
    if (status != noErr)
        return status;
    AEAddressDesc target;
    AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &target);
    AppleEvent event;
    status =
        AECreateAppleEvent(eventClass, eventID, target, kAutoGenerateReturnID, kAnyTransactionID, &event);
    for (auto it = parameters.begin(); status == noErr && it != parameters.end(); ++it) {
        assert(it->first != 0 && it->second);
        status = AEPutParamDesc(&event, it->first, *it->second);
    }
    AppleEvent answer;
    if (status == noErr)
        status = AESendMessage(event, &answer, kAEWaitReply, sendTimeoutTicks);
    if (status == noErr && !answer.isNull()) {
        std::int16_t number = 0;
        const OSStatus read =
            AEGetParamPtr(answer, keyErrorNumber, typeSInt16, nullptr, &number, sizeof number, nullptr);
        if (read != errAEDescNotFound)
            status = read == noErr ? number : read;
    }
    if (reply && status == noErr)
        *reply = std::move(answer);
    else
        AEDisposeDesc(&answer);
    AEDisposeDesc(&event);
    AEDisposeDesc(&target);
    return status;
}

OSStatus LoginItemsAECopyItems(std::optional<QVariantList>* items)
{
    assert(items && !items->has_value());
    AEDesc all, nothing, everyItem, properties, specifier;
    AECreateDesc(typeAbsoluteOrdinal, &kAEAll, 4, &all);
    CreateObjSpecifier(cLoginItem, &nothing, formAbsolutePosition, &all, true, &everyItem);
    AECreateDesc(typeType, &pAll, 4, &properties);
    CreateObjSpecifier(cProperty, &everyItem, formPropertyID, &properties, true, &specifier);

    AppleEvent reply;
    OSStatus status =
        LoginItemsAESendEvent(kAECoreSuite, kAEGetData, &reply, {{keyDirectObject, &specifier}});
    AEDisposeDesc(&specifier);
    AEDesc list;
    if (status == noErr)
        status = AEGetParamDesc(reply, keyDirectObject, typeAEList, &list);
    long count = 0;
    if (status == noErr)
        status = AECountItems(list, &count);
    QVariantList found;
    for (long number = 1; status == noErr && number <= count; ++number) {
        AEDesc record;
        status = AEGetNthDesc(list, number, typeAERecord, nullptr, &record);
        char path[pathBufferSize] = {};
        std::size_t size = 0;
        if (status == noErr)
            status = AEGetParamPtr(record, pPath, typeUTF8Text, nullptr, path, pathBufferSize - 1, &size);
        if (status != noErr)
            break;
        path[std::min(size, pathBufferSize - 1)] = '\0';
        bool hidden = false;
        std::uint8_t flag = 0;
        if (AEGetParamPtr(record, pHidden, typeBoolean, nullptr, &flag, 1, nullptr) == noErr)
            hidden = flag != 0;
        const QUrl url = LoginItemsAEFileURL(QString::fromUtf8(path));
        if (!url.isValid()) {
            status = coreFoundationUnknownErr;
            break;
        }
        found.append(QVariantMap{{QStringLiteral("URL"), url}, {QStringLiteral("Hidden"), hidden}});
    }
    AEDisposeDesc(&reply);
    // Only a whole list is handed out.
    if (status == noErr)
        *items = std::move(found);
    return status;
}

OSStatus LoginItemsAEAddURL(const QUrl& url, bool hideIt)
{
    assert(url.isValid());
    const QFileInfo file(url.toLocalFile());
    if (!url.isLocalFile() || !file.exists())
        return fnfErr;
    QByteArray path = QDir::cleanPath(file.absoluteFilePath()).toUtf8();
    if (std::size_t(path.size()) >= pathBufferSize)
        path.truncate(pathBufferSize - 1);

    AEDesc loginItemClass, utf8, unicode, hidden, record, nothing, end, location, insertion;
    AECreateDesc(typeType, &cLoginItem, 4, &loginItemClass);
    AECreateList(true, &record);
    AECreateDesc(typeUTF8Text, path.constData(), std::size_t(path.size()), &utf8);
    OSStatus status = AECoerceDesc(utf8, typeUnicodeText, &unicode);
    const std::uint8_t flag = hideIt ? 1 : 0;
    if (status == noErr)
        status = AEPutParamDesc(&record, pPath, unicode);
    if (status == noErr)
        status = AECreateDesc(typeBoolean, &flag, 1, &hidden);
    if (status == noErr)
        status = AEPutParamDesc(&record, pHidden, hidden);
    if (status == noErr)
        status = AECreateList(true, &location);
    if (status == noErr)
        status = AEPutParamDesc(&location, keyAEObject, nothing);
    if (status == noErr)
        status = AECreateDesc(typeEnumerated, &kAEEnd, 4, &end);
    if (status == noErr)
        status = AEPutParamDesc(&location, keyAEPosition, end);
    if (status == noErr)
        status = AECoerceDesc(location, typeInsertionLoc, &insertion);
    if (status == noErr)
        status = LoginItemsAESendEvent(
            kAECoreSuite, kAECreateElement, nullptr,
            {{keyAEObjectClass, &loginItemClass}, {keyAEPropData, &record}, {keyAEInsertHere, &insertion}});
    return status;
}

OSStatus LoginItemsAERemoveAtIndex(long index)
{
    assert(index >= 0);
    const std::int32_t number = std::int32_t(index + 1);
    AEDesc position, nothing, item;
    AECreateDesc(typeSInt32, &number, sizeof number, &position);
    CreateObjSpecifier(cLoginItem, &nothing, formAbsolutePosition, &position, true, &item);
    return LoginItemsAESendEvent(kAECoreSuite, kAEDelete, nullptr, {{keyDirectObject, &item}});
}
