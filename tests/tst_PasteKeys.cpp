// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingNotifier.h"
#include "app/PasteAfterChoosing.h"
#include "app/PasteChord.h"
#include "app/PasteKeys.h"
#include "model/Defaults.h"
#include "model/Settings.h"
#include "platform/x11/X11KeyChord.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using X11KeyChord::KeyEvent;
using Focus = PasteKeys::Focus;

namespace {

// Window names, or terminal names, separated by commas.
QStringList names(const char *joined)
{
    return QString::fromLatin1(joined).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// Physical keys by their key codes of the evdev rules, whatever the layout.
const QHash<xkb_keycode_t, QString> keyNames { { 37, u"Ctrl"_s }, { 50, u"Shift"_s },
    { 62, u"RShift"_s }, { 64, u"Alt"_s }, { 55, u"V"_s } };

// The events as "+Ctrl +V -V -Ctrl".
QString spelled(const QList<KeyEvent> &events)
{
    QStringList spelled;
    for (const KeyEvent &event : events)
        spelled.append(QLatin1Char(event.press ? '+' : '-') + keyNames.value(event.keycode));
    return spelled.join(QLatin1Char(' '));
}

struct Keymap
{
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context {
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), xkb_context_unref
    };
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap { nullptr, xkb_keymap_unref };

    explicit Keymap(const QByteArray &layout)
    {
        const xkb_rule_names names { "evdev", "pc105", layout.constData(), nullptr, nullptr };
        keymap.reset(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    }
};

// Answers with the windows it is given, one per question, the last for ever.
class ScriptedPasteKeys : public PasteKeys
{
public:
    QString reason;
    QList<std::optional<Focus>> focus;
    QList<PasteChord> pressed;

    QString unavailableReason() const override { return reason; }
    std::optional<Focus> keyboardFocus() override
    {
        return focus.size() > 1 ? focus.takeFirst() : focus.value(0);
    }
    bool press(PasteChord chord, QString *) override
    {
        pressed.append(chord);
        return true;
    }
};

} // namespace

Q_DECLARE_METATYPE(PasteChord)
Q_DECLARE_METATYPE(QList<std::optional<Focus>>)

class tst_PasteKeys : public QObject
{
    Q_OBJECT
private slots:
    void chordForWindow_data()
    {
        QTest::addColumn<QStringList>("windowNames");
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<PasteChord>("chord");

        const QStringList none;
        QTest::newRow("text editor") << names("gedit,Gedit") << none << PasteChord::ctrlV;
        QTest::newRow("no class") << QStringList() << none << PasteChord::ctrlV;
        QTest::newRow("xterm by its class") << names("foo,XTerm") << none << PasteChord::ctrlShiftV;
        QTest::newRow("Wayland app id")
            << names("org.wezfurlong.wezterm") << none << PasteChord::ctrlShiftV;
        QTest::newRow("any case") << names("ALACRITTY") << none << PasteChord::ctrlShiftV;
        // Only whole names count: "st" is a terminal, "stellarium" is not.
        QTest::newRow("a name within another") << names("stellarium") << none << PasteChord::ctrlV;
        QTest::newRow("the user's own terminal")
            << names("MyTerm") << names("otherterm,myterm") << PasteChord::ctrlShiftV;
        QTest::newRow("the user's list adds, never removes")
            << names("kitty") << names("myterm") << PasteChord::ctrlShiftV;
    }

    void chordForWindow()
    {
        QFETCH(QStringList, windowNames);
        QFETCH(QStringList, extra);
        QFETCH(PasteChord, chord);
        QCOMPARE(pasteChordFor(windowNames, extra), chord);
    }

