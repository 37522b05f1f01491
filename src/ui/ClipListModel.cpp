#include "ClipListModel.h"

#include "ClipStore.h"

#include <QLocale>

ClipListModel::ClipListModel(const ClipStore &store, QObject *parent)
    : QAbstractListModel(parent)
    , m_store(store)
{
}

const Clip *ClipListModel::clipAt(int row) const
{
    if (row < 0 || row >= m_clips.size())
        return nullptr;
    return &m_clips[row];
}

void ClipListModel::setClips(QList<Clip> clips)
{
    beginResetModel();
    m_clips = std::move(clips);
    endResetModel();
}

int ClipListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_clips.size());
}

QVariant ClipListModel::data(const QModelIndex &index, int role) const
{
    const Clip *clip = index.isValid() ? clipAt(index.row()) : nullptr;
    if (!clip)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return clip->preview;
    case IdRole:
        return clip->id;
    case KindRole:
        return int(clip->kind);
    case TimestampRole:
        return timestampText(clip->createdAt);
    case ImagePathRole:
        return m_store.imagePath(*clip);
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
