// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The status item as a panel sees it: a StatusNotifierItem registered with the panel's watcher, with
// the silenced tool tip and image, gone when the setting turns it off, and made late when the panel
// starts after the agent.
//
// Qt offers its D-Bus tray only through a platform theme that the offscreen platform lacks, so this
// program runs under a private X server (Xvfb) with the xcb platform, on a private session bus.

#include "agent/PealixController.h"
#include "platform/settings/Preferences.h"
#include "platform/ui/ImageFile.h"
#include "platform/ui/StatusItem.h"
#include "shared/PrefKeys.h"
#include "testsupport/PanelWatcherStandIn.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/TestEnvironment.h"

#include <QAbstractNativeEventFilter>
#include <QAction>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMap>
#include <QProcess>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

PrivateBus* bus = nullptr;

const QString silencedTip = QStringLiteral("Chimes are currently suspended");

// An Xvfb child that picks a free display itself; DISPLAY points at it while the object lives.
class XServer {
public:
    XServer()
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten",
                     "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        char c;
        while (m_pid > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        if (!number.empty()) {
            m_display = ":" + number;
            qputenv("DISPLAY", QByteArray::fromStdString(m_display));
        }
    }
    ~XServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool isRunning() const { return !m_display.empty(); }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

void store(const QVariantMap& values)
{
    platform::Preferences prefs(PrefKeys::domain);
    for (auto it = values.begin(); it != values.end(); ++it)
        prefs.setValue(it.key(), it.value());
    prefs.synchronize();
}

std::unique_ptr<PealixController> startAgent()
{
    auto controller =
        std::make_unique<PealixController>(platform::Bundle(agentBundleDir()), QStringList{"PealixTool"});
    controller->awakeFromNib();
    return controller;
}

// A property of the registered item, read by the panel; the call must not block the loop serving it.
std::optional<QVariant> itemProperty(const PanelWatcherStandIn& panel, const QString& item,
                                     const QString& name)
{
    QDBusMessage get =
        QDBusMessage::createMethodCall(item, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get");
    get << QStringLiteral("org.kde.StatusNotifierItem") << name;
    QDBusPendingCall call = panel.connection().asyncCall(get, 3000);
    if (!QTest::qWaitFor([&] { return call.isFinished(); }, 4000))
        return std::nullopt;
    QDBusPendingReply<QDBusVariant> reply = call;
    if (reply.isError())
        return std::nullopt;
    return reply.value().variant();
}

// Reads an a(iiay) list of pixmaps, by size (ARGB32, big-endian).
QMap<int, QByteArray> readPixmaps(const QDBusArgument& argument)
{
    QMap<int, QByteArray> found;
    argument.beginArray();
    while (!argument.atEnd()) {
        int w, h;
        QByteArray bytes;
        argument.beginStructure();
        argument >> w >> h >> bytes;
        argument.endStructure();
        if (w == h)
            found.insert(w, bytes);
    }
    argument.endArray();
    return found;
}

// ToolTip is (s icon, a(iiay) image, s title, s text); the title is the tool tip.
QString toolTipTitle(const PanelWatcherStandIn& panel, const QString& item)
{
    const auto value = itemProperty(panel, item, "ToolTip");
    if (!value || value->userType() != qMetaTypeId<QDBusArgument>())
        return "<unreadable>";
    const QDBusArgument argument = value->value<QDBusArgument>();
    QString icon, title, text;
    argument.beginStructure();
    argument >> icon;
    readPixmaps(argument);
    argument >> title >> text;
    argument.endStructure();
    return title;
}

// The pixmaps the panel is given, by size.
QMap<int, QByteArray> panelPixmaps(const PanelWatcherStandIn& panel, const QString& item)
{
    const auto value = itemProperty(panel, item, "IconPixmap");
    if (!value || value->userType() != qMetaTypeId<QDBusArgument>())
        return {};
    const QDBusArgument argument = value->value<QDBusArgument>();
    return readPixmaps(argument);
}

// The page of an image file drawn for that size, as a panel receives it.
QByteArray bigEndianArgb(const QString& file, int size)
{
    const QImage image = platform::iconFromImageFile(file)
                             .pixmap(QSize(size, size))
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    QByteArray bytes(image.width() * image.height() * 4, Qt::Uninitialized);
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            qToBigEndian(line[x], bytes.data() + (y * image.width() + x) * 4);
    }
    return bytes;
}

} // namespace

