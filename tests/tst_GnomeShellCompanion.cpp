// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipboardTools.h"
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
const QString utf8Text = u"text/plain;charset=utf-8"_s;

// Quillstack's half of the companion's interface: it serves the bytes of
// its offer through a pipe when a program pastes, and hears the signals.
class QuillstackSide : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.quillstack.ShellSource1")
public:
    QHash<QString, QByteArray> offer;
    QList<std::pair<uint, QString>> requests;

public slots:
    Q_SCRIPTABLE QDBusUnixFileDescriptor Send(uint token, const QString &mimeType)
    {
        requests.append({ token, mimeType });
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return {};
        // Small enough for the pipe's buffer: written before it is handed over.
        const QByteArray bytes = offer.value(mimeType);
        const bool written = write(fds[1], bytes.constData(), bytes.size()) == bytes.size();
        close(fds[1]);
        QDBusUnixFileDescriptor fd(written ? fds[0] : -1);
        close(fds[0]);
        return fd;
    }

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

struct Focused
{
    quint64 id = 0;
    QString wmClass;
};

} // namespace

// The GNOME Shell companion inside a real headless GNOME Shell, with this
// test in Quillstack's place on the session bus: copies by X11 programs
// under Xwayland, our offer pasted by them, the keyboard handed between
// windows, and shortcuts bound and pressed through the shell.
class tst_GnomeShellCompanion : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void copiesByOtherPrograms_data();
    void copiesByOtherPrograms();
    void otherCallersAreRefused();
    void offerIsPastedByOtherPrograms_data();
    void offerIsPastedByOtherPrograms();
    void shortcuts_data();
    void shortcuts();
    void keyboardGoesBackToTheWindow();

private:
    // The first ClipboardChanged after serial `after` that offers all of
    // `offered`: an X11 program's types are announced once the shell has
    // asked for them, after the owner's change itself.
    bool waitForOwner(
        uint after, const QStringList &offered, uint *serial, QStringList *mimeTypes, bool *ours);
    Focused focusedWindow();
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
    QVERIFY(m_bus.registerObject(
        u"/io/github/quillstack/ShellSource"_s, &m_side, QDBusConnection::ExportScriptableSlots));
    QVERIFY(m_bus.registerService(u"io.github.quillstack.Quillstack"_s));
    QVERIFY(m_bus.connect(shellName, shellPath, shellInterface, u"ClipboardChanged"_s, &m_side,
        SLOT(onClipboardChanged(uint, QStringList, bool))));
    QVERIFY(m_bus.connect(shellName, shellPath, shellInterface, u"FocusedWindowChanged"_s, &m_side,
        SLOT(onFocusedWindowChanged(qulonglong))));
    // The shell shows its overview once it has started, and the overview
    // holds the keyboard: Escape leaves it, as a user would, once it is shown.
    const auto overviewShown = [this] {
        const QDBusMessage reply
            = m_bus.call(QDBusMessage::createMethodCall(u"org.gnome.Shell"_s, u"/org/gnome/Shell"_s,
                             u"org.freedesktop.DBus.Properties"_s, u"Get"_s)
                << u"org.gnome.Shell"_s << u"OverviewActive"_s);
        return reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
    };
    QTRY_VERIFY_WITH_TIMEOUT(overviewShown(), 20000);
    const QDBusMessage pressed
        = callShell(m_bus, u"PressChord"_s, { QVariant::fromValue(QList<uint> { 0xff1b }) });
    QVERIFY2(pressed.type() == QDBusMessage::ReplyMessage, qPrintable(pressed.errorMessage()));
    QTRY_VERIFY_WITH_TIMEOUT(!overviewShown(), 20000);
}

bool tst_GnomeShellCompanion::waitForOwner(
    uint after, const QStringList &offered, uint *serial, QStringList *mimeTypes, bool *ours)
{
    for (;;) {
        if (m_changes.isEmpty() && !m_changes.wait(10000))
            return false;
        const QList<QVariant> change = m_changes.takeFirst();
        *serial = change.at(0).toUInt();
        *mimeTypes = change.at(1).toStringList();
        *ours = change.at(2).toBool();
        m_serial = std::max(m_serial, *serial);
        if (*serial > after
            && std::all_of(offered.cbegin(), offered.cend(),
                [&](const QString &type) { return mimeTypes->contains(type); }))
            return true;
    }
}

