// The library keeps process-wide state that is set once per process, as on a device. A test
// that starts it therefore runs in a child process of its own.
#pragma once

#include <functional>

// Runs `body` in a forked child. The calling test fails when the child reported a failure, raised,
// or died; the child's own failure messages appear in the output as usual.
void inFreshProcess(const std::function<void()> &body);