TEST(StatusTray, panel_started_after_the_agent_gets_the_icon_once_its_host_registers)
{
    ASSERT_TRUE(bus && bus->isRunning());
    TestEnvironment env;
    store({{PrefKeys::pealixMenuActive, true}});
    auto controller = startAgent();
    QTest::qWait(500);
    EXPECT_FALSE(controller->statusItem()->isShown()) << "no tray icon before a panel exists";

    PanelWatcherStandIn panel(bus->address());
    QSignalSpy items(&panel, &PanelWatcherStandIn::StatusNotifierItemRegistered);
    ASSERT_TRUE(panel.startPanel());
    QTest::qWait(500);
    EXPECT_FALSE(controller->statusItem()->isShown()) << "a watcher without a host shows no icons";

    panel.registerHost();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return controller->statusItem() && controller->statusItem()->isShown(); }, 1000));
    ASSERT_TRUE(items.wait(2000) || items.count() > 0) << "the icon registers with the panel";
    EXPECT_TRUE(QSystemTrayIcon::isSystemTrayAvailable());
    const QString item = items.first().first().toString();
    EXPECT_EQ(panel.registeredItems(), QStringList{item});
    EXPECT_EQ(toolTipTitle(panel, item), QGuiApplication::applicationDisplayName())
        << "named when not silenced";

    controller->suspendResumeItem()->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return toolTipTitle(panel, item) == silencedTip; }, 2000));
}

TEST(StatusTray, icon_follows_the_setting_on_the_panel_and_a_new_one_shows_the_silence_at_once)
{
    ASSERT_TRUE(bus && bus->isRunning());
    TestEnvironment env;
    PanelWatcherStandIn panel(bus->address());
    panel.hostRegistered = true;
    ASSERT_TRUE(panel.startPanel());
    QSignalSpy registeredItems(&panel, &PanelWatcherStandIn::StatusNotifierItemRegistered);
    QSignalSpy goneItems(&panel, &PanelWatcherStandIn::StatusNotifierItemUnregistered);

    store({{PrefKeys::pealixMenuActive, false}});
    auto controller = startAgent();
    controller->suspendResumeChimes();
    QTest::qWait(500);
    EXPECT_EQ(registeredItems.count(), 0);

    store({{PrefKeys::pealixMenuActive, true}});
    controller->readPrefs();
    ASSERT_TRUE(registeredItems.wait(2000));
    const QString item = registeredItems.first().first().toString();
    EXPECT_EQ(toolTipTitle(panel, item), silencedTip);
    // The panel gets the page drawn for each panel size at 1x and 2x rather than scaling one.
    const QString resources = agentBundleDir() + "/Contents/Resources/";
    const QMap<int, QByteArray> pixmaps = panelPixmaps(panel, item);
    EXPECT_EQ(pixmaps.keys(), QList<int>({16, 22, 24, 32, 44, 48}));
    for (int size : {16, 22, 24, 32, 44, 48}) {
        const QByteArray barred = bigEndianArgb(resources + "Pealix16bar.tiff", size);
        ASSERT_EQ(barred.size(), size * size * 4) << size;
        ASSERT_NE(barred, bigEndianArgb(resources + "Pealix16.tiff", size)) << size;
        EXPECT_EQ(pixmaps.value(size), barred) << size;
    }

    store({{PrefKeys::pealixMenuActive, false}});
    controller->readPrefs();
    EXPECT_FALSE(controller->statusItem());
    ASSERT_TRUE(goneItems.wait(2000)) << "the icon leaves the panel";
    EXPECT_EQ(goneItems.first().first().toString(), item);
    EXPECT_TRUE(panel.registeredItems().isEmpty());
}

