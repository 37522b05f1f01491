// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipboardTools.h"
#include "GnomeOverview.h"
#include "TestImages.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString shellName = u"io.github.quillstack.Shell"_s;
const QString shellPath = u"/io/github/quillstack/Shell"_s;
const QString shellInterface = u"io.github.quillstack.Shell1"_s;

// Hears the companion's signals, which go to Quillstack's name alone.
class QuillstackSide : public QObject
{
    Q_OBJECT
public slots:
    void onClipboardChanged(uint serial, const QStringList &mimeTypes, bool ours)
    {
        emit clipboardChanged(serial, mimeTypes, ours);
    }
    void onFocusedWindowChanged(qulonglong id) { emit focusedWindowChanged(id); }

signals:
    void clipboardChanged(uint serial, const QStringList &mimeTypes, bool ours);
    void focusedWindowChanged(quint64 id);
};

QDBusMessage callShell(
    const QDBusConnection &bus, const QString &method, const QVariantList &arguments = {})
{
    QDBusMessage message
        = QDBusMessage::createMethodCall(shellName, shellPath, shellInterface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, 10000);
}

// Everything written into the read end of a pipe until its writer closed
// it; "<not closed>" when that has not happened after 10 s.
QByteArray readToEnd(int fd)
{
    QByteArray bytes;
    char buffer[4096];
    pollfd waiting { fd, POLLIN, 0 };
    while (poll(&waiting, 1, 10000) > 0) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return n == 0 ? bytes : "<read failed>";
        bytes.append(buffer, n);
    }
    return "<not closed>";
}

struct Change
{
    uint serial = 0;
    QStringList mimeTypes;
    bool ours = false;
};

} // namespace

// The GNOME Shell companion inside a real headless GNOME Shell, with this
// test in Quillstack's place on the session bus: copies by X11 and Wayland
// programs, the keyboard handed between windows, and shortcuts bound through
// the shell. Text copied by an X11 program, a shortcut pressed and a chosen
// clip pasted by X11 and Wayland programs are the whole program's test
// (tst_GnomeSession); our own offer (which the program makes through X11
// where, as in GNOME 43, the companion holds one type only), who may call,
// stale reads and windows gone are the companion's logic, tested against
// stand-ins for the shell (tst_GnomeExtensionCore).
class tst_GnomeShellCompanion : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void copiesByOtherPrograms_data();
    void copiesByOtherPrograms();
    void shortcuts_data();
    void shortcuts();
    void keyboardGoesBackToTheWindow();

private:
    // The first ClipboardChanged after serial `after` that offers all of
    // `offered` and is not ours: an X11 program's types are announced once
    // the shell has asked for them, after the owner's change.
    std::optional<Change> waitForOwner(uint after, const QStringList &offered);
    std::pair<quint64, QString> focusedWindow();
    // Shows another program's window and gives it the keyboard as a pager
    // would (a window mapped with no user input is not focused by the shell).
    bool startFocusedWindow(const QString &name);

    // A connection of its own: the shared one delivers calls to our objects
    // only once the application's event loop runs, which a test's never does.
    QDBusConnection m_bus
        = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"quillstack"_s);
    QuillstackSide m_side;
    QSignalSpy m_changes { &m_side, &QuillstackSide::clipboardChanged };
    QSignalSpy m_focusChanges { &m_side, &QuillstackSide::focusedWindowChanged };
    // Each copy's owner lives until the next takes the clipboard: one killed
    // between copies races the shell's reading of the next one's types.
    ClipboardTools m_tools;
    HelperProcesses m_windows;
    uint m_serial = 0;
};

void tst_GnomeShellCompanion::initTestCase()
{
    QVERIFY(m_bus.isConnected());
    QVERIFY(m_bus.registerService(u"io.github.quillstack.Quillstack"_s));
    QVERIFY(m_bus.connect(shellName, shellPath, shellInterface, u"ClipboardChanged"_s, &m_side,
        SLOT(onClipboardChanged(uint, QStringList, bool))));
    QVERIFY(m_bus.connect(shellName, shellPath, shellInterface, u"FocusedWindowChanged"_s, &m_side,
        SLOT(onFocusedWindowChanged(qulonglong))));
    QTRY_VERIFY_WITH_TIMEOUT(gnomeOverviewShown(m_bus), 20000);
    const QDBusMessage pressed
        = callShell(m_bus, u"PressChord"_s, { QVariant::fromValue(QList<uint> { 0xff1b }) });
    QVERIFY2(pressed.type() == QDBusMessage::ReplyMessage, qPrintable(pressed.errorMessage()));
    QTRY_VERIFY_WITH_TIMEOUT(!gnomeOverviewShown(m_bus), 20000);
}

