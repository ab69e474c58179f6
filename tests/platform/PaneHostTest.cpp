// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The pane host, run as the program that LaunchServices starts, watched over its D-Bus interface.

#include "platform/panes/PaneHostInterface.h"
#include "platform/workspace/LaunchServices.h"
#include "platform/workspace/Workspace.h"
#include "testsupport/PrivateBus.h"
#include "testsupport/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace PaneHost = platform::PaneHostInterface;

// Readable failures; found by argument-dependent lookup, so at global scope.
static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

PrivateBus* const& bus = PrivateBus::forProgram();

QByteArray infoPlist(const QByteArrayList& keysAndValues)
{
    QByteArray plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (qsizetype i = 0; i + 1 < keysAndValues.size(); i += 2)
        plist += "<key>" + keysAndValues[i] + "</key><string>" + keysAndValues[i + 1] + "</string>\n";
    return plist + "</dict>\n</plist>\n";
}

QByteArray fileBytes(const char* path)
{
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QDBusMessage call(const QString& method, const QVariantList& arguments = {},
                  const QString& path = PaneHost::objectPath,
                  const QString& interface = PaneHost::interfaceName)
{
    QDBusMessage message = QDBusMessage::createMethodCall(PaneHost::busName, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
}

QString text(const QString& method)
{
    const QDBusMessage reply = call(method);
    return reply.arguments().isEmpty() ? QStringLiteral("<%1>").arg(reply.errorMessage())
                                       : reply.arguments().constFirst().toString();
}

QString paneReport()
{
    const QDBusMessage reply = call(QStringLiteral("Report"), {}, QStringLiteral("/TestPane"),
                                    QStringLiteral("org.example.TestPane"));
    return reply.arguments().isEmpty() ? reply.errorMessage() : reply.arguments().constFirst().toString();
}

class PaneHostTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus && bus->isRunning());
        ASSERT_FALSE(platform::LaunchServices::paneHost().isEmpty());
    }

    void TearDown() override
    {
        if (m_host && m_host->state() != QProcess::NotRunning) {
            call(QStringLiteral("Quit"));
            if (!m_host->waitForFinished(5000))
                m_host->kill();
            m_host->waitForFinished(2000);
        }
    }

    // A bundle Name.prefPane below the test's home holding Info.plist and, when given, the library bytes.
    QString makePane(const QString& name, const QByteArray& info, const QByteArray& library = {},
                     const QString& libraryName = {}) const
    {
        const QString bundle = QStringLiteral("panes/") + name + QStringLiteral(".prefPane");
        env.writeFile(bundle + QStringLiteral("/Contents/Info.plist"), info);
        if (!library.isNull())
            env.writeFile(bundle + QStringLiteral("/Contents/Linux/") +
                              (libraryName.isEmpty() ? name : libraryName) + QStringLiteral(".so"),
                          library);
        return env.root() + QLatin1Char('/') + bundle;
    }

    QString testPane(const QByteArray& name, const QByteArray& identifier) const
    {
        return makePane(QString::fromLatin1(name),
                        infoPlist({"CFBundleIdentifier", identifier, "NSPrincipalClass", "TestPane",
                                   "NSPrefPaneIconLabel", "Label of " + name}),
                        fileBytes(TEST_PANE));
    }

    // Starts the host and waits until it holds its name.
    void startHost(const QStringList& arguments)
    {
        m_host = std::make_unique<QProcess>();
        m_host->start(platform::LaunchServices::paneHost(), arguments);
        ASSERT_TRUE(m_host->waitForStarted(5000));
        QDBusConnectionInterface* names = QDBusConnection::sessionBus().interface();
        QDeadlineTimer deadline(10000);
        while (!names->isServiceRegistered(PaneHost::busName) && !deadline.hasExpired() &&
               m_host->state() == QProcess::Running)
            QTest::qWait(20);
        ASSERT_TRUE(names->isServiceRegistered(PaneHost::busName))
            << m_host->readAllStandardError().toStdString();
    }

    TestEnvironment env;
    std::unique_ptr<QProcess> m_host;
};

