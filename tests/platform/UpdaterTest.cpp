// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The updater against a loopback HTTP server: a v1 under a temporary prefix finds and installs v2, and
// every kind of bad offer is refused with v1 left whole.

#include "platform/update/Updater.h"
#include "platform/bundles/Bundle.h"
#include "platform/core/ApplicationIdentity.h"
#include "platform/settings/PropertyList.h"
#include "platform/update/UpdateFeed.h"
#include "testsupport/TestEnvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <archive.h>
#include <archive_entry.h>
#include <functional>
#include <gtest/gtest.h>
#include <sodium.h>

namespace {

const QString paneId = QStringLiteral("com.quorlenvik.pealix");
const QString agentExe = QStringLiteral("Contents/Resources/PealixTool.app/Contents/Linux/PealixTool");

struct KeyPair {
    QByteArray pk{crypto_sign_PUBLICKEYBYTES, '\0'};
    QByteArray sk{crypto_sign_SECRETKEYBYTES, '\0'};
    KeyPair()
    {
        EXPECT_EQ(sodium_init() >= 0, true);
        crypto_sign_keypair(reinterpret_cast<unsigned char*>(pk.data()),
                            reinterpret_cast<unsigned char*>(sk.data()));
    }
    QByteArray sign(const QByteArray& m) const
    {
        QByteArray sig(crypto_sign_BYTES, '\0');
        crypto_sign_detached(reinterpret_cast<unsigned char*>(sig.data()), nullptr,
                             reinterpret_cast<const unsigned char*>(m.constData()), m.size(),
                             reinterpret_cast<const unsigned char*>(sk.constData()));
        return sig;
    }
    QByteArray signPrehashed(const QByteArray& m) const
    {
        crypto_sign_state st;
        crypto_sign_init(&st);
        crypto_sign_update(&st, reinterpret_cast<const unsigned char*>(m.constData()), m.size());
        QByteArray sig(crypto_sign_BYTES, '\0');
        crypto_sign_final_create(&st, reinterpret_cast<unsigned char*>(sig.data()), nullptr,
                                 reinterpret_cast<const unsigned char*>(sk.constData()));
        return sig;
    }
};

struct Entry {
    QString path;
    QByteArray content;
    QString link; // a symlink when set
    bool dir = false;
    int mode = 0644;
};

Entry file(const QString& path, const QByteArray& content, int mode = 0644)
{
    return Entry{path, content, QString(), false, mode};
}

Entry symlink(const QString& path, const QString& target)
{
    return Entry{path, QByteArray(), target, false, 0777};
}

QByteArray tarOf(const QList<Entry>& entries)
{
    QTemporaryFile out;
    EXPECT_TRUE(out.open());
    struct archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    archive_write_add_filter_xz(a);
    archive_write_open_filename(a, QFile::encodeName(out.fileName()).constData());
    for (const Entry& e : entries) {
        struct archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.path.toUtf8().constData());
        if (!e.link.isEmpty()) {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, e.link.toUtf8().constData());
            archive_entry_set_perm(entry, 0777);
        } else if (e.dir) {
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, e.mode);
            archive_entry_set_size(entry, e.content.size());
        }
        archive_write_header(a, entry);
        if (!e.content.isEmpty())
            archive_write_data(a, e.content.constData(), e.content.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    return out.readAll();
}

QByteArray paneInfo(const QString& version, const QString& id = paneId)
{
    return platform::PropertyList::toXml(QVariantMap{
        {QStringLiteral("CFBundleIdentifier"), id}, {QStringLiteral("CFBundleShortVersionString"), version}});
}

QList<Entry> paneEntries(const QString& version, const QString& id = paneId)
{
    return {file(QStringLiteral("Pealix.prefPane/Contents/Info.plist"), paneInfo(version, id)),
            file(QStringLiteral("Pealix.prefPane/") + agentExe,
                 "#!/bin/sh\necho PealixTool " + version.toUtf8() + "\n", 04755),
            file(QStringLiteral("Pealix.prefPane/Contents/Resources/notes"), "v" + version.toUtf8())};
}

// Answers GET requests from a table; a path marked truncated announces its full length and closes early.
// As a proxy it serves only its own address, and notes every address it was asked for.
class LoopbackServer : public QObject {
public:
    LoopbackServer()
    {
        server.listen(QHostAddress::LocalHost);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                ++connections;
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray request = s->readAll();
                    QByteArray path = request.split(' ').value(1);
                    requested.append(path);
                    if (path.startsWith("http://")) {
                        const QUrl asked(QString::fromUtf8(path));
                        path = asked.host() == QLatin1String("127.0.0.1") ? asked.path().toUtf8() : "/none";
                    }
                    if (redirects.contains(path)) {
                        s->write("HTTP/1.1 302 Found\r\nLocation: " + redirects.value(path) +
                                 "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                        s->disconnectFromHost();
                        return;
                    }
                    const QByteArray body = files.value(path);
                    if (trickled.contains(path)) {
                        // One byte at a time: never still long enough for a stall to be noticed.
                        s->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                                 "\r\nConnection: close\r\n\r\n");
                        auto* drip = new QTimer(s);
                        connect(drip, &QTimer::timeout, s, [s, body, sent = qsizetype(0)]() mutable {
                            if (sent < body.size())
                                s->write(body.mid(sent++, 1));
                        });
                        drip->start(100);
                        return;
                    }
                    const bool cut = truncated.contains(path);
                    s->write("HTTP/1.1 " + QByteArray(files.contains(path) ? "200 OK" : "404 Not Found") +
                             "\r\nContent-Length: " + QByteArray::number(body.size()) +
                             "\r\nConnection: close\r\n\r\n");
                    // A stalled path sends its first half and then nothing, keeping the connection open.
                    s->write(cut || stalled.contains(path) ? body.left(body.size() / 2) : body);
                    if (!stalled.contains(path))
                        s->disconnectFromHost();
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path);
    }
    QTcpServer server;
    QHash<QByteArray, QByteArray> files;
    QSet<QByteArray> truncated;
    QSet<QByteArray> stalled;
    QSet<QByteArray> trickled;
    QHash<QByteArray, QByteArray> redirects;
    QList<QByteArray> requested;
    int connections = 0;
};

