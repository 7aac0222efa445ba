// Whether the host process is one the library serves: SpringBoard, or an application that is not
// a file provider, an application extension or one of a few system services.
#pragma once

// Asks the platform for the process's identity one step at a time, each question only when the
// decision reaches it: without a process-information object neither the name nor the arguments
// are read, and the arguments only after the SpringBoard test. No side effects.
bool processIsEligible();
