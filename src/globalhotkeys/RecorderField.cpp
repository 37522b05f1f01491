// SPDX-License-Identifier: GPL-3.0-or-later
#include "globalhotkeys/RecorderField.h"

#include "globalhotkeys/KeyboardLayout.h"
#include "globalhotkeys/Localization.h"
#include "globalhotkeys/NamedShortcuts.h"
#include "globalhotkeys/ShortcutConflicts.h"
#include "globalhotkeys/SpecialKey.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolTip>

namespace GlobalHotkeys {

namespace {

// A click this far outside the field still counts as on it.
constexpr int clickSlack = 3;

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

QString withoutMnemonic(QString title)
{
    static const QString marker = QStringLiteral("&");
    title.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    title.remove(marker);
    title.replace(QStringLiteral("\x01"), marker);
    return title;
}

} // namespace

RecorderField::RecorderField(
    NamedShortcuts &shortcuts, const Name &name, OnChange onChange, QWidget *parent)
    : QLineEdit(parent)
    , m_shortcuts(shortcuts)
    , m_name(name)
    , m_onChange(std::move(onChange))
    , m_alertRunner(runAlertModally)
    , m_beep(&QApplication::beep)
{
    setClearButtonEnabled(true);
    // Only the keys pressed while recording write into the field: no typing
    // method, no pasting with the middle button, no drops, no edit menu.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAcceptDrops(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    setPlaceholderText(localizedString("record_shortcut"));
    setAccessibleDescription(localizedString("record_shortcut"));
    showStoredShortcut();

    // The clear button empties the field; that clears the name.
    connect(this, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (text.isEmpty())
            clearShortcut();
    });
    connect(
        &m_shortcuts, &NamedShortcuts::shortcutByNameDidChange, this, [this](const Name &changed) {
            if (changed == m_name)
                showStoredShortcut();
        });
    connect(&m_shortcuts.layout(), &KeyboardLayout::layoutChanged, this,
        &RecorderField::showStoredShortcut);
}

RecorderField::~RecorderField()
{
    // A field that goes away while recording must not leave the shortcuts paused.
    if (m_recording)
        endRecording();
}

void RecorderField::showStoredShortcut()
{
    if (m_recording)
        return;
    const std::optional<Shortcut> shortcut = m_shortcuts.getShortcut(m_name);
    setText(shortcut ? shortcut->description(m_shortcuts.layout()) : QString());
}

void RecorderField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    startRecording();
}

void RecorderField::focusOutEvent(QFocusEvent *event)
{
    endRecording();
    QLineEdit::focusOutEvent(event);
    // When the window loses the keyboard the recording ends for good: coming
    // back to the window does not start it again.
    if (event->reason() == Qt::ActiveWindowFocusReason && window()->focusWidget() == this)
        clearFocus();
}

void RecorderField::startRecording()
{
    if (m_recording)
        return;
    m_recording = true;
    // An empty field asking for the keys, without a caret, says that it is
    // listening. Read-only hides the caret; the keys still come here first.
    setText(QString());
    setReadOnly(true);
    setPlaceholderText(localizedString("press_shortcut"));
    qApp->installEventFilter(this);
    m_shortcuts.setRecorderActive(true);
}

void RecorderField::endRecording()
{
    if (!m_recording)
        return;
    m_recording = false;
    qApp->removeEventFilter(this);
    setReadOnly(false);
    setPlaceholderText(localizedString("record_shortcut"));
    showStoredShortcut();
    m_shortcuts.setRecorderActive(false);
}

void RecorderField::blur()
{
    clearFocus();
    endRecording();
}

void RecorderField::refocus()
{
    setFocus(Qt::OtherFocusReason);
}

bool RecorderField::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // While recording no shortcut of the application may take the key.
        if (m_recording) {
            event->accept();
            return true;
        }
        break;
    case QEvent::KeyPress:
        // Before QWidget::event, which would move the focus on Tab itself.
        if (m_recording) {
            handleKeyPress(*static_cast<QKeyEvent *>(event));
            return true;
        }
        break;
    case QEvent::KeyRelease:
        if (m_recording)
            return true;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        // X11 pastes the selection on a middle click.
        if (static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton)
            return true;
        break;
    default:
        break;
    }
    return QLineEdit::event(event);
}