class Delegate : public platform::UpdaterDelegate {
public:
    std::optional<QString> updaterInstallTargetPath() override { return target; }
    QString target;
};

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_savedState = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QFile::encodeName(env.root() + QStringLiteral("/state")));
        qputenv("PEALIX_UPDATE_POLICY_FILE", QFile::encodeName(env.root() + QStringLiteral("/no-policy")));
        qputenv("PEALIX_UPDATE_STALL_MS", "1000");
        panes = env.root() + QStringLiteral("/prefix/lib/PreferencePanes");
        pane = panes + QStringLiteral("/Pealix.prefPane");
        env.writeFile(QStringLiteral("prefix/lib/PreferencePanes/Pealix.prefPane/Contents/Info.plist"),
                      paneInfo(QStringLiteral("1.0.0")));
        env.writeFile(QStringLiteral("prefix/lib/PreferencePanes/Pealix.prefPane/") + agentExe,
                      "#!/bin/sh\n");
        delegate.target = pane;
    }
    void TearDown() override
    {
        qputenv("XDG_STATE_HOME", m_savedState);
        qunsetenv("PEALIX_UPDATE_STALL_MS");
    }

    // The agent bundle's Info.plist with the updater's settings.
    std::unique_ptr<platform::Updater> makeUpdater(const QString& feedUrl)
    {
        const QString agent = pane + QStringLiteral("/Contents/Resources/PealixTool.app");
        QVariantMap info{
            {QStringLiteral("CFBundleExecutable"), QStringLiteral("PealixTool")},
            {QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.0.0")},
            {QStringLiteral("PealixUpdateIdentifier"), paneId},
            {QStringLiteral("PealixUpdateFeedURL"), feedUrl},
            {QStringLiteral("PealixUpdatePublicKey"), QString::fromLatin1(oldKey.pk.toBase64())},
            {QStringLiteral("PealixUpdateNextPublicKey"), QString::fromLatin1(key.pk.toBase64())}};
        QFile f(agent + QStringLiteral("/Contents/Info.plist"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(platform::PropertyList::toXml(info));
        f.close();
        auto updater = std::make_unique<platform::Updater>(platform::Bundle(agent));
        updater->setDelegate(&delegate);
        updater->setWindowsWithoutDisplay(true);
        updater->setRestartHandler([this](const QString& exe) { restartedFrom.append(exe); });
        return updater;
    }

    QJsonObject feedBody(const QString& version, const QByteArray& archive, const KeyPair& signer)
    {
        unsigned char digest[crypto_hash_sha256_BYTES];
        crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(archive.constData()),
                           archive.size());
        return {{"identifier", paneId},
                {"version", version},
                {"url", "/Pealix.tar.xz"},
                {"size", archive.size()},
                {"sha256",
                 QString::fromLatin1(QByteArray(reinterpret_cast<char*>(digest), sizeof digest).toHex())},
                {"signature", QString::fromLatin1(signer.signPrehashed(archive).toBase64())},
                {"expires", QDateTime::currentDateTimeUtc().addDays(30).toString(Qt::ISODate)},
                {"notes", "Better bells."}};
    }
    static QByteArray feedOf(const QJsonObject& body, const KeyPair& signer)
    {
        const QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);
        return QJsonDocument(QJsonObject{{"signed", QString::fromLatin1(bytes.toBase64())},
                                         {"signature", QString::fromLatin1(signer.sign(bytes).toBase64())}})
            .toJson();
    }
    void publish(const QByteArray& archive, const QByteArray& feed)
    {
        server.files["/Pealix.tar.xz"] = archive;
        server.files["/feed"] = feed;
    }

    // Runs one interactive check, pressing `button` in the offer window when there is one; returns the
    // name of the last window shown, or "finished" when the check ended without one.
    QString runCheck(platform::Updater& updater, const QString& button = QStringLiteral("install"))
    {
        QSignalSpy finished(&updater, &platform::Updater::checkFinished);
        updater.checkForUpdates();
        EXPECT_TRUE(updater.updateInProgress());
        QString last;
        for (QDeadlineTimer deadline(30000); !deadline.hasExpired() && finished.isEmpty();) {
            QTest::qWait(25);
            auto* box = qobject_cast<QMessageBox*>(updater.currentWindow());
            if (!box || !box->isVisible())
                continue;
            last = box->objectName();
            for (QAbstractButton* b : box->buttons()) {
                if (last == QLatin1String("updateAvailable") ? b->objectName() == button : true) {
                    b->click();
                    break;
                }
            }
        }
        EXPECT_FALSE(finished.isEmpty());
        EXPECT_FALSE(updater.updateInProgress());
        return last;
    }

    QString installedVersion() const
    {
        return platform::Bundle(pane)
            .infoDictionary()
            .value(QStringLiteral("CFBundleShortVersionString"))
            .toString();
    }
    QStringList leftovers() const
    {
        return QDir(panes).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    TestEnvironment env;
    QByteArray m_savedState;
    QString panes, pane;
    KeyPair key, oldKey;
    LoopbackServer server;
    Delegate delegate;
    QStringList restartedFrom;
};

TEST_F(UpdaterTest, v1_installs_v2_over_the_pane_and_restarts_from_it)
{
    // A large file to unpack: a chime's timer on the main thread must keep its beat meanwhile.
    QList<Entry> entries = paneEntries(QStringLiteral("2.0.0"));
    entries.append(file(QStringLiteral("Pealix.prefPane/Contents/Resources/large"),
                        QByteArray(192 * 1024 * 1024, '\0')));
    const QByteArray archive = tarOf(entries);
    publish(archive, feedOf(feedBody(QStringLiteral("2.0.0"), archive, key), key));
    auto updater = makeUpdater(server.url(QStringLiteral("/feed")));
    QSignalSpy restart(updater.get(), &platform::Updater::willRestart);
    QElapsedTimer sinceBeat;
    qint64 longestGap = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceBeat.restart()); });
    beat.start(20);
    sinceBeat.start();

    EXPECT_EQ(runCheck(*updater), QStringLiteral("updateAvailable"));
    EXPECT_LT(longestGap, 250);
    EXPECT_EQ(installedVersion(), QStringLiteral("2.0.0"));
    EXPECT_EQ(restart.size(), 1);
    EXPECT_EQ(restartedFrom, QStringList{pane + QLatin1Char('/') + agentExe});
    EXPECT_EQ(QFileInfo(pane + QLatin1Char('/') + agentExe).permissions() & QFileDevice::ExeOwner,
              QFileDevice::ExeOwner);
    // Set-user-ID bits of the archive are masked away.
    EXPECT_FALSE(QFileInfo(pane + QLatin1Char('/') + agentExe).permissions() & 04000);

    // The previous version is kept beside it until the next installation.
    EXPECT_EQ(leftovers().size(), 2);
    const QVariantMap state =
        platform::PropertyList::readFile(updater->stateFilePath()).value_or(QVariant()).toMap();
    EXPECT_EQ(state.value(QStringLiteral("HighestSeenVersion")).toString(), QStringLiteral("2.0.0"));
}

