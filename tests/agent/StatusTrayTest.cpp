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

#include <QAction>
#include <QApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

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

// Reads an a(iiay) list of pixmaps; returns the data of the one that is size pixels square.
QByteArray readPixmaps(const QDBusArgument& argument, int size)
{
    QByteArray found;
    argument.beginArray();
    while (!argument.atEnd()) {
        int w, h;
        QByteArray bytes;
        argument.beginStructure();
        argument >> w >> h >> bytes;
        argument.endStructure();
        if (w == size && h == size)
            found = bytes;
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
    readPixmaps(argument, 0);
    argument >> title >> text;
    argument.endStructure();
    return title;
}

// The 16 px pixmap the panel is given (ARGB32, big-endian).
QByteArray panelPixmap16(const PanelWatcherStandIn& panel, const QString& item)
{
    const auto value = itemProperty(panel, item, "IconPixmap");
    if (!value || value->userType() != qMetaTypeId<QDBusArgument>())
        return {};
    const QDBusArgument argument = value->value<QDBusArgument>();
    return readPixmaps(argument, 16);
}

QByteArray bigEndianArgb16(const QString& file)
{
    const QImage image = platform::iconFromImageFile(file)
                             .pixmap(QSize(16, 16))
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
    EXPECT_EQ(toolTipTitle(panel, item), QString());

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
    const QString resources = agentBundleDir() + "/Contents/Resources/";
    const QByteArray barred = bigEndianArgb16(resources + "Pealix16bar.tiff");
    ASSERT_NE(barred, bigEndianArgb16(resources + "Pealix16.tiff"));
    EXPECT_EQ(panelPixmap16(panel, item), barred);

    store({{PrefKeys::pealixMenuActive, false}});
    controller->readPrefs();
    EXPECT_FALSE(controller->statusItem());
    ASSERT_TRUE(goneItems.wait(2000)) << "the icon leaves the panel";
    EXPECT_EQ(goneItems.first().first().toString(), item);
    EXPECT_TRUE(panel.registeredItems().isEmpty());
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
