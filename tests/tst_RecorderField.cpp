#include "Defaults.h"
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "Localization.h"
#include "NamedShortcuts.h"
#include "RecorderField.h"
#include "RecorderKeys.h"

#include <QAbstractButton>
#include <QMenu>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

using namespace GlobalHotkeys;

namespace {

const ModifierFlags ctrlAlt = ModifierFlag::command | ModifierFlag::option;
const Shortcut ctrlAltP(Key::p, ctrlAlt);
const Shortcut ctrlAltB(Key::b, ctrlAlt);

struct Press
{
    Key key;
    int qtKey;
    Qt::KeyboardModifiers modifiers;
};

// A window with a field before the recorder and one after it, over a name
// that holds Ctrl+Alt+P; alerts are answered with `answer`.
struct Fixture
{
    Fixture()
    {
        shortcuts.createName(name);
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(before);
        recorder = new RecorderField(shortcuts, name, [this](const std::optional<Shortcut> &s) {
            changes.append(s ? s->description(keyboard) : QStringLiteral("none"));
        });
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
        menu.addAction(QStringLiteral("&Quit"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
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
        return s ? s->description(keyboard) : QStringLiteral("none");
    }

    QTemporaryDir dir;
    Defaults defaults { dir.filePath(QStringLiteral("Quillstack.conf")) };
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout keyboard;
    NamedShortcuts shortcuts { defaults, registrar, keyboard };
    Name name { QStringLiteral("togglePinnedPanel"), ctrlAltP };
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

Q_DECLARE_METATYPE(Press)

class tst_RecorderField : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(installTranslations(*QCoreApplication::instance())); }

    // Each step of the check order, as the user meets it.
    void keyWhileRecording_data()
    {
        QTest::addColumn<Press>("press");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QString>("alert");
        QTest::addColumn<bool>("recording");
        const QStringList none;
        const Qt::KeyboardModifiers ca = Qt::ControlModifier | Qt::AltModifier;
        QTest::newRow("Ctrl+Alt+V is taken")
            << Press { Key::v, Qt::Key_V, ca } << QByteArray("ok") << QStringLiteral("Ctrl+Alt+V")
            << QStringList { QStringLiteral("Ctrl+Alt+V") } << 0 << QString() << false;
        QTest::newRow("Super+Shift+K is taken")
            << Press { Key::k, Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier } << QByteArray("ok")
            << QStringLiteral("Super+Shift+K") << QStringList { QStringLiteral("Super+Shift+K") }
            << 0 << QString() << false;
        QTest::newRow("V alone beeps")
            << Press { Key::v, Qt::Key_V, {} } << QByteArray("ok") << QStringLiteral("Ctrl+Alt+P")
            << none << 1 << QString() << true;
        QTest::newRow("Shift+V beeps")
            << Press { Key::v, Qt::Key_V, Qt::ShiftModifier } << QByteArray("ok")
            << QStringLiteral("Ctrl+Alt+P") << none << 1 << QString() << true;
        QTest::newRow("Shift+Tab beeps")
            << Press { Key::tab, Qt::Key_Backtab, Qt::ShiftModifier } << QByteArray("ok")
            << QStringLiteral("Ctrl+Alt+P") << none << 1 << QString() << true;
        QTest::newRow("F5 alone is taken")
            << Press { Key::f5, Qt::Key_F5, {} } << QByteArray("ok") << QStringLiteral("F5")
            << QStringList { QStringLiteral("F5") } << 0 << QString() << false;
        QTest::newRow("Shift+F5 is taken")
            << Press { Key::f5, Qt::Key_F5, Qt::ShiftModifier } << QByteArray("ok")
            << QStringLiteral("Shift+F5") << QStringList { QStringLiteral("Shift+F5") } << 0
            << QString() << false;
        QTest::newRow("Ctrl alone waits")
            << Press { Key::command, Qt::Key_Control, Qt::ControlModifier } << QByteArray("ok")
            << QStringLiteral("Ctrl+Alt+P") << none << 0 << QString() << true;
        QTest::newRow("Escape gives up")
            << Press { Key::escape, Qt::Key_Escape, {} } << QByteArray("ok")
            << QStringLiteral("Ctrl+Alt+P") << none << 0 << QString() << false;
        QTest::newRow("Delete clears")
            << Press { Key::deleteForward, Qt::Key_Delete, {} } << QByteArray("ok")
            << QStringLiteral("none") << QStringList { QStringLiteral("none") } << 0 << QString()
            << true;
        QTest::newRow("Backspace clears")
            << Press { Key::delete_, Qt::Key_Backspace, {} } << QByteArray("ok")
            << QStringLiteral("none") << QStringList { QStringLiteral("none") } << 0 << QString()
            << true;
        QTest::newRow("a menu item's shortcut")
            << Press { Key::q, Qt::Key_Q, Qt::ControlModifier } << QByteArray("ok")
            << QStringLiteral("Ctrl+Alt+P") << none << 0
            << localizedString("keyboard_shortcut_used_by_menu_item").arg(QStringLiteral("Quit"))
            << true;
        QTest::newRow("held elsewhere, OK")
            << Press { Key::b, Qt::Key_B, ca } << QByteArray("ok") << QStringLiteral("Ctrl+Alt+P")
            << none << 0 << localizedString("keyboard_shortcut_used_by_system") << true;
        QTest::newRow("held elsewhere, used anyway")
            << Press { Key::b, Qt::Key_B, ca } << QByteArray("force_use_shortcut")
            << QStringLiteral("Ctrl+Alt+B") << QStringList { QStringLiteral("Ctrl+Alt+B") } << 0
            << localizedString("keyboard_shortcut_used_by_system") << false;
        QTest::newRow("F12 alone is never checked")
            << Press { Key::f12, Qt::Key_F12, {} } << QByteArray("ok") << QStringLiteral("F12")
            << QStringList { QStringLiteral("F12") } << 0 << QString() << false;
    }

    void keyWhileRecording()
    {
        QFETCH(Press, press);
        QFETCH(QByteArray, answer);
        QFETCH(QString, stored);
        QFETCH(QStringList, changes);
        QFETCH(int, beeps);
        QFETCH(QString, alert);
        QFETCH(bool, recording);
        Fixture f;
        f.answer = answer.constData();
        f.registrar.refuse(ctrlAltB, 10);
        f.registrar.refuse(Shortcut(Key::f12), 10);
        QSignalSpy changed(&f.shortcuts, &NamedShortcuts::shortcutByNameDidChange);
        QVERIFY(f.record());

        pressKey(press.key, press.qtKey, press.modifiers);

        QCOMPARE(f.stored(), stored);
        QCOMPARE(f.changes, changes);
        QCOMPARE(changed.count(), f.changes.size());
        QCOMPARE(f.beeps, beeps);
        QCOMPARE(f.alerts, alert.isEmpty() ? QStringList() : QStringList { alert });
        QCOMPARE(f.recorder->isRecording(), recording);
        QCOMPARE(f.shortcuts.isPaused(), f.recorder->isRecording());
        // While recording the field is empty and asks for the keys.
        QCOMPARE(f.recorder->text(),
            recording || stored == QLatin1String("none") ? QString() : stored);
    }

    void tabMovesOn()
    {
        Fixture f;
        QVERIFY(f.record());
        pressKey(Key::tab, Qt::Key_Tab);
        QVERIFY(!f.recorder->isRecording());
        QCOMPARE(QApplication::focusWidget(), f.after);
        QCOMPARE(f.stored(), QStringLiteral("Ctrl+Alt+P"));
    }

    // Global shortcuts do nothing while recording, and act again after.
    void pausesGlobalShortcuts()
    {
        Fixture f;
        int fired = 0;
        f.shortcuts.onKeyUp(f.name, [&fired] { ++fired; });
        QSignalSpy active(&f.shortcuts, &NamedShortcuts::recorderActiveStatusDidChange);

        QVERIFY(f.record());
        QCOMPARE(active.count(), 1);
        QCOMPARE(active.at(0).at(0).toBool(), true);
        // The keys reach the field, not the desktop's hot keys.
        QVERIFY(!f.registrar.press(ctrlAltP));
        QVERIFY(f.registrar.live().isEmpty());

        pressKey(Key::escape, Qt::Key_Escape);
        QCOMPARE(active.count(), 2);
        QCOMPARE(active.at(1).at(0).toBool(), false);
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
        QCOMPARE(f.stored(), QStringLiteral("none"));
        QCOMPARE(f.changes, QStringList { QStringLiteral("none") });
    }
};

QTEST_MAIN(tst_RecorderField)
#include "tst_RecorderField.moc"