const KeyPair& strangerKey()
{
    static KeyPair k;
    return k;
}

QByteArray reSign(const QJsonObject& body, const KeyPair& k)
{
    const QByteArray bytes = QJsonDocument(body).toJson(QJsonDocument::Compact);
    return QJsonDocument(QJsonObject{{"signed", QString::fromLatin1(bytes.toBase64())},
                                     {"signature", QString::fromLatin1(k.sign(bytes).toBase64())}})
        .toJson();
}

TEST_F(UpdaterTest, bad_offers_are_refused_and_leave_v1_whole)
{
    struct Case {
        const char* name;
        QList<Entry> entries;
        std::function<void(QByteArray& archive, QJsonObject& body)> spoilBeforeSigning;
        std::function<void(QByteArray& archive, QByteArray& feed)> spoilAfterSigning;
        const char* window = "updateError";
    };
    const QList<Entry> good = paneEntries(QStringLiteral("2.0.0"));
    auto with = [&good](Entry extra) {
        QList<Entry> list = good;
        list.append(extra);
        return list;
    };
    const QList<Case> cases = {
        {"tampered archive",
         good,
         {},
         [](QByteArray& a, QByteArray&) { a[a.size() / 2] = char(a[a.size() / 2] ^ 1); }},
        {"tampered feed",
         good,
         {},
         [](QByteArray&, QByteArray& f) {
             QJsonObject o = QJsonDocument::fromJson(f).object();
             QJsonObject b =
                 QJsonDocument::fromJson(QByteArray::fromBase64(o["signed"].toString().toLatin1())).object();
             b["version"] = "9.0.0";
             o["signed"] = QString::fromLatin1(QJsonDocument(b).toJson(QJsonDocument::Compact).toBase64());
             f = QJsonDocument(o).toJson();
         }},
        {"unsigned feed",
         good,
         {},
         [](QByteArray&, QByteArray& f) {
             QJsonObject o = QJsonDocument::fromJson(f).object();
             o.remove("signature");
             f = QJsonDocument(o).toJson();
         }},
        {"wrong key", good, [](QByteArray&, QJsonObject& b) { b["__stranger"] = true; }, {}},
        {"other product",
         good,
         [](QByteArray&, QJsonObject& b) { b["identifier"] = "com.example.other"; },
         {}},
        {"expired",
         good,
         [](QByteArray&, QJsonObject& b) {
             b["expires"] = QDateTime::currentDateTimeUtc().addSecs(-60).toString(Qt::ISODate);
         },
         {}},
        {"older version",
         paneEntries(QStringLiteral("0.9.0")),
         [](QByteArray&, QJsonObject& b) { b["version"] = "0.9.0"; },
         {},
         "upToDate"},
        {"bundle of another version", good, [](QByteArray&, QJsonObject& b) { b["version"] = "3.0.0"; }, {}},
        {"dot-dot entry", with(file(QStringLiteral("Pealix.prefPane/../../../evil"), "x")), {}, {}},
        {"absolute entry", with(file(env.root() + QStringLiteral("/evil"), "x")), {}, {}},
        {"escaping symlink",
         with(symlink(QStringLiteral("Pealix.prefPane/Contents/out"), QStringLiteral("../../../.."))),
         {},
         {}},
        {"absolute symlink",
         with(symlink(QStringLiteral("Pealix.prefPane/Contents/out"), env.root())),
         {},
         {}},
        {"write through symlink",
         [&] {
             QList<Entry> l = good;
             l.prepend(symlink(QStringLiteral("Pealix.prefPane/Contents/Resources"),
                               QStringLiteral("../Contents")));
             return l;
         }(),
         {},
         {}},
        {"new agent that exits at once",
         [&] {
             QList<Entry> l = good;
             l[1].content = "#!/bin/sh\nexit 1\n";
             return l;
         }(),
         {},
         {}},
        {"truncated download",
         good,
         {},
         [this](QByteArray&, QByteArray&) { server.truncated.insert("/Pealix.tar.xz"); }},
        {"stalled download",
         good,
         {},
         [this](QByteArray&, QByteArray&) { server.stalled.insert("/Pealix.tar.xz"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.truncated.clear();
        server.stalled.clear();
        QFile::remove(env.root() + QStringLiteral("/state/pealix/updater.plist"));
        QByteArray archive = tarOf(c.entries);
        QJsonObject body = feedBody(QStringLiteral("2.0.0"), archive, key);
        const bool stranger =
            c.spoilBeforeSigning && (c.spoilBeforeSigning(archive, body), body.contains("__stranger"));
        body.remove("__stranger");
        QByteArray feed = reSign(body, stranger ? strangerKey() : key);
        if (c.spoilAfterSigning)
            c.spoilAfterSigning(archive, feed);
        publish(archive, feed);
        auto updater = makeUpdater(server.url(QStringLiteral("/feed")));
        EXPECT_EQ(runCheck(*updater), QString::fromLatin1(c.window));
        EXPECT_EQ(installedVersion(), QStringLiteral("1.0.0"));
        EXPECT_TRUE(QFileInfo(pane + QLatin1Char('/') + agentExe).isFile());
        EXPECT_EQ(leftovers(), QStringList{QStringLiteral("Pealix.prefPane")});
        EXPECT_FALSE(QFileInfo::exists(env.root() + QStringLiteral("/evil")));
        EXPECT_TRUE(restartedFrom.isEmpty());
    }
}

TEST_F(UpdaterTest, replayed_older_feed_after_a_newer_one_is_refused)
{
    const QByteArray v3 = tarOf(paneEntries(QStringLiteral("3.0.0")));
    publish(v3, feedOf(feedBody(QStringLiteral("3.0.0"), v3, key), key));
    auto updater = makeUpdater(server.url(QStringLiteral("/feed")));
    EXPECT_EQ(runCheck(*updater, QStringLiteral("later")), QStringLiteral("updateAvailable"));

    const QByteArray v2 = tarOf(paneEntries(QStringLiteral("2.0.0")));
    publish(v2, feedOf(feedBody(QStringLiteral("2.0.0"), v2, key), key));
    EXPECT_EQ(runCheck(*updater), QStringLiteral("updateError"));
    EXPECT_EQ(installedVersion(), QStringLiteral("1.0.0"));
}

TEST_F(UpdaterTest, a_build_without_a_feed_under_a_policy_or_of_a_package_says_so_and_asks_no_one)
{
    // The updater names the product its program gave it.
    platform::setApplicationIdentity(
        {QStringLiteral("Pealix"), QStringLiteral("org.example.updater-test"), {}});
    auto updater = makeUpdater(QString());
    EXPECT_FALSE(updater->isConfigured());
    // Said as information, in words for the person who pressed the button.
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(updater->currentWindow())) {
            icon = box->icon();
            text = box->informativeText();
        }
    });
    look.start(5);
    EXPECT_EQ(runCheck(*updater), QStringLiteral("updatesNotConfigured"));
    look.stop();
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_EQ(text, QStringLiteral("This copy of Pealix is updated by the program that installed it."));

    const QByteArray archive = tarOf(paneEntries(QStringLiteral("2.0.0")));
    publish(archive, feedOf(feedBody(QStringLiteral("2.0.0"), archive, key), key));
    env.writeFile(QStringLiteral("no-policy"), "");
    auto managed = makeUpdater(server.url(QStringLiteral("/feed")));
    EXPECT_EQ(runCheck(*managed), QStringLiteral("updatesDisabled"));
    EXPECT_EQ(server.connections, 0);
    EXPECT_EQ(installedVersion(), QStringLiteral("1.0.0"));

    // An installation the package manager owns, with a feed and no policy: said, and nothing asked.
    ASSERT_TRUE(QFile::remove(env.root() + QStringLiteral("/no-policy")));
    env.writeFile(QStringLiteral("programs/installed-by-package-manager"), "dpkg\n");
    qputenv("PEALIX_PROGRAMS_DIR", QFile::encodeName(env.root() + QStringLiteral("/programs")));
    updater = makeUpdater(server.url(QStringLiteral("/feed")));
    text.clear();
    look.start(5);
    EXPECT_EQ(runCheck(*updater), QStringLiteral("updatesByPackageManager"));
    look.stop();
    qunsetenv("PEALIX_PROGRAMS_DIR");
    EXPECT_EQ(text, QStringLiteral("Pealix is updated by your system's package manager."));
    EXPECT_EQ(server.connections, 0);
    EXPECT_EQ(installedVersion(), QStringLiteral("1.0.0"));
}

