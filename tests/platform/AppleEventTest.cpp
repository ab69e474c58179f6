// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/appleevents/AppleEvent.h"
#include "platform/appleevents/AppleEventServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace {

constexpr DescType cLoginItem = fourCharCode("logi");
constexpr AEKeyword pPath = fourCharCode("ppth");
constexpr AEKeyword pHidden = fourCharCode("hidn");

// A private runtime directory for the sockets of one test.
class RuntimeDir {
public:
    RuntimeDir() : m_saved(qgetenv("XDG_RUNTIME_DIR")) { qputenv("XDG_RUNTIME_DIR", m_dir.path().toUtf8()); }
    ~RuntimeDir() { qputenv("XDG_RUNTIME_DIR", m_saved); }

private:
    QTemporaryDir m_dir;
    QByteArray m_saved;
};

AEDesc text(const char* utf8)
{
    AEDesc desc;
    AECreateDesc(typeUTF8Text, utf8, std::strlen(utf8), &desc);
    return desc;
}

// The event that adds a login item: a class, a property record in Unicode text and an insertion location.
AppleEvent addItemEvent(const ProcessSerialNumber& psn, const char* path)
{
    AEDesc target, klass, properties, unicode, hidden, location, nothing, end, insertion;
    AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &target);
    AECreateDesc(typeType, &cLoginItem, 4, &klass);
    AECreateList(true, &properties);
    EXPECT_EQ(AECoerceDesc(text(path), typeUnicodeText, &unicode), noErr);
    AEPutParamDesc(&properties, pPath, unicode);
    const bool yes = true;
    AECreateDesc(typeBoolean, &yes, 1, &hidden);
    AEPutParamDesc(&properties, pHidden, hidden);
    AECreateList(true, &location);
    AEPutParamDesc(&location, keyAEObject, nothing);
    const FourCharCode atEnd = fourCharCode("end ");
    AECreateDesc(typeEnumerated, &atEnd, 4, &end);
    AEPutParamDesc(&location, keyAEPosition, end);
    EXPECT_EQ(AECoerceDesc(location, typeInsertionLoc, &insertion), noErr);
    AppleEvent event;
    AECreateAppleEvent(fourCharCode("core"), fourCharCode("crel"), target, kAutoGenerateReturnID,
                       kAnyTransactionID, &event);
    AEPutParamDesc(&event, fourCharCode("kocl"), klass);
    AEPutParamDesc(&event, fourCharCode("prdt"), properties);
    AEPutParamDesc(&event, fourCharCode("insh"), insertion);
    return event;
}

ProcessSerialNumber self()
{
    ProcessSerialNumber psn;
    GetProcessForPID(::getpid(), &psn);
    return psn;
}

// Runs a blocking send on another thread while this one turns the event loop for the server.
OSErr sendWhileServing(const AppleEvent& event, AppleEvent* reply, long ticks, qint64* elapsedMs = nullptr)
{
    std::atomic<bool> done = false;
    OSErr status = noErr;
    QElapsedTimer clock;
    clock.start();
    std::thread client([&] {
        status = AESendMessage(event, reply, kAEWaitReply, ticks);
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    client.join();
    if (elapsedMs)
        *elapsedMs = clock.elapsed();
    return status;
}

// A socket at the path a process would listen on, that takes connections into its backlog and never
// reads them: a peer that hangs.
int listenWithoutAnswering(const ProcessSerialNumber& psn)
{
    const QByteArray path = QFile::encodeName(appleEventSocketPath(psn));
    QDir().mkpath(QFileInfo(QString::fromUtf8(path)).path());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd, 4), 0);
    return fd;
}

} // namespace

