// SPDX-License-Identifier: GPL-3.0-or-later
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

namespace {

// Whether the window called `name` has the keyboard; an X window that has
// not is raised, as the shell may leave a new one behind.
bool hasKeyboard(PasteKeys &keys, const QString &name, bool x)
{
    const std::optional<PasteKeys::Focus> focus = keys.keyboardFocus();
    if (focus && focus->names.contains(name, Qt::CaseInsensitive))
        return true;
    if (x)
        QProcess::execute(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--class"), name,
                QStringLiteral("windowactivate") });
    return false;
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
    // The shell starts in its overview, which keeps new windows from the
    // keyboard: Escape leaves it, as a user would.
    const auto overviewShown = [&] {
        const QDBusMessage reply
            = bus.call(QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Shell"),
                           QStringLiteral("/org/gnome/Shell"),
                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"))
                << QStringLiteral("org.gnome.Shell") << QStringLiteral("OverviewActive"));
        return reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
    };
    QTRY_VERIFY_WITH_TIMEOUT(overviewShown(), 20000);
    bus.call(GnomeShellBus::call(
        GnomeShellBus::Member::pressChord, { QVariant::fromValue(QList<uint> { 0xff1b }) }));
    QTRY_VERIFY_WITH_TIMEOUT(!overviewShown(), 20000);
    // The shell gives new windows the keyboard only once the overview has
    // gone for good: a first window, X so that it can be found and raised,
    // is waited for until it has the keyboard.
    QProcess first;
    first.start(QStringLiteral("xterm"), { QStringLiteral("-e"), QStringLiteral("cat") });
    GnomeShellPasteKeys keys(bus);
    QTRY_VERIFY_WITH_TIMEOUT(hasKeyboard(keys, QStringLiteral("XTerm"), true), 20000);
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

    QTest::newRow("terminal") << false << QStringLiteral("foot") << QStringList()
                              << QByteArray("pasted clip");
    // The same terminal under a name no list holds gets Ctrl+V, which it
    // passes on as the control character.
    QTest::newRow("not a terminal")
        << false << QStringLiteral("qs-editor") << QStringList() << QByteArray("\x16");
    QTest::newRow("terminal the user listed")
        << false << QStringLiteral("qs-terminal") << QStringList { QStringLiteral("qs-terminal") }
        << QByteArray("pasted clip");
    QTest::newRow("X terminal") << true << QStringLiteral("XTerm") << QStringList()
                                << QByteArray("pasted clip");
}

// foot, a Wayland terminal, runs cat into a file: what is pasted arrives
// there. A first choice with the setting off types nothing.
void tst_PasteWayland::pastesIntoTheWindowChosenFrom()
{
    QFETCH(bool, xterm);
    QFETCH(QString, appId);
    QFETCH(QStringList, userTerminals);
    QFETCH(QByteArray, typed);

    QTemporaryDir dir;
    RecordingNotifier notifier;
    const QString settingsFile = dir.filePath(QStringLiteral("Quillstack.conf"));
    {
        Defaults defaults(settingsFile);
        if (!userTerminals.isEmpty())
            defaults.setObject(QLatin1String(SettingsKeys::terminalClasses), userTerminals);
    }
    Program program(Program::Options { settingsFile, dir.path(), &notifier });
    AppDelegate &app = program.app();
    PasteKeys &keys = program.pasteKeys();
    const QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (bus && bus->isServiceRegistered(QStringLiteral("org.kde.KWin"))) {
        // KWin keeps its fake input to programs it trusts: the setting is
        // greyed out, with the reason written under it.
        QCOMPARE(app.paste().unavailableReason(), qtTrId("paste.unavailable.kwin"));
        app.applicationDidFinishLaunching();
        app.openPreferences();
        PreferencesController *preferences = nullptr;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *found = qobject_cast<PreferencesController *>(window))
                preferences = found;
        }
        QVERIFY(preferences);
        QCheckBox *box = preferences->pasteAfterChoosingCheckbox();
        QLabel *note = nullptr;
        for (QLabel *label : preferences->findChildren<QLabel *>()) {
            if (label->text() == qtTrId("paste.unavailable.kwin"))
                note = label;
        }
        QVERIFY(note && note->isVisible());
        const QImage shown = preferences->grab().toImage();
        const QRect noteArea(note->mapTo(preferences, QPoint()), note->size());
        QVERIFY(pixelsUnlikeSurroundings(shown, noteArea) > 0);
        const QImage greyed = box->grab().toImage();
        preferences->setPasteUnavailableReason(QString());
        QVERIFY(box->grab().toImage() != greyed);
        QVERIFY(!note->isVisible());
        return;
    }
    QVERIFY2(keys.unavailableReason().isEmpty(), qPrintable(keys.unavailableReason()));
    app.store().add(StoreFixture::text(QStringLiteral("pasted clip")));
    app.applicationDidFinishLaunching();

    const QString file = dir.filePath(QStringLiteral("typed"));
    const QStringList shell { QStringLiteral("sh"), QStringLiteral("-c"),
        QStringLiteral("stty raw -echo; exec cat > '%1'").arg(file) };
    QProcess terminal;
    if (xterm) {
        // Bound to paste the clipboard as terminals that have the chord do.
        terminal.start(QStringLiteral("xterm"),
            QStringList { QStringLiteral("-class"), appId, QStringLiteral("-xrm"),
                QStringLiteral("%1*VT100.translations: #override Ctrl Shift <Key>V: "
                               "insert-selection(CLIPBOARD)")
                    .arg(appId),
                QStringLiteral("-e") }
                + shell);
    } else {
        terminal.start(
            QStringLiteral("foot"), QStringList { QStringLiteral("--app-id=") + appId } + shell);
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
        HistoryViewController &history = *app.panel().history();
        QTest::keyClick(history.searchField(), Qt::Key_Return);
        QCOMPARE(app.paste().isWaiting() || !finished.isEmpty(), paste);
        // In GNOME Shell the first copy has reached X programs too before
        // the second: its XWayland bridge would otherwise still be taking it
        // over as the second is pasted.
        const auto xClipboard = [] {
            QProcess xclip;
            xclip.start(QStringLiteral("xclip"),
                { QStringLiteral("-o"), QStringLiteral("-selection"),
                    QStringLiteral("clipboard") });
            xclip.waitForFinished(5000);
            return xclip.readAllStandardOutput();
        };
        if (!paste && GnomeShellBus::isGnomeWayland())
            QTRY_COMPARE_WITH_TIMEOUT(xClipboard(), QByteArray("pasted clip"), 10000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 5000);
    QCOMPARE(finished.first().first().toBool(), true);
    const auto contents = [&] {
        QFile typedFile(file);
        return typedFile.open(QIODevice::ReadOnly) ? typedFile.readAll() : QByteArray();
    };
    // Once, from the second choice.
    QTRY_COMPARE_WITH_TIMEOUT(contents(), typed, 10000);
    terminal.kill();
    terminal.waitForFinished();
}

QTEST_MAIN(tst_PasteWayland)
#include "tst_PasteWayland.moc"
