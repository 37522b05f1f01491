// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipboardTools.h"
#include "QuillstackProcess.h"
#include "X11TestTools.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// One object as a screen reader reads it: its role, and what it is called,
// by its own name or, for a form's field, by its label.
struct Node
{
    int depth = 0;
    QString role;
    QString name;
    QString label;
    bool focused = false;
    bool showing = false;

    QString read() const { return role + u": "_s + (label.isEmpty() ? name : label); }
};

// The roles a user acts on: each must say what it is.
const QStringList controlRoles { u"push button"_s, u"text"_s, u"check box"_s, u"combo box"_s,
    u"spin button"_s, u"list"_s, u"list item"_s, u"image"_s };

QList<Node> readTree(qint64 pid)
{
    const QString json
        = runTool(u"/usr/bin/python3"_s, { QStringLiteral(QS_ATSPI_TREE), QString::number(pid) });
    QList<Node> nodes;
    for (const QJsonValue &value : QJsonDocument::fromJson(json.toUtf8()).array()) {
        const QJsonObject object = value.toObject();
        nodes.append(Node { object[u"depth"_s].toInt(), object[u"role"_s].toString(),
            object[u"name"_s].toString(), object[u"labels"_s].toArray().first().toString(),
            object[u"focused"_s].toBool(), object[u"showing"_s].toBool() });
    }
    return nodes;
}

// The objects of the window with this title, the window first.
QList<Node> window(const QList<Node> &tree, const QString &title)
{
    QList<Node> nodes;
    for (const Node &node : tree) {
        if (nodes.isEmpty() && node.depth == 1 && node.name == title && node.showing)
            nodes.append(node);
        else if (!nodes.isEmpty() && node.depth > 1)
            nodes.append(node);
        else if (!nodes.isEmpty())
            break;
    }
    return nodes;
}

QString focused(const QList<Node> &tree)
{
    for (const Node &node : tree) {
        if (node.focused && node.depth > 1)
            return node.read();
    }
    return QString();
}

// The settings' controls in their order, each as a screen reader reads it.
const QStringList settingsControls { u"combo box: Keep clips for:"_s,
    u"spin button: Maximum number of clips:"_s, u"combo box: Largest single clip:"_s,
    u"combo box: Total history size:"_s, u"combo box: Panel position:"_s,
    u"check box: Keep the panel always visible"_s, u"text: Open history:"_s,
    u"text: Open kept clips:"_s, u"check box: Keep the clipboard when its program quits"_s,
    u"check box: Paste after choosing"_s, u"check box: Start Quillstack at login"_s,
    u"check box: Share history with my other machines"_s, u"text: Shared folder:"_s,
    u"push button: Choose…"_s, u"combo box: Share:"_s, u"password text: Passphrase:"_s,
    u"push button: Set"_s };

bool key(const QString &keys)
{
    return runToolOk(u"xdotool"_s, { u"key"_s, keys });
}

} // namespace

class tst_AccessibilityX11 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void windows_data();
    void windows();
    void settingsTabOrder();
    void deleteKeptClipAsks();

private:
    QList<Node> tree() const { return readTree(m_quillstack.program.processId()); }

    QProcess m_busLauncher;
    QProcess m_tray;
    QuillstackProcess m_quillstack;
    QTemporaryDir m_dir;
};

void tst_AccessibilityX11::initTestCase()
{
    // The accessibility bus, as a desktop starts it at login, and a tray.
    m_busLauncher.start(u"/usr/libexec/at-spi-bus-launcher"_s, { u"--launch-immediately"_s });
    QVERIFY(waitFor([] {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(u"org.a11y.Bus"_s);
    }));
    m_tray.start(u"trayer"_s, { u"--edge"_s, u"top"_s });

    m_quillstack.environment.insert(u"QT_LINUX_ACCESSIBILITY_ALWAYS_ON"_s, u"1"_s);
    m_quillstack.start();
    QVERIFY(waitFor([this] {
        return m_quillstack.previews().isEmpty() && m_quillstack.run({}).exitCode == 0
            && !tree().isEmpty();
    }));
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString png = m_dir.filePath(u"red.png"_s);
    QVERIFY(image.save(png));
    QVERIFY(runToolOk(
        u"xclip"_s, { u"-selection"_s, u"clipboard"_s, u"-t"_s, u"image/png"_s, u"-i"_s, png }));
    QVERIFY(waitFor([this] { return m_quillstack.previews().size() == 1; }));
    for (const char *text : { "Apple pie", "Banana bread" }) {
        QVERIFY(ClipboardTools::copyWithXclip(text));
        QVERIFY(waitFor([&] { return m_quillstack.previews().value(0) == QLatin1String(text); }));
    }
}

void tst_AccessibilityX11::cleanupTestCase()
{
    m_quillstack.run({ u"--quit"_s });
    m_quillstack.program.waitForFinished();
    m_tray.kill();
    m_tray.waitForFinished();
    // Asked to stop, the launcher takes its bus with it; killed, it would not.
    m_busLauncher.terminate();
    m_busLauncher.waitForFinished();
}

