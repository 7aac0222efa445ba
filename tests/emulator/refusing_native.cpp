// The native twin of refusing.c: as it loads, the library sends -[NSString count], which the
// platform refuses.
#include "platform/foundation.h"

__attribute__((constructor)) static void start() {
    platformCount(platformConstantString("not an array"));
}
