// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ClipArchive.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace ClipArchive;

namespace {

QByteArray wrap(const QList<QByteArray> &encoded)
{
    return archiveParts(encoded).join();
}

Clip sampleClip()
{
    Clip clip;
    clip.id = QUuid::fromString(u"6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c"_s);
    clip.createdAt = QDateTime(QDate(2025, 1, 31), QTime(9, 5, 0), Qt::UTC);
    clip.kind = ClipKind::text;
    clip.preview = u"hello"_s;
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
    // Keys come out sorted, one per line, and only the fields a clip has;
    // dates in whole seconds.
    void writtenKeys_data()
    {
        QTest::addColumn<Clip>("clip");
        QTest::addColumn<QString>("keys");
        QTest::newRow("required fields only")
            << sampleClip() << u"byteSize contentHash createdAt id isKept kind preview"_s;
        Clip full = sampleClip();
        full.text = u"t"_s;
        full.rtf = QByteArray("r");
        full.html = QByteArray("h");
        full.imageFilename = u"x.png"_s;
        full.rtfFromHtml = true;
        full.createdAt = full.createdAt.addMSecs(987); // written in whole seconds
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
        QCOMPARE(object.value(u"id"_s).toString(), u"6F1C2A7E-3B1D-4C8E-9A0B-1D2E3F4A5B6C"_s);
        QCOMPARE(object.value(u"createdAt"_s).toString(), u"2025-01-31T09:05:00Z"_s);
        QCOMPARE(wrap({}), QByteArray("[\n]\n"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<Clip>("clip");
        Clip full = sampleClip();
        full.text = u"  \"quoted\" \\ back\tslash\nline\u0001ctl \U0001F600 é\u2028 "_s;
        full.preview = u"\"quoted\" \\ back slash"_s;
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
        image.imageFilename = u"6F1C2A7E-3B1D-4C8E-9A0B-1D2E3F4A5B6C.png"_s;
        QTest::newRow("image") << image;

        Clip files = sampleClip();
        files.kind = ClipKind::fileURLs;
        files.text = u"/tmp/a b\n/tmp/ü"_s;
        QTest::newRow("file list") << files;

        Clip early = sampleClip();
        early.createdAt
            = QDateTime(QDate(1968, 2, 29), QTime(23, 30), Qt::OffsetFromUTC, -5 * 3600);
        QTest::newRow("leap day before 1970, at an offset") << early;
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
            << objectWith("id", u"{6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c}"_s);
        QTest::newRow("id with more after it")
            << objectWith("id", u"6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c-and-a-long-tail"_s);
        QTest::newRow("id not hex") << objectWith("id", u"6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6g"_s);
        QTest::newRow("fractional seconds") << objectWith("createdAt", u"2025-01-31T09:05:00.5Z"_s);
        QTest::newRow("no zone") << objectWith("createdAt", u"2025-01-31T09:05:00"_s);
        QTest::newRow("date only") << objectWith("createdAt", u"2025-01-31"_s);
        QTest::newRow("impossible date") << objectWith("createdAt", u"2025-02-30T09:05:00Z"_s);
        QTest::newRow("date as number") << objectWith("createdAt", 1700000000);
        QTest::newRow("unknown kind") << objectWith("kind", u"video"_s);
        QTest::newRow("kind in capitals") << objectWith("kind", u"Text"_s);
        QTest::newRow("byteSize as string") << objectWith("byteSize", u"5"_s);
        QTest::newRow("byteSize fractional") << objectWith("byteSize", 1.5);
        QTest::newRow("preview null") << objectWith("preview", QJsonValue::Null);
        QTest::newRow("rtf not Base64") << objectWith("rtf", u"%%%%"_s);
        QTest::newRow("html without padding") << objectWith("html", u"aGk"_s);
        QTest::newRow("html not a string") << objectWith("html", 12);
        QTest::newRow("text as number") << objectWith("text", 3);
        QTest::newRow("isKept as string") << objectWith("isKept", u"true"_s);
        QTest::newRow("imageFilename as array") << objectWith("imageFilename", QJsonArray());
        // One bad element fails the whole archive, good ones before it included.
        QJsonArray mixed = QJsonDocument::fromJson(wrap({ encodeClip(sampleClip()) })).array();
        mixed.append(QJsonDocument::fromJson(objectWith("kind", u"sound"_s)).array()[0]);
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
        QTest::newRow("text present") << objectWith("text", u"x"_s) << false << true << false;
        QTest::newRow("unknown key") << objectWith("colour", u"red"_s) << false << false << false;
        QTest::newRow("lower-case id")
            << objectWith("id", u"6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c"_s) << false << false
            << false;
        QTest::newRow("zone offset")
            << objectWith("createdAt", u"2025-01-31T10:05:00+01:00"_s) << false << false << false;
        QTest::newRow("RTF made from HTML")
            << objectWith("rtfFromHtml", true) << false << false << true;
        // A doubtful mark keeps the RTF on offer, as before the key existed.
        QTest::newRow("RTF mark not a boolean")
            << objectWith("rtfFromHtml", u"yes"_s) << false << false << false;
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
