// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "globalhotkeys/AlertRunner.h"

#include <QWidget>

#include <functional>

class ClipStore;
class LoginItem;
class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;
class QVBoxLayout;
class Settings;

namespace GlobalHotkeys {
class NamedShortcuts;
class RecorderField;
} // namespace GlobalHotkeys

// The preferences window: the retention limits, the panel's position, the
// always-visible switch, the two global shortcuts and starting at login.
// Every change goes straight into the settings (or the named shortcuts, or
// the autostart entry). Closing hides the window; it is kept for the next
// opening, at the place the user left it.
class PreferencesController : public QWidget
{
    Q_OBJECT
public:
    // The width of the column of labels, and the room between a label and
    // its control, for sections made elsewhere to line up with the others.
    static constexpr int labelWidth = 190;
    static constexpr int spacing = 10;

    // The store is read to tell how many clips a lower count limit removes.
    PreferencesController(Settings &settings, const ClipStore &store,
        GlobalHotkeys::NamedShortcuts &shortcuts, LoginItem &loginItem, QWidget *parent = nullptr);

    void setOnClose(std::function<void()> onClose) { m_onClose = std::move(onClose); }
    // Tests answer the question before a lower limit removes clips.
    void setAlertRunner(AlertRunner runner) { m_alertRunner = std::move(runner); }

    // Puts the window where the user left it last time (the frame saved
    // under "QuillstackPreferences"), or in the middle of `area`.
    void restoreFrame(const QRect &area);
    // The launch-at-login checkbox shows whether the entry is there now.
    void refreshLaunchAtLogin();
    // A section made elsewhere, below the others, under its title.
    void addSection(const QString &title, QWidget *content);
    // Greys "Paste after choosing" out with the reason under it; an empty
    // reason makes it available.
    void setPasteUnavailableReason(const QString &reason);

    QComboBox *agePopup() const { return m_agePopup; }
    QSpinBox *countField() const { return m_countField; }
    QComboBox *clipSizePopup() const { return m_clipSizePopup; }
    QComboBox *totalSizePopup() const { return m_totalSizePopup; }
    QCheckBox *launchAtLoginCheckbox() const { return m_launchAtLogin; }
    QCheckBox *keepClipboardAliveCheckbox() const { return m_keepClipboardAlive; }
    QCheckBox *pasteAfterChoosingCheckbox() const { return m_pasteAfterChoosing; }
    GlobalHotkeys::RecorderField *panelRecorder() const { return m_panelRecorder; }

    // The change handlers, each called with the control's new state.
    void ageChanged(int index);
    void countChanged(qint64 count);
    void clipSizeChanged(int index);
    void totalSizeChanged(int index);
    void anchorChanged(int index);
    void alwaysVisibleChanged(bool on);
    void keepClipboardAliveChanged(bool on);
    void pasteAfterChoosingChanged(bool on);
    void launchAtLoginChanged(bool on);

protected:
    // Rows are added top to bottom: a bold section title, then rows of a
    // right-aligned label and its control, or checkboxes under the controls.
    void addSection(const QString &title);
    void addRow(const QString &title, QWidget *control);
    QCheckBox *addCheckboxRow(const QString &title);

    // The frame is saved once, as the window goes, not at every step of a move.
    void closeEvent(QCloseEvent *event) override;

private:
    void saveFrame();
    // Asks before a new count limit removes clips; false to keep the old one.
    bool confirmRemoval(qint64 count, qsizetype removed);

    Settings &m_settings;
    const ClipStore &m_store;
    AlertRunner m_alertRunner = runAlertModally;
    LoginItem &m_loginItem;
    std::function<void()> m_onClose;
    QWidget *m_content = nullptr;
    QVBoxLayout *m_rows = nullptr;
    QComboBox *m_agePopup = nullptr;
    QSpinBox *m_countField = nullptr;
    QComboBox *m_clipSizePopup = nullptr;
    QComboBox *m_totalSizePopup = nullptr;
    QComboBox *m_positionPopup = nullptr;
    QCheckBox *m_alwaysVisible = nullptr;
    GlobalHotkeys::RecorderField *m_panelRecorder = nullptr;
    GlobalHotkeys::RecorderField *m_pinnedRecorder = nullptr;
    QCheckBox *m_launchAtLogin = nullptr;
    QCheckBox *m_keepClipboardAlive = nullptr;
    QCheckBox *m_pasteAfterChoosing = nullptr;
    QLabel *m_pasteUnavailable = nullptr;
};
