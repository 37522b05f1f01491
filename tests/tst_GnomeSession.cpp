// SPDX-License-Identifier: GPL-3.0-or-later
// The whole program in a headless GNOME Shell with its companion: an X
// program's copy is recorded through the companion, and a clip chosen from
// the history is what another program pastes.
#include "ClipboardTools.h"
#include "QuillstackProcess.h"
#include "TestImages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_GnomeSession : public QObject
{
    Q_OBJECT

    QuillstackProcess m_quillstack;
    ClipboardTools m_tools;

    // The newest clips' texts, newest first, and their indexes for --copy.
    QList<std::pair<QString, QString>> history(const QString &field = u"preview"_s)
    {
        const QuillstackProcess::Result listed
            = m_quillstack.run({ u"--list"_s, u"10"_s, u"--json"_s });
        QList<std::pair<QString, QString>> rows;
        for (const QJsonValue &row : QJsonDocument::fromJson(listed.out.toUtf8()).array())
            rows.append({ row[field].toString(), row[u"index"_s].toVariant().toString() });
        return rows;
    }

    // Copies with xclip again until the history's newest clip is the text.
    bool copyUntilRecorded(const QByteArray &text)
    {
        return QTest::qWaitFor(
            [&] {
                return ClipboardTools::copyWithXclip(text)
                    && QTest::qWaitFor(
                        [&] { return history().value(0).first == QString::fromUtf8(text); }, 1000);
            },
            20000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "run under gnome-harness.sh");
        m_quillstack.environment.insert(u"XDG_CURRENT_DESKTOP"_s, u"GNOME"_s);
        m_quillstack.start();
        QVERIFY(m_quillstack.program.waitForStarted());
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += m_quillstack.program.readAllStandardError())
                                     .contains("clipboard through the GNOME Shell companion"),
            20000);
        QVERIFY2(
            log.contains("global shortcuts through the GNOME Shell companion"), log.constData());
    }

    void cleanupTestCase()
    {
        m_quillstack.run({ u"--quit"_s });
        QVERIFY(m_quillstack.program.waitForFinished(20000));
        const QByteArray log = m_quillstack.program.readAllStandardError();
        QVERIFY2(!log.contains("Sanitizer") && !log.contains("runtime error"), log.constData());
    }

    // Each kind of copy an X program makes, as the shell hands it over; a
    // copy marked secret is skipped.
    void copiesAreRecorded_data()
    {
        QTest::addColumn<ClipboardTools::Offers>("offers");
        QTest::addColumn<QString>("field"); // of the newest clip in --list
        QTest::addColumn<QString>("value"); // empty: not recorded
        QTest::newRow("HTML") << ClipboardTools::Offers { { u"UTF8_STRING"_s, "bold words"_ba },
            { u"text/html"_s, "<b>bold</b> words"_ba } }
                              << u"preview"_s << u"bold words"_s;
        QTest::newRow("PNG") << ClipboardTools::Offers { { u"image/png"_s, encodedImage() } }
                             << u"kind"_s << u"image"_s;
        QTest::newRow("files") << ClipboardTools::Offers {
            { u"text/uri-list"_s, "file:///etc/hostname\r\n"_ba }
        } << u"kind"_s << u"fileURLs"_s;
        QTest::newRow("secret") << ClipboardTools::Offers { { u"UTF8_STRING"_s, "hunter2"_ba },
            { u"x-kde-passwordManagerHint"_s, "secret"_ba } }
                                << QString() << QString();
    }

    void copiesAreRecorded()
    {
        QFETCH(ClipboardTools::Offers, offers);
        QFETCH(QString, field);
        QFETCH(QString, value);
        // A text first, so the copy under test is seen as a change.
        QVERIFY(copyUntilRecorded("before "_ba + QTest::currentDataTag()));
        QVERIFY(m_tools.startOwner(offers));
        if (value.isEmpty()) {
            QVERIFY(copyUntilRecorded("after the secret"));
            QCOMPARE(history().value(1).first, u"before secret"_s);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(history(field).value(0).first, value, 10000);
        QCOMPARE(
            history().value(1).first, u"before "_s + QString::fromLatin1(QTest::currentDataTag()));
    }

    void choiceIsPastedElsewhere()
    {
        // Copies made while the program starts may count as what was there:
        // each is made again until recorded.
        for (const QByteArray &text : { "first from X11"_ba, "second from X11"_ba })
            QVERIFY(copyUntilRecorded(text));
        const QList<std::pair<QString, QString>> rows = history();
        QCOMPARE(rows.value(1).first, u"first from X11"_s);
        QCOMPARE(m_quillstack.run({ u"--copy"_s, rows.value(1).second }).exitCode, 0);
        QTRY_COMPARE_WITH_TIMEOUT(
            ClipboardTools::readWithXclip(u"UTF8_STRING"_s), "first from X11"_ba, 10000);
    }
};

QTEST_GUILESS_MAIN(tst_GnomeSession)
#include "tst_GnomeSession.moc"
