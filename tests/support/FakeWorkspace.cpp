// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeWorkspace.h"

void FakeWorkspace::activate(const RunningWindow &window)
{
    activations.append(window);
    frontmost = window;
}
