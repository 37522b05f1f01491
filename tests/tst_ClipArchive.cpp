// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ClipArchive.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace ClipArchive;

namespace {

QByteArray wrap(const QList<QByteArray> &encoded)
{
    return archiveParts(encoded).join();
}

Clip sampleClip()
{
    Clip clip;
    clip.id = QUuid::fromString(QStringLiteral("6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c"));
    clip.createdAt = QDateTime(QDate(2025, 1, 31), QTime(9, 5, 0), Qt::UTC);
    clip.kind = ClipKind::text;
    clip.preview = QStringLiteral("hello");
    clip.byteSize = 5;
    clip.contentHash = QString(64, QLatin1Char('a'));
    return clip;
}

// The JSON of one clip object with one key replaced (or removed when the
// value is undefined).
QByteArray objectWith(const char *key, const QJsonValue &value)
{
    QJsonObject object
        = QJsonDocument::fromJson(wrap({ encodeClip(sampleClip()) })).array()[0].toObject();
    if (value.isUndefined())
        object.remove(QLatin1String(key));
    else
        object.insert(QLatin1String(key), value);
    return QJsonDocument(QJsonArray { object }).toJson();
}

} // namespace

class tst_ClipArchive : public QObject
{
    Q_OBJECT
private slots:
    // Keys come out sorted, one per line, and only the fields a clip has.
    void writtenKeys_data()
    {
        QTest::addColumn<Clip>("clip");
        QTest::addColumn<QString>("keys");
        QTest::newRow("required fields only")
            << sampleClip()
            << QStringLiteral("byteSize contentHash createdAt id isKept kind preview");
        Clip full = sampleClip();
        full.text = QStringLiteral("t");
        full.rtf = QByteArray("r");
        full.html = QByteArray("h");
        full.imageFilename = QStringLiteral("x.png");
        full.rtfFromHtml = true;
        QTest::newRow("every field")
            << full
            << QStringLiteral("byteSize contentHash createdAt html id "
                              "imageFilename isKept kind preview rtf rtfFromHtml text");
    }

    void writtenKeys()
    {
        QFETCH(Clip, clip);
        QFETCH(QString, keys);
        const QByteArray json = wrap({ encodeClip(clip) });
        QStringList keysInOrder;
        for (const QByteArray &line : json.split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith('"'))
                keysInOrder.append(QString::fromUtf8(trimmed.mid(1, trimmed.indexOf('"', 1) - 1)));
        }
        QCOMPARE(keysInOrder, keys.split(QLatin1Char(' ')));
        const QJsonObject object = QJsonDocument::fromJson(json).array()[0].toObject();
        QCOMPARE(object.value(QStringLiteral("id")).toString(),
            QStringLiteral("6F1C2A7E-3B1D-4C8E-9A0B-1D2E3F4A5B6C"));
        QCOMPARE(object.value(QStringLiteral("createdAt")).toString(),
            QStringLiteral("2025-01-31T09:05:00Z"));
        QCOMPARE(wrap({}), QByteArray("[\n]\n"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<Clip>("clip");
        Clip full = sampleClip();
        full.text
            = QStringLiteral("  \"quoted\" \\ back\tslash\nline\u0001ctl \U0001F600 é\u2028 ");
        full.preview = QStringLiteral("\"quoted\" \\ back slash");
        full.rtf = QByteArray("{\\rtf1\\ansi \x00\xff binary}", 23);
        full.html = QByteArray("<b>bold</b>");
        full.isKept = true;
        full.rtfFromHtml = true;
        full.byteSize = 9'000'000'000LL;
        QTest::newRow("every field") << full;

        Clip empties = sampleClip();
        empties.text = QString();
        empties.rtf = QByteArray();
        empties.html = QByteArray();
        QTest::newRow("empty text, RTF and HTML stay present") << empties;

        Clip image = sampleClip();
        image.kind = ClipKind::image;
        image.imageFilename = QStringLiteral("6F1C2A7E-3B1D-4C8E-9A0B-1D2E3F4A5B6C.png");
        QTest::newRow("image") << image;

        Clip files = sampleClip();
        files.kind = ClipKind::fileURLs;
        files.text = QStringLiteral("/tmp/a b\n/tmp/ü");
        QTest::newRow("file list") << files;
    }

    void roundTrip()
    {
        QFETCH(Clip, clip);
        const DecodeResult result = decode(wrap({ encodeClip(clip), encodeClip(clip) }));
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.clips.size(), 2);
        QVERIFY(result.clips[0] == clip);
        // Text outside ASCII is held without room to spare.
        const QString text = result.clips[0].text.value_or(QString());
        QCOMPARE(text.capacity(), text.size());
        QCOMPARE(result.clips[0].rtf, clip.rtf);
        QCOMPARE(result.clips[0].html, clip.html);
    }

