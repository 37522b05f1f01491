#include "ClipArchive.h"

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
QByteArray objectWith(const QString &key, const QJsonValue &value)
{
    QJsonObject object = QJsonDocument::fromJson(wrap({encodeClip(sampleClip())})).array()[0].toObject();
    if (value.isUndefined())
        object.remove(key);
    else
        object.insert(key, value);
    return QJsonDocument(QJsonArray{object}).toJson();
}

} // namespace

class tst_ClipArchive : public QObject
{
    Q_OBJECT
private slots:
    void requiredFieldsOnly()
    {
        const QByteArray json = wrap({encodeClip(sampleClip())});
        const QJsonObject object = QJsonDocument::fromJson(json).array()[0].toObject();
        QCOMPARE(object.keys(), (QStringList{QStringLiteral("byteSize"), QStringLiteral("contentHash"),
                                             QStringLiteral("createdAt"), QStringLiteral("id"),
                                             QStringLiteral("isKept"), QStringLiteral("kind"),
                                             QStringLiteral("preview")}));
        QCOMPARE(object.value(QStringLiteral("id")).toString(),
                 QStringLiteral("6F1C2A7E-3B1D-4C8E-9A0B-1D2E3F4A5B6C"));
        QCOMPARE(object.value(QStringLiteral("createdAt")).toString(),
                 QStringLiteral("2025-01-31T09:05:00Z"));
    }

