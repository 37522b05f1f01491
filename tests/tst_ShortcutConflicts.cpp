// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeKeyboardLayout.h"
#include "globalhotkeys/KeyCodeTable.h"
#include "globalhotkeys/ShortcutConflicts.h"

#include <QAction>
#include <QMenu>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace GlobalHotkeys;

namespace {

const ModifierFlags command(ModifierFlag::command);
const ModifierFlags shiftCommand = ModifierFlag::shift | ModifierFlag::command;

// A menu bar's worth of menus: "File" with Quit, "Edit" with Undo and Redo
// and a "Format" submenu holding a "Style" submenu.
struct Menus
{
    QMenu file;
    QMenu edit;
    QAction *quit = file.addAction(u"Quit"_s);
    QAction *undo = edit.addAction(u"Undo"_s);
    QAction *redo = edit.addAction(u"Redo"_s);
    QMenu *format = edit.addMenu(u"Format"_s);
    QMenu *style = format->addMenu(u"Style"_s);
    QAction *bold = style->addAction(u"Bold"_s);
    QAction *alsoBold = edit.addAction(u"Bold again"_s);
    QAction *refresh = edit.addAction(u"Refresh"_s);
    QAction *chord = edit.addAction(u"Chord"_s);
    QAction *keypad = edit.addAction(u"Keypad"_s);

    Menus()
    {
        quit->setShortcut(QKeySequence(u"Ctrl+Q"_s));
        undo->setShortcut(QKeySequence(u"Ctrl+Z"_s));
        redo->setShortcuts({ QKeySequence(u"Ctrl+Y"_s), QKeySequence(u"Ctrl+Shift+Z"_s) });
        bold->setShortcut(QKeySequence(u"Ctrl+B"_s));
        alsoBold->setShortcut(QKeySequence(u"Ctrl+B"_s));
        refresh->setShortcut(QKeySequence(u"F5"_s));
        chord->setShortcut(QKeySequence(u"Ctrl+K, Ctrl+D"_s));
        keypad->setShortcut(QKeySequence(Qt::KeypadModifier | Qt::ControlModifier | Qt::Key_7));
    }

    QList<QAction *> bar() const { return { file.menuAction(), edit.menuAction() }; }
};

} // namespace

class tst_ShortcutConflicts : public QObject
{
    Q_OBJECT
private slots:
    void findsMenuItems_data()
    {
        QTest::addColumn<Shortcut>("shortcut");
        QTest::addColumn<QString>("item");
        QTest::newRow("Quit") << Shortcut(Key::q, command) << u"Quit"_s;
        QTest::newRow("Shift is not implied") << Shortcut(Key::q, shiftCommand) << QString();
        QTest::newRow("Ctrl+Shift+Z is redo") << Shortcut(Key::z, shiftCommand) << u"Redo"_s;
        QTest::newRow("Ctrl+Z is undo") << Shortcut(Key::z, command) << u"Undo"_s;
        QTest::newRow("two submenus deep, first wins") << Shortcut(Key::b, command) << u"Bold"_s;
        QTest::newRow("F5") << Shortcut(Key::f5) << u"Refresh"_s;
        QTest::newRow("first key of a chord") << Shortcut(Key::k, command) << QString();
        QTest::newRow("keypad never matches") << Shortcut(Key::keypad7, command) << QString();
    }

    void findsMenuItems()
    {
        QFETCH(Shortcut, shortcut);
        QFETCH(QString, item);
        const Menus menus;
        const FakeKeyboardLayout layout;
        const QAction *found
            = GlobalHotkeys::menuItemWithMatchingShortcut(menus.bar(), shortcut, layout);
        QCOMPARE(found ? found->text() : QString(), item);
    }

    void menuSearchUsesTheLayout()
    {
        const Menus menus;
        FakeKeyboardLayout german;
        german.setCharacter(*evdevCodeForKeyCode(Key::z.rawValue), u"y"_s);
        german.setCharacter(*evdevCodeForKeyCode(Key::y.rawValue), u"z"_s);
        // On a German keyboard Ctrl+Y is typed on the key that US keyboards
        // label Z.
        QCOMPARE(GlobalHotkeys::menuItemWithMatchingShortcut(
                     menus.edit, Shortcut(Key::z, command), german),
            menus.redo);
        QCOMPARE(GlobalHotkeys::menuItemWithMatchingShortcut(
                     menus.edit, Shortcut(Key::y, command), german),
            menus.undo);
        QCOMPARE(GlobalHotkeys::menuItemWithMatchingShortcut(
                     menus.file, Shortcut(Key::z, command), german),
            nullptr);
    }
};

QTEST_MAIN(tst_ShortcutConflicts)
#include "tst_ShortcutConflicts.moc"
