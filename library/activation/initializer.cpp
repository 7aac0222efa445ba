// The library's only entry: the loader maps it into a host process and this runs once, on the
// loading thread, before the host can call any method it replaces.
#include "library/activation/startup.h"

__attribute__((constructor)) static void brindlewickInitializer(int, char **, char **) {
    startUp();
}