TEST(AppleEvent, descriptors_coerce_as_the_manager_does_and_survive_the_wire)
{
    // Unicode text both ways, beyond Latin-1.
    AEDesc unicode, back;
    ASSERT_EQ(AECoerceDesc(text("/home/anna/Glöckner “A” €.app"), typeUnicodeText, &unicode), noErr);
    EXPECT_EQ(unicode.data.size(), 2 * QString::fromUtf8("/home/anna/Glöckner “A” €.app").size());
    ASSERT_EQ(AECoerceDesc(unicode, typeUTF8Text, &back), noErr);
    EXPECT_EQ(back.data, QByteArray("/home/anna/Glöckner “A” €.app"));

    // Integers where the value fits, and nowhere else.
    const std::int32_t big = 70000, small = -12;
    AEDesc longBig, longSmall, result;
    AECreateDesc(typeSInt32, &big, 4, &longBig);
    AECreateDesc(typeSInt32, &small, 4, &longSmall);
    EXPECT_EQ(AECoerceDesc(longBig, typeSInt16, &result), errAECoercionFail);
    ASSERT_EQ(AECoerceDesc(longSmall, typeSInt16, &result), noErr);
    std::int16_t value = 0;
    std::memcpy(&value, result.data.constData(), 2);
    EXPECT_EQ(value, -12);
    EXPECT_EQ(AECoerceDesc(longSmall, typeBoolean, &result), errAECoercionFail);
    EXPECT_EQ(AECoerceDesc(text("x"), typeAERecord, &result), errAECoercionFail);

    // A record with keys in order, read back by key and by index; a missing key is -1701.
    const AppleEvent event = addItemEvent(self(), "/opt/Pealix Tool/PealixTool.app");
    AEDesc properties, insertion;
    ASSERT_EQ(AEGetParamDesc(event, fourCharCode("prdt"), typeAERecord, &properties), noErr);
    char path[1024] = {};
    std::size_t size = 0;
    DescType actual = 0;
    ASSERT_EQ(AEGetParamPtr(properties, pPath, typeUTF8Text, &actual, path, sizeof path - 1, &size), noErr);
    EXPECT_EQ(actual, typeUTF8Text);
    EXPECT_STREQ(path, "/opt/Pealix Tool/PealixTool.app");
    ASSERT_EQ(AEGetParamDesc(event, fourCharCode("insh"), typeWildCard, &insertion), noErr);
    EXPECT_EQ(insertion.descriptorType, typeInsertionLoc);
    AEKeyword key = 0;
    AEDesc second;
    ASSERT_EQ(AEGetNthDesc(insertion, 2, typeEnumerated, &key, &second), noErr);
    EXPECT_EQ(key, keyAEPosition);
    EXPECT_EQ(AEGetParamDesc(event, keyErrorNumber, typeSInt16, &result), errAEDescNotFound);
    EXPECT_EQ(AEGetNthDesc(insertion, 3, typeWildCard, &key, &second), errAEBadListItem);

    // The wire form gives back exactly what was sent.
    const QByteArray wire = encodeAppleEvent(event);
    AppleEvent decoded;
    ASSERT_TRUE(decodeAppleEvent(wire.constData(), std::size_t(wire.size()), &decoded));
    EXPECT_EQ(decoded, event);
}

