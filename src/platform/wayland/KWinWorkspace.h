// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Workspace.h"

#include <QHash>
#include <QString>
#include <QTemporaryDir>

// The Wayland desktop under KWin, which lists its windows to no ordinary
// client: a small script that we load into KWin through its scripting
// interface on the session bus tells us each window it activates, and a
// one-line script activates the chosen one again. Our own windows are left
// out. Without KWin on the bus no window is remembered and focus is left to
// the compositor.
class KWinWorkspace : public Workspace
{
    Q_OBJECT
    // The interface the script calls back; named as the program's own.
    Q_CLASSINFO("D-Bus Interface", "io.github.quillstack.Quillstack.KWinWindows")
public:
    explicit KWinWorkspace(QObject *parent = nullptr);
    ~KWinWorkspace() override;

    // Whether KWin answers on the session bus.
    static bool isRunning();

    // False when KWin did not take the script.
    bool isOpen() const { return m_open; }
    QString errorString() const { return m_errorString; }

    std::optional<RunningWindow> frontmostWindow() override;
    void activate(const RunningWindow &window) override;
    bool keyboardNeedsManagedWindows() const override { return true; }

public slots:
    // Called by the script in KWin: the window with the keyboard now, by its
    // KWin id and its program's class; both empty when none has it.
    Q_SCRIPTABLE void windowActivated(const QString &uuid, const QString &resourceClass);

private:
    enum class Wait { no, yes };
    // Loads the script into KWin under `name` (replacing one loaded under
    // that name before) and starts it; with Wait::yes, false when KWin did
    // not take it.
    bool runScript(const QString &name, const QByteArray &script, Wait wait);
    void unloadScript(const QString &name, Wait wait);

    QTemporaryDir m_scriptDir;
    bool m_open = false;
    QString m_errorString;
    // KWin names windows by a uuid; RunningWindow by a number of ours.
    QHash<QString, quint64> m_ids;
    quint64 m_nextId = 1;
    // The window with the keyboard, when not one of ours.
    std::optional<quint64> m_frontmost;
    // Which of the two activation scripts' names the next one takes.
    quint64 m_activations = 0;
};