// The running agent as a panel lists it: its name, not the executable's, and the bell.
TEST(StatusTray, the_agent_is_named_pealix_on_the_panel)
{
    ASSERT_TRUE(bus && bus->isRunning());
    TestEnvironment env;
    store({{PrefKeys::pealixMenuActive, true}});
    PanelWatcherStandIn panel(bus->address());
    panel.hostRegistered = true;
    ASSERT_TRUE(panel.startPanel());
    QSignalSpy items(&panel, &PanelWatcherStandIn::StatusNotifierItemRegistered);
    QProcess agent;
    QProcessEnvironment agentEnv = QProcessEnvironment::systemEnvironment();
    agentEnv.insert("QT_QPA_PLATFORM", "xcb");
    agentEnv.insert("PEALIX_AUDIO_SINK", "fakesink");
    agent.setProcessEnvironment(agentEnv);
    agent.setProcessChannelMode(QProcess::ForwardedChannels);
    agent.start(agentBundleDir() + "/Contents/Linux/PealixTool", {});
    ASSERT_TRUE(agent.waitForStarted(5000));
    const bool registered = items.wait(10000) || items.count() > 0;
    if (registered) {
        const QString item = items.first().first().toString();
        EXPECT_EQ(itemProperty(panel, item, "Title").value_or(QVariant()).toString(), "Pealix");
        EXPECT_EQ(itemProperty(panel, item, "Id").value_or(QVariant()).toString(), "Pealix");
        EXPECT_EQ(toolTipTitle(panel, item), "Pealix");
        const QMap<int, QByteArray> pixmaps = panelPixmaps(panel, item);
        EXPECT_EQ(pixmaps.value(22),
                  bigEndianArgb(agentBundleDir() + "/Contents/Resources/Pealix16.tiff", 22));
    }
    agent.terminate();
    agent.waitForFinished(5000);
    EXPECT_TRUE(registered) << "the agent's item did not register";
}

namespace {

// An XEmbed tray on the test's display: it owns the tray selection of screen 0 and notes dock requests.
class XEmbedTray : public QAbstractNativeEventFilter {
public:
    XEmbedTray()
    {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        m_connection = x11 ? x11->connection() : nullptr;
        if (!m_connection)
            return;
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        m_opcode = atom("_NET_SYSTEM_TRAY_OPCODE");
        xcb_set_selection_owner(m_connection, m_window, atom("_NET_SYSTEM_TRAY_S0"), XCB_CURRENT_TIME);
        xcb_flush(m_connection);
        qApp->installNativeEventFilter(this);
    }
    ~XEmbedTray() override
    {
        if (!m_connection)
            return;
        qApp->removeNativeEventFilter(this);
        xcb_destroy_window(m_connection, m_window);
        xcb_flush(m_connection);
    }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            const auto* request = static_cast<const xcb_client_message_event_t*>(message);
            // SYSTEM_TRAY_REQUEST_DOCK is opcode 0.
            if (request->window == m_window && request->type == m_opcode && request->data.data32[1] == 0)
                docked = true;
        }
        return false;
    }

    bool docked = false;

private:
    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return result;
    }

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_window = 0;
    xcb_atom_t m_opcode = XCB_ATOM_NONE;
};

} // namespace

// In a process of its own: Qt picks its kind of tray once per process, at the first tray icon.
TEST(StatusTray, an_xembed_tray_without_a_status_notifier_host_gets_the_icon_at_once)
{
    ASSERT_TRUE(bus && bus->isRunning());
    TestEnvironment env;
    store({{PrefKeys::pealixMenuActive, true}});
    XEmbedTray tray;
    QProcess agent;
    QProcessEnvironment agentEnv = QProcessEnvironment::systemEnvironment();
    agentEnv.insert("QT_QPA_PLATFORM", "xcb");
    agentEnv.insert("PEALIX_AUDIO_SINK", "fakesink");
    agent.setProcessEnvironment(agentEnv);
    agent.setProcessChannelMode(QProcess::ForwardedChannels);
    agent.start(agentBundleDir() + "/Contents/Linux/PealixTool", {});
    ASSERT_TRUE(agent.waitForStarted(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return tray.docked; }, 5000)) << "no dock request in 5 s";
    agent.terminate();
    agent.waitForFinished(5000);
}

int main(int argc, char** argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || QByteArray(argv[i]).startsWith("--gtest_list_tests");
    // Both must exist before the application object: xcb needs the display, Qt binds the session bus once.
    std::optional<XServer> display;
    std::optional<PrivateBus> privateBus;
    if (listing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        display.emplace();
        if (!display->isRunning()) {
            fprintf(stderr, "Xvfb did not start\n");
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", "xcb");
        privateBus.emplace();
        bus = &*privateBus;
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