TEST(AppleEvent, hostile_messages_are_refused_without_reading_past_them)
{
    const QByteArray good = encodeAppleEvent(addItemEvent(self(), "/x/PealixTool.app"));
    AppleEvent event;
    for (qsizetype cut = 0; cut < good.size(); ++cut)
        ASSERT_FALSE(decodeAppleEvent(good.constData(), std::size_t(cut), &event)) << "cut at " << cut;
    EXPECT_FALSE(decodeAppleEvent((good + 'x').constData(), std::size_t(good.size() + 1), &event));

    auto withBody = [](const QByteArray& body) {
        QByteArray message("PAE1");
        const std::uint32_t length = qToBigEndian(std::uint32_t(body.size()));
        message.append(reinterpret_cast<const char*>(&length), 4);
        return message + body;
    };
    auto be32 = [](std::uint32_t v) {
        v = qToBigEndian(v);
        return QByteArray(reinterpret_cast<const char*>(&v), 4);
    };
    const QByteArray head = be32(1) + be32(2) + be32(0) + be32(0);
    const QByteArray nullDesc = be32(typeNull) + '\0' + be32(0);
    // A 1 GB leaf, a list that claims a billion items, a kind that does not exist, nesting past the bound.
    const QByteArray hugeLeaf = withBody(head + nullDesc + be32(typeAERecord) + '\2' + be32(1) + be32(1) +
                                         be32(typeUTF8Text) + '\0' + be32(1u << 30));
    const QByteArray hugeList = withBody(head + nullDesc + be32(typeAEList) + '\1' + be32(1000000000));
    const QByteArray badKind = withBody(head + nullDesc + be32(typeAERecord) + '\7' + be32(0));
    QByteArray deep = be32(typeAERecord) + '\2' + be32(0);
    for (int i = 0; i < maximumDepth + 2; ++i)
        deep = be32(typeAEList) + '\1' + be32(1) + deep;
    const QByteArray tooDeep = withBody(head + nullDesc + deep);
    const QByteArray listAsParameters = withBody(head + nullDesc + be32(typeAEList) + '\1' + be32(0));
    for (const QByteArray& bad : {hugeLeaf, hugeList, badKind, tooDeep, listAsParameters})
        EXPECT_FALSE(decodeAppleEvent(bad.constData(), std::size_t(bad.size()), &event));
    QByteArray lying = good;
    lying[7] = char(lying[7] + 1); // the frame claims one byte more than it has
    EXPECT_FALSE(decodeAppleEvent(lying.constData(), std::size_t(lying.size()), &event));
}

TEST(AppleEvent, events_reach_the_process_that_listens_and_bad_peers_end_in_time)
{
    RuntimeDir runtime;
    std::function<OSErr(const AppleEvent&, AppleEvent*)> handler = [](const AppleEvent& event,
                                                                      AppleEvent* reply) {
        AEDesc properties;
        if (AEGetParamDesc(event, fourCharCode("prdt"), typeAERecord, &properties) != noErr)
            return -1708;
        AEPutParamDesc(reply, keyDirectObject, properties);
        return event.eventID == fourCharCode("delo") ? -1728 : noErr;
    };
    AppleEventServer server([&](const AppleEvent& e, AppleEvent* r) { return handler(e, r); });
    ASSERT_TRUE(server.listen());
    EXPECT_EQ(
        QFileInfo(QFileInfo(server.path()).path()).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);

    // A silent client holds a connection open the whole time; the others are served regardless.
    const QByteArray path = QFile::encodeName(server.path());
    const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const auto closeSilent = qScopeGuard([&] { ::close(silent); });

    AppleEvent event = addItemEvent(self(), "/home/u/My “Apps”/$x %f `b`\\PealixTool.app");
    AppleEvent reply;
    ASSERT_EQ(sendWhileServing(event, &reply, 300), noErr);
    AEDesc echoed;
    ASSERT_EQ(AEGetParamDesc(reply, keyDirectObject, typeAERecord, &echoed), noErr);
    AEDesc sent;
    AEGetParamDesc(event, fourCharCode("prdt"), typeAERecord, &sent);
    EXPECT_EQ(echoed, sent);
    EXPECT_EQ(reply.returnID, event.returnID);

    // A failure of the handler comes back as 'errn'.
    event.eventID = fourCharCode("delo");
    AEDisposeDesc(&reply);
    ASSERT_EQ(sendWhileServing(event, &reply, 300), noErr);
    std::int16_t errn = 0;
    ASSERT_EQ(AEGetParamPtr(reply, keyErrorNumber, typeSInt16, nullptr, &errn, 2, nullptr), noErr);
    EXPECT_EQ(errn, -1728);

    // A peer that takes the connection and never answers: the time-out, not a hang.
    ProcessSerialNumber hung = self();
    hung.startTime += 1;
    const int hungFd = listenWithoutAnswering(hung);
    AEDesc hungTarget;
    AECreateDesc(typeProcessSerialNumber, &hung, sizeof hung, &hungTarget);
    event.target = hungTarget;
    AEDisposeDesc(&reply);
    qint64 elapsed = 0;
    EXPECT_EQ(sendWhileServing(event, &reply, 30, &elapsed), errAETimeout);
    EXPECT_GE(elapsed, 450);
    EXPECT_LT(elapsed, 2000);
    EXPECT_TRUE(reply.isNull());

    // The same socket file once its process has gone: refused at once.
    ::close(hungFd);
    EXPECT_EQ(sendWhileServing(event, &reply, 300, &elapsed), connectionInvalid);
    EXPECT_LT(elapsed, 200);
    // And a process that listens nowhere.
    hung.startTime += 1;
    AECreateDesc(typeProcessSerialNumber, &hung, sizeof hung, &event.target);
    EXPECT_EQ(sendWhileServing(event, &reply, 300), connectionInvalid);
}

