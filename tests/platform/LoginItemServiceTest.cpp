// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The login-item service as its clients meet it: the built program, started in a private session, sent
// events over its socket; and the autostart entries it leaves, read back by GLib's launcher.

// Before Qt, whose "signals" keyword would break GLib's headers.
#include <gio/gdesktopappinfo.h>

#include "platform/appleevents/AppleEvent.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/TestEnvironment.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace platform;

void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

PrivateBus* const& bus = PrivateBus::forProgram();

constexpr DescType cLoginItem = fourCharCode("logi");
constexpr AEKeyword pPath = fourCharCode("ppth");
constexpr AEKeyword pHidden = fourCharCode("hidn");
constexpr OSErr errAENoSuchObject = -1728;
constexpr OSErr errAEPrivilegeError = -10004;

struct Listed {
    QString path;
    bool hidden = false;
    bool operator==(const Listed&) const = default;
};
void PrintTo(const Listed& item, std::ostream* out)
{
    *out << item.path.toStdString() << (item.hidden ? " (hidden)" : "");
}

AEDesc code(DescType type, FourCharCode value)
{
    AEDesc desc;
    AECreateDesc(type, &value, 4, &desc);
    return desc;
}

// The built program in the test's session, with its serial number once it listens.
class Service {
public:
    // openFiles: a lower limit on the service's descriptors.
    explicit Service(int idleMs = 0, rlim_t openFiles = 0)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (idleMs > 0)
            environment.insert(QStringLiteral("PEALIX_LOGINITEMS_IDLE_MS"), QString::number(idleMs));
        process.setProcessEnvironment(environment);
        if (openFiles > 0) {
            process.setChildProcessModifier([openFiles] {
                const rlimit limit{openFiles, openFiles};
                ::setrlimit(RLIMIT_NOFILE, &limit);
            });
        }
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(LOGIN_ITEMS_SERVICE), {});
    }
    ~Service()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000))
                process.kill();
            process.waitForFinished(3000);
        }
    }
    bool waitUntilListening()
    {
        if (!process.waitForStarted(5000) || GetProcessForPID(pid_t(process.processId()), &psn) != noErr)
            return false;
        QElapsedTimer clock;
        clock.start();
        while (!QFileInfo::exists(appleEventSocketPath(psn)) && clock.elapsed() < 5000)
            QTest::qWait(10);
        return QFileInfo::exists(appleEventSocketPath(psn));
    }

    // A reply's 'errn', noErr when there is none, or the send's own failure.
    OSErr send(AppleEvent& event, AppleEvent* reply = nullptr)
    {
        AppleEvent own;
        AppleEvent* place = reply ? reply : &own;
        AECreateDesc(typeProcessSerialNumber, &psn, sizeof psn, &event.target);
        const OSErr sent = AESendMessage(event, place, kAEWaitReply, 300);
        if (sent != noErr)
            return sent;
        std::int16_t errn = 0;
        return AEGetParamPtr(*place, keyErrorNumber, typeSInt16, nullptr, &errn, 2, nullptr) == noErr ? errn
                                                                                                      : noErr;
    }
    OSErr list(std::vector<Listed>* items)
    {
        AEDesc all, everyItem, properties, property, nothing, result;
        AppleEvent event, reply;
        all = code(typeAbsoluteOrdinal, fourCharCode("all "));
        CreateObjSpecifier(cLoginItem, &nothing, fourCharCode("indx"), &all, true, &everyItem);
        property = code(typeType, fourCharCode("pALL"));
        CreateObjSpecifier(fourCharCode("prop"), &everyItem, fourCharCode("prop"), &property, true,
                           &properties);
        AECreateAppleEvent(fourCharCode("core"), fourCharCode("getd"), {}, kAutoGenerateReturnID,
                           kAnyTransactionID, &event);
        AEPutParamDesc(&event, keyDirectObject, properties);
        if (const OSErr status = send(event, &reply); status != noErr)
            return status;
        if (const OSErr status = AEGetParamDesc(reply, keyDirectObject, typeAEList, &result); status != noErr)
            return status;
        items->clear();
        long count = 0;
        AECountItems(result, &count);
        for (long i = 1; i <= count; ++i) {
            AEDesc record, path;
            AEGetNthDesc(result, i, typeAERecord, nullptr, &record);
            unsigned char hidden = 0;
            if (AEGetParamDesc(record, pPath, typeUTF8Text, &path) != noErr ||
                AEGetParamPtr(record, pHidden, typeBoolean, nullptr, &hidden, 1, nullptr) != noErr)
                return errAEWrongDataType;
            items->push_back({QString::fromUtf8(path.data), hidden != 0});
        }
        return noErr;
    }
    // As the pane adds an item: the path as Unicode text, the new item at the end.
    OSErr add(const QString& path, bool hidden, FourCharCode position = fourCharCode("end "))
    {
        AEDesc utf8, unicode, flag, properties, location, nothing, insertion;
        const QByteArray bytes = path.toUtf8();
        AECreateDesc(typeUTF8Text, bytes.constData(), std::size_t(bytes.size()), &utf8);
        AECoerceDesc(utf8, typeUnicodeText, &unicode);
        AECreateDesc(typeBoolean, &hidden, 1, &flag);
        AECreateList(true, &properties);
        AEPutParamDesc(&properties, pPath, unicode);
        AEPutParamDesc(&properties, pHidden, flag);
        AECreateList(true, &location);
        AEPutParamDesc(&location, keyAEObject, nothing);
        AEPutParamDesc(&location, keyAEPosition, code(typeEnumerated, position));
        AECoerceDesc(location, typeInsertionLoc, &insertion);
        AppleEvent event;
        AECreateAppleEvent(fourCharCode("core"), fourCharCode("crel"), {}, kAutoGenerateReturnID,
                           kAnyTransactionID, &event);
        AEPutParamDesc(&event, fourCharCode("kocl"), code(typeType, cLoginItem));
        AEPutParamDesc(&event, fourCharCode("prdt"), properties);
        AEPutParamDesc(&event, fourCharCode("insh"), insertion);
        return send(event);
    }
    OSErr removeAt(AEDesc number)
    {
        AEDesc nothing, item;
        CreateObjSpecifier(cLoginItem, &nothing, fourCharCode("indx"), &number, true, &item);
        AppleEvent event;
        AECreateAppleEvent(fourCharCode("core"), fourCharCode("delo"), {}, kAutoGenerateReturnID,
                           kAnyTransactionID, &event);
        AEPutParamDesc(&event, keyDirectObject, item);
        return send(event);
    }
    OSErr removeAt(std::int32_t number)
    {
        AEDesc desc;
        AECreateDesc(typeSInt32, &number, 4, &desc);
        return removeAt(desc);
    }

    QProcess process;
    ProcessSerialNumber psn;
};

