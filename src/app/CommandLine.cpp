// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "ClipStore.h"
#include "SessionBus.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

#include <cstdio>

namespace CommandLine {

namespace {

// How long a command waits for the running program to answer.
constexpr int replyTimeoutMs = 1000;
// An export encodes and sends the whole history, which may be large.
constexpr int exportTimeoutMs = 60000;
constexpr int defaultListCount = 10;

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// One line on standard error, named after the program as console tools do.
int fail(int code, const QString &message)
{
    print(stderr, QStringLiteral("quillstack: %1\n").arg(message));
    return code;
}

int usage(const QString &message)
{
    print(stderr, QStringLiteral("quillstack: %1\n%2\n").arg(message, qtTrId("cli.tryHelp")));
    return usageError;
}

struct Command
{
    QString method;
    QVariantList arguments;
    QString interface = SessionBus::interfaceName;
    int timeoutMs = replyTimeoutMs;
};

// The reply, or nothing after telling why. With `notRunning`, a program that
// is not running (or not reachable without a bus) is no error: it is
// reported there instead.
std::optional<QDBusMessage> call(const Command &command, bool *notRunning = nullptr)
{
    const SessionBus::ClientConnection connection;
    const QDBusConnection &bus = connection.bus();
    if (!bus.isConnected() && notRunning) {
        *notRunning = true; // none can be reached, so none is asked
        return std::nullopt;
    }
    if (!bus.isConnected()) {
        fail(failure, qtTrId("cli.unreachable").arg(qtTrId("cli.noBus")));
        return std::nullopt;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        SessionBus::serviceName, SessionBus::objectPath, command.interface, command.method);
    message.setArguments(command.arguments);
    // The bus must not start a program to answer: that is what a plain start is for.
    message.setAutoStartService(false);
    const QDBusMessage reply = bus.call(message, QDBus::Block, command.timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply;
    const QDBusError::ErrorType error = QDBusError(reply).type();
    const bool missing = error == QDBusError::ServiceUnknown
        || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    if (missing && notRunning)
        *notRunning = true;
    else if (missing)
        fail(failure, qtTrId("cli.notRunning"));
    else if (error == QDBusError::NoReply || error == QDBusError::Timeout
        || error == QDBusError::TimedOut)
        fail(failure, qtTrId("cli.noAnswer"));
    else
        fail(failure, qtTrId("cli.failed").arg(reply.errorMessage()));
    return std::nullopt;
}

QList<QVariantMap> listFromReply(const QDBusMessage &reply)
{
    QList<QVariantMap> rows;
    if (!reply.arguments().isEmpty())
        reply.arguments().first().value<QDBusArgument>() >> rows;
    return rows;
}

QString listAsText(const QList<QVariantMap> &rows)
{
    const QLocale locale;
    QString text;
    for (const QVariantMap &row : rows) {
        const QDateTime date
            = QDateTime::fromString(row.value(QStringLiteral("date")).toString(), Qt::ISODateWithMs)
                  .toLocalTime();
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5%6\n")
                    .arg(locale.toString(row.value(QStringLiteral("index")).toInt()),
                        row.value(QStringLiteral("id")).toString(),
                        row.value(QStringLiteral("kind")).toString(),
                        locale.toString(date, QLocale::ShortFormat),
                        row.value(QStringLiteral("kept")).toBool() ? qtTrId("cli.kept") + u' '
                                                                   : QString(),
                        row.value(QStringLiteral("preview")).toString());
    }
    return text;
}

QString listAsJson(const QList<QVariantMap> &rows)
{
    QJsonArray array;
    for (const QVariantMap &row : rows)
        array.append(QJsonObject::fromVariantMap(row));
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
}

} // namespace

std::optional<int> run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(qtTrId("cli.description"));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(
        { QStringLiteral("h"), QStringLiteral("help") }, qtTrId("cli.help"));
    const QCommandLineOption version(QStringLiteral("version"), qtTrId("cli.version"));
    const QCommandLineOption toggle(QStringLiteral("toggle"), qtTrId("cli.toggle"));
    const QCommandLineOption togglePinned(
        QStringLiteral("toggle-pinned"), qtTrId("cli.togglePinned"));
    const QCommandLineOption show(QStringLiteral("show"), qtTrId("cli.show"));
    const QCommandLineOption preferences(QStringLiteral("preferences"), qtTrId("cli.preferences"));
    const QCommandLineOption quit(QStringLiteral("quit"), qtTrId("cli.quit"));
    const QCommandLineOption list(QStringLiteral("list"), qtTrId("cli.list"));
    const QCommandLineOption json(QStringLiteral("json"), qtTrId("cli.json"));
    const QCommandLineOption copy(
        QStringLiteral("copy"), qtTrId("cli.copy"), QStringLiteral("ID|INDEX"));
    const QCommandLineOption exportHistory(QStringLiteral("export"), qtTrId("cli.export"));
    const QCommandLineOption clear(QStringLiteral("clear"), qtTrId("cli.clear"));
    const QCommandLineOption pause(QStringLiteral("pause"), qtTrId("cli.pause"));
    const QCommandLineOption resume(QStringLiteral("resume"), qtTrId("cli.resume"));
    const QList<QCommandLineOption> commands = { toggle, togglePinned, show, preferences, quit,
        list, copy, exportHistory, clear, pause, resume };
    parser.addOptions({ help, version });
    parser.addOptions(commands);
    parser.addOption(json);
    parser.addPositionalArgument(QStringLiteral("N"), qtTrId("cli.count"), QStringLiteral("[N]"));

    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        print(stdout, parser.helpText());
        return success;
    }
    if (parser.isSet(version)) {
        print(stdout,
            QStringLiteral("%1 %2\n").arg(
                QCoreApplication::applicationName(), QCoreApplication::applicationVersion()));
        return success;
    }