TEST(UpdateFeedTest, versions_compare_by_number_and_reject_what_is_not_one)
{
    using platform::update::compareVersions;
    EXPECT_EQ(compareVersions(QStringLiteral("1.10"), QStringLiteral("1.9")), 1);
    EXPECT_EQ(compareVersions(QStringLiteral("1.0"), QStringLiteral("1.0.0")), 0);
    EXPECT_EQ(compareVersions(QStringLiteral("1.0.0"), QStringLiteral("1.0.1")), -1);
    for (const char* bad : {"", "1..2", "1.-2", "1.2a", " 1", "1.+2", "99999999999999999999"})
        EXPECT_FALSE(compareVersions(QString::fromLatin1(bad), QStringLiteral("1")).has_value()) << bad;
    EXPECT_FALSE(platform::update::isAllowedUrl(QUrl(QStringLiteral("http://example.org/feed"))));
    EXPECT_TRUE(platform::update::isAllowedUrl(QUrl(QStringLiteral("http://[::1]:80/feed"))));
}

} // namespace

namespace {

// The release tool and the updater agree: what tools/make-update publishes from this build installs over
// an older pane, and the agent in it runs.
TEST_F(UpdaterTest, what_make_update_publishes_installs_and_runs)
{
    const QString out = env.root() + QStringLiteral("/release");
    const QString secret = env.root() + QStringLiteral("/secret.key");
    QProcess keygen;
    keygen.setProcessEnvironment([] {
        auto e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("PEALIX_BUILD_DIR"), QStringLiteral(BUILD_DIR));
        return e;
    }());
    keygen.start(QStringLiteral(MAKE_UPDATE), {QStringLiteral("keygen"), secret});
    ASSERT_TRUE(keygen.waitForFinished(30000));
    ASSERT_EQ(keygen.exitCode(), 0) << keygen.readAllStandardError().toStdString();
    const QByteArray publicKey = QByteArray::fromBase64(keygen.readAllStandardOutput().trimmed());
    EXPECT_EQ(QFileInfo(secret).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);

