// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program in a headless GNOME Shell with its companion: an X
// program's copy is recorded through the companion, and a clip chosen in
// the panel is what another program pastes. The keys are pressed as a user
// would, on mutter's remote-desktop keyboard.
#include "ClipboardTools.h"
#include "GnomeOverview.h"
#include "HelperProcesses.h"
#include "QuillstackProcess.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <ranges>

using namespace Qt::StringLiterals;

namespace {

const QString remoteDesktop = u"org.gnome.Mutter.RemoteDesktop"_s;
const QString remoteDesktopSession = u"org.gnome.Mutter.RemoteDesktop.Session"_s;

QDBusMessage call(const QString &service, const QString &path, const QString &interface,
    const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call);
}

} // namespace

class tst_GnomeSession : public QObject
{
    Q_OBJECT

    QuillstackProcess m_quillstack;
    ClipboardTools m_tools;
    HelperProcesses m_windows;
    // Mutter's remote-desktop session, a user's keyboard on a seat that has
    // none; it lives as long as our connection.
    QString m_keyboard;

    // Presses the keysyms in order and releases them in reverse order.
    bool press(const QList<uint> &keysyms)
    {
        QList<std::pair<uint, bool>> events;
        for (uint keysym : keysyms)
            events.append({ keysym, true });
        for (uint keysym : keysyms | std::views::reverse)
            events.append({ keysym, false });
        for (const auto &[keysym, pressed] : events) {
            const QDBusMessage reply = call(remoteDesktop, m_keyboard, remoteDesktopSession,
                u"NotifyKeyboardKeysym"_s, { keysym, pressed });
            if (reply.type() != QDBusMessage::ReplyMessage)
                return false;
        }
        return true;
    }

    // A field of the newest clips, newest first.
    QStringList history(const QString &field = u"preview"_s)
    {
        const QuillstackProcess::Result listed
            = m_quillstack.run({ u"--list"_s, u"10"_s, u"--json"_s });
        QStringList rows;
        for (const QJsonValue &row : QJsonDocument::fromJson(listed.out.toUtf8()).array())
            rows.append(row[field].toString());
        return rows;
    }

    // Copies with xclip again until the history's newest clip is the text.
    bool copyUntilRecorded(const QByteArray &text)
    {
        return QTest::qWaitFor(
            [&] {
                return ClipboardTools::copyWithXclip(text)
                    && QTest::qWaitFor(
                        [&] { return history().value(0) == QString::fromUtf8(text); }, 1000);
            },
            20000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "run under gnome-harness.sh");
        const QDBusMessage session = call(
            remoteDesktop, u"/org/gnome/Mutter/RemoteDesktop"_s, remoteDesktop, u"CreateSession"_s);
        m_keyboard = qvariant_cast<QDBusObjectPath>(session.arguments().value(0)).path();
        QVERIFY2(!m_keyboard.isEmpty(), qPrintable(session.errorMessage()));
        const QDBusMessage started
            = call(remoteDesktop, m_keyboard, remoteDesktopSession, u"Start"_s);
        QVERIFY2(started.type() == QDBusMessage::ReplyMessage, qPrintable(started.errorMessage()));
        QTRY_VERIFY_WITH_TIMEOUT(gnomeOverviewShown(), 20000);
        QVERIFY(press({ 0xff1b }));
        QTRY_VERIFY_WITH_TIMEOUT(!gnomeOverviewShown(), 20000);
        m_quillstack.environment.insert(u"XDG_CURRENT_DESKTOP"_s, u"GNOME"_s);
        m_quillstack.start();
        QVERIFY(m_quillstack.program.waitForStarted());
        // Both lines are written as the program starts, one after the other.
        QByteArray log;
        QTRY_VERIFY2_WITH_TIMEOUT((log += m_quillstack.program.readAllStandardError())
                                      .contains("clipboard through the GNOME Shell companion")
                && log.contains("global shortcuts through the GNOME Shell companion"),
            log.constData(), 20000);
    }

