// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Workspace.h"

#include <QList>

// A desktop whose frontmost window the test sets; it records activations.
class FakeWorkspace : public Workspace
{
    Q_OBJECT
public:
    using Workspace::Workspace;

    std::optional<RunningWindow> frontmostWindow() override { return frontmost; }
    // An activated window becomes the frontmost one, as on a real desktop.
    void activate(const RunningWindow &window) override;
    void switchDesktop() { emit activeSpaceDidChange(); }

    std::optional<RunningWindow> frontmost;
    QList<RunningWindow> activations;
};
