// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"

#include <QAbstractListModel>
#include <QList>

class ClipStore;

// The clips the history list shows, row i = clip i. Replacing the list is
// one model reset: nothing is computed per clip until a row is painted, so a
// history of thousands of clips reloads on every keystroke.
//
// With no search the rows are the store's own list, read in place: were the
// model to hold a copy, each change to the history would copy every clip
// (2 MB at 10,000 clips). The store announces each change as soon as it has
// made it, and the list reloads then; nothing reads the rows in between.
class ClipListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        KindRole,
        TimestampRole,
        ImagePathRole,
        KeptRole,
    };

    explicit ClipListModel(const ClipStore &store, QObject *parent = nullptr);

    const QList<Clip> &clips() const;
    const Clip *clipAt(int row) const;
    void showWholeHistory();
    void setClips(QList<Clip> clips);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The date line of a row: the localised "clip.timestamp" around the
    // creation date in the current locale's short date and time, local time.
    static QString timestampText(const QDateTime &createdAt);
    // What a row's tooltip tells of the clip: the start of its text, line by
    // line, the names of its files, or an image's size in pixels and bytes.
    QString toolTip(const Clip &clip) const;

private:
    const ClipStore &m_store;
    QList<Clip> m_clips;
    bool m_wholeHistory = false;
};
