// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/AlertRunner.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

QAbstractButton *runAlertModally(QMessageBox &box)
{
    // Return and Escape must answer it.
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    box.exec();
    return box.clickedButton();
}
