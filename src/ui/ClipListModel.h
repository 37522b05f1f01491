#pragma once

#include "Clip.h"

#include <QAbstractListModel>
#include <QList>

class ClipStore;

// The clips the history list shows, row i = clip i. Replacing the list is
// one model reset: nothing is computed per clip until a row is painted, so a
// history of thousands of clips reloads on every keystroke.
class ClipListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        KindRole,
        TimestampRole,
        ImagePathRole,
    };

    explicit ClipListModel(const ClipStore &store, QObject *parent = nullptr);

    const QList<Clip> &clips() const { return m_clips; }
    const Clip *clipAt(int row) const;
    void setClips(QList<Clip> clips);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The date line of a row: the localised "clip.timestamp" around the
    // creation date in the current locale's short date and time, local time.
    static QString timestampText(const QDateTime &createdAt);

private:
    const ClipStore &m_store;
    QList<Clip> m_clips;
};