    QProcess make;
    make.start(QStringLiteral(MAKE_UPDATE), {QStringLiteral(BUILD_DIR), secret, out});
    ASSERT_TRUE(make.waitForFinished(120000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
    const QStringList files = QString::fromUtf8(make.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(files.size(), 2);
    QFile archive(files[0]), feed(files[1]);
    ASSERT_TRUE(archive.open(QIODevice::ReadOnly) && feed.open(QIODevice::ReadOnly));
    server.files["/releases/" + QFileInfo(files[0]).fileName().toUtf8()] = archive.readAll();
    server.files["/releases/feed.json"] = feed.readAll();

    env.writeFile(QStringLiteral("prefix/lib/PreferencePanes/Pealix.prefPane/Contents/Info.plist"),
                  paneInfo(QStringLiteral("0.9.0")));
    key.pk = publicKey;
    auto updater = makeUpdater(server.url(QStringLiteral("/releases/feed.json")));
    // The running agent is older than this build.
    QFile agentInfo(pane + QStringLiteral("/Contents/Resources/PealixTool.app/Contents/Info.plist"));
    ASSERT_TRUE(agentInfo.open(QIODevice::ReadWrite));
    QByteArray plist = agentInfo.readAll().replace("<string>1.0.0</string>", "<string>0.9.0</string>");
    agentInfo.resize(0);
    agentInfo.write(plist);
    agentInfo.close();

    // The prefix's platform library, which an update leaves alone.
    QFile::link(QStringLiteral(BUILD_DIR "/stage/lib/pealix"),
                env.root() + QStringLiteral("/prefix/lib/pealix"));
    EXPECT_EQ(runCheck(*updater), QStringLiteral("updateAvailable"));
    EXPECT_EQ(installedVersion(), QStringLiteral(PEALIX_VERSION));
    ASSERT_EQ(restartedFrom.size(), 1);
    QProcess agent;
    agent.start(restartedFrom.first(), {QStringLiteral("--version")});
    ASSERT_TRUE(agent.waitForFinished(10000));
    EXPECT_EQ(agent.readAllStandardOutput(), QByteArray("PealixTool " PEALIX_VERSION "\n"));
}

} // namespace

namespace {

// The panes folder on a small file system of its own, which the new version does not fit on.
TEST_F(UpdaterTest, a_full_disk_leaves_v1_whole)
{
    QDir().mkpath(panes + QStringLiteral("-small"));
    const QString small = panes + QStringLiteral("-small");
    QProcess mount;
    mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=4m", "tmpfs", small});
    if (!mount.waitForFinished(10000) || mount.exitCode() != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        QString path;
        ~Unmount() { QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), path}); }
    } unmount{small};
    ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), pane, small}), 0);
    pane = small + QStringLiteral("/Pealix.prefPane");
    panes = small;
    delegate.target = pane;

    QByteArray noise(1500 * 1024, '\0');
    randombytes_buf(noise.data(), noise.size());
    QList<Entry> entries = paneEntries(QStringLiteral("2.0.0"));
    entries.append(file(QStringLiteral("Pealix.prefPane/Contents/Resources/noise"), noise));
    entries.append(
        file(QStringLiteral("Pealix.prefPane/Contents/Resources/zeros"), QByteArray(8 << 20, '\0')));
    const QByteArray archive = tarOf(entries);
    publish(archive, feedOf(feedBody(QStringLiteral("2.0.0"), archive, key), key));
    auto updater = makeUpdater(server.url(QStringLiteral("/feed")));
    EXPECT_EQ(runCheck(*updater), QStringLiteral("updateError"));
    EXPECT_EQ(installedVersion(), QStringLiteral("1.0.0"));
    EXPECT_TRUE(QFileInfo(pane + QLatin1Char('/') + agentExe).isFile());
    EXPECT_EQ(leftovers(), QStringList{QStringLiteral("Pealix.prefPane")});
    EXPECT_TRUE(restartedFrom.isEmpty());
}

} // namespace

