// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/AlertRunner.h"
#include "globalhotkeys/Name.h"
#include "globalhotkeys/Shortcut.h"

#include <QLineEdit>

#include <functional>
#include <optional>

class QKeyEvent;

namespace GlobalHotkeys {

class NamedShortcuts;

// A line edit that records the shortcut of one name. Idle, it shows the
// name's shortcut (or "Record Shortcut") with a clear button. Focused, it
// records: every global shortcut is paused, and the next key pressed with
// Ctrl, Alt or Super (or F1 to F35 alone) becomes the name's shortcut unless
// one of our menu items, another of our names or another program already
// uses it. Tab moves on,
// Escape gives up, Delete or Backspace clears the name.
class RecorderField : public QLineEdit
{
    Q_OBJECT
public:
    using OnChange = std::function<void(const std::optional<Shortcut> &)>;

    RecorderField(NamedShortcuts &shortcuts, const Name &name, OnChange onChange = {},
        QWidget *parent = nullptr);
    ~RecorderField() override;

    bool isRecording() const { return m_recording; }

    // The program's other names, with the titles a refusal calls them by: a
    // shortcut one of them holds is refused, since a hot key runs only one.
    struct OtherName
    {
        Name name;
        QString title;
    };
    void setOtherNames(QList<OtherName> names) { m_otherNames = std::move(names); }

    // Tests answer the conflict alerts and hear the beep through these.
    void setAlertRunner(AlertRunner runner) { m_alertRunner = std::move(runner); }
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void startRecording();
    void endRecording();
    void blur();
    void refocus();
    void handleKeyPress(const QKeyEvent &event);
    void reject();
    void clearShortcut();
    bool usedByMenuItem(const Shortcut &shortcut);
    bool usedByOtherName(const Shortcut &shortcut);
    void alertTaken(const QString &message);
    bool mayUseDespiteSystem(const Shortcut &shortcut);
    void accept(const Shortcut &shortcut);
    void showStoredShortcut();

    NamedShortcuts &m_shortcuts;
    Name m_name;
    OnChange m_onChange;
    QList<OtherName> m_otherNames;
    AlertRunner m_alertRunner;
    std::function<void()> m_beep;
    bool m_recording = false;
};

} // namespace GlobalHotkeys
