// SPDX-License-Identifier: GPL-3.0-or-later
#include "QuillstackProcess.h"
#include "app/CommandLine.h"
#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;
using CommandLine::Request;
using Action = Request::Action;
Q_DECLARE_METATYPE(Request)

// What the command line asks for, read without acting; and the program run
// without a display or a session bus, as in a console or over ssh: what
// needs neither works, the rest says why it cannot.
class tst_CommandLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(installTranslations(*QCoreApplication::instance()));
    }

    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Request>("expected");
        const auto row
            = [](const char *name, const QStringList &arguments, const Request &expected) {
                  QTest::newRow(name) << arguments << expected;
              };
        const auto refused
            = [](const char *name, const QStringList &arguments, const QString &why) {
                  QTest::newRow(name)
                      << arguments << Request { .action = Action::usageError, .text = why };
              };
        row("single dash", { u"-toggle-pinned"_s }, { .action = Action::togglePinned });
        row("list", { u"--list"_s }, { .action = Action::list });
        row("list 3 as JSON", { u"--json"_s, u"--list"_s, u"3"_s },
            { .action = Action::list, .count = 3, .json = true });
        // "-1" after --copy is the clip, not an option.
        row("copy by index", { u"--copy"_s, u"-1"_s }, { .action = Action::copy, .clip = u"-1"_s });
        row("copy by id", { u"--copy=5f0c"_s }, { .action = Action::copy, .clip = u"5f0c"_s });

        refused("unknown option", { u"--bogus"_s }, u"Unknown option 'bogus'."_s);
        refused("two commands", { u"--list"_s, u"--clear"_s }, u"Give one command at a time."_s);
        refused("json alone", { u"--json"_s }, u"--json only goes with --list or --sync-status."_s);
        refused("copy without a clip", { u"--copy"_s }, u"Missing value after '--copy'."_s);
        refused("count without list", { u"--toggle"_s, u"3"_s }, u"Unexpected argument: 3"_s);
        refused("two counts", { u"--list"_s, u"3"_s, u"4"_s }, u"Unexpected argument: 3 4"_s);
        // Counts start at 1; "-1" is a count, not an option.
        for (const char *count : { "ten", "0", "-1" })
            refused(qPrintable(u"count "_s + QLatin1String(count)),
                { u"--list"_s, QString::fromLatin1(count) },
                u"The number of clips must be a whole number from 1, not %1."_s.arg(
                    QLatin1String(count)));
        // A message repeats no more than 80 characters of what was typed.
        const QString longWord(300, u'7');
        const QString echoed = longWord.left(80) + u"…"_s;
        refused(
            "long unknown option", { u"--"_s + longWord }, u"Unknown option '%1'."_s.arg(echoed));
        refused("long count", { u"--list"_s, longWord },
            u"The number of clips must be a whole number from 1, not %1."_s.arg(echoed));
        refused(
            "long argument", { u"--show"_s, longWord }, u"Unexpected argument: %1"_s.arg(echoed));
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Request, expected);
        const Request request = CommandLine::parse(QStringList { u"quillstack"_s } + arguments);
        QCOMPARE(request.action, expected.action);
        QCOMPARE(request.text, expected.text);
        QCOMPARE(request.count, expected.count);
        QCOMPARE(request.json, expected.json);
        QCOMPARE(request.clip, expected.clip);
    }

    void withoutDisplayOrBus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const QString english = u"C.UTF-8"_s;
        QTest::newRow("version") << QStringList { u"--version"_s } << english << 0
                                 << u"Quillstack 0."_s << QString();
        QTest::newRow("plain start")
            << QStringList() << english << 1 << QString()
            << QStringLiteral("quillstack: Quillstack needs a graphical session");
        QTest::newRow("command without a bus")
            << QStringList { u"--toggle"_s } << english << 1 << QString()
            << QStringLiteral(
                   "quillstack: No running Quillstack can be reached: there is no session bus.");
        QTest::newRow("usage error") << QStringList { u"--bogus"_s } << english << 2 << QString()
                                     << QStringLiteral("quillstack: Unknown option 'bogus'.\n"
                                                       "Try “quillstack --help”");
        // From the files alone, with sharing never turned on.
        QTest::newRow("sync status") << QStringList { u"--sync-status"_s } << english << 0
                                     << u"sharing\toff\n"_s << QString();
        const QString german = u"de_DE.UTF-8"_s;
        QTest::newRow("German help") << QStringList { u"--help"_s } << german << 0
                                     << u"Den Verlauf zeigen oder ausblenden."_s << QString();
        QTest::newRow("German start")
            << QStringList() << german << 1 << QString()
            << QStringLiteral("quillstack: Quillstack braucht eine grafische Sitzung");
    }

    void withoutDisplayOrBus()
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
        quillstack.environment.insert(u"XDG_RUNTIME_DIR"_s, quillstack.home.path());
        quillstack.environment.insert(u"LANG"_s, language);
        const QuillstackProcess::Result result = quillstack.run(arguments);

        QVERIFY2(!result.crashed, qPrintable(result.err));
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.out.contains(out), qPrintable(result.out));
        QVERIFY2(result.err.contains(err), qPrintable(result.err));
        if (err.isEmpty())
            QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
        else
            QCOMPARE(result.err.count(u'\n'), exitCode == 2 ? 2 : 1);
    }
};

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_CommandLine.moc"