std::optional<Change> tst_GnomeShellCompanion::waitForOwner(uint after, const QStringList &offered)
{
    for (;;) {
        if (m_changes.isEmpty() && !m_changes.wait(10000))
            return std::nullopt;
        const QList<QVariant> args = m_changes.takeFirst();
        const Change change { args.at(0).toUInt(), args.at(1).toStringList(), args.at(2).toBool() };
        m_serial = std::max(m_serial, change.serial);
        if (change.serial > after && !change.ours
            && std::all_of(offered.cbegin(), offered.cend(),
                [&](const QString &type) { return change.mimeTypes.contains(type); }))
            return change;
    }
}

void tst_GnomeShellCompanion::copiesByOtherPrograms_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("wayland");

    QTest::newRow("PNG, X11") << u"image/png"_s << encodedImage() << false;
    // The seat has a keyboard once the companion has made its virtual one
    // (on start, for Escape).
    QTest::newRow("HTML, Wayland") << u"text/html"_s << "<p>native</p>"_ba << true;
}

void tst_GnomeShellCompanion::copiesByOtherPrograms()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, wayland);
    const uint before = m_serial;
    if (wayland) {
        // wl-copy stays behind to serve it; its background child would keep our pipes open.
        QProcess wlCopy;
        wlCopy.setStandardOutputFile(QProcess::nullDevice());
        wlCopy.setStandardErrorFile(QProcess::nullDevice());
        wlCopy.start(u"wl-copy"_s, { u"--type"_s, type });
        QVERIFY(wlCopy.waitForStarted(5000));
        wlCopy.write(bytes);
        wlCopy.closeWriteChannel();
        QVERIFY(wlCopy.waitForFinished(5000) && wlCopy.exitCode() == 0);
    } else {
        QVERIFY(m_tools.startOwner({ { type, bytes } }));
    }
    const std::optional<Change> change = waitForOwner(before, { type });
    QVERIFY(change);
    QCOMPARE(callShell(m_bus, u"GetClipboard"_s).arguments(),
        (QVariantList { change->serial, change->mimeTypes, false }));
    int fds[2];
    QVERIFY(pipe2(fds, O_CLOEXEC) == 0);
    const QDBusMessage reply = callShell(m_bus, u"ReadClipboard"_s,
        { change->serial, type, QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])) });
    close(fds[1]);
    QVERIFY2(reply.errorName().isEmpty(), qPrintable(reply.errorMessage()));
    QCOMPARE(readToEnd(fds[0]), bytes);
    close(fds[0]);
}

std::pair<quint64, QString> tst_GnomeShellCompanion::focusedWindow()
{
    const QVariantList reply = callShell(m_bus, u"GetFocusedWindow"_s).arguments();
    return { reply.value(0).toULongLong(), reply.value(1).toString() };
}

bool tst_GnomeShellCompanion::startFocusedWindow(const QString &name)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(QS_FOCUS_WINDOW), { name, name });
    QProcess *started = m_windows.keep(std::move(process));
    // It prints its X window's id once it is mapped.
    if (!started->waitForReadyRead(10000))
        return false;
    const QString window = QString::fromLatin1(started->readLine().trimmed());
    return QProcess::execute(u"xdotool"_s, { u"windowactivate"_s, window }) == 0;
}

void tst_GnomeShellCompanion::keyboardGoesBackToTheWindow()
{
    QVERIFY(startFocusedWindow(u"qs-first"_s));
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow().second, u"qs-first"_s, 10000);
    const quint64 first = focusedWindow().first;
    QVERIFY(startFocusedWindow(u"qs-second"_s));
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow().second, u"qs-second"_s, 10000);

    QCOMPARE(callShell(m_bus, u"ActivateWindow"_s, { first }).arguments(), QVariantList { true });
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow(), std::pair(first, u"qs-first"_s), 10000);
    // Told as it happens, too.
    QTRY_COMPARE(m_focusChanges.value(m_focusChanges.size() - 1).value(0).toULongLong(), first);
}

void tst_GnomeShellCompanion::shortcuts_data()
{
    QTest::addColumn<QString>("openHistory");
    QTest::addColumn<QString>("openKept");
    QTest::addColumn<QStringList>("refused");

    // Pressing a bound one is the whole program's test (tst_GnomeSession).
    QTest::newRow("held by the shell")
        << u"<Control><Shift>F9"_s << u"<Alt>Tab"_s << QStringList { u"open-kept"_s };
    // The switch to the tenth virtual terminal is the window manager's.
    QTest::newRow("held by the window manager")
        << u"<Primary><Alt>F10"_s << QString() << QStringList { u"open-history"_s };
}

void tst_GnomeShellCompanion::shortcuts()
{
    QFETCH(QString, openHistory);
    QFETCH(QString, openKept);
    QFETCH(QStringList, refused);

    const QDBusMessage reply = callShell(m_bus, u"SetShortcuts"_s, { openHistory, openKept });
    QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    QCOMPARE(reply.arguments().value(0).toStringList(), refused);
}

QTEST_GUILESS_MAIN(tst_GnomeShellCompanion)
#include "tst_GnomeShellCompanion.moc"
