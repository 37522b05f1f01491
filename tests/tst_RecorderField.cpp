// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "RecorderKeys.h"
#include "globalhotkeys/Localization.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/RecorderField.h"
#include "model/Defaults.h"

#include <QAbstractButton>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

using namespace GlobalHotkeys;

namespace {

const ModifierFlags ctrlAlt = ModifierFlag::command | ModifierFlag::option;
const Shortcut ctrlAltP(Key::p, ctrlAlt);
const Shortcut ctrlAltB(Key::b, ctrlAlt);
const Shortcut ctrlAltH(Key::h, ctrlAlt);

struct Press
{
    Key key;
    int qtKey;
    Qt::KeyboardModifiers modifiers;
};

// A key pressed while recording, and what follows: the name's shortcut, the
// beeps and alert, whether recording goes on; alerts are answered `answer`.
struct Step
{
    Press press;
    QString stored;
    int beeps;
    bool recording;
    QString alert;
    const char *answer;
};

// A window with a field before the recorder and one after it, over a name
// that holds Ctrl+Alt+P; alerts are answered with `answer`.
struct Fixture
{
    Fixture()
    {
        shortcuts.createName(name);
        shortcuts.createName(other);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(before);
        recorder = new RecorderField(shortcuts, name, [this](const std::optional<Shortcut> &s) {
            changes.append(s ? s->description(keyboard) : u"none"_s);
        });
        recorder->setOtherNames({ { name, u"Open kept clips"_s }, { other, u"Open history"_s } });
        layout->addWidget(recorder);
        layout->addWidget(after);
        layout->setContentsMargins(20, 20, 20, 20);
        recorder->setBeep([this] { ++beeps; });
        recorder->setAlertRunner([this](QMessageBox &box) -> QAbstractButton * {
            alerts.append(box.text());
            for (QAbstractButton *button : box.buttons()) {
                if (button->text() == localizedString(answer))
                    return button;
            }
            return nullptr;
        });
        menu.addAction(u"&Quit"_s)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
        window.show();
        QApplication::setActiveWindow(&window);
        before->setFocus();
    }

    bool record()
    {
        recorder->setFocus(Qt::MouseFocusReason);
        return recorder->isRecording();
    }

    QString stored() const
    {
        const std::optional<Shortcut> s = shortcuts.getShortcut(name);
        return s ? s->description(keyboard) : u"none"_s;
    }

    QTemporaryDir dir;
    Defaults defaults { dir.filePath(u"Quillstack.conf"_s) };
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout keyboard;
    NamedShortcuts shortcuts { defaults, registrar, keyboard };
    Name name { u"togglePinnedPanel"_s, ctrlAltP };
    Name other { u"togglePanel"_s, ctrlAltH };
    QWidget window;
    QLineEdit *before = new QLineEdit;
    QLineEdit *after = new QLineEdit;
    RecorderField *recorder = nullptr;
    QMenu menu;
    QStringList changes;
    QStringList alerts;
    const char *answer = "ok";
    int beeps = 0;
};

} // namespace

Q_DECLARE_METATYPE(Step)

