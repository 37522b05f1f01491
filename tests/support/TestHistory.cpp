#include "TestHistory.h"

#include "ClipFunctions.h"

#include <QBuffer>

TestHistory::TestHistory()
    : m_now(QDate(2025, 3, 14), QTime(9, 0), Qt::UTC)
{
    m_defaults = std::make_unique<Defaults>(m_dir.filePath(QStringLiteral("settings.ini")));
    m_settings = std::make_unique<Settings>(*m_defaults);
    m_store = std::make_unique<ClipStore>(*m_settings, m_dir.path(), [this] {
        m_now = m_now.addSecs(60);
        return m_now;
    });
}

Clip TestHistory::added(bool kept)
{
    const Clip clip = m_store->clips().constFirst();
    if (!kept)
        return clip;
    m_store->setKept(clip.id, true);
    return *m_store->clip(clip.id);
}

Clip TestHistory::addText(const QString &preview, const std::optional<QString> &text, bool kept)
{
    ClipContent content;
    content.preview = preview;
    content.text = text;
    content.byteSize = preview.size();
    content.contentHash = sha256Hex(preview.toUtf8());
    m_store->add(content);
    return added(kept);
}

Clip TestHistory::addImage(const QString &preview, const QImage &image)
{
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    image.save(&png, "PNG");
    ClipContent content;
    content.kind = ClipKind::image;
    content.preview = preview;
    content.pngData = png.data();
    content.byteSize = png.data().size();
    content.contentHash = sha256Hex(png.data() + preview.toUtf8());
    m_store->add(content);
    return added(false);
}

Clip TestHistory::addFiles(const QString &preview, const QString &paths)
{
    ClipContent content;
    content.kind = ClipKind::fileURLs;
    content.preview = preview;
    content.text = paths;
    content.byteSize = paths.size();
    content.contentHash = sha256Hex(paths.toUtf8());
    m_store->add(content);
    return added(false);
}
