#include "Defaults.h"
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "HotkeyController.h"
#include "NamedShortcuts.h"
#include "StandardNames.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace GlobalHotkeys;

namespace {

const Shortcut ctrlAltV(Key::v, ModifierFlag::command | ModifierFlag::option);
const Shortcut ctrlAltP(Key::p, ModifierFlag::command | ModifierFlag::option);
const Shortcut ctrlShiftK(Key::k, ModifierFlag::command | ModifierFlag::shift);
const QString panelKey = QStringLiteral("GlobalHotkeys_togglePanel");
const QString pinnedKey = QStringLiteral("GlobalHotkeys_togglePinnedPanel");

// One run of the program: the named shortcuts over a settings file that
// outlives it, and the controller with callbacks that log.
struct Run
{
    explicit Run(const QString &settingsFile)
        : defaults(settingsFile)
    {
        controller->setOnToggle([this] { log.append(QStringLiteral("all")); });
        controller->setOnTogglePinned([this] { log.append(QStringLiteral("pinned")); });
    }

    Defaults defaults;
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout layout;
    NamedShortcuts shortcuts { defaults, registrar, layout };
    std::unique_ptr<HotkeyController> controller = std::make_unique<HotkeyController>(shortcuts);
    QStringList log;
};

// "+v -v": V pressed, then released.
QStringList keys(const char *events)
{
    return QString::fromLatin1(events).split(QLatin1Char(' '));
}

} // namespace

class tst_HotkeyController : public QObject
{
    Q_OBJECT
private slots:
    void defaultsOnlyOnTheFirstStart_data();
    void defaultsOnlyOnTheFirstStart();
    void keyUpRunsTheCallback_data();
    void keyUpRunsTheCallback();
};

void tst_HotkeyController::defaultsOnlyOnTheFirstStart_data()
{
    QTest::addColumn<std::optional<Shortcut>>("userPanelShortcut");
    QTest::addColumn<QVariant>("storedAtNextStart");
    QTest::addColumn<QList<Shortcut>>("registeredAtNextStart");
    QTest::newRow("kept the defaults")
        << std::optional<Shortcut>(ctrlAltV) << QVariant(QString::fromLatin1(ctrlAltV.toJson()))
        << QList<Shortcut> { ctrlAltV, ctrlAltP };
    QTest::newRow("recorded another")
        << std::optional<Shortcut>(ctrlShiftK) << QVariant(QString::fromLatin1(ctrlShiftK.toJson()))
        << QList<Shortcut> { ctrlShiftK, ctrlAltP };
    QTest::newRow("cleared") << std::optional<Shortcut>() << QVariant(false)
                             << QList<Shortcut> { ctrlAltP };
}

void tst_HotkeyController::defaultsOnlyOnTheFirstStart()
{
    QFETCH(std::optional<Shortcut>, userPanelShortcut);
    QFETCH(QVariant, storedAtNextStart);
    QFETCH(QList<Shortcut>, registeredAtNextStart);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Quillstack.conf"));
    {
        Run first(file);
        QCOMPARE(first.defaults.string(panelKey),
            QStringLiteral(R"({"carbonKeyCode":9,"carbonModifiers":2304})"));
        QCOMPARE(first.defaults.string(pinnedKey),
            QStringLiteral(R"({"carbonKeyCode":35,"carbonModifiers":2304})"));
        QCOMPARE(first.registrar.live().values(), QList<Shortcut>({ ctrlAltV, ctrlAltP }));
        first.shortcuts.setShortcut(userPanelShortcut, StandardNames::togglePanel());
    }
    Run next(file);
    QCOMPARE(next.defaults.object(panelKey), storedAtNextStart);
    QCOMPARE(next.defaults.string(pinnedKey),
        QStringLiteral(R"({"carbonKeyCode":35,"carbonModifiers":2304})"));
    QCOMPARE(next.registrar.live().values(), registeredAtNextStart);
    // Whatever the user recorded is what toggles the panel now.
    const Shortcut tried = userPanelShortcut.value_or(ctrlAltV);
    const bool live = next.registrar.press(tried) && next.registrar.release(tried);
    QCOMPARE(live, userPanelShortcut.has_value());
    QCOMPARE(next.log, live ? QStringList { QStringLiteral("all") } : QStringList());
}

void tst_HotkeyController::keyUpRunsTheCallback_data()
{
    QTest::addColumn<QString>("setup");
    // Each entry: '+' or '-' (press or release) and the key, v or p.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("log");
    const QString all = QStringLiteral("all");
    const QString pinned = QStringLiteral("pinned");
    QTest::newRow("V released") << QStringLiteral("launched") << keys("+v -v")
                                << QStringList { all };
    QTest::newRow("P released") << QStringLiteral("launched") << keys("+p -p")
                                << QStringList { pinned };
    QTest::newRow("held down") << QStringLiteral("launched") << keys("+v +p") << QStringList();
    QTest::newRow("each release once") << QStringLiteral("launched") << keys("+v -v +p -p +v -v")
                                       << QStringList { all, pinned, all };
    QTest::newRow("before launch")
        << QStringLiteral("no callbacks") << keys("+v -v +p -p") << QStringList();
    QTest::newRow("controller gone")
        << QStringLiteral("destroyed") << keys("+v -v +p -p") << QStringList();
}

void tst_HotkeyController::keyUpRunsTheCallback()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, events);
    QFETCH(QStringList, log);
    QTemporaryDir dir;
    Run run(dir.filePath(QStringLiteral("Quillstack.conf")));
    if (setup == QLatin1String("no callbacks")) {
        run.controller->setOnToggle({});
        run.controller->setOnTogglePinned({});
    } else if (setup == QLatin1String("destroyed")) {
        run.controller.reset();
    }
    for (const QString &event : events) {
        const Shortcut &shortcut = event.endsWith(QLatin1Char('v')) ? ctrlAltV : ctrlAltP;
        QVERIFY(event.startsWith(QLatin1Char('+')) ? run.registrar.press(shortcut)
                                                   : run.registrar.release(shortcut));
    }
    QCOMPARE(run.log, log);
}

QTEST_MAIN(tst_HotkeyController)
#include "tst_HotkeyController.moc"
