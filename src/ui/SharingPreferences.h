// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/MachineStatus.h"

#include <QWidget>

#include <functional>

class Defaults;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The settings of sharing the history between machines: the switch, the
// folder, what is shared, the passphrase (entered once, kept only as the key
// made from it) and the machines seen in the folder.
class SharingPreferences : public QWidget
{
    Q_OBJECT
public:
    using Machines = std::function<QList<MachineStatus>()>;

    // `machines` tells the machines the running sharing knows.
    SharingPreferences(
        Defaults &defaults, QString appSupportDir, Machines machines, QWidget *parent = nullptr);

    // The machines list as it is now.
    void refresh();

    QCheckBox *enabledCheckbox() const { return m_enabled; }
    QLineEdit *folderField() const { return m_folder; }
    QComboBox *scopePopup() const { return m_scope; }
    QLineEdit *passphraseField() const { return m_passphrase; }
    QPushButton *passphraseButton() const { return m_setPassphrase; }
    QLabel *statusLabel() const { return m_status; }

signals:
    // The switch, the folder, the scope or the key changed: sharing starts
    // again with them.
    void sharingChanged();

private:
    void setPassphrase();
    void keyMade(bool ok, const QString &error);

    Defaults &m_defaults;
    QString m_appSupportDir;
    Machines m_machines;
    QCheckBox *m_enabled;
    QLineEdit *m_folder;
    QComboBox *m_scope;
    QLineEdit *m_passphrase;
    QPushButton *m_setPassphrase;
    QLabel *m_status;
    QLabel *m_machineList;
};
