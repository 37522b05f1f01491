// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// What assistive technology sees of the widgets whose standard reading says
// too little: our windows are windows rather than blank panes, the clear
// button of a text field is a "Clear" button, and a widget named
// "imageView" (the editor's image) is an image. Handed to QAccessible::installFactory.
QAccessibleInterface *widgetAccessible(const QString &className, QObject *object);

// Installs this and the history list's factory, once; every window of ours
// calls it before its widgets are read.
void installAccessibleFactories();
