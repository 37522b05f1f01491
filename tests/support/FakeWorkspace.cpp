#include "FakeWorkspace.h"

void FakeWorkspace::activate(const RunningWindow &window)
{
    activations.append(window);
    frontmost = window;
}
