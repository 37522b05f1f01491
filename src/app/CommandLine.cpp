// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include "app/SessionBus.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "sync/SharingKey.h"
#include "sync/SharingSettings.h"
#include "sync/SharingStatus.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace CommandLine {

namespace {

// How long a command waits for the running program to answer.
constexpr int replyTimeoutMs = 1000;
// An export waits its turn behind saves: it may be this long before the
// running program writes its first byte, or between two.
constexpr int exportTimeoutMs = 60000;
// The most of what the user typed that a message repeats.
constexpr qsizetype echoedInputLength = 80;

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

// What the user typed, shortened to a length a one-line message can carry.
QString echo(const QString &input)
{
    if (input.size() <= echoedInputLength)
        return input;
    return input.left(echoedInputLength) + QStringLiteral("…");
}

struct Command
{
    QString method;
    QVariantList arguments;
    QString interface = SessionBus::interfaceName;
    int timeoutMs = replyTimeoutMs;
    // Errors of the running program told in the user's words, by D-Bus error name.
    QHash<QString, QString> knownErrors = {};
};

// Tells why a call failed, unless it failed only because no program runs
// and `notRunning` takes that.
void explainFailure(const QDBusMessage &reply, const Command &command, bool *notRunning)
{
    const QDBusError::ErrorType error = QDBusError(reply).type();
    const bool missing = error == QDBusError::ServiceUnknown
        || reply.errorName() == SessionBus::nameHasNoOwnerError;
    if (missing && notRunning)
        *notRunning = true;
    else if (missing)
        fail(failure, qtTrId("cli.notRunning"));
    else if (error == QDBusError::NoReply || error == QDBusError::Timeout
        || error == QDBusError::TimedOut)
        fail(failure, qtTrId("cli.noAnswer"));
    else if (const QString known = command.knownErrors.value(reply.errorName()); !known.isEmpty())
        fail(failure, known);
    else
        fail(failure, qtTrId("cli.failed").arg(reply.errorMessage()));
}

QDBusMessage methodCall(const Command &command)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        SessionBus::serviceName, SessionBus::objectPath, command.interface, command.method);
    message.setArguments(command.arguments);
    // The bus must not start a program to answer: that is what a plain start is for.
    message.setAutoStartService(false);
    return message;
}

// The reply, or nothing after telling why.
std::optional<QDBusMessage> call(const Command &command)
{
    const SessionBus::ClientConnection connection;
    const QDBusConnection &bus = connection.bus();
    if (!bus.isConnected()) {
        fail(failure, qtTrId("cli.unreachable").arg(qtTrId("cli.noBus")));
        return std::nullopt;
    }
    const QDBusMessage reply = bus.call(methodCall(command), QDBus::Block, command.timeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply;
    explainFailure(reply, command, nullptr);
    return std::nullopt;
}

// Copies what `fd` (non-blocking) holds to standard output; `ended` is set
// once the writer has closed it. False when standard output fails.
bool relay(int fd, bool *ended)
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        if (got == 0) {
            *ended = true;
            return true;
        }
        if (std::fwrite(buffer, 1, size_t(got), stdout) != size_t(got))
            return false;
    }
}