class LoginItemService : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus && bus->isRunning()); }

    QString autostart() const { return env.configHome() + QStringLiteral("/autostart"); }
    QStringList entries() const
    {
        return QDir(autostart()).entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
    }
    // An executable that appends its argument count and the path it was started by to out.
    QString writeProbe(const QString& relativePath) const
    {
        const QString path = env.writeFile(relativePath, "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$0\" >> "
                                                         "\"$PEALIX_PROBE_OUT\"\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    TestEnvironment env;
};

// Starts an entry the way a session starts its autostart entries.
bool launchWithGLib(const QString& entry)
{
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(QFile::encodeName(entry).constData());
    if (!info)
        return false;
    GError* error = nullptr;
    const bool launched = g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error);
    if (error) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
    }
    g_object_unref(info);
    return launched;
}

QStringList waitForLines(const QString& path, int count)
{
    QElapsedTimer clock;
    clock.start();
    QStringList lines;
    do {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (lines.size() >= count)
            break;
        QTest::qWait(20);
    } while (clock.elapsed() < 5000);
    return lines;
}

} // namespace

TEST_F(LoginItemService, hostile_paths_round_trip_into_entries_that_validate_and_start_the_exact_program)
{
    const QString hostile = QStringLiteral("apps/My \"Tools\" 'q' $HOME %f %% `id` back\\slash ü");
    const QString probe = writeProbe(hostile + QStringLiteral("/chime $1 %u.sh"));
    // Without a percent sign the program is the entry's first word itself.
    const QString other = QStringLiteral("apps/Their \"Tools\" $x `id` back\\slash");
    const QString bundle = env.root() + '/' + other + QStringLiteral("/Pealix \"Tool\".app");
    const QString bundleExecutable =
        writeProbe(other + QStringLiteral("/Pealix \"Tool\".app/Contents/Linux/Pealix Tool"));
    env.writeFile(other + QStringLiteral("/Pealix \"Tool\".app/Contents/Info.plist"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>CFBundleExecutable</key><string>Pealix Tool</string>"
                  "<key>CFBundleName</key><string>Pealix &amp; Tool</string></dict></plist>\n");

    Service service;
    ASSERT_TRUE(service.waitUntilListening());
    std::vector<Listed> items{{QStringLiteral("stale"), true}};
    ASSERT_EQ(service.list(&items), noErr);
    EXPECT_TRUE(items.empty());

    ASSERT_EQ(service.add(probe, true), noErr);
    ASSERT_EQ(service.add(bundle, false), noErr);
    // What no entry can carry safely, or what could not start at login, is refused and writes nothing.
    EXPECT_EQ(service.add(env.root() + QStringLiteral("/two\nlines"), false), paramErr);
    EXPECT_EQ(service.add(QStringLiteral("relative/tool"), false), paramErr);
    QDir().mkpath(env.root() + QStringLiteral("/apps/Empty.app"));
    EXPECT_EQ(service.add(env.root() + QStringLiteral("/apps/Empty.app/"), false), -43);
    EXPECT_EQ(service.add(env.root() + QStringLiteral("/apps/Empty.app"), false), -43);
    EXPECT_EQ(service.add(probe, false, fourCharCode("bgng")), errAEEventNotHandled);

    ASSERT_EQ(service.list(&items), noErr);
    EXPECT_EQ(items, (std::vector<Listed>{{probe, true}, {bundle, false}}));
    const QStringList created = entries();
    ASSERT_EQ(created.size(), 2);
    EXPECT_EQ(QDir(autostart()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);

    const QString out = env.root() + QStringLiteral("/probe.out");
    qputenv("PEALIX_PROBE_OUT", QFile::encodeName(out));
    for (const QString& name : created) {
        const QString entry = autostart() + '/' + name;
        EXPECT_FALSE(name.contains(QLatin1Char(' ')) || name.contains(QLatin1Char('"')))
            << name.toStdString();
        EXPECT_EQ(QFileInfo(entry).permissions() & (QFile::WriteGroup | QFile::WriteOther), 0);
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {entry});
        ASSERT_TRUE(validate.waitForFinished(10000));
        const QByteArray complaints = validate.readAllStandardOutput() + validate.readAllStandardError();
        EXPECT_EQ(validate.exitCode(), 0) << complaints.constData();
        EXPECT_FALSE(complaints.contains("error")) << complaints.constData();
        EXPECT_TRUE(launchWithGLib(entry)) << name.toStdString();
    }
    QStringList started = waitForLines(out, 2);
    started.sort();
    QStringList expected{QStringLiteral("0|") + probe, QStringLiteral("0|") + bundleExecutable};
    expected.sort();
    EXPECT_EQ(started, expected);

    // Removing by number takes exactly that item; a new one goes to the end; numbers outside the list fail.
    EXPECT_EQ(service.removeAt(0), errAENoSuchObject);
    EXPECT_EQ(service.removeAt(3), errAENoSuchObject);
    ASSERT_EQ(service.removeAt(1), noErr);
    ASSERT_EQ(service.add(probe, false), noErr);
    ASSERT_EQ(service.list(&items), noErr);
    EXPECT_EQ(items, (std::vector<Listed>{{bundle, false}, {probe, false}}));
    EXPECT_EQ(entries().size(), 2);
    ASSERT_EQ(service.removeAt(2), noErr);
    ASSERT_EQ(service.removeAt(1), noErr);
    EXPECT_TRUE(entries().isEmpty());
}

TEST_F(LoginItemService, other_programs_entries_are_listed_never_changed_and_bad_ones_skipped)
{
    auto entry = [&](const char* name, const QByteArray& body) {
        return env.writeFile(QStringLiteral("config/autostart/") + QLatin1String(name), body);
    };
    entry("b-shell.desktop", "[Desktop Entry]\nType=Application\nName=Shell\nExec=sh -c \"exit 0\"\n");
    entry("a-quoted.desktop",
          "[Desktop Entry]\nType=Application\nName=Q\nExec=\"/opt/My Tools/100%% run\" --flag %U\n");
    entry("pealix-loginitem-lookalike-1.desktop",
          "[Desktop Entry]\nType=Application\nName=L\nExec=/usr/bin/look\n");
    entry("c-hidden.desktop", "[Desktop Entry]\nType=Application\nName=H\nExec=/bin/true\nHidden=true\n");
    entry("d-off.desktop",
          "[Desktop Entry]\nType=Application\nName=O\nExec=/bin/true\nX-GNOME-Autostart-enabled=false\n");
    entry("e-garbage.desktop", QByteArray("\x00\xff[[[Desktop\n=\n", 15));
    entry("f-noexec.desktop", "[Desktop Entry]\nType=Application\nName=N\n");
    entry("g-link.desktop", "[Desktop Entry]\nType=Link\nName=W\nURL=https://example.org\n");
    entry("h-unclosed.desktop", "[Desktop Entry]\nType=Application\nExec=\"/bin/true\n");
    QDir().mkpath(autostart() + QStringLiteral("/i-directory.desktop"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(autostart() + QStringLiteral("/j-fifo.desktop")).constData(), 0644),
              0);
    const QString unreadable =
        entry("k-unreadable.desktop", "[Desktop Entry]\nType=Application\nName=U\nExec=/bin/unreadable\n");
    QFile::setPermissions(unreadable, QFileDevice::Permissions());
    const bool rootReadsAll = ::geteuid() == 0;

    auto snapshot = [&] {
        std::map<QString, QByteArray> bytes;
        for (const QString& name : entries()) {
            QFile file(autostart() + '/' + name);
            if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                bytes[name] = file.readAll();
        }
        return bytes;
    };
    const auto before = snapshot();
    gchar* shell = g_find_program_in_path("sh");
    const QString shellPath = QFile::decodeName(shell);
    g_free(shell);
    const std::vector<Listed> foreign = [&] {
        std::vector<Listed> list{{QStringLiteral("/opt/My Tools/100% run"), false}, {shellPath, false}};
        if (rootReadsAll)
            list.push_back({QStringLiteral("/bin/unreadable"), false});
        list.push_back({QStringLiteral("/usr/bin/look"), false});
        return list;
    }();

    std::vector<Listed> items;
    {
        Service service;
        ASSERT_TRUE(service.waitUntilListening());
        ASSERT_EQ(service.add(QStringLiteral("/usr/bin/ours"), false), noErr);
        ASSERT_EQ(service.list(&items), noErr);
        std::vector<Listed> expected = foreign;
        expected.push_back({QStringLiteral("/usr/bin/ours"), false});
        EXPECT_EQ(items, expected);
        for (std::int32_t number = 1; number <= std::int32_t(foreign.size()); ++number)
            EXPECT_EQ(service.removeAt(number), errAEPrivilegeError) << number;

        // Events it does not know, or knows in another shape, get a status and leave the service answering.
        AppleEvent unknown;
        AECreateAppleEvent(fourCharCode("core"), fourCharCode("xxxx"), {}, 1, 0, &unknown);
        EXPECT_EQ(service.send(unknown), errAEEventNotHandled);
        AppleEvent getText;
        AECreateAppleEvent(fourCharCode("core"), fourCharCode("getd"), {}, 2, 0, &getText);
        AEPutParamDesc(&getText, keyDirectObject, code(typeUTF8Text, fourCharCode("logi")));
        EXPECT_EQ(service.send(getText), errAEEventNotHandled);
        AppleEvent createOther;
        AECreateAppleEvent(fourCharCode("core"), fourCharCode("crel"), {}, 3, 0, &createOther);
        AEPutParamDesc(&createOther, fourCharCode("kocl"), code(typeType, fourCharCode("prop")));
        EXPECT_EQ(service.send(createOther), errAEEventNotHandled);
        AppleEvent createEmpty;
        AECreateAppleEvent(fourCharCode("core"), fourCharCode("crel"), {}, 4, 0, &createEmpty);
        AEPutParamDesc(&createEmpty, fourCharCode("kocl"), code(typeType, cLoginItem));
        EXPECT_EQ(service.send(createEmpty), errAEDescNotFound);
        EXPECT_EQ(service.removeAt(code(typeAbsoluteOrdinal, fourCharCode("all "))), errAEEventNotHandled);
        AEDesc big;
        const std::int32_t huge = 1 << 30;
        AECreateDesc(typeSInt32, &huge, 4, &big);
        EXPECT_EQ(service.removeAt(big), errAENoSuchObject);
        EXPECT_EQ(service.removeAt(-1), errAENoSuchObject);
        // Bytes that are no event at all.
        const QByteArray socketPath = QFile::encodeName(appleEventSocketPath(service.psn));
        const int raw = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, socketPath.constData(), std::size_t(socketPath.size()));
        ASSERT_EQ(::connect(raw, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::send(raw, "PAE1\x40\0\0\0garbage", 15, MSG_NOSIGNAL), 15);
        char answer[16];
        EXPECT_LE(::recv(raw, answer, sizeof answer, 0), 0);
        ::close(raw);

        ASSERT_EQ(service.list(&items), noErr);
        EXPECT_EQ(items.size(), foreign.size() + 1);
    }

    // The next run lists the same items in the same order, and no entry of another program was touched.
    Service again;
    ASSERT_TRUE(again.waitUntilListening());
    std::vector<Listed> second;
    ASSERT_EQ(again.list(&second), noErr);
    EXPECT_EQ(second, items);
    auto after = snapshot();
    ASSERT_EQ(after.size(), before.size() + 1);
    for (const auto& [name, bytes] : before)
        EXPECT_EQ(after[name], bytes) << name.toStdString();
    EXPECT_TRUE(QFileInfo(autostart() + QStringLiteral("/j-fifo.desktop")).exists());
}

TEST_F(LoginItemService, one_service_per_session_serves_clients_in_turn_and_quits_when_idle)
{
    constexpr int idleMs = 1500;
    Service service(idleMs);
    ASSERT_TRUE(service.waitUntilListening());

    QProcess second;
    second.start(QStringLiteral(LOGIN_ITEMS_SERVICE), {});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(service.process.state(), QProcess::Running);

    // A client that connects and says nothing holds nobody up; two that ask at once both get answers.
    const QByteArray socketPath = QFile::encodeName(appleEventSocketPath(service.psn));
    const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.constData(), std::size_t(socketPath.size()));
    ASSERT_EQ(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    QElapsedTimer clock;
    clock.start();
    OSErr first = -1, other = -1;
    std::thread a([&] { first = service.add(QStringLiteral("/usr/bin/one"), false); });
    std::thread b([&] { other = service.add(QStringLiteral("/usr/bin/two"), true); });
    a.join();
    b.join();
    EXPECT_EQ(first, noErr);
    EXPECT_EQ(other, noErr);
    EXPECT_LT(clock.elapsed(), 2000);
    std::vector<Listed> items;
    ASSERT_EQ(service.list(&items), noErr);
    EXPECT_EQ(items.size(), 2u);
    EXPECT_EQ(entries().size(), 2);
    ::close(silent);

    // Left alone, it goes by itself, and not before its idle time.
    clock.restart();
    ASSERT_TRUE(service.process.waitForFinished(idleMs + 8000));
    EXPECT_GE(clock.elapsed(), idleMs - 500);
    EXPECT_EQ(service.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(service.process.exitCode(), 0);
}

namespace {

// Seconds of CPU the process has used: utime and stime of /proc/<pid>/stat.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

// Processes that each open connections to a socket, say how many, and hold them until stdin closes.
const char flooder[] = R"(
import os, resource, socket, sys, time
path, processes, each = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
if soft < each + 64:
    resource.setrlimit(resource.RLIMIT_NOFILE, (each + 64, hard))
for _ in range(processes):
    if os.fork() == 0:
        held, give_up = [], time.monotonic() + 10
        while len(held) < each and time.monotonic() < give_up:
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.setblocking(False)
            try:
                s.connect(path)
                held.append(s)
            except BlockingIOError:
                s.close()
                time.sleep(0.001)
        os.write(1, b"%d\n" % len(held))
        os.read(0, 1)
        os._exit(0)
while True:
    try:
        os.wait()
    except ChildProcessError:
        break
)";

} // namespace

TEST_F(LoginItemService, a_flood_of_idle_connections_neither_spins_the_service_nor_locks_clients_out)
{
    // A low limit, so that the flood would reach it many times over.
    Service service(0, 256);
    ASSERT_TRUE(service.waitUntilListening());
    ASSERT_EQ(service.add(QStringLiteral("/usr/bin/real"), false), noErr);

    constexpr int processes = 10, each = 200;
    QProcess flood;
    flood.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    flood.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"), QLatin1String(flooder), appleEventSocketPath(service.psn),
                 QString::number(processes), QString::number(each)});
    int opened = 0, reported = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            while (flood.canReadLine()) {
                opened += flood.readLine().trimmed().toInt();
                ++reported;
            }
            return reported == processes;
        },
        20000));
    EXPECT_EQ(opened, processes * each);

    const double cpuBefore = cpuSeconds(service.process.processId());
    QElapsedTimer clock;
    clock.start();
    std::vector<Listed> items;
    EXPECT_EQ(service.list(&items), noErr);
    const qint64 answerMs = clock.elapsed();
    EXPECT_LT(answerMs, 5000);
    EXPECT_EQ(items, (std::vector<Listed>{{QStringLiteral("/usr/bin/real"), false}}));
    QTest::qWait(int(std::max<qint64>(0, 3000 - clock.elapsed())));
    const double share =
        (cpuSeconds(service.process.processId()) - cpuBefore) * 1000.0 / double(clock.elapsed());
    EXPECT_LT(share, 0.05);
    std::printf("[ figures  ] %d connections held; answered in %lld ms; service CPU %.1f %% over %lld ms\n",
                opened, static_cast<long long>(answerMs), share * 100,
                static_cast<long long>(clock.elapsed()));

    flood.closeWriteChannel();
    ASSERT_TRUE(flood.waitForFinished(10000));
    EXPECT_EQ(service.list(&items), noErr);
    EXPECT_EQ(service.process.state(), QProcess::Running);
}

