// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyRepeatProbe.h"
#include "X11AppFixture.h"
#include "X11TestTools.h"
#include "app/HistoryPanel.h"
#include "app/HotkeyController.h"
#include "app/PanelController.h"
#include "platform/x11/X11HotkeyRegistrar.h"
#include "ui/HistoryViewController.h"
#include "ui/Translations.h"

#include <QKeyEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

using namespace GlobalHotkeys;

namespace {

const Shortcut ctrlAltV(Key::v, ModifierFlag::command | ModifierFlag::option);

// Presses the chord and lets go of the key first, as people do.
bool typeChord(Key key)
{
    return xdotool("keydown", { Key::command, Key::option, key })
        && xdotool("keyup", { key, Key::option, Key::command });
}

// The keys a widget receives, by X keycode.
class KeyLog : public QObject
{
public:
    QList<quint32> keycodes;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
            keycodes.append(static_cast<QKeyEvent *>(event)->nativeScanCode());
        return QObject::eventFilter(watched, event);
    }
};

bool shows(X11AppFixture &f, ListMode mode)
{
    return waitFor([&] { return f.panel().isVisible() && f.history().listMode() == mode; });
}

} // namespace

class tst_AppX11Hotkeys : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*QCoreApplication::instance())); }

    // With Num Lock or Caps Lock on: tested with the registrar alone.
    void togglesOnTheKeysRelease()
    {
        X11AppFixture f;
        f.app->applicationDidFinishLaunching();
        QSignalSpy pressed(&f.hotkeyRegistrar, &HotkeyRegistrar::hotkeyPressed);
        KeyRepeatProbe repeats;
        QVERIFY(repeats.isValid());

        // The press has arrived and nothing shows, also while the held key
        // repeats; the key's release shows the panel, once, while the
        // modifiers are still down.
        QVERIFY(xdotool("keydown", { Key::command, Key::option, Key::v }));
        QVERIFY(pressed.wait());
        QVERIFY(waitFor([&] { return repeats.repeatsOf(Key::v) >= 2; }));
        QVERIFY(!f.panel().isVisible());
        QVERIFY(xdotool("keyup", { Key::v }));
        QVERIFY(shows(f, ListMode::all));
        QCOMPARE(pressed.count(), 1);
        QVERIFY(waitFor([&] { return f.panelHasKeyboard(); }));
        QVERIFY(xdotool("keyup", { Key::option, Key::command }));

        QVERIFY(typeChord(Key::v));
        QVERIFY(waitFor([&] { return !f.panel().isVisible(); }));
    }

    void aShortcutHeldByAnotherProgram()
    {
        X11HotkeyRegistrar other;
        QCOMPARE(other.registerHotkey(1, ctrlAltV), 0);
        QSignalSpy otherPressed(&other, &HotkeyRegistrar::hotkeyPressed);
        X11AppFixture f;
        f.app->applicationDidFinishLaunching();
        // The user is told once, by name.
        const auto naming = std::count_if(f.notifier.shown.cbegin(), f.notifier.shown.cend(),
            [](const auto &shown) { return shown.title.contains(u"Ctrl+Alt+V"_s); });
        QCOMPARE(naming, 1);

        QVERIFY(typeChord(Key::p));
        QVERIFY(shows(f, ListMode::pinned));
        QVERIFY(typeChord(Key::v));
        QVERIFY(otherPressed.wait());
        QVERIFY(shows(f, ListMode::pinned));
    }

    void worksWhileOurMenusAreOpen_data()
    {
        QTest::addColumn<bool>("contextMenu");
        QTest::newRow("tray menu") << false;
        QTest::newRow("the list's context menu") << true;
    }

    void worksWhileOurMenusAreOpen()
    {
        QFETCH(bool, contextMenu);
        X11AppFixture f;
        f.app->applicationDidFinishLaunching();
        QMenu *menu = f.trayMenu();
        if (contextMenu) {
            f.addText(u"Hello"_s);
            f.app->panel().show(true, ListMode::all);
            QVERIFY(shows(f, ListMode::all));
            menu = f.history().updateContextMenu(0);
        }
        KeyLog menuKeys;
        menu->installEventFilter(&menuKeys);
        menu->popup(QPoint(300, 300));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        QVERIFY(f.namedShortcuts.isMenuOpen());

        // Alt does not close the menu halfway through the chord; the menu's
        // keys are matched against the shortcuts and the key goes no further.
        QVERIFY(typeChord(Key::p));
        QVERIFY(shows(f, ListMode::pinned));
        QVERIFY(menu->isVisible());
        QVERIFY(!menuKeys.keycodes.contains(quint32(x11Keycode(Key::p))));
        menu->hide();
        QVERIFY(!f.namedShortcuts.isMenuOpen());
        QVERIFY(typeChord(Key::p));
        QVERIFY(waitFor([&] { return !f.panel().isVisible(); }));
    }
};

QTEST_MAIN(tst_AppX11Hotkeys)
#include "tst_AppX11Hotkeys.moc"