// The history streamed by the running program through a pipe, so that no
// single message has to hold it. Its reply, which comes once every byte is
// written, tells whether the export is whole. The exit code, or nothing
// when no program runs (`notRunning` is set).
std::optional<int> exportThroughPipe(bool *notRunning)
{
    const SessionBus::ClientConnection connection;
    const QDBusConnection &bus = connection.bus();
    if (!bus.isConnected()) {
        *notRunning = true; // none can be reached, so none is asked
        return std::nullopt;
    }
    int ends[2];
    if (!bus.connectionCapabilities().testFlag(QDBusConnection::UnixFileDescriptorPassing))
        return fail(
            failure, qtTrId("cli.failed").arg(QStringLiteral("no file descriptor passing")));
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return fail(failure, QString::fromLocal8Bit(std::strerror(errno)));
    ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
    const Command command { SessionBus::Member::exportTo,
        { QVariant::fromValue(QDBusUnixFileDescriptor(ends[1])) } };
    ::close(ends[1]);
    // The call keeps its own copy of the write end until it is answered, so
    // the reply, not the end of the pipe, says when everything has come.
    QDBusPendingCallWatcher watcher(
        bus.asyncCall(methodCall(command), std::numeric_limits<int>::max()));
    QEventLoop loop;
    QTimer stalled;
    stalled.setSingleShot(true);
    stalled.setInterval(exportTimeoutMs);
    QObject::connect(&stalled, &QTimer::timeout, &loop, [&] { loop.exit(1); });
    QSocketNotifier readable(ends[0], QSocketNotifier::Read);
    bool ended = false;
    bool written = true;
    QObject::connect(&readable, &QSocketNotifier::activated, &loop, [&] {
        written = relay(ends[0], &ended);
        readable.setEnabled(!ended);
        if (!written)
            loop.exit(2); // closing the pipe tells the program to stop
        stalled.start();
    });
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, [&] { loop.exit(0); });
    stalled.start();
    const int outcome = loop.exec();
    if (outcome == 0 && !ended)
        written = relay(ends[0], &ended);
    ::close(ends[0]);
    if (outcome == 1)
        return fail(failure, qtTrId("cli.noAnswer"));
    if (outcome == 2)
        return failure;
    const QDBusMessage reply = watcher.reply();
    if (reply.type() != QDBusMessage::ReplyMessage) {
        explainFailure(reply, command, notRunning);
        return *notRunning ? std::nullopt : std::optional<int>(failure);
    }
    return written && std::fflush(stdout) == 0 && !std::ferror(stdout) ? success : failure;
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
    namespace Field = SessionBus::ListField;
    const QLocale locale;
    QString text;
    for (const QVariantMap &row : rows) {
        const QDateTime date
            = QDateTime::fromString(row.value(Field::date).toString(), Qt::ISODateWithMs)
                  .toLocalTime();
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5%6\n")
                    .arg(locale.toString(row.value(Field::index).toInt()),
                        row.value(Field::id).toString(), row.value(Field::kind).toString(),
                        locale.toString(date, QLocale::ShortFormat),
                        row.value(Field::kept).toBool() ? qtTrId("cli.kept") + u' ' : QString(),
                        row.value(Field::preview).toString());
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

// The member called, without arguments, for a command that needs nothing more.
QString plainCall(Request::Action action)
{
    using Action = Request::Action;
    using namespace SessionBus;
    static const QList<std::pair<Action, QString>> calls {
        { Action::toggle, Member::toggle },
        { Action::togglePinned, Member::togglePinned },
        { Action::show, Member::show },
        { Action::preferences, Member::preferences },
        { Action::quit, Member::quit },
        { Action::clear, Member::clear },
    };
    for (const auto &[command, member] : calls) {
        if (command == action)
            return member;
    }
    Q_UNREACHABLE();
    return QString();
}

} // namespace

Request parse(const QStringList &arguments)
{
    using Action = Request::Action;
    const auto usage = [](const QString &message) {
        return Request { .action = Action::usageError, .text = message };
    };
    QCommandLineParser parser;
    parser.setApplicationDescription(qtTrId("cli.description"));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(
        { QStringLiteral("h"), QStringLiteral("help") }, qtTrId("cli.help"));
    const QCommandLineOption version(QStringLiteral("version"), qtTrId("cli.version"));
    const QCommandLineOption json(QStringLiteral("json"), qtTrId("cli.json"));
    const QCommandLineOption copy(
        QStringLiteral("copy"), qtTrId("cli.copy"), QStringLiteral("ID|INDEX"));
    // The commands, one of which may be given, in the order help lists them.
    const QList<std::pair<QCommandLineOption, Action>> commands = {
        { QCommandLineOption(QStringLiteral("toggle"), qtTrId("cli.toggle")), Action::toggle },
        { QCommandLineOption(QStringLiteral("toggle-pinned"), qtTrId("cli.togglePinned")),
            Action::togglePinned },
        { QCommandLineOption(QStringLiteral("show"), qtTrId("cli.show")), Action::show },
        { QCommandLineOption(QStringLiteral("preferences"), qtTrId("cli.preferences")),
            Action::preferences },
        { QCommandLineOption(QStringLiteral("quit"), qtTrId("cli.quit")), Action::quit },
        { QCommandLineOption(QStringLiteral("list"), qtTrId("cli.list")), Action::list },
        { copy, Action::copy },
        { QCommandLineOption(QStringLiteral("export"), qtTrId("cli.export")),
            Action::exportHistory },
        { QCommandLineOption(QStringLiteral("clear"), qtTrId("cli.clear")), Action::clear },
        { QCommandLineOption(QStringLiteral("pause"), qtTrId("cli.pause")), Action::pause },
        { QCommandLineOption(QStringLiteral("resume"), qtTrId("cli.resume")), Action::resume },
        { QCommandLineOption(QStringLiteral("sync-status"), qtTrId("cli.syncStatus")),
            Action::syncStatus },
        { QCommandLineOption(QStringLiteral("sync-passphrase"), qtTrId("cli.syncPassphrase")),
            Action::syncPassphrase },
    };
    parser.addOptions({ help, version });
    for (const auto &command : commands)
        parser.addOption(command.first);
    parser.addOption(json);
    parser.addPositionalArgument(QStringLiteral("N"), qtTrId("cli.count"), QStringLiteral("[N]"));

    // "-1" would read as an option; it is a count or an argument, to be
    // judged as such.
    QStringList options;
    QStringList negativeNumbers;
    static const QRegularExpression negativeNumber(QStringLiteral("^-\\d+$"));
    for (const QString &argument : arguments) {
        // The program's name comes first; "--copy -1" asks for clip -1.
        const QString previous = options.isEmpty() ? QString() : options.last();
        const bool valueOfCopy = previous == QStringLiteral("--") + copy.names().first()
            || previous == QStringLiteral("-") + copy.names().first();
        if (!options.isEmpty() && !valueOfCopy && negativeNumber.match(argument).hasMatch())
            negativeNumbers.append(argument);
        else
            options.append(argument);
    }
    if (!parser.parse(options)) {
        // Qt's own message would repeat an unknown option whole; its others
        // name only our options.
        const QStringList unknown = parser.unknownOptionNames();
        return usage(unknown.isEmpty() ? parser.errorText()
                                       : qtTrId("cli.unknownOption").arg(echo(unknown.first())));
    }
    if (parser.isSet(help))
        return { .action = Action::help, .text = parser.helpText() };
    if (parser.isSet(version))
        return { .action = Action::version };

    Request request;
    for (const auto &[option, action] : commands) {
        if (!parser.isSet(option))
            continue;
        if (request.action != Action::start)
            return usage(qtTrId("cli.oneCommand"));
        request.action = action;
    }
    const bool listing = request.action == Action::list;
    if (parser.isSet(json) && !listing && request.action != Action::syncStatus)
        return usage(qtTrId("cli.jsonWithList"));
    const QStringList positional = negativeNumbers + parser.positionalArguments();
    if (!positional.isEmpty() && (!listing || positional.size() > 1))
        return usage(qtTrId("cli.unexpected").arg(echo(positional.join(u' '))));
    if (listing && !positional.isEmpty()) {
        bool ok = false;
        request.count = positional.first().toInt(&ok);
        if (!ok || request.count < 1)
            return usage(qtTrId("cli.badCount").arg(echo(positional.first())));
    }
    request.json = parser.isSet(json);
    request.clip = parser.value(copy);
    return request;
}

