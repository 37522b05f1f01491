// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Clip.h"
#include "sync/SyncStamp.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One change as a machine writes it into the shared folder, before sealing:
// a JSON object on one line. The machine is not written: it is the folder's.
struct SyncEvent
{
    enum class Op { hello, put, keep, forget };

    // A tombstone: the clip as its machine last knew it, by the highest
    // stamp of what kept it alive there.
    struct Gone
    {
        QString key;
        SyncStamp seen;
        friend bool operator==(const Gone &, const Gone &) = default;
    };

    Op op = Op::hello;
    SyncStamp stamp;
    // put, keep: the clip's key (its content hash when first shared).
    QString key;
    // put: the clip; `image` names its sealed image in the machine's media.
    Clip clip;
    QString image;
    // keep
    bool kept = false;
    // forget
    QList<Gone> gone;
    bool clear = false;
    // hello: the machine's host name.
    QString name;

    friend bool operator==(const SyncEvent &, const SyncEvent &) = default;

    // The line's plaintext, without a line feed.
    QByteArray encode() const;
    // Reads a line written by `machine`; nothing, with the reason, when it is
    // not an event. Read in place when `json` has `padding` bytes of
    // capacity past its end, from a copy otherwise.
    static constexpr qsizetype padding = 64;
    static std::optional<SyncEvent> decode(
        const QByteArray &json, const QByteArray &machine, QString *error = nullptr);
};
