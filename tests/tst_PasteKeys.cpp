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

using X11KeyChord::KeyEvent;

namespace {

// Key codes of the evdev rules: the physical keys, whatever the layout.
constexpr xkb_keycode_t leftCtrl = 37, leftShift = 50, rightShift = 62, leftAlt = 64;
constexpr xkb_keycode_t keyV = 55, keyPeriod = 60;

// Window names, or terminal names, separated by commas.
QStringList names(const char *joined)
{
    return QString::fromLatin1(joined).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

KeyEvent down(xkb_keycode_t keycode)
{
    return { keycode, true };
}

KeyEvent up(xkb_keycode_t keycode)
{
    return { keycode, false };
}

struct Keymap
{
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context {
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), xkb_context_unref
    };
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap { nullptr, xkb_keymap_unref };

    Keymap(const QByteArray &layout, const QByteArray &variant)
    {
        const xkb_rule_names names { "evdev", "pc105", layout.constData(), variant.constData(),
            nullptr };
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
Q_DECLARE_METATYPE(QList<KeyEvent>)
Q_DECLARE_METATYPE(QList<xkb_keycode_t>)

class tst_PasteKeys : public QObject
{
    Q_OBJECT
private slots:
    void chordForWindow_data();
    void chordForWindow();
    void keyEvents_data();
    void keyEvents();
    void waitsForTheWindow_data();
    void waitsForTheWindow();
};

void tst_PasteKeys::chordForWindow_data()
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

void tst_PasteKeys::chordForWindow()
{
    QFETCH(QStringList, windowNames);
    QFETCH(QStringList, extra);
    QFETCH(PasteChord, chord);
    QCOMPARE(pasteChordFor(windowNames, extra), chord);
}

// The keys pressed for the chord: found in the layout by what they type,
// modifiers still held let go of first and never pressed again.
void tst_PasteKeys::keyEvents_data()
{
    QTest::addColumn<QByteArray>("layout");
    QTest::addColumn<QByteArray>("variant");
    QTest::addColumn<PasteChord>("chord");
    QTest::addColumn<QList<xkb_keycode_t>>("held");
    QTest::addColumn<QList<KeyEvent>>("events");

    const QList<KeyEvent> ctrlV { down(leftCtrl), down(keyV), up(keyV), up(leftCtrl) };
    QTest::newRow("US") << QByteArray("us") << QByteArray() << PasteChord::ctrlV
                        << QList<xkb_keycode_t>() << ctrlV;
    QTest::newRow("German") << QByteArray("de") << QByteArray() << PasteChord::ctrlV
                            << QList<xkb_keycode_t>() << ctrlV;
    QTest::newRow("Dvorak: V is on the period key")
        << QByteArray("us") << QByteArray("dvorak") << PasteChord::ctrlV << QList<xkb_keycode_t>()
        << QList<KeyEvent> { down(leftCtrl), down(keyPeriod), up(keyPeriod), up(leftCtrl) };
    // Russian is active and has no V: the key of the Latin layout beside it.
    QTest::newRow("Russian before US") << QByteArray("ru,us") << QByteArray() << PasteChord::ctrlV
                                       << QList<xkb_keycode_t>() << ctrlV;
    QTest::newRow("terminal") << QByteArray("us") << QByteArray() << PasteChord::ctrlShiftV
                              << QList<xkb_keycode_t>()
                              << QList<KeyEvent> { down(leftCtrl), down(leftShift), down(keyV),
                                     up(keyV), up(leftShift), up(leftCtrl) };
    QTest::newRow("Shift and Alt still held")
        << QByteArray("us") << QByteArray() << PasteChord::ctrlV
        << QList<xkb_keycode_t> { rightShift, leftAlt }
        << QList<KeyEvent> { up(rightShift), up(leftAlt), down(leftCtrl), down(keyV), up(keyV),
               up(leftCtrl) };
    QTest::newRow("Ctrl held, terminal")
        << QByteArray("de") << QByteArray() << PasteChord::ctrlShiftV
        << QList<xkb_keycode_t> { leftCtrl }
        << QList<KeyEvent> { up(leftCtrl), down(leftCtrl), down(leftShift), down(keyV), up(keyV),
               up(leftShift), up(leftCtrl) };
}

void tst_PasteKeys::keyEvents()
{
    QFETCH(QByteArray, layout);
    QFETCH(QByteArray, variant);
    QFETCH(PasteChord, chord);
    QFETCH(QList<xkb_keycode_t>, held);
    QFETCH(QList<KeyEvent>, events);

    const Keymap keymap(layout, variant);
    QVERIFY2(keymap.keymap, "the layout's keymap compiles (xkb-data installed)");
    const std::optional<X11KeyChord::Keys> keys = X11KeyChord::keysFor(keymap.keymap.get(), 0);
    QVERIFY(keys);
    const QList<KeyEvent> actual = X11KeyChord::chordEvents(chord, *keys, held);
    QCOMPARE(actual.size(), events.size());
    for (qsizetype i = 0; i < events.size(); ++i) {
        QCOMPARE(actual[i].keycode, events[i].keycode);
        QCOMPARE(actual[i].press, events[i].press);
    }
}

using Focus = PasteKeys::Focus;
Q_DECLARE_METATYPE(QList<std::optional<Focus>>)

// The keys go to the window the keyboard was handed back to once it has it,
// never to ours or another; when they cannot, the user hears of it once.
void tst_PasteKeys::waitsForTheWindow_data()
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
    const QList<PasteChord> terminal { PasteChord::ctrlShiftV };
    QTest::newRow("after our panel and no window") << true << QString() << true << back << terminal;
    QTest::newRow("setting off") << false << QString() << true << back << QList<PasteChord>();
    QTest::newRow("another window took the keyboard")
        << true << QString() << true << QList<std::optional<Focus>> { other }
        << QList<PasteChord>();
    QTest::newRow("ours kept it") << true << QString() << true
                                  << QList<std::optional<Focus>> { panel } << QList<PasteChord>();
    QTest::newRow("no window to go back to")
        << true << QString() << false << back << QList<PasteChord>();
    QTest::newRow("the desktop offers no keys")
        << true << QStringLiteral("no keys here") << true << back << QList<PasteChord>();
}

void tst_PasteKeys::waitsForTheWindow()
{
    QFETCH(bool, settingOn);
    QFETCH(QString, unavailable);
    QFETCH(bool, knownTarget);
    QFETCH(QList<std::optional<Focus>>, focus);
    QFETCH(QList<PasteChord>, pressed);

    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("settings.ini")));
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
    QList<PasteChord> both = pressed + pressed;
    QCOMPARE(keys.pressed, both);
    QCOMPARE(finished.size(), settingOn ? 2 : 0);
    QCOMPARE(notifier.problems(), settingOn && pressed.isEmpty() ? 1 : 0);
}

QTEST_GUILESS_MAIN(tst_PasteKeys)
#include "tst_PasteKeys.moc"
