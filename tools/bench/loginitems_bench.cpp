// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// loginitems_bench [STARTS [EXCHANGES]]: the built login-item service in a temporary home, with ten
// login items (five of other programs, five of its own). Prints the time from starting the program to
// its first answer, and the time of one list, create and delete exchange, as medians and 95th percentiles.
// Run it on a session bus, as the service is: dbus-run-session -- build/tools/bench/loginitems_bench

#include "platform/appleevents/AppleEvent.h"
#include "platform/workspace/ProcessManager.h"
#include "support/NSWorkspaceProcessInfo.h"
#include "support/QXLoginItemRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

using namespace platform;

namespace {

AEDesc code(DescType type, FourCharCode value)
{
    AEDesc desc;
    AECreateDesc(type, &value, 4, &desc);
    return desc;
}

OSErr send(const ProcessSerialNumber& psn, AppleEvent& event, AppleEvent* reply)
{
    AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &event.target);
    AEDisposeDesc(reply);
    const OSErr sent = AESendMessage(event, reply, kAEWaitReply, 300);
    std::int16_t errn = 0;
    if (sent == noErr &&
        AEGetParamPtr(*reply, keyErrorNumber, typeSInt16, nullptr, &errn, 2, nullptr) == noErr)
        return errn;
    return sent;
}

AppleEvent listEvent()
{
    AEDesc all = code(typeAbsoluteOrdinal, fourCharCode("all ")), nothing, every, properties;
    AEDesc property = code(typeType, fourCharCode("pALL"));
    CreateObjSpecifier(fourCharCode("logi"), &nothing, fourCharCode("indx"), &all, true, &every);
    CreateObjSpecifier(fourCharCode("prop"), &every, fourCharCode("prop"), &property, true, &properties);
    AppleEvent event;
    AECreateAppleEvent(fourCharCode("core"), fourCharCode("getd"), {}, kAutoGenerateReturnID,
                       kAnyTransactionID, &event);
    AEPutParamDesc(&event, keyDirectObject, properties);
    return event;
}

AppleEvent createEvent(const QByteArray& path)
{
    AEDesc utf8, unicode, flag, properties, location, nothing, insertion;
    AECreateDesc(typeUTF8Text, path.constData(), std::size_t(path.size()), &utf8);
    AECoerceDesc(utf8, typeUnicodeText, &unicode);
    const bool hidden = true;
    AECreateDesc(typeBoolean, &hidden, 1, &flag);
    AECreateList(true, &properties);
    AEPutParamDesc(&properties, fourCharCode("ppth"), unicode);
    AEPutParamDesc(&properties, fourCharCode("hidn"), flag);
    AECreateList(true, &location);
    AEPutParamDesc(&location, keyAEObject, nothing);
    AEPutParamDesc(&location, keyAEPosition, code(typeEnumerated, fourCharCode("end ")));
    AECoerceDesc(location, typeInsertionLoc, &insertion);
    AppleEvent event;
    AECreateAppleEvent(fourCharCode("core"), fourCharCode("crel"), {}, kAutoGenerateReturnID,
                       kAnyTransactionID, &event);
    AEPutParamDesc(&event, fourCharCode("kocl"), code(typeType, fourCharCode("logi")));
    AEPutParamDesc(&event, fourCharCode("prdt"), properties);
    AEPutParamDesc(&event, fourCharCode("insh"), insertion);
    return event;
}

AppleEvent deleteEvent(std::int32_t number)
{
    AEDesc nothing, index, item;
    AECreateDesc(typeSInt32, &number, 4, &index);
    CreateObjSpecifier(fourCharCode("logi"), &nothing, fourCharCode("indx"), &index, true, &item);
    AppleEvent event;
    AECreateAppleEvent(fourCharCode("core"), fourCharCode("delo"), {}, kAutoGenerateReturnID,
                       kAnyTransactionID, &event);
    AEPutParamDesc(&event, keyDirectObject, item);
    return event;
}

void report(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s median %8.3f ms  p95 %8.3f ms  (n=%zu)\n", what, ms[ms.size() / 2],
                ms[std::min(ms.size() - 1, ms.size() * 95 / 100)], ms.size());
}