namespace {

// A kill -9 after any step, or at any moment of the unpacking, leaves a whole v1 or a whole v2, and the
// next installation clears what the killed one left.
TEST_F(UpdaterTest, a_kill_at_any_step_leaves_a_whole_installation)
{
    QList<Entry> entries = paneEntries(QStringLiteral("2.0.0"));
    for (int i = 0; i < 300; ++i)
        entries.append(
            file(QStringLiteral("Pealix.prefPane/Contents/Resources/f%1").arg(i), QByteArray(20000, 'x')));
    QTemporaryFile archive;
    ASSERT_TRUE(archive.open());
    archive.write(tarOf(entries));
    archive.flush();

    auto whole = [this] {
        const QString v = installedVersion();
        return (v == QLatin1String("1.0.0") || v == QLatin1String("2.0.0")) &&
               QFileInfo(pane + QLatin1Char('/') + agentExe).isFile() &&
               (v == QLatin1String("1.0.0") ||
                QFileInfo(pane + QStringLiteral("/Contents/Resources/f299")).size() == 20000);
    };
    auto run = [&](const QString& killAfter, int killAtMs) {
        QProcess probe;
        auto e = QProcessEnvironment::systemEnvironment();
        if (!killAfter.isEmpty())
            e.insert(QStringLiteral("PROBE_KILL_AFTER"), killAfter);
        probe.setProcessEnvironment(e);
        probe.start(QStringLiteral(INSTALL_PROBE), {archive.fileName(), pane, QStringLiteral("2.0.0")});
        EXPECT_TRUE(probe.waitForStarted());
        if (killAtMs >= 0) {
            QTest::qWait(killAtMs);
            probe.kill();
        }
        // It may have ended during the wait already.
        EXPECT_TRUE(probe.state() == QProcess::NotRunning || probe.waitForFinished(20000));
        return probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    };

    for (const char* stepName : {"0", "1", "2", "3"}) {
        SCOPED_TRACE(stepName);
        EXPECT_FALSE(run(QString::fromLatin1(stepName), -1));
        EXPECT_TRUE(whole());
        EXPECT_EQ(installedVersion(),
                  QString::fromLatin1(stepName) == QLatin1String("3") ? "2.0.0" : "1.0.0");
        // Back to v1 for the next round.
        if (installedVersion() == QLatin1String("2.0.0")) {
            QDir(pane).removeRecursively();
            env.writeFile(pane.mid(env.root().size() + 1) + QStringLiteral("/Contents/Info.plist"),
                          paneInfo("1.0.0"));
            env.writeFile(pane.mid(env.root().size() + 1) + QLatin1Char('/') + agentExe, "#!/bin/sh\n");
        }
    }
    for (int ms : {5, 20, 40, 80}) {
        SCOPED_TRACE(ms);
        run(QString(), ms);
        EXPECT_TRUE(whole());
    }
    // Whatever the kills left, a whole installation still comes through, with one staging folder at most.
    EXPECT_TRUE(run(QString(), -1));
    EXPECT_EQ(installedVersion(), QStringLiteral("2.0.0"));
    EXPECT_TRUE(whole());
    EXPECT_LE(leftovers().size(), 2);
}

} // namespace