    void datesKeepWholeSecondsOnly()
    {
        Clip clip = sampleClip();
        clip.createdAt = QDateTime(QDate(2025, 6, 1), QTime(10, 20, 30, 987), Qt::UTC);
        const DecodeResult result = decode(wrap({ encodeClip(clip) }));
        QVERIFY(result.ok);
        QCOMPARE(
            result.clips[0].createdAt, QDateTime(QDate(2025, 6, 1), QTime(10, 20, 30), Qt::UTC));
        QVERIFY(!(result.clips[0] == clip));
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QJsonValue missing = QJsonValue(QJsonValue::Undefined);
        QTest::newRow("not JSON") << QByteArray("[{");
        QTest::newRow("truncated") << wrap({ encodeClip(sampleClip()) }).chopped(5);
        QTest::newRow("not an array") << QByteArray("{\"id\":1}");
        QTest::newRow("element not an object") << QByteArray("[1]");
        QTest::newRow("empty file") << QByteArray();
        for (const char *key : { "id", "createdAt", "kind", "preview", "byteSize", "contentHash" })
            QTest::addRow("missing %s", key) << objectWith(key, missing);
        QTest::newRow("id not a string") << objectWith("id", 5);
        QTest::newRow("id with braces")
            << objectWith("id", QStringLiteral("{6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c}"));
        QTest::newRow("id not hex")
            << objectWith("id", QStringLiteral("6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6g"));
        QTest::newRow("fractional seconds")
            << objectWith("createdAt", QStringLiteral("2025-01-31T09:05:00.5Z"));
        QTest::newRow("no zone") << objectWith("createdAt", QStringLiteral("2025-01-31T09:05:00"));
        QTest::newRow("date only") << objectWith("createdAt", QStringLiteral("2025-01-31"));
        QTest::newRow("impossible date")
            << objectWith("createdAt", QStringLiteral("2025-02-30T09:05:00Z"));
        QTest::newRow("date as number") << objectWith("createdAt", 1700000000);
        QTest::newRow("unknown kind") << objectWith("kind", QStringLiteral("video"));
        QTest::newRow("kind in capitals") << objectWith("kind", QStringLiteral("Text"));
        QTest::newRow("byteSize as string") << objectWith("byteSize", QStringLiteral("5"));
        QTest::newRow("byteSize fractional") << objectWith("byteSize", 1.5);
        QTest::newRow("preview null") << objectWith("preview", QJsonValue::Null);
        QTest::newRow("rtf not Base64") << objectWith("rtf", QStringLiteral("%%%%"));
        QTest::newRow("html without padding") << objectWith("html", QStringLiteral("aGk"));
        QTest::newRow("html not a string") << objectWith("html", 12);
        QTest::newRow("text as number") << objectWith("text", 3);
        QTest::newRow("isKept as string") << objectWith("isKept", QStringLiteral("true"));
        QTest::newRow("imageFilename as array") << objectWith("imageFilename", QJsonArray());
        // One bad element fails the whole archive, good ones before it included.
        QJsonArray mixed = QJsonDocument::fromJson(wrap({ encodeClip(sampleClip()) })).array();
        mixed.append(
            QJsonDocument::fromJson(objectWith("kind", QStringLiteral("sound"))).array()[0]);
        QTest::newRow("second element bad") << QJsonDocument(mixed).toJson();
    }

    void failures()
    {
        QFETCH(QByteArray, json);
        const DecodeResult result = decode(json);
        QVERIFY(!result.ok);
        QVERIFY(result.clips.isEmpty());
        QVERIFY(!result.error.isEmpty());
    }

    void lenientReading_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<bool>("hasText");
        QTest::addColumn<bool>("rtfFromHtml");
        const QJsonValue missing = QJsonValue(QJsonValue::Undefined);
        QTest::newRow("isKept missing") << objectWith("isKept", missing) << false << false << false;
        QTest::newRow("isKept null")
            << objectWith("isKept", QJsonValue::Null) << false << false << false;
        QTest::newRow("isKept true") << objectWith("isKept", true) << true << false << false;
        QTest::newRow("text null")
            << objectWith("text", QJsonValue::Null) << false << false << false;
        QTest::newRow("text present")
            << objectWith("text", QStringLiteral("x")) << false << true << false;
        QTest::newRow("unknown key")
            << objectWith("colour", QStringLiteral("red")) << false << false << false;
        QTest::newRow("lower-case id")
            << objectWith("id", QStringLiteral("6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c")) << false
            << false << false;
        QTest::newRow("zone offset")
            << objectWith("createdAt", QStringLiteral("2025-01-31T10:05:00+01:00")) << false
            << false << false;
        QTest::newRow("RTF made from HTML")
            << objectWith("rtfFromHtml", true) << false << false << true;
        // A doubtful mark keeps the RTF on offer, as before the key existed.
        QTest::newRow("RTF mark not a boolean")
            << objectWith("rtfFromHtml", QStringLiteral("yes")) << false << false << false;
    }

    void lenientReading()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, kept);
        QFETCH(bool, hasText);
        QFETCH(bool, rtfFromHtml);
        const DecodeResult result = decode(json);
        QVERIFY2(result.ok, qPrintable(result.error));
        const Clip &clip = result.clips[0];
        QCOMPARE(clip.isKept, kept);
        QCOMPARE(clip.text.has_value(), hasText);
        QCOMPARE(clip.rtfFromHtml, rtfFromHtml);
        QCOMPARE(clip.id, sampleClip().id);
        QCOMPARE(clip.createdAt, sampleClip().createdAt);
    }
};

QTEST_GUILESS_MAIN(tst_ClipArchive)
#include "tst_ClipArchive.moc"
