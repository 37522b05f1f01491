// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ClipArchive.h"
#include "model/ClipFunctions.h"
#include "model/ClipStore.h"
#include "model/Defaults.h"
#include "model/Settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/stat.h>

// Each clip's text, or its preview when it has none.
inline QStringList texts(const QList<Clip> &clips)
{
    QStringList out;
    for (const Clip &clip : clips)
        out.append(clip.text.value_or(clip.preview));
    return out;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A store over a private temporary folder and settings file, with a clock the
// test moves by hand.
struct StoreFixture
{
    QTemporaryDir dir;
    QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 0), Qt::UTC);
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<ClipStore> store;

    StoreFixture()
        : defaults(std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini"))))
    {
        settings = std::make_unique<Settings>(*defaults);
    }

    QString supportDir() const { return dir.filePath(QStringLiteral("share")); }
    QString rootDir() const { return supportDir() + QStringLiteral("/Quillstack"); }
    QString archivePath() const { return rootDir() + QStringLiteral("/clips.json"); }
    QString journalPath() const { return rootDir() + QStringLiteral("/clips.journal"); }
    // The archive alone, without what the journal adds.
    QList<Clip> archived() const { return ClipArchive::decode(readFile(archivePath())).clips; }

    // The history the files hold once every save is done: what the next
    // start reads.
    QList<Clip> onDisk() const
    {
        if (store)
            store->flush();
        const auto json = ClipStore::exportFromFiles(supportDir());
        return json ? ClipArchive::decode(*json).clips : QList<Clip>();
    }

    ClipStore &open()
    {
        store.reset();
        store = std::make_unique<ClipStore>(*settings, supportDir(), [this] { return now; });
        return *store;
    }

    static ClipContent text(const QString &text, std::optional<QByteArray> rtf = {},
        std::optional<QByteArray> html = {})
    {
        ClipContent content;
        content.kind = ClipKind::text;
        content.text = text;
        content.preview = makePreview(text);
        content.rtf = rtf;
        content.html = html;
        const QByteArray utf8 = text.toUtf8();
        content.byteSize = utf8.size() + (rtf ? rtf->size() : 0) + (html ? html->size() : 0);
        content.contentHash = sha256Hex(utf8);
        return content;
    }

    // Permission bits of a file or folder, -1 when it does not exist.
    static int mode(const QString &path)
    {
        struct stat st;
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            return -1;
        return int(st.st_mode & 07777);
    }

    // A clip of `kind` shown as `preview`, holding `text` or, for an image,
    // `png` as its file.
    static ClipContent content(const QString &preview, ClipKind kind = ClipKind::text,
        const std::optional<QString> &text = {}, const QByteArray &png = {})
    {
        ClipContent content;
        content.kind = kind;
        content.preview = preview;
        content.text = text;
        content.pngData = png;
        content.byteSize = preview.size() + png.size();
        content.contentHash = sha256Hex(preview.toUtf8() + png);
        return content;
    }

    // Adds a clip at the front of `store`, kept or not, and returns it.
    static Clip add(ClipStore &store, const ClipContent &content, bool kept = false)
    {
        store.add(content);
        const QUuid id = store.clips().constFirst().id;
        if (kept)
            store.setKept(id, true);
        return *store.clip(id);
    }

    static ClipContent image(const QByteArray &png)
    {
        return content(QStringLiteral("Image"), ClipKind::image, {}, png);
    }
};