TEST_F(LoginItemService, a_start_removes_the_sockets_and_temporary_files_that_killed_services_left)
{
    constexpr int kills = 20;
    for (int round = 0; round < kills; ++round) {
        Service service;
        ASSERT_TRUE(service.waitUntilListening()) << round;
        service.process.kill();
        ASSERT_TRUE(service.process.waitForFinished(5000));
    }

    // A live process's socket stays, whoever made it.
    ProcessSerialNumber self;
    ASSERT_EQ(GetProcessForPID(::getpid(), &self), noErr);
    const QString own = appleEventSocketPath(self);
    const QByteArray ownNative = QFile::encodeName(own);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, ownNative.constData(), std::size_t(ownNative.size()));
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const QString folder = QFileInfo(own).path();
    // A write cut short a while ago, and one that may still be under way.
    const QString old = env.writeFile(QStringLiteral("config/autostart/.pealix-loginitem-AbC123"), {});
    const QString fresh = env.writeFile(QStringLiteral("config/autostart/.pealix-loginitem-XyZ789"), {});
    QFile file(old);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        file.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
    file.close();

    Service next;
    ASSERT_TRUE(next.waitUntilListening());
    QStringList expected{QFileInfo(own).fileName(), QFileInfo(appleEventSocketPath(next.psn)).fileName()};
    expected.sort();
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                                     QDir::Name),
              expected);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo::exists(old); }, 5000));
    EXPECT_TRUE(QFileInfo::exists(fresh));
    ::close(listening);
    QFile::remove(own);
}

