// The start-up sequence the module initializer runs once per process, before the host can call
// any replaced method.
#pragma once

void startUp();
