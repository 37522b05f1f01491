// SPDX-License-Identifier: GPL-3.0-or-later
#include "GnomeOverview.h"
#include "PaintedPixels.h"
#include "RecordingNotifier.h"
#include "StoreFixture.h"
#include "app/PanelController.h"
#include "app/PasteAfterChoosing.h"
#include "app/PasteKeys.h"
#include "app/SessionBus.h"
#include "app/Workspace.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "platform/wayland/GnomeShellBus.h"
#include "platform/wayland/GnomeShellPasteKeys.h"
#include "program/Program.h"
#include "ui/HistoryViewController.h"
#include "ui/PreferencesController.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QCheckBox>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Whether the window called `name` has the keyboard; an X window that has
// not is raised, as the shell may leave a new one behind.
bool hasKeyboard(PasteKeys &keys, const QString &name, bool x)
{
    const std::optional<PasteKeys::Focus> focus = keys.keyboardFocus();
    if (focus && focus->names.contains(name, Qt::CaseInsensitive))
        return true;
    if (x)
        QProcess::execute(u"xdotool"_s, { u"search"_s, u"--class"_s, name, u"windowactivate"_s });
    return false;
}

QByteArray output(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(5000);
    return process.readAllStandardOutput();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// KWin keeps its fake input to programs it trusts: the setting is greyed
// out, with the reason written under it.
void checkGreyedOutUnderKWin(AppDelegate &app)
{
    QCOMPARE(app.paste().unavailableReason(), qtTrId("paste.unavailable.kwin"));
    app.applicationDidFinishLaunching();
    app.openPreferences();
    PreferencesController *preferences = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        preferences = preferences ? preferences : qobject_cast<PreferencesController *>(window);
    QVERIFY(preferences);
    QLabel *note = nullptr;
    for (QLabel *label : preferences->findChildren<QLabel *>())
        note = label->text() == qtTrId("paste.unavailable.kwin") ? label : note;
    QVERIFY(note && note->isVisible());
    const QRect noteArea(note->mapTo(preferences, QPoint()), note->size());
    QVERIFY(pixelsUnlikeSurroundings(preferences->grab().toImage(), noteArea) > 0);
    QCheckBox *box = preferences->pasteAfterChoosingCheckbox();
    const QImage greyed = box->grab().toImage();
    preferences->setPasteUnavailableReason(QString());
    QVERIFY(box->grab().toImage() != greyed);
    QVERIFY(!note->isVisible());
}

} // namespace

class tst_PasteWayland : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pastesIntoTheWindowChosenFrom_data();
    void pastesIntoTheWindowChosenFrom();
};

