// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ClipListModel.h"

#include "model/ClipStore.h"

#include <QLocale>

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