std::optional<int> run(const Request &request)
{
    using Action = Request::Action;
    switch (request.action) {
    case Action::start:
        return std::nullopt;
    case Action::usageError:
        print(stderr,
            QStringLiteral("quillstack: %1\n%2\n").arg(request.text, qtTrId("cli.tryHelp")));
        return usageError;
    case Action::help:
        print(stdout, request.text);
        return success;
    case Action::version:
        print(stdout,
            QStringLiteral("%1 %2\n").arg(
                QCoreApplication::applicationName(), QCoreApplication::applicationVersion()));
        return success;
    case Action::list: {
        qDBusRegisterMetaType<QList<QVariantMap>>();
        const auto reply = call({ SessionBus::Member::list, { request.count } });
        if (!reply)
            return failure;
        const QList<QVariantMap> rows = listFromReply(*reply);
        print(stdout, request.json ? listAsJson(rows) : listAsText(rows));
        return success;
    }
    case Action::copy: {
        const auto reply = call(
            { SessionBus::Member::copy, { request.clip }, SessionBus::interfaceName, replyTimeoutMs,
                { { SessionBus::imageMissingError, qtTrId("cli.imageMissing") } } });
        if (!reply)
            return failure;
        if (reply->arguments().value(0).toBool())
            return success;
        return fail(failure, qtTrId("cli.noSuchClip").arg(echo(request.clip)));
    }
    case Action::exportHistory: {
        // From the running program, which holds every change; from the
        // files when none runs.
        bool notRunning = false;
        if (const std::optional<int> exported = exportThroughPipe(&notRunning))
            return *exported;
        QString error;
        const std::optional<QByteArray> history = ClipStore::exportFromFiles(QString(), &error);
        if (!history)
            return fail(failure, error);
        std::fwrite(history->constData(), 1, size_t(history->size()), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? success : failure;
    }
    case Action::syncStatus: {
        // From the files alone: the settings, our key and the shared folder.
        Defaults defaults;
        const SharingStatus::Report report = SharingStatus::read(defaults, QString());
        print(stdout, request.json ? SharingStatus::asJson(report) : SharingStatus::asText(report));
        return SharingStatus::exitCode(report);
    }
    case Action::syncPassphrase: {
        // The first line of standard input, so that it shows in no process list.
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly))
            return fail(failure, qtTrId("cli.noPassphrase"));
        QByteArray line = input.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        const QString words = QString::fromUtf8(line);
        Defaults defaults;
        SharingSettings sharing(defaults);
        if (words.isEmpty() || sharing.folder().isEmpty())
            return fail(failure, qtTrId("cli.noPassphrase"));
        QString error;
        if (!SharingKey::setUp(sharing.folder(), sharing.machineId(), words,
                SharingSettings::keyPath(QString()), SealedBox::defaultLimits(), &error))
            return fail(failure, error);
        return success;
    }
    case Action::pause:
    case Action::resume: {
        const Command setRecording { SessionBus::Properties::set,
            { SessionBus::interfaceName, SessionBus::Member::recording,
                QVariant::fromValue(QDBusVariant(request.action == Action::resume)) },
            SessionBus::Properties::interfaceName };
        return call(setRecording) ? success : failure;
    }
    case Action::toggle:
    case Action::togglePinned:
    case Action::show:
    case Action::preferences:
    case Action::quit:
    case Action::clear:
        return call({ plainCall(request.action), {} }) ? success : failure;
    }
    Q_UNREACHABLE();
    return failure;
}

} // namespace CommandLine