void tst_PasteWayland::initTestCase()
{
    QVERIFY(!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
    QVERIFY(installTranslations(*QCoreApplication::instance()));
    // In GNOME Shell the companion answers the program that holds its name.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!GnomeShellBus::isAvailable(bus))
        return;
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    QCOMPARE(SessionBus::claimServiceName(bus), SessionBus::Claim::claimed);
    QTRY_VERIFY_WITH_TIMEOUT(gnomeOverviewShown(bus), 20000);
    bus.call(GnomeShellBus::call(
        GnomeShellBus::Member::pressChord, { QVariant::fromValue(QList<uint> { 0xff1b }) }));
    QTRY_VERIFY_WITH_TIMEOUT(!gnomeOverviewShown(bus), 20000);
    // The shell gives new windows the keyboard only once the overview has
    // gone for good: a first window, X so that it can be found and raised,
    // is waited for until it has the keyboard.
    QProcess first;
    first.start(u"xterm"_s, { u"-e"_s, u"cat"_s });
    GnomeShellPasteKeys keys(bus);
    QTRY_VERIFY_WITH_TIMEOUT(hasKeyboard(keys, u"XTerm"_s, true), 20000);
    first.kill();
    first.waitForFinished();
}

void tst_PasteWayland::pastesIntoTheWindowChosenFrom_data()
{
    // foot, a Wayland terminal, or xterm on XWayland.
    QTest::addColumn<bool>("xterm");
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QStringList>("userTerminals");
    QTest::addColumn<QByteArray>("typed");

    QTest::newRow("terminal") << false << u"foot"_s << QStringList() << "pasted clip"_ba;
    // The same terminal under a name no list holds gets Ctrl+V, which it
    // passes on as the control character.
    QTest::newRow("not a terminal") << false << u"qs-editor"_s << QStringList() << "\x16"_ba;
    QTest::newRow("terminal the user listed")
        << false << u"qs-terminal"_s << QStringList { u"qs-terminal"_s } << "pasted clip"_ba;
    QTest::newRow("X terminal") << true << u"XTerm"_s << QStringList() << "pasted clip"_ba;
}

// The terminal runs cat into a file: what is pasted arrives there. A first
// choice with the setting off types nothing.
void tst_PasteWayland::pastesIntoTheWindowChosenFrom()
{
    QFETCH(bool, xterm);
    QFETCH(QString, appId);
    QFETCH(QStringList, userTerminals);
    QFETCH(QByteArray, typed);

    QTemporaryDir dir;
    RecordingNotifier notifier;
    const QString settingsFile = dir.filePath(u"Quillstack.conf"_s);
    if (!userTerminals.isEmpty())
        Defaults(settingsFile)
            .setObject(QLatin1String(SettingsKeys::terminalClasses), userTerminals);
    Program program(Program::Options { settingsFile, dir.path(), &notifier });
    AppDelegate &app = program.app();
    PasteKeys &keys = program.pasteKeys();
    const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (bus && bus->isServiceRegistered(u"org.kde.KWin"_s)) {
        checkGreyedOutUnderKWin(app);
        return;
    }
    QVERIFY2(keys.unavailableReason().isEmpty(), qPrintable(keys.unavailableReason()));
    app.store().add(StoreFixture::text(u"pasted clip"_s));
    app.applicationDidFinishLaunching();

    const QString file = dir.filePath(u"typed"_s);
    const QStringList shell { u"sh"_s, u"-c"_s, u"stty raw -echo; exec cat > '%1'"_s.arg(file) };
    QProcess terminal;
    if (xterm) {
        // Bound to paste the clipboard as terminals that have the chord do.
        terminal.start(u"xterm"_s,
            QStringList { u"-class"_s, appId, u"-xrm"_s,
                u"%1*VT100.translations: #override Ctrl Shift <Key>V: insert-selection(CLIPBOARD)"_s
                    .arg(appId),
                u"-e"_s }
                + shell);
    } else {
        terminal.start(u"foot"_s, QStringList { u"--app-id="_s + appId } + shell);
    }
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(hasKeyboard(keys, appId, xterm), 10000);
    // The workspace, which the panel asks which window it opens over, may
    // hear of the change a moment later.
    const quint64 target = keys.keyboardFocus()->window.windowId;
    QTRY_VERIFY_WITH_TIMEOUT(program.workspace().frontmostWindow()
            && program.workspace().frontmostWindow()->windowId == target,
        10000);

    QSignalSpy finished(&app.paste(), &PasteAfterChoosing::finished);
    for (const bool paste : { false, true }) {
        app.settings().setPasteAfterChoosing(paste);
        app.toggleFromShortcut(ListMode::all);
        QTest::keyClick(app.panel().history()->searchField(), Qt::Key_Return);
        QCOMPARE(app.paste().isWaiting() || !finished.isEmpty(), paste);
        // In GNOME Shell the first copy has reached X programs too before
        // the second: its XWayland bridge would otherwise still be taking it
        // over as the second is pasted.
        if (!paste && GnomeShellBus::isGnomeWayland())
            QTRY_COMPARE_WITH_TIMEOUT(
                output(u"xclip"_s, { u"-o"_s, u"-selection"_s, u"clipboard"_s }), "pasted clip"_ba,
                10000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    QCOMPARE(finished.first().first().toBool(), true);
    // Once, from the second choice.
    QTRY_COMPARE_WITH_TIMEOUT(contents(file), typed, 10000);
    terminal.kill();
    terminal.waitForFinished();
}

QTEST_MAIN(tst_PasteWayland)
#include "tst_PasteWayland.moc"
