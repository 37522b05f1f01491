// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeKeyboardLayout.h"
#include "globalhotkeys/KeyCodeTable.h"
#include "globalhotkeys/ShortcutConflicts.h"

#include <QAction>
#include <QMenu>
#include <QTest>

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
    QAction *quit = file.addAction(QStringLiteral("Quit"));
    QAction *undo = edit.addAction(QStringLiteral("Undo"));
    QAction *redo = edit.addAction(QStringLiteral("Redo"));
    QMenu *format = edit.addMenu(QStringLiteral("Format"));
    QMenu *style = format->addMenu(QStringLiteral("Style"));
    QAction *bold = style->addAction(QStringLiteral("Bold"));
    QAction *alsoBold = edit.addAction(QStringLiteral("Bold again"));
    QAction *refresh = edit.addAction(QStringLiteral("Refresh"));
    QAction *chord = edit.addAction(QStringLiteral("Chord"));
    QAction *keypad = edit.addAction(QStringLiteral("Keypad"));

    Menus()
    {
        quit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
        undo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
        redo->setShortcuts({ QKeySequence(QStringLiteral("Ctrl+Y")),
            QKeySequence(QStringLiteral("Ctrl+Shift+Z")) });
        bold->setShortcut(QKeySequence(QStringLiteral("Ctrl+B")));
        alsoBold->setShortcut(QKeySequence(QStringLiteral("Ctrl+B")));
        refresh->setShortcut(QKeySequence(QStringLiteral("F5")));
        chord->setShortcut(QKeySequence(QStringLiteral("Ctrl+K, Ctrl+D")));
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
        QTest::newRow("Quit") << Shortcut(Key::q, command) << QStringLiteral("Quit");
        QTest::newRow("Shift is not implied") << Shortcut(Key::q, shiftCommand) << QString();
        QTest::newRow("Ctrl+Shift+Z is redo")
            << Shortcut(Key::z, shiftCommand) << QStringLiteral("Redo");
        QTest::newRow("Ctrl+Z is undo") << Shortcut(Key::z, command) << QStringLiteral("Undo");
        QTest::newRow("two submenus deep, first wins")
            << Shortcut(Key::b, command) << QStringLiteral("Bold");
        QTest::newRow("F5") << Shortcut(Key::f5) << QStringLiteral("Refresh");
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
        german.setCharacter(*evdevCodeForKeyCode(Key::z.rawValue), QStringLiteral("y"));
        german.setCharacter(*evdevCodeForKeyCode(Key::y.rawValue), QStringLiteral("z"));
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
