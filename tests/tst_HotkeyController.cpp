// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeHotkeyRegistrar.h"
#include "FakeKeyboardLayout.h"
#include "app/HotkeyController.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/StandardNames.h"
#include "model/Defaults.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

using namespace GlobalHotkeys;

namespace {

const Shortcut ctrlAltV(Key::v, ModifierFlag::command | ModifierFlag::option);
const Shortcut ctrlAltP(Key::p, ModifierFlag::command | ModifierFlag::option);

// One run of the program over a settings file that outlives it, with
// callbacks that log.
struct Run
{
    explicit Run(const QString &settingsFile)
        : defaults(settingsFile)
    {
        controller->setOnToggle([this] { log.append(u"all"_s); });
        controller->setOnTogglePinned([this] { log.append(u"pinned"_s); });
    }

    Defaults defaults;
    FakeHotkeyRegistrar registrar;
    FakeKeyboardLayout layout;
    NamedShortcuts shortcuts { defaults, registrar, layout };
    std::unique_ptr<HotkeyController> controller = std::make_unique<HotkeyController>(shortcuts);
    QStringList log;
};

} // namespace

class tst_HotkeyController : public QObject
{
    Q_OBJECT
private slots:
    void keyUpRunsTheCallback_data();
    void keyUpRunsTheCallback();
};

void tst_HotkeyController::keyUpRunsTheCallback_data()
{
    QTest::addColumn<QString>("setup");
    // '+' or '-' (press or release) and the key, v or p.
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("log");
    QTest::newRow("each release once") << "launched"
                                       << "+v -v +p -p +v -v"
                                       << "all pinned all";
    QTest::newRow("held down") << "launched"
                               << "+v +p"
                               << "";
    QTest::newRow("before launch") << "no callbacks"
                                   << "+v -v +p -p"
                                   << "";
    QTest::newRow("controller gone") << "destroyed"
                                     << "+v -v +p -p"
                                     << "";
}

void tst_HotkeyController::keyUpRunsTheCallback()
{
    QFETCH(QString, setup);
    QFETCH(QString, events);
    QFETCH(QString, log);
    QTemporaryDir dir;
    Run run(dir.filePath(u"Quillstack.conf"_s));
    if (setup == QLatin1String("no callbacks")) {
        run.controller->setOnToggle({});
        run.controller->setOnTogglePinned({});
    } else if (setup == QLatin1String("destroyed")) {
        run.controller.reset();
    }
    for (const QString &event : events.split(QLatin1Char(' '))) {
        const Shortcut &shortcut = event.endsWith(QLatin1Char('v')) ? ctrlAltV : ctrlAltP;
        QVERIFY(event.startsWith(QLatin1Char('+')) ? run.registrar.press(shortcut)
                                                   : run.registrar.release(shortcut));
    }
    QCOMPARE(run.log.join(QLatin1Char(' ')), log);
}

QTEST_MAIN(tst_HotkeyController)
#include "tst_HotkeyController.moc"