    void cleanupTestCase()
    {
        m_quillstack.run({ u"--quit"_s });
        QVERIFY(m_quillstack.program.waitForFinished(20000));
        const QByteArray log = m_quillstack.program.readAllStandardError();
        QVERIFY2(!log.contains("Sanitizer") && !log.contains("runtime error"), log.constData());
    }

    // Each kind of copy an X program makes, as the shell hands it over (HTML
    // in choiceGoesBackToTheWindow); a copy marked secret is skipped.
    void copiesAreRecorded_data()
    {
        QTest::addColumn<ClipboardTools::Offers>("offers");
        QTest::addColumn<QString>("kind"); // of the newest clip in --list; empty: not recorded
        QTest::newRow("files") << ClipboardTools::Offers {
            { u"text/uri-list"_s, "file:///etc/hostname\r\n"_ba }
        } << u"fileURLs"_s;
        QTest::newRow("secret") << ClipboardTools::Offers { { u"UTF8_STRING"_s, "hunter2"_ba },
            { u"x-kde-passwordManagerHint"_s, "secret"_ba } }
                                << QString();
    }

    void copiesAreRecorded()
    {
        QFETCH(ClipboardTools::Offers, offers);
        QFETCH(QString, kind);
        // A text first, so the copy under test is seen as a change.
        const QString before = u"before "_s + QString::fromLatin1(QTest::currentDataTag());
        QVERIFY(copyUntilRecorded(before.toUtf8()));
        QVERIFY(m_tools.startOwner(offers));
        if (kind.isEmpty())
            QVERIFY(copyUntilRecorded("after the secret"));
        else
            QTRY_COMPARE_WITH_TIMEOUT(history(u"kind"_s).value(0), kind, 10000);
        QCOMPARE(history().value(1), before);
    }

    // The shortcut opens the panel over another program's window, which
    // loses the keyboard to it; a choice gives the keyboard back and puts
    // the clip, all its forms, where X11 and Wayland programs paste from.
    void choiceGoesBackToTheWindow()
    {
        QVERIFY(m_tools.startOwner(
            { { u"UTF8_STRING"_s, "older clip"_ba }, { u"text/html"_s, "<i>older</i> clip"_ba } }));
        QTRY_COMPARE_WITH_TIMEOUT(history().value(0), u"older clip"_s, 10000);
        QVERIFY(copyUntilRecorded("newer clip"));
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        process->setProcessEnvironment(environment);
        process->start(QStringLiteral(QS_FOCUS_WINDOW),
            { u"qs-editor"_s, u"qs-editor"_s, u"--report-focus"_s });
        QProcess *window = m_windows.keep(std::move(process));
        // It prints its X window's id once it is mapped, and is given the
        // keyboard as a pager would.
        QVERIFY(window->waitForReadyRead(10000));
        const QString id = QString::fromLatin1(window->readLine().trimmed());
        QCOMPARE(QProcess::execute(u"xdotool"_s, { u"windowactivate"_s, id }), 0);
        QVERIFY(HelperProcesses::waitForLine(*window, "focus in"));

        // Control_L, Alt_L, v.
        QVERIFY(press({ 0xffe3, 0xffe9, 0x76 }));
        QVERIFY(HelperProcesses::waitForLine(*window, "focus out"));
        // Down to the older clip, Return chooses it.
        QVERIFY(press({ 0xff54 }));
        QVERIFY(press({ 0xff0d }));
        QVERIFY(HelperProcesses::waitForLine(*window, "focus in"));
        QTRY_COMPARE_WITH_TIMEOUT(
            ClipboardTools::readWithXclip(u"UTF8_STRING"_s), "older clip"_ba, 10000);
        QProcess wlPaste;
        wlPaste.start(u"wl-paste"_s, { u"--no-newline"_s, u"--type"_s, u"text/html"_s });
        QVERIFY(wlPaste.waitForFinished(10000));
        QCOMPARE(wlPaste.readAllStandardOutput(), "<i>older</i> clip"_ba);
    }
};

QTEST_GUILESS_MAIN(tst_GnomeSession)
#include "tst_GnomeSession.moc"