class tst_RecorderField : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*QCoreApplication::instance())); }

    // Each step of the check order, as the user meets it.
    void keyWhileRecording_data()
    {
        QTest::addColumn<Step>("step");
        const auto row = [](const char *name, Press press, const char *stored, int beeps,
                             bool recording, const QString &alert = {}, const char *answer = "ok") {
            QTest::newRow(name) << Step { press, QString::fromLatin1(stored), beeps, recording,
                alert, answer };
        };
        const Qt::KeyboardModifiers ca = Qt::ControlModifier | Qt::AltModifier;
        const QString heldElsewhere = localizedString("keyboard_shortcut_used_by_system");
        row("Ctrl+Alt+V is taken", { Key::v, Qt::Key_V, ca }, "Ctrl+Alt+V", 0, false);
        row("Super+Shift+K is taken", { Key::k, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier },
            "Super+Shift+K", 0, false);
        row("V alone beeps", { Key::v, Qt::Key_V, {} }, "Ctrl+Alt+P", 1, true);
        row("Shift+V beeps", { Key::v, Qt::Key_V, Qt::ShiftModifier }, "Ctrl+Alt+P", 1, true);
        row("Shift+Tab beeps", { Key::tab, Qt::Key_Backtab, Qt::ShiftModifier }, "Ctrl+Alt+P", 1,
            true);
        row("F5 alone is taken", { Key::f5, Qt::Key_F5, {} }, "F5", 0, false);
        row("Ctrl alone waits", { Key::command, Qt::Key_Control, Qt::ControlModifier },
            "Ctrl+Alt+P", 0, true);
        row("Escape gives up", { Key::escape, Qt::Key_Escape, {} }, "Ctrl+Alt+P", 0, false);
        row("Tab moves on", { Key::tab, Qt::Key_Tab, {} }, "Ctrl+Alt+P", 0, false);
        row("Delete clears", { Key::deleteForward, Qt::Key_Delete, {} }, "none", 0, true);
        row("Backspace clears", { Key::delete_, Qt::Key_Backspace, {} }, "none", 0, true);
        row("a menu item's shortcut", { Key::q, Qt::Key_Q, Qt::ControlModifier }, "Ctrl+Alt+P", 0,
            true, localizedString("keyboard_shortcut_used_by_menu_item").arg(u"Quit"_s));
        row("the other name's shortcut", { Key::h, Qt::Key_H, ca }, "Ctrl+Alt+P", 0, true,
            localizedString("keyboard_shortcut_used_by_other_name").arg(u"Open history"_s));
        row("held elsewhere, OK", { Key::b, Qt::Key_B, ca }, "Ctrl+Alt+P", 0, true, heldElsewhere);
        row("held elsewhere, used anyway", { Key::b, Qt::Key_B, ca }, "Ctrl+Alt+B", 0, false,
            heldElsewhere, "force_use_shortcut");
        row("F12 alone is never checked", { Key::f12, Qt::Key_F12, {} }, "F12", 0, false);
    }

    void keyWhileRecording()
    {
        QFETCH(Step, step);
        const auto &[press, stored, beeps, recording, alert, answer] = step;
        Fixture f;
        f.answer = answer;
        f.registrar.refuse(ctrlAltB, 10);
        f.registrar.refuse(Shortcut(Key::f12), 10);
        QSignalSpy changed(&f.shortcuts, &NamedShortcuts::shortcutByNameDidChange);
        QVERIFY(f.record());

        pressKey(press.key, press.qtKey, press.modifiers);

        QCOMPARE(f.stored(), stored);
        // A new value is stored and announced once; anything else changes nothing.
        QCOMPARE(f.changes,
            stored == QLatin1String("Ctrl+Alt+P") ? QStringList() : QStringList { stored });
        QCOMPARE(changed.count(), f.changes.size());
        QCOMPARE(f.beeps, beeps);
        QCOMPARE(f.alerts, alert.isEmpty() ? QStringList() : QStringList { alert });
        QCOMPARE(f.recorder->isRecording(), recording);
        QCOMPARE(f.shortcuts.isPaused(), f.recorder->isRecording());
        if (press.key == Key::tab && !press.modifiers)
            QCOMPARE(QApplication::focusWidget(), f.after);
        // While recording the field is empty and asks for the keys.
        QCOMPARE(
            f.recorder->text(), recording || stored == QLatin1String("none") ? QString() : stored);
    }

    // Global shortcuts do nothing while recording, and act again after.
    void pausesGlobalShortcuts()
    {
        Fixture f;
        int fired = 0;
        f.shortcuts.onKeyUp(f.name, [&fired] { ++fired; });
        QSignalSpy active(&f.shortcuts, &NamedShortcuts::recorderActiveStatusDidChange);

        // The keys reach the field, not the desktop's hot keys.
        QVERIFY(f.record());
        QVERIFY(f.registrar.live().isEmpty());
        pressKey(Key::escape, Qt::Key_Escape);
        QCOMPARE(active, (QList<QVariantList> { { true }, { false } }));
        QVERIFY(f.registrar.press(ctrlAltP));
        QVERIFY(f.registrar.release(ctrlAltP));
        QCOMPARE(fired, 1);
    }

    void clickOutside_data()
    {
        QTest::addColumn<int>("distance");
        QTest::addColumn<bool>("recording");
        QTest::newRow("3 px away still counts as on the field") << 3 << true;
        QTest::newRow("4 px away ends the recording") << 4 << false;
    }

    void clickOutside()
    {
        QFETCH(int, distance);
        QFETCH(bool, recording);
        Fixture f;
        QVERIFY(f.record());
        const QPoint below = f.recorder->geometry().bottomLeft() + QPoint(10, distance);
        QTest::mouseClick(&f.window, Qt::LeftButton, {}, below);
        QCOMPARE(f.recorder->isRecording(), recording);
    }

    void clearButtonClearsTheName()
    {
        Fixture f;
        auto *clear = f.recorder->findChild<QToolButton *>();
        QVERIFY(clear);
        clear->click();
        QCOMPARE(f.stored(), u"none"_s);
        QCOMPARE(f.changes, QStringList { u"none"_s });
    }
};

QTEST_MAIN(tst_RecorderField)
#include "tst_RecorderField.moc"
