// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ClipListModel.h"

#include "model/ClipStore.h"

#include <QFileInfo>
#include <QImageReader>
#include <QLocale>

namespace {

// A tooltip holds a screenful at most, however long the clip.
constexpr int toolTipLines = 12;
constexpr int toolTipLineLength = 72;

// The lines as a tooltip shows them: a long line is wrapped, at a space
// where it has one, and what goes beyond the last line is an ellipsis.
QString bounded(const QStringList &lines)
{
    QStringList shown;
    for (const QString &line : lines) {
        QStringView rest(line);
        do {
            qsizetype cut = rest.size();
            if (cut > toolTipLineLength) {
                cut = rest.lastIndexOf(QLatin1Char(' '), toolTipLineLength);
                if (cut <= 0)
                    cut = toolTipLineLength;
            }
            if (shown.size() == toolTipLines)
                return (shown << QString(QChar(0x2026))).join(QLatin1Char('\n'));
            shown << rest.left(cut).toString();
            rest = rest.mid(cut);
            if (rest.startsWith(QLatin1Char(' ')))
                rest = rest.mid(1);
        } while (!rest.isEmpty());
    }
    return shown.join(QLatin1Char('\n'));
}

} // namespace

ClipListModel::ClipListModel(const ClipStore &store, QObject *parent)
    : QAbstractListModel(parent)
    , m_store(store)
{
}

const QList<Clip> &ClipListModel::clips() const
{
    return m_wholeHistory ? m_store.clips() : m_clips;
}

const Clip *ClipListModel::clipAt(int row) const
{
    const QList<Clip> &shown = clips();
    if (row < 0 || row >= shown.size())
        return nullptr;
    return &shown[row];
}

void ClipListModel::showWholeHistory()
{
    beginResetModel();
    m_clips = QList<Clip>();
    m_wholeHistory = true;
    endResetModel();
}

void ClipListModel::setClips(QList<Clip> clips)
{
    beginResetModel();
    m_clips = std::move(clips);
    m_wholeHistory = false;
    endResetModel();
}

int ClipListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(clips().size());
}

QVariant ClipListModel::data(const QModelIndex &index, int role) const
{
    const Clip *clip = index.isValid() ? clipAt(index.row()) : nullptr;
    if (!clip)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return shownPreview(*clip);
    case IdRole:
        return clip->id;
    case KindRole:
        return int(clip->kind);
    case TimestampRole:
        return timestampText(clip->createdAt);
    case ImagePathRole:
        return m_store.imagePath(*clip);
    case KeptRole:
        return clip->isKept;
    case Qt::ToolTipRole:
        return toolTip(*clip);
    default:
        return QVariant();
    }
}

QString ClipListModel::timestampText(const QDateTime &createdAt)
{
    // The locale is read at each call, so a change of the user's locale shows
    // at the next paint without anything to refresh.
    const QLocale locale;
    return qtTrId("clip.timestamp")
        .arg(locale.toString(createdAt.toLocalTime(), QLocale::ShortFormat));
}

QString ClipListModel::toolTip(const Clip &clip) const
{
    const QString text = clip.text.value_or(clip.preview);
    switch (clip.kind) {
    case ClipKind::image: {
        const QString bytes = QLocale().formattedDataSize(clip.byteSize);
        // Only the header is read: the pixels stay on disk.
        const QSize size = QImageReader(m_store.imagePath(clip)).size();
        if (!size.isValid())
            return bytes;
        return qtTrId("clip.tooltip.image").arg(size.width()).arg(size.height()).arg(bytes);
    }
    case ClipKind::fileURLs: {
        QStringList names;
        for (const QString &path : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            names << QFileInfo(path).fileName();
        return bounded(names);
    }
    case ClipKind::text:
        break;
    }
    return bounded(text.split(QLatin1Char('\n')));
}