bool RecorderField::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_recording || event->type() != QEvent::MouseButtonRelease || !watched->isWidgetType())
        return QLineEdit::eventFilter(watched, event);
    const auto *mouse = static_cast<QMouseEvent *>(event);
    const QRect area = rect().adjusted(-clickSlack, -clickSlack, clickSlack, clickSlack);
    if (!area.contains(mapFromGlobal(mouse->globalPosition().toPoint()))) {
        blur();
        return false;
    }
    // The clear button inside the field still gets its click.
    return watched == this;
}

void RecorderField::handleKeyPress(const QKeyEvent &event)
{
    const int key = event.key();
    // A modifier alone is the start of a shortcut, not one.
    if (isModifierKey(key))
        return;
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        if (key == Qt::Key_Tab) {
            focusNextChild();
            endRecording();
            return;
        }
        if (key == Qt::Key_Escape) {
            blur();
            return;
        }
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            clearShortcut();
            return;
        }
    }
    if (!(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        && (key < Qt::Key_F1 || key > Qt::Key_F35)) {
        reject();
        return;
    }
    const std::optional<Shortcut> shortcut = Shortcut::fromKeyEvent(event);
    if (!shortcut) {
        reject();
        return;
    }
    if (usedByMenuItem(*shortcut) || usedByOtherName(*shortcut))
        return;
    if (!mayUseDespiteSystem(*shortcut))
        return;
    accept(*shortcut);
}

void RecorderField::reject()
{
    m_beep();
    // Many desktops mute the bell: the rule is shown as well.
    QToolTip::showText(
        mapToGlobal(QPoint(0, height())), localizedString("keyboard_shortcut_disallowed"), this);
}

void RecorderField::clearShortcut()
{
    clear();
    m_shortcuts.setShortcut(std::nullopt, m_name);
    if (m_onChange)
        m_onChange(std::nullopt);
    refocus();
}

bool RecorderField::usedByMenuItem(const Shortcut &shortcut)
{
    // Our menus are the tray menu and the list's context menu; each is a
    // window of its own, whether it is open or not.
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *topLevel : windows) {
        const auto *menu = qobject_cast<QMenu *>(topLevel);
        if (!menu)
            continue;
        const QAction *item = menuItemWithMatchingShortcut(*menu, shortcut, m_shortcuts.layout());
        if (!item)
            continue;
        alertTaken(localizedString("keyboard_shortcut_used_by_menu_item")
                       .arg(withoutMnemonic(item->text())));
        return true;
    }
    return false;
}

bool RecorderField::usedByOtherName(const Shortcut &shortcut)
{
    for (const OtherName &other : std::as_const(m_otherNames)) {
        if (other.name == m_name || m_shortcuts.getShortcut(other.name) != shortcut)
            continue;
        alertTaken(localizedString("keyboard_shortcut_used_by_other_name").arg(other.title));
        return true;
    }
    return false;
}

void RecorderField::alertTaken(const QString &message)
{
    blur();
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), message,
        QMessageBox::NoButton, window());
    box.addButton(localizedString("ok"), QMessageBox::AcceptRole);
    box.setWindowModality(Qt::WindowModal);
    m_alertRunner(box);
    refocus();
}

bool RecorderField::mayUseDespiteSystem(const Shortcut &shortcut)
{
    // F12 alone is left to the user, whatever the desktop does with it.
    if (shortcut == Shortcut(Key::f12))
        return true;
    if (!systemShortcuts().contains(shortcut) && !m_shortcuts.isHeldByAnotherProgram(shortcut))
        return true;
    blur();
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(),
        localizedString("keyboard_shortcut_used_by_system"), QMessageBox::NoButton, window());
    box.setInformativeText(localizedString("keyboard_shortcuts_can_be_changed"));
    QPushButton *ok = box.addButton(localizedString("ok"), QMessageBox::RejectRole);
    QPushButton *force
        = box.addButton(localizedString("force_use_shortcut"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.setWindowModality(Qt::WindowModal);
    const bool useAnyway = m_alertRunner(box) == force;
    refocus();
    return useAnyway;
}

void RecorderField::accept(const Shortcut &shortcut)
{
    m_shortcuts.setShortcut(shortcut, m_name);
    if (m_onChange)
        m_onChange(shortcut);
    blur();
}

} // namespace GlobalHotkeys