TEST_F(LoginItemService, an_entry_with_our_keys_that_runs_something_else_is_foreign_and_survives_off)
{
    const QString agent = env.root() + QStringLiteral("/Apps/PealixTool.app");
    const QString executable = writeProbe(QStringLiteral("Apps/PealixTool.app/Contents/Linux/PealixTool"));
    env.writeFile(QStringLiteral("Apps/PealixTool.app/Contents/Info.plist"),
                  "<plist><dict><key>CFBundleExecutable</key><string>PealixTool</string></dict></plist>");
    const QByteArray keys = "X-Pealix-LoginItem-Path=" + agent.toUtf8() +
                            "\nX-Pealix-LoginItem-Hidden=true\nX-Pealix-LoginItem-Order=0\n";
    const QString lying = env.writeFile(
        QStringLiteral("config/autostart/pealix-loginitem-PealixTool-0.desktop"),
        "[Desktop Entry]\nType=Application\nName=PealixTool\nExec=/bin/sh -c \"touch /tmp/x\"\n" + keys);
    // The right program, with more to it than the entry names.
    const QString extra = env.writeFile(
        QStringLiteral("config/autostart/pealix-loginitem-PealixTool-00.desktop"),
        "[Desktop Entry]\nType=Application\nName=P\nExec=\"" + executable.toUtf8() + "\" --more\n" + keys);
    auto bytesOf = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray lyingBytes = bytesOf(lying), extraBytes = bytesOf(extra);

    Service service;
    ASSERT_TRUE(service.waitUntilListening());
    ASSERT_EQ(service.add(agent, true), noErr);
    std::vector<Listed> items;
    ASSERT_EQ(service.list(&items), noErr);
    EXPECT_EQ(items,
              (std::vector<Listed>{{QStringLiteral("/bin/sh"), false}, {executable, false}, {agent, true}}));

    // Turning chimes off as the pane does: every item whose path ends in the agent's bundle name.
    int removed = 0;
    for (int round = 0; round < 8; ++round) {
        ASSERT_EQ(service.list(&items), noErr);
        const auto found = std::find_if(items.begin(), items.end(), [](const Listed& item) {
            return item.path.endsWith(QLatin1String("PealixTool.app"));
        });
        if (found == items.end())
            break;
        ASSERT_EQ(service.removeAt(std::int32_t(found - items.begin() + 1)), noErr);
        ++removed;
    }
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(service.removeAt(1), errAEPrivilegeError);
    EXPECT_EQ(service.removeAt(2), errAEPrivilegeError);
    EXPECT_EQ(bytesOf(lying), lyingBytes);
    EXPECT_EQ(bytesOf(extra), extraBytes);
    EXPECT_EQ(entries().size(), 2);
}