    void writesSortedKeysOneKeyPerLine()
    {
        Clip clip = sampleClip();
        clip.text = QStringLiteral("t");
        clip.rtf = QByteArray("r");
        clip.html = QByteArray("h");
        clip.imageFilename = QStringLiteral("x.png");
        const QByteArray json = wrap({encodeClip(clip)});
        QStringList keysInOrder;
        for (const QByteArray &line : json.split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith('"'))
                keysInOrder.append(QString::fromUtf8(trimmed.mid(1, trimmed.indexOf('"', 1) - 1)));
        }
        QCOMPARE(keysInOrder,
                 QString::fromLatin1("byteSize contentHash createdAt html id imageFilename isKept "
                                     "kind preview rtf text")
                     .split(QLatin1Char(' ')));
        QCOMPARE(wrap({}), QByteArray("[\n]\n"));
        QVERIFY(QJsonDocument::fromJson(wrap({})).array().isEmpty());
    }

    void roundTrip_data()
    {
        QTest::addColumn<Clip>("clip");
        Clip full = sampleClip();
        full.text = QStringLiteral("  \"quoted\" \\ back\tslash\nline\u0001ctl \U0001F600 é\u2028 ");
        full.preview = QStringLiteral("\"quoted\" \\ back slash");
        full.rtf = QByteArray("{\\rtf1\\ansi \x00\xff binary}", 23);
        full.html = QByteArray("<b>bold</b>");
        full.isKept = true;
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
        const DecodeResult result = decode(wrap({encodeClip(clip), encodeClip(clip)}));
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.clips.size(), 2);
        QVERIFY(result.clips[0] == clip);
        QCOMPARE(result.clips[0].rtf, clip.rtf);
        QCOMPARE(result.clips[0].html, clip.html);
    }

    void datesKeepWholeSecondsOnly()
    {
        Clip clip = sampleClip();
        clip.createdAt = QDateTime(QDate(2025, 6, 1), QTime(10, 20, 30, 987), Qt::UTC);
        const DecodeResult result = decode(wrap({encodeClip(clip)}));
        QVERIFY(result.ok);
        QCOMPARE(result.clips[0].createdAt, QDateTime(QDate(2025, 6, 1), QTime(10, 20, 30), Qt::UTC));
        QVERIFY(!(result.clips[0] == clip));
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QJsonValue missing = QJsonValue(QJsonValue::Undefined);
        QTest::newRow("not JSON") << QByteArray("[{");
        QTest::newRow("truncated") << wrap({encodeClip(sampleClip())}).chopped(5);
        QTest::newRow("not an array") << QByteArray("{\"id\":1}");
        QTest::newRow("element not an object") << QByteArray("[1]");
        QTest::newRow("empty file") << QByteArray();
        for (const char *key : {"id", "createdAt", "kind", "preview", "byteSize", "contentHash"})
            QTest::addRow("missing %s", key) << objectWith(QLatin1String(key), missing);
        QTest::newRow("id not a string") << objectWith(QStringLiteral("id"), 5);
        QTest::newRow("id with braces")
            << objectWith(QStringLiteral("id"), QStringLiteral("{6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c}"));
        QTest::newRow("id not hex")
            << objectWith(QStringLiteral("id"), QStringLiteral("6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6g"));
        QTest::newRow("fractional seconds")
            << objectWith(QStringLiteral("createdAt"), QStringLiteral("2025-01-31T09:05:00.5Z"));
        QTest::newRow("no zone")
            << objectWith(QStringLiteral("createdAt"), QStringLiteral("2025-01-31T09:05:00"));
        QTest::newRow("date only") << objectWith(QStringLiteral("createdAt"), QStringLiteral("2025-01-31"));
        QTest::newRow("impossible date")
            << objectWith(QStringLiteral("createdAt"), QStringLiteral("2025-02-30T09:05:00Z"));
        QTest::newRow("date as number") << objectWith(QStringLiteral("createdAt"), 1700000000);
        QTest::newRow("unknown kind") << objectWith(QStringLiteral("kind"), QStringLiteral("video"));
        QTest::newRow("kind in capitals") << objectWith(QStringLiteral("kind"), QStringLiteral("Text"));
        QTest::newRow("byteSize as string") << objectWith(QStringLiteral("byteSize"), QStringLiteral("5"));
        QTest::newRow("byteSize fractional") << objectWith(QStringLiteral("byteSize"), 1.5);
        QTest::newRow("preview null") << objectWith(QStringLiteral("preview"), QJsonValue::Null);
        QTest::newRow("rtf not Base64") << objectWith(QStringLiteral("rtf"), QStringLiteral("%%%%"));
        QTest::newRow("html without padding") << objectWith(QStringLiteral("html"), QStringLiteral("aGk"));
        QTest::newRow("html not a string") << objectWith(QStringLiteral("html"), 12);
        QTest::newRow("text as number") << objectWith(QStringLiteral("text"), 3);
        QTest::newRow("isKept as string") << objectWith(QStringLiteral("isKept"), QStringLiteral("true"));
        QTest::newRow("imageFilename as array") << objectWith(QStringLiteral("imageFilename"), QJsonArray());
    }

    void failures()
    {
        QFETCH(QByteArray, json);
        const DecodeResult result = decode(json);
        QVERIFY(!result.ok);
        QVERIFY(result.clips.isEmpty());
        QVERIFY(!result.error.isEmpty());
    }

    void oneBadElementFailsTheWholeArchive()
    {
        QByteArray good = wrap({encodeClip(sampleClip())});
        QJsonArray array = QJsonDocument::fromJson(good).array();
        QJsonObject bad = array[0].toObject();
        bad.insert(QStringLiteral("kind"), QStringLiteral("sound"));
        array.append(bad);
        QVERIFY(!decode(QJsonDocument(array).toJson()).ok);
    }

    void lenientReading_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<bool>("hasText");
        const QJsonValue missing = QJsonValue(QJsonValue::Undefined);
        QTest::newRow("isKept missing") << objectWith(QStringLiteral("isKept"), missing) << false << false;
        QTest::newRow("isKept null") << objectWith(QStringLiteral("isKept"), QJsonValue::Null) << false << false;
        QTest::newRow("isKept true") << objectWith(QStringLiteral("isKept"), true) << true << false;
        QTest::newRow("text null") << objectWith(QStringLiteral("text"), QJsonValue::Null) << false << false;
        QTest::newRow("text present") << objectWith(QStringLiteral("text"), QStringLiteral("x")) << false << true;
        QTest::newRow("unknown key") << objectWith(QStringLiteral("colour"), QStringLiteral("red")) << false << false;
        QTest::newRow("lower-case id")
            << objectWith(QStringLiteral("id"), QStringLiteral("6f1c2a7e-3b1d-4c8e-9a0b-1d2e3f4a5b6c"))
            << false << false;
        QTest::newRow("zone offset")
            << objectWith(QStringLiteral("createdAt"), QStringLiteral("2025-01-31T10:05:00+01:00"))
            << false << false;
    }

    void lenientReading()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, kept);
        QFETCH(bool, hasText);
        const DecodeResult result = decode(json);
        QVERIFY2(result.ok, qPrintable(result.error));
        const Clip &clip = result.clips[0];
        QCOMPARE(clip.isKept, kept);
        QCOMPARE(clip.text.has_value(), hasText);
        QCOMPARE(clip.id, sampleClip().id);
        QCOMPARE(clip.createdAt, sampleClip().createdAt);
    }

    void equalityComparesEveryField()
    {
        Clip a = sampleClip();
        Clip b = a;
        QVERIFY(a == b);
        b.isKept = true;
        QVERIFY(!(a == b));
        QCOMPARE(a.id, b.id);
        b = a;
        b.rtf = QByteArray();
        QVERIFY(!(a == b)); // present but empty differs from absent
    }
};

QTEST_GUILESS_MAIN(tst_ClipArchive)
#include "tst_ClipArchive.moc"
