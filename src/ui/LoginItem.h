// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Starting the program at login, through the desktop's XDG autostart folder:
// an entry "quillstack.desktop" in the user's folder runs it; an entry there
// with Hidden=true masks one of the same name that the system installed.
class LoginItem
{
public:
    // The user's autostart folder ($XDG_CONFIG_HOME/autostart) and the
    // system's ($XDG_CONFIG_DIRS/autostart), and the program to start.
    LoginItem();
    LoginItem(QString userDir, QStringList systemDirs, QString executable);

    // Writes the user's entry; false, with the reason, when it could not.
    bool registerItem(QString *error = nullptr);
    // Removes the user's entry, or masks the system's one; false, with the
    // reason, when the entry could not be removed or written.
    bool unregisterItem(QString *error = nullptr);
    // Whether the program starts at the next login.
    bool isEnabled() const;

    QString entryPath() const;

private:
    QString systemEntryPath() const;
    bool writeEntry(const QByteArray &contents, QString *error);

    QString m_userDir;
    QStringList m_systemDirs;
    QString m_executable;
};
