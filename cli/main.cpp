// SPDX-FileCopyrightText: 2026 The Pealix developers
// SPDX-License-Identifier: GPL-3.0-or-later

// pealix: asks the running agent for its state and pauses, resumes or rings it, over its session-bus
// interface. Exit status: 0 done, 1 no agent (or one that does not answer), 2 a usage error.

#include "cli/Duration.h"
#include "pealixtool1_interface.h"
#include "platform/core/Translations.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cstdio>

namespace {

const QString service = QStringLiteral("com.quorlenvik.PealixTool");
const QString objectPath = QStringLiteral("/com/quorlenvik/PealixTool");
const QString interfaceName = QStringLiteral("com.quorlenvik.PealixTool1");
// An agent that does not answer in this time is taken as hung.
constexpr int answerMs = 5000;

// The command's texts, under its own name.
struct Command {
    Q_DECLARE_TR_FUNCTIONS(pealix)
};

QString usage()
{
    return Command::tr("Usage: pealix COMMAND\n"
                       "Controls the Pealix clock chime of this session.\n"
                       "\n"
                       "Commands:\n"
                       "  status [--json]     say whether Pealix chimes, and when it chimes next\n"
                       "  pause [DURATION]    stay silent for DURATION (30m, 1h, 2h30m), or until resumed\n"
                       "  resume              chime again\n"
                       "  chime               play what this quarter plays, now\n"
                       "  next                say when the next chime sounds and what it plays\n"
                       "  preferences         open the Pealix preferences\n"
                       "\n"
                       "Options:\n"
                       "  --help              show this help and exit\n"
                       "  --version           show the version and exit\n");
}

void out(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
}

void err(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
}

int usageError(const QString& problem = {})
{
    if (!problem.isEmpty())
        err(QStringLiteral("pealix: ") + problem);
    std::fputs(qPrintable(usage()), stderr);
    return 2;
}

// Turns a failed call into the message and status the user sees.
int failed(const QDBusError& error)
{
    if (error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout ||
        error.type() == QDBusError::TimedOut) {
        err(Command::tr("Pealix did not answer within %n seconds.", nullptr, answerMs / 1000));
        return 1;
    }
    err(Command::tr("Pealix is not running. Turn chimes on in its preferences."));
    if (error.type() != QDBusError::ServiceUnknown && error.type() != QDBusError::Disconnected &&
        error.name() != QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        err(QStringLiteral("(%1)").arg(error.message()));
    return 1;
}

std::optional<QVariantMap> properties(const QDBusConnection& bus, int& status)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, objectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    call << interfaceName;
    call.setAutoStartService(false);
    const QDBusReply<QVariantMap> reply = bus.call(call, QDBus::Block, answerMs);
    if (!reply.isValid()) {
        status = failed(reply.error());
        return std::nullopt;
    }
    return reply.value();
}

int openPreferences()
{
    // The launcher beside this program, so that each installation opens its own window.
    const QString launcher = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() +
                             QStringLiteral("/pealix-preferences");
    if (!QProcess::startDetached(launcher, {})) {
        err(Command::tr("Cannot start %1.").arg(launcher));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pealix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PEALIX_VERSION));
    platform::loadTranslations();
    const QStringList args = QCoreApplication::arguments().mid(1);

    if (args.isEmpty())
        return usageError();
    const QString command = args.first();
    if (args == QStringList{QStringLiteral("--help")} || args == QStringList{QStringLiteral("-h")} ||
        args == QStringList{QStringLiteral("help")}) {
        std::fputs(qPrintable(usage()), stdout);
        return 0;
    }
    if (args == QStringList{QStringLiteral("--version")}) {
        out(QStringLiteral("pealix %1").arg(QStringLiteral(PEALIX_VERSION)));
        return 0;
    }

    // Everything is checked before anything is sent.
    const QStringList rest = args.mid(1);
    bool json = false;
    quint32 pauseSeconds = 0;
    if (command == QLatin1String("status")) {
        if (rest.size() > 1 || (rest.size() == 1 && rest.first() != QLatin1String("--json")))
            return usageError(Command::tr("\"status\" takes only --json."));
        json = !rest.isEmpty();
    } else if (command == QLatin1String("pause")) {
        if (rest.size() > 1)
            return usageError(Command::tr("\"pause\" takes one duration at most."));
        if (!rest.isEmpty()) {
            const auto parsed = Duration::parse(rest.first());
            if (const auto* problem = std::get_if<QString>(&parsed))
                return usageError(*problem);
            pauseSeconds = std::get<quint32>(parsed);
        }
    } else if (command == QLatin1String("resume") || command == QLatin1String("chime") ||
               command == QLatin1String("next") || command == QLatin1String("preferences")) {
        if (!rest.isEmpty())
            return usageError(Command::tr("\"%1\" takes no arguments.").arg(command));
    } else {
        return usageError(Command::tr("Unknown command \"%1\".").arg(command.left(64)));
    }

    if (command == QLatin1String("preferences"))
        return openPreferences();

    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return failed(bus.lastError());
    ComQuorlenvikPealixTool1Interface agent(service, objectPath, bus);
    agent.setTimeout(answerMs);
    int status = 0;

    if (command == QLatin1String("pause") || command == QLatin1String("resume") ||
        command == QLatin1String("chime")) {
        QDBusPendingReply<> reply = command == QLatin1String("pause")    ? agent.Pause(pauseSeconds)
                                    : command == QLatin1String("resume") ? agent.Resume()
                                                                         : agent.ChimeNow();
        reply.waitForFinished();
        if (reply.isError())
            return failed(reply.error());
        if (command == QLatin1String("chime"))
            return 0;
    }

    const auto values = properties(bus, status);
    if (!values)
        return status;
    if (json) {
        QJsonObject object;
        for (auto it = values->cbegin(); it != values->cend(); ++it)
            object.insert(it.key(), QJsonValue::fromVariant(it.value()));
        std::fputs(QJsonDocument(object).toJson(QJsonDocument::Indented).constData(), stdout);
        return 0;
    }
    if (command == QLatin1String("next")) {
        const qint64 next = values->value(QStringLiteral("NextChime")).toLongLong();
        if (next == 0)
            out(Command::tr("No chime is due: %1").arg(values->value(QStringLiteral("Status")).toString()));
        else
            out(Command::tr("Next: %1")
                    .arg(values->value(QStringLiteral("NextChimeDescription")).toString()));
        return 0;
    }
    out(values->value(QStringLiteral("Status")).toString());
    return 0;
}