namespace {

// A link that stays inside can carry the next one out: `up` leads to the bundle's top, and `esc` goes
// through it to a file beside the installation. Published with the release tool, from a build folder
// whose installation is that tree, so the signed archive is exactly what a release would be.
TEST_F(UpdaterTest, a_link_chain_out_of_the_bundle_is_refused)
{
    const QString tree = QStringLiteral("fakebuild/tree/lib/PreferencePanes/Pealix.prefPane/");
    env.writeFile(tree + QStringLiteral("Contents/Info.plist"), paneInfo(QStringLiteral("2.0.0")));
    QFile::setPermissions(env.writeFile(tree + agentExe, "#!/bin/sh\necho PealixTool 2.0.0\n"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString links = env.root() + QLatin1Char('/') + tree + QStringLiteral("Contents/Resources/a");
    QDir().mkpath(links);
    ASSERT_TRUE(QFile::link(QStringLiteral("../../.."), links + QStringLiteral("/up")));
    ASSERT_TRUE(QFile::link(QStringLiteral("up/../../../../outside/secret"), links + QStringLiteral("/esc")));
    env.writeFile(QStringLiteral("outside/secret"), "secret");
    env.writeFile(QStringLiteral("fakebuild/cmake_install.cmake"),
                  "execute_process(COMMAND cp -a \"${CMAKE_CURRENT_LIST_DIR}/tree/.\" "
                  "\"${CMAKE_INSTALL_PREFIX}\" COMMAND_ERROR_IS_FATAL ANY)\n");
    QDir().mkpath(env.root() + QStringLiteral("/fakebuild/tools/updatesign"));
    QFile::link(QStringLiteral(BUILD_DIR "/tools/updatesign/pealix-updatesign"),
                env.root() + QStringLiteral("/fakebuild/tools/updatesign/pealix-updatesign"));

    const QString secret = env.root() + QStringLiteral("/secret.key");
    QProcess tool;
    tool.start(QStringLiteral(MAKE_UPDATE), {QStringLiteral("keygen"), secret});
    ASSERT_TRUE(tool.waitForFinished(30000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    key.pk = QByteArray::fromBase64(tool.readAllStandardOutput().trimmed());
    tool.start(QStringLiteral(MAKE_UPDATE),
               {env.root() + QStringLiteral("/fakebuild"), secret, env.root() + QStringLiteral("/release")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QStringList files = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(files.size(), 2);
    QFile archive(files[0]), feed(files[1]);
    ASSERT_TRUE(archive.open(QIODevice::ReadOnly) && feed.open(QIODevice::ReadOnly));
    server.files["/" + QFileInfo(files[0]).fileName().toUtf8()] = archive.readAll();
    server.files["/feed.json"] = feed.readAll();

    auto updater = makeUpdater(server.url(QStringLiteral("/feed.json")));
    EXPECT_EQ(runCheck(*updater), QStringLiteral("updateError"));
    EXPECT_EQ(installedVersion(), QStringLiteral("1.0.0"));
    EXPECT_TRUE(QFileInfo(pane + QLatin1Char('/') + agentExe).isFile());
    EXPECT_FALSE(QFileInfo::exists(pane + QStringLiteral("/Contents/Resources/a/esc")));
    EXPECT_EQ(leftovers(), QStringList{QStringLiteral("Pealix.prefPane")});
    EXPECT_TRUE(restartedFrom.isEmpty());
}

} // namespace

namespace {

QProcessEnvironment probeEnvironment(const QString& key, const QString& value)
{
    auto e = QProcessEnvironment::systemEnvironment();
    e.insert(key, value);
    return e;
}

// The agent in update-only mode killed at each step of trying the new version (which does not run); then
// any Pealix program that starts, here the agent, puts the working version back.
TEST_F(UpdaterTest, a_kill_while_the_new_version_is_tried_is_undone_at_the_next_start)
{
    QFile::setPermissions(env.writeFile(pane.mid(env.root().size() + 1) + QLatin1Char('/') + agentExe,
                                        "#!/bin/sh\necho PealixTool 1.0.0\n"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QList<Entry> entries = paneEntries(QStringLiteral("2.0.0"));
    entries[1].content = "#!/bin/sh\nexit 1\n";
    const QByteArray archive = tarOf(entries);
    publish(archive, feedOf(feedBody(QStringLiteral("2.0.0"), archive, key), key));
    auto updater = makeUpdater(server.url(QStringLiteral("/feed")));
    const QString agentBundle = pane + QStringLiteral("/Contents/Resources/PealixTool.app");
    const QString policy = env.writeFile(QStringLiteral("updates-off"), "");

    for (const char* step :
         {"recorded the exchange", "exchanged; asking the new agent", "putting the previous version back"}) {
        SCOPED_TRACE(step);
        QProcess probe;
        probe.setProcessEnvironment(
            probeEnvironment(QStringLiteral("PROBE_KILL_AT"), QString::fromLatin1(step)));
        probe.start(QStringLiteral(UPDATER_PROBE), {agentBundle, pane});
        // The probe's own loop answers the server's socket only while the test waits here.
        ASSERT_TRUE(QTest::qWaitFor([&] { return probe.state() == QProcess::NotRunning; }, 30000));
        EXPECT_EQ(probe.exitStatus(), QProcess::CrashExit) << probe.readAllStandardError().toStdString();

        QProcess agent;
        agent.setProcessEnvironment([&] {
            auto e = probeEnvironment(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            e.insert(QStringLiteral("PEALIX_UPDATE_POLICY_FILE"), policy);
            return e;
        }());
        agent.start(QStringLiteral(AGENT_EXECUTABLE), {QStringLiteral("-u")});
        ASSERT_TRUE(agent.waitForFinished(30000));

        EXPECT_EQ(installedVersion(), QStringLiteral("1.0.0"));
        QProcess installed;
        installed.start(pane + QLatin1Char('/') + agentExe, {QStringLiteral("--version")});
        ASSERT_TRUE(installed.waitForFinished(10000));
        EXPECT_EQ(installed.readAllStandardOutput(), QByteArray("PealixTool 1.0.0\n"));
        EXPECT_EQ(leftovers(), QStringList{QStringLiteral("Pealix.prefPane")});
        EXPECT_EQ(QDir(env.root() + QStringLiteral("/state/pealix"))
                      .entryList({QStringLiteral("pending-update-*")}, QDir::Files),
                  QStringList());
    }
}

// Two update-only agents press Install within milliseconds: one installs and says so, the other says an
// update is under way; neither removes what the other is doing.
TEST_F(UpdaterTest, two_updaters_at_once_install_once)
{
    QList<Entry> entries = paneEntries(QStringLiteral("2.0.0"));
    // Long enough that the second press lands while the first is still at work.
    entries[1].content = "#!/bin/sh\nsleep 0.5\necho PealixTool 2.0.0\n";
    const QByteArray archive = tarOf(entries);
    publish(archive, feedOf(feedBody(QStringLiteral("2.0.0"), archive, key), key));
    auto updater = makeUpdater(server.url(QStringLiteral("/feed")));
    const QString agentBundle = pane + QStringLiteral("/Contents/Resources/PealixTool.app");
    const QString go = env.root() + QStringLiteral("/go");

    QProcess first, second;
    QByteArray out[2];
    QProcess* probes[] = {&first, &second};
    for (QProcess* p : probes) {
        p->setProcessEnvironment(probeEnvironment(QStringLiteral("PROBE_GO_FILE"), go));
        p->start(QStringLiteral(UPDATER_PROBE), {agentBundle, pane});
    }
    auto collect = [&] {
        for (int i = 0; i < 2; ++i)
            out[i] += probes[i]->readAllStandardOutput();
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            collect();
            return out[0].contains("offered") && out[1].contains("offered");
        },
        30000));
    env.writeFile(QStringLiteral("go"), "");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            collect();
            return first.state() == QProcess::NotRunning && second.state() == QProcess::NotRunning;
        },
        30000));
    collect();
    const int ok = int(out[0].contains("finished ok")) + int(out[1].contains("finished ok"));
    const int turnedAway =
        int(out[0].contains("window updateUnderWay")) + int(out[1].contains("window updateUnderWay"));
    EXPECT_EQ(ok, 1) << out[0].toStdString() << out[1].toStdString();
    EXPECT_EQ(turnedAway, 1) << out[0].toStdString() << out[1].toStdString();
    EXPECT_EQ(installedVersion(), QStringLiteral("2.0.0"));
    EXPECT_TRUE(QFileInfo(pane + QLatin1Char('/') + agentExe).isExecutable());
}

// A server that trickles a byte at a time never stalls, yet the check ends; a user asking meanwhile
// sees the check that runs. And a redirect is followed to loopback, but not to a plain address elsewhere,
// which the test's proxy would see asked for.
TEST_F(UpdaterTest, slow_servers_and_redirects_elsewhere_end_the_check)
{
    const QByteArray archive = tarOf(paneEntries(QStringLiteral("2.0.0")));
    publish(archive, feedOf(feedBody(QStringLiteral("2.0.0"), archive, key), key));
    server.trickled.insert("/feed");
    auto updater = makeUpdater(server.url(QStringLiteral("/feed")));
    // A check with nobody to show it to, as the daily one without a window so far.
    updater->setWindowsWithoutDisplay(false);
    QSignalSpy finished(updater.get(), &platform::Updater::checkFinished);
    QElapsedTimer took;
    took.start();
    updater->checkForUpdates();
    EXPECT_EQ(updater->currentWindow(), nullptr);
    updater->setWindowsWithoutDisplay(true);
    updater->checkForUpdates();
    ASSERT_NE(updater->currentWindow(), nullptr);
    EXPECT_EQ(updater->currentWindow()->objectName(), QStringLiteral("updateProgress"));
    EXPECT_TRUE(updater->currentWindow()->isVisible());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            auto* box = qobject_cast<QMessageBox*>(updater->currentWindow());
            if (box && box->isVisible() && box->objectName() == QLatin1String("updateError"))
                box->buttons().first()->click();
            return !finished.isEmpty();
        },
        15000));
    EXPECT_FALSE(finished.first().at(0).toBool());
    // Stall periods of a second: given up after the first or second.
    EXPECT_LT(took.elapsed(), 5000);

    server.trickled.clear();
    server.redirects["/moved"] = server.url(QStringLiteral("/feed")).toUtf8();
    auto moved = makeUpdater(server.url(QStringLiteral("/moved")));
    EXPECT_EQ(runCheck(*moved, QStringLiteral("later")), QStringLiteral("updateAvailable"));

    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), server.server.serverPort()));
    struct ResetProxy {
        ~ResetProxy() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
    } resetProxy;
    server.redirects["/moved"] = "http://pealix-update.invalid/feed";
    auto away = makeUpdater(server.url(QStringLiteral("/moved")));
    EXPECT_EQ(runCheck(*away), QStringLiteral("updateError"));
    for (const QByteArray& asked : server.requested)
        EXPECT_FALSE(asked.contains(".invalid")) << asked.toStdString();
    EXPECT_EQ(installedVersion(), QStringLiteral("1.0.0"));
}

} // namespace
