// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QAbstractButton;
class QMessageBox;

// Runs a modal alert and answers the button the user pressed (or none).
// Windows that ask the user something take one of these, so that tests can
// answer the alert without showing it.
using AlertRunner = std::function<QAbstractButton *(QMessageBox &)>;

// Shows the alert, gives it the keyboard (the program is often in the
// background when one comes up) and waits for the answer.
QAbstractButton *runAlertModally(QMessageBox &box);