void tst_GnomeShellCompanion::copiesByOtherPrograms_data()
{
    QTest::addColumn<ClipboardTools::Offers>("offers");
    QTest::addColumn<QString>("read");

    QTest::newRow("text") << ClipboardTools::Offers { { utf8Text, "Grüße, Welt"_ba } } << utf8Text;
    QTest::newRow("PNG") << ClipboardTools::Offers { { u"image/png"_s, encodedImage() } }
                         << u"image/png"_s;
    // A Wayland program's copy: the seat has a keyboard once the companion
    // has made its virtual one (on start, for Escape).
    QTest::newRow("Wayland HTML") << ClipboardTools::Offers { { u"text/html"_s,
        "<p>native</p>"_ba } } << u"text/html"_s;
}

namespace {

// Copies the one offer with wl-copy, which stays behind to serve it.
bool copyWithWlCopy(const QString &type, const QByteArray &bytes)
{
    QProcess wlCopy;
    // Its background child would keep our pipes open.
    wlCopy.setStandardOutputFile(QProcess::nullDevice());
    wlCopy.setStandardErrorFile(QProcess::nullDevice());
    wlCopy.start(u"wl-copy"_s, { u"--type"_s, type });
    if (!wlCopy.waitForStarted(5000))
        return false;
    wlCopy.write(bytes);
    wlCopy.closeWriteChannel();
    return wlCopy.waitForFinished(5000) && wlCopy.exitCode() == 0;
}

} // namespace

void tst_GnomeShellCompanion::copiesByOtherPrograms()
{
    QFETCH(ClipboardTools::Offers, offers);
    QFETCH(QString, read);
    const uint before = m_serial;
    if (QString::fromLatin1(QTest::currentDataTag()).startsWith(u"Wayland"_s))
        QVERIFY(copyWithWlCopy(offers.first().first, offers.first().second));
    else
        QVERIFY(m_tools.startOwner(offers));
    uint serial = 0;
    QStringList mimeTypes;
    bool ours = true;
    QStringList offered;
    for (const auto &offer : offers)
        offered << offer.first;
    QVERIFY(waitForOwner(before, offered, &serial, &mimeTypes, &ours));
    QVERIFY(!ours);
    const QVariantList asked = callShell(m_bus, u"GetClipboard"_s).arguments();
    QCOMPARE(asked, (QVariantList { serial, mimeTypes, false }));

    // The bytes of the type asked for; a stale serial or a type not offered
    // is refused and the pipe closed at once.
    const QByteArray expected = std::find_if(offers.cbegin(), offers.cend(), [&](const auto &o) {
        return o.first == read;
    })->second;
    const QList<std::tuple<uint, QString, QString, QByteArray>> reads {
        { serial, read, QString(), expected },
        { serial - 1, read, shellInterface + u".Error.Stale"_s, QByteArray() },
        { serial, u"application/x-not-offered"_s, shellInterface + u".Error.NotOffered"_s,
            QByteArray() },
    };
    for (const auto &[askedSerial, type, error, bytes] : reads) {
        int fds[2];
        QVERIFY(pipe2(fds, O_CLOEXEC) == 0);
        const QDBusMessage reply = callShell(m_bus, u"ReadClipboard"_s,
            { askedSerial, type, QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])) });
        close(fds[1]);
        const QByteArray got = readToEnd(fds[0]);
        close(fds[0]);
        QCOMPARE(reply.errorName(), error);
        QCOMPARE(got, bytes);
    }
}

void tst_GnomeShellCompanion::otherCallersAreRefused()
{
    QDBusConnection stranger
        = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"stranger"_s);
    QVERIFY(stranger.isConnected());
    QVERIFY(m_tools.startOwner({ { utf8Text, "private"_ba } }));
    uint serial = 0;
    QStringList mimeTypes;
    bool ours = true;
    QVERIFY(waitForOwner(m_serial, { utf8Text }, &serial, &mimeTypes, &ours));
    int fds[2];
    QVERIFY(pipe2(fds, O_CLOEXEC) == 0);
    QList<std::pair<QString, QVariantList>> calls {
        { u"ReadClipboard"_s,
            { serial, utf8Text, QVariant::fromValue(QDBusUnixFileDescriptor(fds[1])) } },
        { u"GetFocusedWindow"_s, {} },
        { u"GetClipboard"_s, {} },
        { u"SetShortcuts"_s, { u"<Super>F11"_s, QString() } },
    };
    for (const auto &[method, arguments] : calls) {
        const QDBusMessage reply = callShell(stranger, method, arguments);
        QCOMPARE(reply.errorName(), u"org.freedesktop.DBus.Error.AccessDenied"_s);
    }
    calls.clear(); // holds a copy of the write end
    close(fds[1]);
    QCOMPARE(readToEnd(fds[0]), QByteArray());
    close(fds[0]);
    QDBusConnection::disconnectFromBus(u"stranger"_s);
}