TEST(AppleEvent, a_server_out_of_descriptors_refuses_connections_without_spinning_and_then_serves)
{
    RuntimeDir runtime;
    AppleEventServer server([](const AppleEvent&, AppleEvent*) { return noErr; });
    ASSERT_TRUE(server.listen());
    const QByteArray path = QFile::encodeName(server.path());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    std::vector<int> clients;
    for (int i = 0; i < 3; ++i)
        clients.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));

    // Made before the descriptors run out: the undefined-behaviour sanitizer needs a pipe to check an
    // object's type the first time it sees it, and would take the loop for a bad object.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();

    // Every descriptor taken, under a limit lowered for the while.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    int highest = 0;
    for (const QString& name :
         QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System | QDir::NoDotAndDotDot))
        highest = std::max(highest, name.toInt());
    rlimit lowered = saved;
    lowered.rlim_cur = rlim_t(highest + 32);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<int> filler;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        filler.push_back(fd);
    const auto release = qScopeGuard([&] {
        for (const int fd : filler)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &saved);
    });
    ASSERT_EQ(errno, EMFILE);

    for (const int client : clients)
        ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    rusage before{}, after{};
    ::getrusage(RUSAGE_THREAD, &before);
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    ::getrusage(RUSAGE_THREAD, &after);
    auto seconds = [](const rusage& usage) {
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    EXPECT_LT(seconds(after) - seconds(before), 0.1);
    // Each was taken and closed, not left waiting in the backlog.
    for (const int client : clients) {
        char byte;
        EXPECT_EQ(::recv(client, &byte, 1, 0), 0);
        ::close(client);
    }

    for (const int fd : filler)
        ::close(fd);
    filler.clear();
    AppleEvent event = addItemEvent(self(), "/usr/bin/after");
    AppleEvent reply;
    EXPECT_EQ(sendWhileServing(event, &reply, 300), noErr);
}

TEST(AppleEvent, a_reply_that_does_not_decode_is_an_error_not_a_reply)
{
    RuntimeDir runtime;
    ProcessSerialNumber fake = self();
    fake.startTime += 7;
    const int fd = listenWithoutAnswering(fake);
    const auto closeFd = qScopeGuard([&] { ::close(fd); });
    // A peer that answers with a frame claiming 1 GB, then one of garbage.
    for (const QByteArray& answer : {QByteArray("PAE1\x40\0\0\0", 8), QByteArray("PAE1\0\0\0\x03xyz", 11)}) {
        std::thread peer([&] {
            const int client = ::accept(fd, nullptr, nullptr);
            char buffer[4096];
            (void)::recv(client, buffer, sizeof buffer, 0);
            (void)::send(client, answer.constData(), std::size_t(answer.size()), MSG_NOSIGNAL);
            ::close(client);
        });
        AEDesc target;
        AECreateDesc(typeProcessSerialNumber, &fake, sizeof fake, &target);
        AppleEvent event;
        AECreateAppleEvent(fourCharCode("core"), fourCharCode("getd"), target, kAutoGenerateReturnID,
                           kAnyTransactionID, &event);
        AppleEvent reply;
        EXPECT_EQ(AESendMessage(event, &reply, kAEWaitReply, 120), errAENotAEDesc);
        EXPECT_TRUE(reply.isNull());
        peer.join();
    }
}