// Starts the service and sends the list event until it answers; the time until the first answer.
double startAndAsk(QProcess* process, ProcessSerialNumber* psn)
{
    QElapsedTimer clock;
    clock.start();
    process->start(QStringLiteral(LOGIN_ITEMS_SERVICE), {});
    if (!process->waitForStarted(5000) || GetProcessForPID(pid_t(process->processId()), psn) != noErr)
        return -1;
    AppleEvent event = listEvent(), reply;
    while (clock.elapsed() < 5000) {
        if (send(*psn, event, &reply) == noErr)
            return double(clock.nsecsElapsed()) / 1e6;
        QThread::usleep(200);
    }
    return -1;
}

void stop(QProcess* process)
{
    process->terminate();
    if (!process->waitForFinished(3000))
        process->kill();
    process->waitForFinished(3000);
}

// The services the registry launched in this session, ended and gone before the next round.
void stopSessionServices()
{
    QList<int> left;
    for (int round = 0; round < 400; ++round) {
        left.clear();
        for (int pid :
             NSWorkspaceProcessInfo::pidsForProcessesWithCommand(QStringLiteral("pealix-loginitem")))
            if (platform::processSharesRuntimeDirectory(pid))
                left.append(pid);
        if (left.isEmpty())
            return;
        for (int pid : left)
            ::kill(pid, SIGTERM);
        QThread::msleep(5);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int exchanges = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;

    QTemporaryDir home;
    const QString autostart = home.path() + QStringLiteral("/config/autostart");
    QDir().mkpath(autostart);
    QDir().mkpath(home.path() + QStringLiteral("/run"));
    QFile::setPermissions(home.path() + QStringLiteral("/run"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/config")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.path() + QStringLiteral("/run")));
    for (int i = 0; i < 5; ++i) {
        QFile entry(autostart + QStringLiteral("/other-%1.desktop").arg(i));
        entry.open(QIODevice::WriteOnly);
        entry.write(
            QStringLiteral("[Desktop Entry]\nType=Application\nName=Other %1\nExec=/usr/bin/other-%1 --x\n")
                .arg(i)
                .toUtf8());
    }

    QProcess process;
    ProcessSerialNumber psn;
    AppleEvent reply;
    if (startAndAsk(&process, &psn) < 0) {
        std::fputs("the service did not answer\n", stderr);
        return 1;
    }
    for (int i = 0; i < 5; ++i) {
        AppleEvent create = createEvent("/opt/Pealix Tools/Item " + QByteArray::number(i) + ".app.bin");
        send(psn, create, &reply);
    }
    stop(&process);

    std::vector<double> startup, list, change;
    for (int i = 0; i < starts; ++i) {
        const double ms = startAndAsk(&process, &psn);
        if (ms >= 0)
            startup.push_back(ms);
        stop(&process);
    }
    startAndAsk(&process, &psn);
    AppleEvent event = listEvent();
    for (int i = 0; i < exchanges; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (send(psn, event, &reply) == noErr)
            list.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    long count = 0;
    AEDesc items;
    AEGetParamDesc(reply, keyDirectObject, typeAEList, &items);
    AECountItems(items, &count);
    // A create and the delete of the item it made, as one pair.
    for (int i = 0; i < exchanges; ++i) {
        AppleEvent create = createEvent("/opt/Pealix Tools/Extra.bin"),
                   remove = deleteEvent(std::int32_t(count + 1));
        QElapsedTimer clock;
        clock.start();
        if (send(psn, create, &reply) == noErr && send(psn, remove, &reply) == noErr)
            change.push_back(double(clock.nsecsElapsed()) / 1e6 / 2);
    }
    stop(&process);

    // As the pane meets it: the registry finds the service by its signature among this session's processes
    // and, the first time, launches it (the -600 path).
    std::vector<double> registryList, firstUse;
    for (int i = 0; i < starts; ++i) {
        QElapsedTimer clock;
        clock.start();
        if (QXLoginItemRegistry::allLoginItems())
            firstUse.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (i == 0)
            for (int j = 0; j < exchanges; ++j) {
                clock.restart();
                if (QXLoginItemRegistry::allLoginItems())
                    registryList.push_back(double(clock.nsecsElapsed()) / 1e6);
            }
        stopSessionServices();
    }
    if (startup.empty() || list.empty() || change.empty() || firstUse.empty() || registryList.empty()) {
        std::fputs("exchanges failed\n", stderr);
        return 1;
    }
    std::printf("login items listed: %ld\n", count);
    report("start to first answer", startup);
    report("list exchange", list);
    report("create or delete exchange", change);
    report("registry list, service running", registryList);
    report("registry list, service launched first", firstUse);
    return 0;
}
