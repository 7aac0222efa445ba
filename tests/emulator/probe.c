// A library of the tests' own, as small as a hook can be: it replaces isRadioModuleDead on
// SBTelephonyManager, as the real library does, and calls through pointers only the loader can
// sign, to show the emulated loader signs them as dyld would.
typedef struct objc_class *Class;
typedef struct objc_selector *SEL;
typedef void (*IMP)(void);
typedef signed char BOOL;

Class objc_getClass(const char *name);
SEL sel_registerName(const char *name);
void MSHookMessageEx(Class cls, SEL selector, IMP replacement, IMP *previous);

// In probe_auth.s: two pointers in __DATA,__auth_ptr, which the arm64e finishing step makes
// authenticated (IA, address-diversified), and a call through a slot that authenticates them.
extern IMP probeOwnFunction;      // points to probeAnswer: an authenticated rebase
extern IMP probeImportedFunction; // points to sched_yield: an authenticated bind
long probeCallThrough(IMP *slot);

static IMP previous;

BOOL probeAnswer(void) {
    return 1;
}

// The host's answer, inverted, once both signed pointers have been called.
static BOOL replacement(void *self, SEL cmd) {
    probeCallThrough(&probeImportedFunction);
    BOOL original = ((BOOL(*)(void *, SEL))previous)(self, cmd);
    return probeCallThrough(&probeOwnFunction) && !original;
}

__attribute__((constructor)) static void start(void) {
    MSHookMessageEx(objc_getClass("SBTelephonyManager"), sel_registerName("isRadioModuleDead"),
                    (IMP)replacement, &previous);
}
