// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuillstackProcess.h"

#include <QTest>

// The command line without a display or a session bus, as in a console or
// over ssh: what needs neither works, the rest says why it cannot.
class tst_CommandLine : public QObject
{
    Q_OBJECT
private slots:
    void withoutDisplayOrBus_data();
    void withoutDisplayOrBus();
};

void tst_CommandLine::withoutDisplayOrBus_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QString english = QStringLiteral("C.UTF-8");
    QTest::newRow("help") << QStringList { QStringLiteral("--help") } << english << 0
                          << QStringLiteral("--toggle-pinned") << QString();
    QTest::newRow("version") << QStringList { QStringLiteral("--version") } << english << 0
                             << QStringLiteral("Quillstack 0.") << QString();
    QTest::newRow("plain start") << QStringList() << english << 1 << QString()
                                 << QStringLiteral(
                                        "quillstack: Quillstack needs a graphical session");
    QTest::newRow("command without a bus")
        << QStringList { QStringLiteral("--toggle") } << english << 1 << QString()
        << QStringLiteral(
               "quillstack: No running Quillstack can be reached: there is no session bus.");
    QTest::newRow("unknown option") << QStringList { QStringLiteral("--bogus") } << english << 2
                                    << QString() << QStringLiteral("Unknown option 'bogus'");
    QTest::newRow("two commands") << QStringList {
        QStringLiteral("--list"), QStringLiteral("--clear")
    } << english << 2 << QString() << QStringLiteral("Give one command at a time.");
    QTest::newRow("json alone") << QStringList { QStringLiteral("--json") } << english << 2
                                << QString() << QStringLiteral("--json only goes with --list.");
    // Counts start at 1; "-1" is a count, not an option.
    for (const char *count : { "ten", "0", "-1" })
        QTest::addRow("count %s", count)
            << QStringList { QStringLiteral("--list"), QString::fromLatin1(count) } << english << 2
            << QString()
            << QStringLiteral("The number of clips must be a whole number from 1, not %1.")
                   .arg(QLatin1String(count));
    // A message repeats no more than 80 characters of what was typed.
    const QString longWord(300, u'7');
    const QString echoed = longWord.left(80) + QStringLiteral("…");
    QTest::newRow("long unknown option")
        << QStringList { QStringLiteral("--") + longWord } << english << 2 << QString()
        << QStringLiteral("Unknown option '%1'.").arg(echoed);
    QTest::newRow("long count") << QStringList { QStringLiteral("--list"), longWord } << english
                                << 2 << QString() << QStringLiteral("not %1.").arg(echoed);
    QTest::newRow("long argument")
        << QStringList { QStringLiteral("--show"), longWord } << english << 2 << QString()
        << QStringLiteral("Unexpected argument: %1").arg(echoed);
    QTest::newRow("count without list")
        << QStringList { QStringLiteral("--toggle"), QStringLiteral("3") } << english << 2
        << QString() << QStringLiteral("Unexpected argument: 3");
    const QString german = QStringLiteral("de_DE.UTF-8");
    QTest::newRow("German help") << QStringList { QStringLiteral("--help") } << german << 0
                                 << QStringLiteral("Den Verlauf zeigen oder ausblenden.")
                                 << QString();
    QTest::newRow("German start") << QStringList() << german << 1 << QString()
                                  << QStringLiteral(
                                         "quillstack: Quillstack braucht eine grafische Sitzung");
    QTest::newRow("copy without a clip") << QStringList { QStringLiteral("--copy") } << english << 2
                                         << QString() << QStringLiteral("--copy");
}

void tst_CommandLine::withoutDisplayOrBus()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, language);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QuillstackProcess quillstack;
    for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS" })
        quillstack.environment.remove(QString::fromLatin1(name));
    // An empty runtime folder: no bus socket to fall back on.
    quillstack.environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), quillstack.home.path());
    quillstack.environment.insert(QStringLiteral("LANG"), language);
    const QuillstackProcess::Result result = quillstack.run(arguments);

    QVERIFY2(!result.crashed, qPrintable(result.err));
    QCOMPARE(result.exitCode, exitCode);
    QVERIFY2(result.out.contains(out), qPrintable(result.out));
    QVERIFY2(result.err.contains(err), qPrintable(result.err));
    for (const QString &argument : arguments) {
        for (qsizetype from = 0; from + 80 < argument.size(); ++from)
            QVERIFY2(
                !result.err.contains(QStringView(argument).mid(from, 81)), qPrintable(result.err));
    }
    if (err.isEmpty())
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
    else
        QCOMPARE(result.err.count(u'\n'), exitCode == 2 ? 2 : 1);
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_CommandLine.moc"