void tst_GnomeShellCompanion::offerIsPastedByOtherPrograms_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reader");

    QTest::newRow("PNG, X11") << u"image/png"_s << encodedImage() << u"xclip"_s;
    QTest::newRow("text, Wayland") << utf8Text << "pasted natively"_ba << u"wl-paste"_s;
}

void tst_GnomeShellCompanion::offerIsPastedByOtherPrograms()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reader);
    static uint token = 40;
    ++token;
    m_side.offer = { { type, bytes }, { u"text/html"_s, "<i>unused</i>"_ba } };
    m_side.requests.clear();
    const uint before = m_serial;
    // Sent without waiting for the answer: the shell may ask for the bytes
    // first, and Qt does not hand us a call from a peer whose answer it awaits.
    QDBusMessage offer
        = QDBusMessage::createMethodCall(shellName, shellPath, shellInterface, u"SetClipboard"_s);
    offer.setArguments({ QStringList { type, u"text/html"_s }, token });
    QVERIFY(m_bus.send(offer));
    uint serial = 0;
    QStringList mimeTypes;
    bool ours = false;
    // A change announced late for the previous owner may come first.
    for (uint after = before; !ours; after = serial)
        QVERIFY(waitForOwner(after, { type }, &serial, &mimeTypes, &ours));
    // All the types where the shell asks as programs paste; where it cannot
    // (GNOME 43 and 44), the first, fetched at once.
    const QStringList offered { type, u"text/html"_s };
    QVERIFY2(!mimeTypes.isEmpty() && offered.mid(0, mimeTypes.size()) == mimeTypes,
        qPrintable(mimeTypes.join(u' ')));

    if (reader == u"xclip"_s) {
        QCOMPARE(ClipboardTools::readWithXclip(type), bytes);
    } else {
        QProcess wlPaste;
        QSignalSpy finished(&wlPaste, &QProcess::finished);
        wlPaste.start(u"wl-paste"_s, { u"--no-newline"_s, u"--type"_s, type });
        QVERIFY(finished.wait(10000));
        QCOMPARE(wlPaste.readAllStandardOutput(), bytes);
    }
    QVERIFY(m_side.requests.contains(std::pair(token, type)));
}

Focused tst_GnomeShellCompanion::focusedWindow()
{
    const QDBusMessage reply = callShell(m_bus, u"GetFocusedWindow"_s);
    if (reply.arguments().size() != 4)
        return {};
    return { reply.arguments().at(0).toULongLong(), reply.arguments().at(1).toString() };
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
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow().wmClass, u"qs-first"_s, 10000);
    const quint64 first = focusedWindow().id;
    QVERIFY(startFocusedWindow(u"qs-second"_s));
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow().wmClass, u"qs-second"_s, 10000);
    QVERIFY(focusedWindow().id != first);

    QDBusMessage reply = callShell(m_bus, u"ActivateWindow"_s, { first });
    QCOMPARE(reply.arguments().value(0), QVariant(true));
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow().id, first, 10000);
    QCOMPARE(focusedWindow().wmClass, u"qs-first"_s);
    // Told as it happens, too.
    QTRY_COMPARE(m_focusChanges.value(m_focusChanges.size() - 1).value(0).toULongLong(), first);

    // A window that is gone is said to be so.
    m_windows.killAll();
    QTRY_COMPARE_WITH_TIMEOUT(focusedWindow().id, quint64(0), 10000);
    reply = callShell(m_bus, u"ActivateWindow"_s, { first });
    QCOMPARE(reply.arguments().value(0), QVariant(false));
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
