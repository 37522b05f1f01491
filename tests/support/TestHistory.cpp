// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestHistory.h"

#include "model/ClipFunctions.h"

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

Clip TestHistory::add(const QString &preview, ClipKind kind, bool kept,
    const std::optional<QString> &text, const QImage &image)
{
    ClipContent content;
    content.kind = kind;
    content.preview = preview;
    content.text = text;
    if (kind == ClipKind::image) {
        QBuffer png(&content.pngData);
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
    }
    content.byteSize = preview.size() + content.pngData.size();
    content.contentHash = sha256Hex(preview.toUtf8() + content.pngData);
    m_store->add(content);
    const QUuid id = m_store->clips().constFirst().id;
    if (kept)
        m_store->setKept(id, true);
    return *m_store->clip(id);
}
