// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConsoleCapture.h"
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "RecordingNotifier.h"
#include "TopLevelWindow.h"
#include "app/HotkeyController.h"
#include "app/TrayMenu.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "model/Defaults.h"
#include "ui/Translations.h"

#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QScopeGuard>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {

struct Fixture
{
    QTemporaryDir dir;
    Defaults defaults { dir.filePath(u"Quillstack.conf"_s) };
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout layout;
    GlobalHotkeys::NamedShortcuts shortcuts { defaults, registrar, layout };
    HotkeyController hotkeys { shortcuts };
    RecordingNotifier notifier;
    QWidget panel;
    TrayMenu tray { panel, hotkeys, notifier };

    // The items as the user sees them on opening the menu, "-" for a line
    // and "[x]" before a checked one.
    QStringList open()
    {
        QMenu *menu = topLevelWindow<QMenu>(u"trayMenu"_s);
        menu->popup(QPoint(10, 10));
        QStringList texts;
        for (const QAction *action : menu->actions())
            texts.append(action->isSeparator() ? u"-"_s
                    : action->isChecked()      ? u"[x]"_s + action->text()
                                               : action->text());
        menu->hide();
        return texts;
    }
};

} // namespace

class tst_TrayMenu : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*QCoreApplication::instance())); }

    // The menu names the panel's state and the recording's as they are when
    // it opens; what each item does is carried out by the application
    // controller.
    void items()
    {
        Fixture f;
        QMenu *menu = topLevelWindow<QMenu>(u"trayMenu"_s);
        QCOMPARE(f.tray.icon().contextMenu(), menu);
        QStringList items { qtTrId("menu.show"), u"-"_s, qtTrId("menu.settings"),
            qtTrId("menu.clearHistory"), qtTrId("menu.pauseRecording"), u"-"_s,
            qtTrId("menu.share"), u"-"_s, qtTrId("menu.quit") };
        QCOMPARE(f.open(), items);
        QCOMPARE(menu->actions().last()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        f.panel.show();
        f.tray.setRecording(false);
        QCOMPARE(f.tray.icon().toolTip(), qtTrId("status.paused"));
        items[0] = qtTrId("menu.hide");
        items[4].prepend(u"[x]"_s);
        QCOMPARE(f.open(), items);
        f.tray.setRecording(true);
        QCOMPARE(f.tray.icon().toolTip(), qtTrId("status.accessibility"));
    }

    void share_data()
    {
        QTest::addColumn<QString>("launcher"); // the xdg-email found first on the path
        QTest::addColumn<bool>("sent");
        QTest::newRow("sent") << u"exit 0"_s << true;
        QTest::newRow("no mail program") << u"exit 3"_s << false;
        QTest::newRow("no xdg-email") << QString() << false;
    }

    // Sharing by email hands a message with the program's page to the mail
    // program; without one the user hears of it once, and what xdg-email
    // printed stays off our console.
    void share()
    {
        QFETCH(QString, launcher);
        QFETCH(bool, sent);
        Fixture f;
        const QString asked = f.dir.filePath(u"asked"_s);
        if (!launcher.isEmpty()) {
            QFile script(f.dir.filePath(u"xdg-email"_s));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n"
                                        "echo 'xdg-email: no method available' >&2\n"
                                        "echo 'xdg-email: on its output'\n%2\n")
                             .arg(asked, launcher)
                             .toUtf8());
            script.close();
            QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(f.dir.path()));
        const auto restorePath = qScopeGuard([&path] { qputenv("PATH", path); });

        f.tray.share();
        QMenu *menu = nullptr;
        QTRY_VERIFY((menu = topLevelWindow<QMenu>(u"shareMenu"_s)) && menu->isVisible());
        // Asserted after the capture ends, so that a failure is seen.
        QByteArray console;
        bool finished = true;
        {
            ConsoleCapture out(1);
            ConsoleCapture err(2);
            for (int attempt = 0; attempt < 2; ++attempt) {
                menu->actions().at(1)->trigger();
                finished = finished
                    && QTest::qWaitFor([&] { return f.tray.findChildren<QProcess *>().isEmpty(); });
            }
            console = out.text() + err.text();
        }
        QVERIFY(finished);
        QVERIFY(!console.contains("xdg-email:"));
        QCOMPARE(f.notifier.shown.size(), sent ? 0 : 1);
        if (!sent)
            QVERIFY(f.notifier.shown.last().message.contains(TrayMenu::shareAddress().toString()));
        if (launcher.isEmpty())
            return;
        QFile log(asked);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> urls = log.readAll().trimmed().split('\n');
        QCOMPARE(urls.size(), 2);
        const QUrlQuery query(QUrl::fromEncoded(urls.first()));
        QVERIFY(urls.first().startsWith("mailto:"));
        QCOMPARE(query.queryItemValue(u"subject"_s, QUrl::FullyDecoded), qtTrId("share.subject"));
        QVERIFY(query.queryItemValue(u"body"_s, QUrl::FullyDecoded)
                    .contains(TrayMenu::shareAddress().toString()));
    }
};

QTEST_MAIN(tst_TrayMenu)
#include "tst_TrayMenu.moc"
