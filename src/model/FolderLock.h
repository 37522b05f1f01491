// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One writer per history folder: a running program holds "lock" in it
// exclusively for its whole life, and a reader of the files alone holds it
// shared while it reads. The kernel lets go of it with the process, however
// that ends, so a crash leaves nothing to clean up.
class FolderLock
{
public:
    enum class Mode {
        exclusive, // the folder and the lock file are made, private, when missing
        shared, // nothing is made: no lock file means no program holds it
    };
    enum class State {
        taken,
        held, // by another process
        none, // nothing to lock: see error()
    };

    FolderLock(const QString &folder, Mode mode);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    State state() const { return m_state; }
    QString folder() const { return m_folder; }
    // Why there is no lock, when state() is none.
    QString error() const { return m_error; }

private:
    bool outwaitReaders();

    const QString m_folder;
    int m_fd = -1;
    State m_state = State::none;
    QString m_error;
};
