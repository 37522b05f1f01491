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
    void roundTrip_data()
    {
        QTest::addColumn<Clip>("clip");
        QTest::addColumn<QString>("keys"); // as written, in order
        const QString required = u"byteSize contentHash createdAt id isKept kind preview"_s;
        QTest::newRow("required fields only") << sampleClip() << required;
        Clip full = sampleClip();
        full.text = u"  \"quoted\" \\ back\tslash\nline\u0001ctl \U0001F600 é\u2028 "_s;
        full.rtf = QByteArray("{\\rtf1\\ansi \x00\xff binary}", 23);
        full.html = QByteArray("<b>bold</b>");
        full.kind = ClipKind::image;
        full.imageFilename = u"x.png"_s;
        full.isKept = full.rtfFromHtml = true;
        full.byteSize = 9'000'000'000LL;
        QTest::newRow("every field")
            << full
            << u"byteSize contentHash createdAt html id imageFilename isKept kind preview rtf "
               "rtfFromHtml text"_s;
        Clip empties = sampleClip();
        empties.text = QString();
        empties.rtf = empties.html = QByteArray();
        QTest::newRow("empty text, RTF and HTML stay present")
            << empties << u"byteSize contentHash createdAt html id isKept kind preview rtf text"_s;
        Clip files = sampleClip();
        files.kind = ClipKind::fileURLs;
        files.text = u"/tmp/a b\n/tmp/ü"_s;
        QTest::newRow("file list") << files << required + u" text"_s;
    }

    // Keys come out sorted, one per line, and only the fields a clip has;
    // ids in capitals, dates in whole seconds. What is written reads back
    // the same.
    void roundTrip()
    {
        QFETCH(Clip, clip);
        QFETCH(QString, keys);
        Clip written = clip;
        written.createdAt = clip.createdAt.addMSecs(987);
        const QByteArray one = encodeClip(written);
        QStringList keysInOrder;
        for (const QByteArray &line : one.split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith('"'))
                keysInOrder.append(QString::fromUtf8(trimmed.mid(1, trimmed.indexOf('"', 1) - 1)));
        }
        QCOMPARE(keysInOrder.join(u' '), keys);
        QVERIFY(one.contains("\"6F1C2A7E-3B1D-4C8E-9A0B-1D2E3F4A5B6C\""));
        QVERIFY(one.contains("\"2025-01-31T09:05:00Z\""));
        written.createdAt
            = QDateTime(QDate(1968, 2, 29), QTime(23, 30), Qt::OffsetFromUTC, -5 * 3600);
        QVERIFY(encodeClip(written).contains("\"1968-03-01T04:30:00Z\""));
        const DecodeResult result = decode(wrap({ one, one }));
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.clips, (QList<Clip> { clip, clip }));
        // Text outside ASCII is held without room to spare.
        const QString text = result.clips[0].text.value_or(QString());
        QCOMPARE(text.capacity(), text.size());
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("read"); // "ok" and what differs from the sample; empty: refused
        const QJsonValue missing = QJsonValue(QJsonValue::Undefined);
        QTest::newRow("not JSON") << QByteArray("[{") << QString();
        QTest::newRow("truncated") << wrap({ encodeClip(sampleClip()) }).chopped(5) << QString();
        QTest::newRow("not an array") << QByteArray("{\"id\":1}") << QString();
        QTest::newRow("element not an object") << QByteArray("[1]") << QString();
        QTest::newRow("empty file") << QByteArray() << QString();
        for (const char *key : { "id", "createdAt", "kind", "preview", "byteSize", "contentHash" })
            QTest::addRow("missing %s", key) << objectWith(key, missing) << QString();
        // One bad element fails the whole archive, good ones before it included.
        QJsonArray mixed = QJsonDocument::fromJson(wrap({ encodeClip(sampleClip()) })).array();
        mixed.append(QJsonDocument::fromJson(objectWith("kind", u"sound"_s)).array()[0]);
        QTest::newRow("second element bad") << QJsonDocument(mixed).toJson() << QString();

        // Refused (nothing expected), or read: a doubtful RTF mark keeps the
        // RTF on offer, as before the key existed.
        const QList<std::tuple<const char *, QJsonValue, const char *>> values { { "id", 5, "" },
            { "id", u"{6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c}"_s, "" },
            { "id", u"6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6g"_s, "" },
            { "id", u"6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c-and-a-long-tail"_s, "" },
            { "createdAt", u"2025-01-31T09:05:00.5Z"_s, "" },
            { "createdAt", u"2025-01-31T09:05:00"_s, "" }, { "createdAt", u"2025-01-31"_s, "" },
            { "createdAt", u"2025-02-30T09:05:00Z"_s, "" }, { "createdAt", 1700000000, "" },
            { "kind", u"video"_s, "" }, { "kind", u"Text"_s, "" }, { "byteSize", u"5"_s, "" },
            { "byteSize", 1.5, "" }, { "preview", QJsonValue::Null, "" }, { "rtf", u"%%%%"_s, "" },
            { "html", u"aGk"_s, "" }, { "html", 12, "" }, { "text", 3, "" },
            { "isKept", u"true"_s, "" }, { "imageFilename", QJsonArray(), "" },
            { "isKept", missing, "ok" }, { "isKept", QJsonValue::Null, "ok" },
            { "isKept", true, "ok kept" }, { "text", QJsonValue::Null, "ok" },
            { "text", u"x"_s, "ok text" }, { "colour", u"red"_s, "ok" },
            { "id", u"6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c"_s, "ok" },
            { "createdAt", u"2025-01-31T10:05:00+01:00"_s, "ok" },
            { "rtfFromHtml", true, "ok from HTML" }, { "rtfFromHtml", u"yes"_s, "ok" } };
        for (const auto &[key, value, expected] : values) {
            const QByteArray shown = value.isUndefined()
                ? QByteArray("missing")
                : QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact);
            QTest::addRow("%s %s", key, shown.constData())
                << objectWith(key, value) << QString::fromLatin1(expected);
        }
    }

    void decoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, read);
        const DecodeResult result = decode(json);
        QCOMPARE(result.error.isEmpty(), result.ok);
        QString seen;
        if (result.ok) {
            QCOMPARE(result.clips.size(), 1);
            Clip clip = result.clips[0];
            seen = u"ok"_s;
            if (clip.isKept)
                seen += u" kept"_s;
            if (clip.text)
                seen += u" text"_s;
            if (clip.rtfFromHtml)
                seen += u" from HTML"_s;
            clip.isKept = clip.rtfFromHtml = false;
            clip.text.reset();
            QCOMPARE(clip, sampleClip());
        }
        QCOMPARE(seen, read);
        QCOMPARE(result.clips.isEmpty(), !result.ok);
    }
};

QTEST_GUILESS_MAIN(tst_ClipArchive)
#include "tst_ClipArchive.moc"