TEST_F(PaneHostTest, shows_the_pane_under_its_label_with_the_hosts_services_and_quits_when_asked)
{
    startHost({testPane("Alpha", "org.example.alpha")});
    EXPECT_EQ(text(QStringLiteral("Title")), QStringLiteral("Label of Alpha"));
    EXPECT_EQ(text(QStringLiteral("CurrentPaneIdentifier")), QStringLiteral("org.example.alpha"));
    EXPECT_EQ(text(QStringLiteral("Message")), QString());
    EXPECT_EQ(paneReport(), QStringLiteral("loadMainView mainViewDidLoad:inWindow didSelect shared"));

    // Update coordination finds the host among the running applications by its bundle identifier.
    bool listed = false;
    for (const QVariant& application : platform::Workspace::sharedWorkspace()->launchedApplications()) {
        const QVariantMap map = application.toMap();
        if (map.value(platform::NSApplicationProcessIdentifier).toLongLong() == m_host->processId())
            listed =
                map.value(platform::NSApplicationBundleIdentifier).toString() == PaneHost::bundleIdentifier;
    }
    EXPECT_TRUE(listed);

    EXPECT_EQ(call(QStringLiteral("Quit")).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(m_host->waitForFinished(5000));
    EXPECT_EQ(m_host->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_host->exitCode(), 0);
}

TEST_F(PaneHostTest, a_second_start_hands_its_pane_to_the_running_host_and_exits)
{
    startHost({testPane("Alpha", "org.example.alpha")});
    testPane("Beta", "org.example.beta");

    // Given relative to its own working directory, as a shell would.
    QProcess second;
    second.setWorkingDirectory(env.root() + QStringLiteral("/panes"));
    second.start(platform::LaunchServices::paneHost(), {QStringLiteral("Beta.prefPane")});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

    EXPECT_EQ(text(QStringLiteral("CurrentPaneIdentifier")), QStringLiteral("org.example.beta"));
    EXPECT_EQ(text(QStringLiteral("Title")), QStringLiteral("Label of Beta"));
    // A fresh pane, and the first one gone with its bus object.
    EXPECT_EQ(paneReport(), QStringLiteral("loadMainView mainViewDidLoad:inWindow didSelect shared"));

    // Without a pane a second start only raises the window.
    QProcess third;
    third.start(platform::LaunchServices::paneHost(), {});
    ASSERT_TRUE(third.waitForFinished(10000));
    EXPECT_EQ(third.exitCode(), 0);
    EXPECT_EQ(text(QStringLiteral("CurrentPaneIdentifier")), QStringLiteral("org.example.beta"));
    EXPECT_EQ(m_host->state(), QProcess::Running);
}

TEST_F(PaneHostTest, a_pane_asked_to_go_while_its_dialog_runs_goes_once_the_dialog_closed)
{
    const QString modal = makePane(QStringLiteral("Modal"),
                                   infoPlist({"CFBundleIdentifier", "org.example.modal", "NSPrincipalClass",
                                              "ModalPane", "NSPrefPaneIconLabel", "Modal"}),
                                   fileBytes(TEST_PANE));
    startHost({modal});
    const QDBusMessage reply = call(QStringLiteral("ShowPane"), {testPane("Beta", "org.example.beta")});
    EXPECT_TRUE(reply.arguments().value(0).toBool()) << reply.errorMessage().toStdString();
    EXPECT_EQ(text(QStringLiteral("CurrentPaneIdentifier")), QStringLiteral("org.example.modal"));

    call(QStringLiteral("CloseDialog"), {}, QStringLiteral("/TestPane"),
         QStringLiteral("org.example.TestPane"));
    QDeadlineTimer deadline(5000);
    while (text(QStringLiteral("CurrentPaneIdentifier")) != QLatin1String("org.example.beta") &&
           !deadline.hasExpired())
        QTest::qWait(20);
    EXPECT_EQ(text(QStringLiteral("CurrentPaneIdentifier")), QStringLiteral("org.example.beta"));
    EXPECT_EQ(paneReport(), QStringLiteral("loadMainView mainViewDidLoad:inWindow didSelect shared"));
    EXPECT_EQ(m_host->state(), QProcess::Running);
}

TEST_F(PaneHostTest, quit_while_the_first_panes_dialog_runs_ends_the_host)
{
    startHost(
        {makePane(QStringLiteral("Modal"),
                  infoPlist({"CFBundleIdentifier", "org.example.modal", "NSPrincipalClass", "ModalPane"}),
                  fileBytes(TEST_PANE))});
    call(QStringLiteral("Quit"));
    ASSERT_TRUE(m_host->waitForFinished(5000));
    EXPECT_EQ(m_host->exitCode(), 0);
}

TEST_F(PaneHostTest, without_a_pane_it_lists_the_installed_ones_the_users_first)
{
    const QString user = env.root() + QStringLiteral("/user"),
                  system = env.root() + QStringLiteral("/system");
    for (const QString& path :
         {user + "/PreferencePanes/Same.prefPane", system + "/PreferencePanes/Same.prefPane",
          system + "/PreferencePanes/Other.prefPane", user + "/PreferencePanes/NotAPane"})
        QDir().mkpath(path);
    qputenv("PEALIX_LIBRARY_DIRS", (user + ':' + system).toLocal8Bit());
    startHost({});
    qunsetenv("PEALIX_LIBRARY_DIRS");

    const QDBusMessage reply = call(QStringLiteral("ListedPanes"));
    EXPECT_EQ(
        reply.arguments().value(0).toStringList(),
        QStringList({user + "/PreferencePanes/Same.prefPane", system + "/PreferencePanes/Other.prefPane"}));
    EXPECT_EQ(text(QStringLiteral("Title")), QStringLiteral("Preferences"));
}

TEST_F(PaneHostTest, a_pane_that_cannot_load_shows_why_and_the_host_carries_on)
{
    const QByteArray pane = fileBytes(TEST_PANE);
    const auto info = [](const QByteArray& principalClass) {
        return infoPlist({"CFBundleIdentifier", "org.example.broken", "NSPrincipalClass", principalClass,
                          "NSPrefPaneIconLabel", "Broken"});
    };
    const struct {
        QString path;
        QString says;
    } cases[] = {
        {env.root() + QStringLiteral("/panes/Nowhere.prefPane"), QStringLiteral("no preference pane")},
        {makePane(QStringLiteral("NoClass"), infoPlist({"NSPrefPaneIconLabel", "Broken"}), pane),
         QStringLiteral("names no principal class")},
        {makePane(QStringLiteral("Garbled"), "\x01\x02<plist", pane),
         QStringLiteral("names no principal class")},
        {makePane(QStringLiteral("NoLibrary"), info("TestPane")), QStringLiteral("has no library")},
        {makePane(QStringLiteral("Corrupt"), info("TestPane"), QByteArray(4096, '\x7f')),
         QStringLiteral("cannot be loaded")},
        {makePane(QStringLiteral("Plain"), info("TestPane"), fileBytes(NOT_A_PANE)),
         QStringLiteral("is not a preference pane")},
        {makePane(QStringLiteral("Unknown"), info("NoSuchPane"), pane),
         QStringLiteral("has no class “NoSuchPane”")},
        {makePane(QStringLiteral("Older"), info("TestPane"), fileBytes(TEST_PANE_OTHER_VERSION)),
         QStringLiteral("interface version 99")},
        {makePane(QStringLiteral("Escape"),
                  infoPlist({"CFBundleExecutable", "../../Escape", "NSPrincipalClass", "TestPane"}), pane),
         QStringLiteral("invalid library")},
    };

    startHost({testPane("Alpha", "org.example.alpha")});
    for (const auto& broken : cases) {
        SCOPED_TRACE(broken.path.toStdString());
        const QDBusMessage reply = call(QStringLiteral("ShowPane"), {broken.path});
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        EXPECT_FALSE(reply.arguments().value(0).toBool());
        EXPECT_TRUE(text(QStringLiteral("Message")).contains(broken.says))
            << text(QStringLiteral("Message")).toStdString();
        EXPECT_EQ(text(QStringLiteral("CurrentPaneIdentifier")), QString());
    }

    // Still whole: a good pane shows again.
    EXPECT_TRUE(call(QStringLiteral("ShowPane"), {testPane("Beta", "org.example.beta")})
                    .arguments()
                    .value(0)
                    .toBool());
    EXPECT_EQ(text(QStringLiteral("CurrentPaneIdentifier")), QStringLiteral("org.example.beta"));
    EXPECT_EQ(text(QStringLiteral("Message")), QString());

    call(QStringLiteral("Quit"));
    ASSERT_TRUE(m_host->waitForFinished(5000));
    EXPECT_EQ(m_host->exitCode(), 0);
    // One line for each pane that did not load.
    const QList<QByteArray> lines = m_host->readAllStandardError().split('\n');
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const QByteArray& line) { return line.startsWith("pealix-panehost: "); }),
              std::size(cases));
}

} // namespace
