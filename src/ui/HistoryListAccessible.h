// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// What assistive technology sees of the history list: a list of rows, each
// named by its preview, each holding its two painted buttons ("Edit" or
// "View", and "Delete") as buttons that can be pressed. Handed to
// QAccessible::installFactory.
QAccessibleInterface *historyListAccessible(const QString &className, QObject *object);
