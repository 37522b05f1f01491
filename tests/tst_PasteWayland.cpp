// SPDX-License-Identifier: GPL-3.0-or-later
#include "PaintedPixels.h"
#include "RecordingNotifier.h"
#include "app/PanelController.h"
#include "app/PasteAfterChoosing.h"
#include "app/PasteKeys.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "model/SettingsKeys.h"
#include "program/Program.h"
#include "ui/HistoryViewController.h"
#include "ui/PreferencesController.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QCheckBox>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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
}

void tst_PasteWayland::pastesIntoTheWindowChosenFrom_data()
{
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QStringList>("userTerminals");
    QTest::addColumn<QByteArray>("typed");

    QTest::newRow("terminal") << QStringLiteral("foot") << QStringList()
                              << QByteArray("pasted clip");
    // The same terminal under a name no list holds gets Ctrl+V, which it
    // passes on as the control character.
    QTest::newRow("not a terminal")
        << QStringLiteral("qs-editor") << QStringList() << QByteArray("\x16");
    QTest::newRow("terminal the user listed")
        << QStringLiteral("qs-terminal") << QStringList { QStringLiteral("qs-terminal") }
        << QByteArray("pasted clip");
}

// foot, a Wayland terminal, runs cat into a file: what is pasted arrives
// there. A first choice with the setting off types nothing.
void tst_PasteWayland::pastesIntoTheWindowChosenFrom()
{
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
    ClipContent content;
    content.text = QStringLiteral("pasted clip");
    content.preview = *content.text;
    content.byteSize = content.text->size();
    content.contentHash = sha256Hex(content.text->toUtf8());
    app.store().add(content);
    app.applicationDidFinishLaunching();

    const QString file = dir.filePath(QStringLiteral("typed"));
    QProcess terminal;
    terminal.start(QStringLiteral("foot"),
        { QStringLiteral("--app-id=%1").arg(appId), QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("stty raw -echo; exec cat > '%1'").arg(file) });
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const std::optional<PasteKeys::Focus> focus = keys.keyboardFocus();
            return focus && focus->names.contains(appId);
        }(),
        10000);

    QSignalSpy finished(&app.paste(), &PasteAfterChoosing::finished);
    for (const bool paste : { false, true }) {
        app.settings().setPasteAfterChoosing(paste);
        app.toggleFromShortcut(ListMode::all);
        HistoryViewController &history = *app.panel().history();
        QTest::keyClick(history.searchField(), Qt::Key_Return);
        QCOMPARE(app.paste().isWaiting() || !finished.isEmpty(), paste);
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