// Each window, as it is opened: what a screen reader finds in it, and that
// every control in it is named.
void tst_AccessibilityX11::windows_data()
{
    QTest::addColumn<QStringList>("open"); // arguments to quillstack, or "key ..." for xdotool
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("close");
    QTest::newRow("history panel")
        << QStringList { u"--toggle"_s } << u"Quillstack"_s
        << QStringList { u"text: Search"_s, u"list: Clipboard history"_s,
               u"list item: Banana bread"_s, u"push button: Edit"_s, u"push button: Delete"_s,
               u"list item: Apple pie"_s, u"push button: Edit"_s, u"push button: Delete"_s,
               u"list item: Image"_s, u"push button: View"_s, u"push button: Delete"_s }
        << QStringList { u"--toggle"_s };
    QTest::newRow("kept clips") << QStringList { u"--toggle-pinned"_s } << u"Quillstack"_s
                                << QStringList { u"label: Kept clips"_s, u"text: Search"_s,
                                       u"list: Kept clips"_s }
                                << QStringList { u"--toggle-pinned"_s };
    QTest::newRow("settings") << QStringList { u"--preferences"_s } << u"Quillstack Settings"_s
                              << settingsControls << QStringList { u"key ctrl+w"_s };
    QTest::newRow("editor") << QStringList { u"--show"_s, u"key F2"_s } << u"Edit Clip"_s
                            << QStringList { u"text: Text of the clip"_s, u"check box: Keep"_s,
                                   u"push button: Cancel"_s, u"push button: Save"_s }
                            << QStringList { u"key Escape"_s };
    QTest::newRow("image viewer") << QStringList { u"--show"_s, u"key End"_s, u"key F2"_s }
                                  << u"View Image"_s
                                  << QStringList { u"image: Image"_s, u"check box: Keep"_s,
                                         u"push button: Close"_s }
                                  << QStringList { u"key Escape"_s };
}

void tst_AccessibilityX11::windows()
{
    QFETCH(QStringList, open);
    QFETCH(QString, title);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, close);
    const auto run = [this](const QStringList &steps) {
        for (const QString &step : steps) {
            if (step.startsWith(u"key ")) {
                // The key goes to the window the step before opened.
                QVERIFY(waitFor([&] { return !focused(tree()).isEmpty(); }));
                QVERIFY(key(step.mid(4)));
            } else {
                QCOMPARE(m_quillstack.run({ step }).exitCode, 0);
            }
        }
    };
    run(open);
    QList<Node> nodes;
    QStringList found;
    // All there in this order, with whatever else between.
    const auto allThere = [&] {
        nodes = window(tree(), title);
        found.clear();
        for (const Node &node : std::as_const(nodes)) {
            if (node.showing)
                found << node.read();
        }
        qsizetype at = 0;
        for (const QString &one : std::as_const(expected)) {
            if ((at = found.indexOf(one, at) + 1) == 0)
                return false;
        }
        return true;
    };
    QVERIFY2(waitFor(allThere), qPrintable(found.join(u", "_s)));
    // Every control a user can reach says what it is.
    for (const Node &node : std::as_const(nodes)) {
        if (node.showing && controlRoles.contains(node.role))
            QVERIFY2(!node.name.isEmpty() || !node.label.isEmpty(), qPrintable(node.read()));
    }
    run(close);
    QVERIFY(waitFor([&] { return window(tree(), title).isEmpty(); }));
}

// Tab goes through every control of the settings, and round to the first.
void tst_AccessibilityX11::settingsTabOrder()
{
    QCOMPARE(m_quillstack.run({ u"--preferences"_s }).exitCode, 0);
    const QStringList controls = settingsControls + settingsControls.mid(0, 1);
    QString now;
    QVERIFY(waitFor([&] { return (now = focused(tree())) == controls.first(); }));
    QStringList visited { now };
    while (visited.size() < controls.size()) {
        QVERIFY(key(u"Tab"_s));
        const QString before = now;
        QVERIFY2(waitFor([&] { return (now = focused(tree())) != before && !now.isEmpty(); }),
            qPrintable(visited.join(u", "_s)));
        visited << now;
    }
    QCOMPARE(visited, controls);
    QVERIFY(key(u"Escape"_s));
}

// Delete on a kept clip asks first, with Cancel chosen; once answered, the
// keyboard is still in the panel's search field.
void tst_AccessibilityX11::deleteKeptClipAsks()
{
    QCOMPARE(m_quillstack.run({ u"--show"_s }).exitCode, 0);
    const auto inField = [&] { return focused(tree()) == u"text: Search"; };
    QVERIFY(waitFor(inField));
    // Keep the highlighted clip, the first item of its menu.
    QVERIFY(key(u"Menu"_s) && key(u"Down"_s) && key(u"Return"_s));
    QVERIFY(waitFor(inField));
    QVERIFY(key(u"Delete"_s) && key(u"Return"_s));
    QVERIFY(waitFor(inField));
    QCOMPARE(m_quillstack.previews().size(), 3);
    QVERIFY(key(u"Delete"_s) && key(u"Up"_s) && key(u"Return"_s));
    QVERIFY(waitFor([&] { return m_quillstack.previews().size() == 2; }));
    QVERIFY(waitFor(inField));
}

QTEST_MAIN(tst_AccessibilityX11)
#include "tst_AccessibilityX11.moc"