    QList<QCommandLineOption> given;
    for (const QCommandLineOption &command : commands) {
        if (parser.isSet(command))
            given.append(command);
    }
    if (given.size() > 1)
        return usage(qtTrId("cli.oneCommand"));
    const bool listing = !given.isEmpty() && given.first().names() == list.names();
    if (parser.isSet(json) && !listing)
        return usage(qtTrId("cli.jsonWithList"));
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty() && (!listing || positional.size() > 1))
        return usage(qtTrId("cli.unexpected").arg(positional.join(u' ')));
    if (given.isEmpty())
        return std::nullopt;

    const QString name = given.first().names().first();
    if (listing) {
        int count = defaultListCount;
        if (!positional.isEmpty()) {
            bool ok = false;
            count = positional.first().toInt(&ok);
            if (!ok || count < 1)
                return usage(qtTrId("cli.badCount").arg(positional.first()));
        }
        qDBusRegisterMetaType<QList<QVariantMap>>();
        const auto reply = call({ QStringLiteral("List"), { count } });
        if (!reply)
            return failure;
        const QList<QVariantMap> rows = listFromReply(*reply);
        print(stdout, parser.isSet(json) ? listAsJson(rows) : listAsText(rows));
        return success;
    }
    if (name == copy.names().first()) {
        const QString which = parser.value(copy);
        const auto reply = call({ QStringLiteral("Copy"), { which } });
        if (!reply)
            return failure;
        if (reply->arguments().value(0).toBool())
            return success;
        return fail(failure, qtTrId("cli.noSuchClip").arg(which));
    }
    if (name == exportHistory.names().first()) {
        // From the running program, which holds every change; from the
        // files when none runs.
        bool notRunning = false;
        const auto reply
            = call({ QStringLiteral("Export"), {}, SessionBus::interfaceName, exportTimeoutMs },
                &notRunning);
        std::optional<QByteArray> history;
        QString error;
        if (reply)
            history = reply->arguments().value(0).toByteArray();
        else if (notRunning)
            history = ClipStore::exportFromFiles(QString(), &error);
        else
            return failure;
        if (!history)
            return fail(failure, error);
        std::fwrite(history->constData(), 1, size_t(history->size()), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? success : failure;
    }
    if (name == pause.names().first() || name == resume.names().first()) {
        const bool recording = name == resume.names().first();
        const Command setRecording { QStringLiteral("Set"),
            { SessionBus::interfaceName, QStringLiteral("Recording"),
                QVariant::fromValue(QDBusVariant(recording)) },
            QStringLiteral("org.freedesktop.DBus.Properties") };
        return call(setRecording) ? success : failure;
    }
    static const QHash<QString, QString> methods {
        { toggle.names().first(), QStringLiteral("Toggle") },
        { togglePinned.names().first(), QStringLiteral("TogglePinned") },
        { show.names().first(), QStringLiteral("Show") },
        { preferences.names().first(), QStringLiteral("Preferences") },
        { quit.names().first(), QStringLiteral("Quit") },
        { clear.names().first(), QStringLiteral("Clear") },
    };
    return call({ methods.value(name), {} }) ? success : failure;
}

} // namespace CommandLine