    // The keys pressed for the chord: found in the layout by what they type,
    // also in another group than the active one; modifiers still held let go
    // of first and never pressed again. (The US, German and Dvorak keys are
    // pressed into real windows in the X11 paste test.)
    void keyEvents_data()
    {
        QTest::addColumn<QByteArray>("layout");
        QTest::addColumn<PasteChord>("chord");
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("events");

        const QString ctrlV = u"+Ctrl +V -V -Ctrl"_s;
        const QString ctrlShiftV = u"+Ctrl +Shift +V -V -Shift -Ctrl"_s;
        // Russian is active and has no V: the key of the Latin layout beside it.
        QTest::newRow("Russian before US") << "ru,us"_ba << PasteChord::ctrlV << QString() << ctrlV;
        QTest::newRow("Shift and Alt still held")
            << "us"_ba << PasteChord::ctrlV << u"RShift Alt"_s << u"-RShift -Alt "_s + ctrlV;
        QTest::newRow("Ctrl held, terminal")
            << "de"_ba << PasteChord::ctrlShiftV << u"Ctrl"_s << u"-Ctrl "_s + ctrlShiftV;
    }

    void keyEvents()
    {
        QFETCH(QByteArray, layout);
        QFETCH(PasteChord, chord);
        QFETCH(QString, held);
        QFETCH(QString, events);
        const Keymap keymap(layout);
        QVERIFY2(keymap.keymap, "the layout's keymap compiles (xkb-data installed)");
        const std::optional<X11KeyChord::Keys> keys = X11KeyChord::keysFor(keymap.keymap.get(), 0);
        QVERIFY(keys);
        QList<xkb_keycode_t> heldKeys;
        for (const QString &key : held.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            heldKeys.append(keyNames.key(key));
        QCOMPARE(spelled(X11KeyChord::chordEvents(chord, *keys, heldKeys)), events);
    }

    // The keys go to the window the keyboard was handed back to once it has
    // it, never to ours or another; when they cannot, the user hears of it once.
    void waitsForTheWindow_data()
    {
        QTest::addColumn<bool>("settingOn");
        QTest::addColumn<QString>("unavailable");
        QTest::addColumn<bool>("knownTarget");
        QTest::addColumn<QList<std::optional<Focus>>>("focus");
        QTest::addColumn<QList<PasteChord>>("pressed");

        const Focus target { RunningWindow { 7, 70 }, names("xterm"), false };
        const Focus panel { RunningWindow { 9, 90 }, names("quillstack"), true };
        const Focus other { RunningWindow { 8, 80 }, names("gedit"), false };
        const QList<std::optional<Focus>> back { std::nullopt, panel, target };
        const QList<PasteChord> none;
        QTest::newRow("after our panel and no window")
            << true << QString() << true << back << QList<PasteChord> { PasteChord::ctrlShiftV };
        QTest::newRow("setting off") << false << QString() << true << back << none;
        QTest::newRow("another window took the keyboard")
            << true << QString() << true << QList<std::optional<Focus>> { other } << none;
        QTest::newRow("ours kept it")
            << true << QString() << true << QList<std::optional<Focus>> { panel } << none;
        QTest::newRow("no window to go back to") << true << QString() << false << back << none;
        QTest::newRow("the desktop offers no keys")
            << true << u"no keys here"_s << true << back << none;
    }

    void waitsForTheWindow()
    {
        QFETCH(bool, settingOn);
        QFETCH(QString, unavailable);
        QFETCH(bool, knownTarget);
        QFETCH(QList<std::optional<Focus>>, focus);
        QFETCH(QList<PasteChord>, pressed);

        QTemporaryDir dir;
        Defaults defaults(dir.filePath(u"settings.ini"_s));
        Settings settings(defaults);
        settings.setPasteAfterChoosing(settingOn);
        ScriptedPasteKeys keys;
        keys.reason = unavailable;
        RecordingNotifier notifier;
        PasteAfterChoosing paste(settings, &keys, notifier);
        QSignalSpy finished(&paste, &PasteAfterChoosing::finished);
        const std::optional<RunningWindow> target
            = knownTarget ? std::optional(RunningWindow { 7, 70 }) : std::nullopt;
        // Two choices, one after the other: each ends, and a failure is told once.
        for (int choice = 0; choice < 2; ++choice) {
            keys.focus = focus;
            paste.pasteInto(target);
            QTRY_VERIFY_WITH_TIMEOUT(!paste.isWaiting(), 3000);
        }
        QCOMPARE(keys.pressed, pressed + pressed);
        QCOMPARE(finished.size(), settingOn ? 2 : 0);
        QCOMPARE(notifier.problems(), settingOn && pressed.isEmpty() ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(tst_PasteKeys)
#include "tst_PasteKeys.moc"