TEST_F(LoginItemService, an_entry_whose_reads_hang_is_listed_unreadable_and_the_rest_are_served)
{
    const QString mount = env.root() + QStringLiteral("/hung");
    ASSERT_TRUE(QDir().mkpath(mount));
    QProcess fixture;
    fixture.setProcessChannelMode(QProcess::ForwardedChannels);
    fixture.start(
        QStringLiteral(BLOCKING_FUSE),
        {mount, QStringLiteral("entry.desktop=[Desktop Entry]\nType=Application\nExec=/bin/hung\n")});
    const QString hungFile = mount + QStringLiteral("/entry.desktop");
    const bool settled = QTest::qWaitFor(
        [&] { return fixture.state() == QProcess::NotRunning || QFileInfo::exists(hungFile); }, 10000);
    if (fixture.state() == QProcess::NotRunning && fixture.exitCode() == 77)
        GTEST_SKIP() << "FUSE cannot be used here (see the fixture's message)";
    ASSERT_TRUE(settled && QFileInfo::exists(hungFile));
    struct Unmount {
        QProcess& fixture;
        QString mount;
        ~Unmount()
        {
            fixture.kill();
            fixture.waitForFinished(3000);
            if (QProcess::execute(QStringLiteral("fusermount"),
                                  {QStringLiteral("-u"), QStringLiteral("-z"), mount}) != 0)
                QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), mount});
        }
    } unmount{fixture, mount};

    const QString hungEntry = autostart() + QStringLiteral("/a-hung.desktop");
    QDir().mkpath(autostart());
    ASSERT_TRUE(QFile::link(hungFile, hungEntry));
    env.writeFile(QStringLiteral("config/autostart/b-fine.desktop"),
                  "[Desktop Entry]\nType=Application\nName=F\nExec=/usr/bin/fine\n");

    Service service;
    ASSERT_TRUE(service.waitUntilListening());
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(service.add(QStringLiteral("/usr/bin/ours"), true), noErr);
    std::vector<Listed> items;
    ASSERT_EQ(service.list(&items), noErr);
    const std::vector<Listed> expected{{hungEntry, false},
                                       {QStringLiteral("/usr/bin/fine"), false},
                                       {QStringLiteral("/usr/bin/ours"), true}};
    EXPECT_EQ(items, expected);
    EXPECT_LT(clock.elapsed(), 3000);
    // The hung read is not waited for again while it lasts.
    for (int round = 0; round < 5; ++round) {
        clock.restart();
        ASSERT_EQ(service.list(&items), noErr);
        EXPECT_LT(clock.elapsed(), 300);
    }
    EXPECT_EQ(items, expected);
    EXPECT_EQ(service.removeAt(1), errAEPrivilegeError);
    ASSERT_EQ(service.removeAt(3), noErr);
    ASSERT_EQ(service.list(&items), noErr);
    EXPECT_EQ(items.size(), 2u);
    EXPECT_TRUE(QFileInfo(hungEntry).isSymLink());
}
