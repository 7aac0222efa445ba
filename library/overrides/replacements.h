// The replacements and their slots, one of each per hook site, declared from the site table. A
// slot is filled once, at install time, and only read afterwards; a replacement calls no slot
// but its own.
#pragma once

#include "library/overrides/hook_sites.h"
#include "platform/objects.h"

// What each kind of host method takes after its receiver and selector, as its replacement is
// declared and defined, and the arguments the replacement hands its layer.
#define BRINDLEWICK_TAKES_NAME(f) void f(PlatformId self, PlatformSel cmd, PlatformId name)
#define BRINDLEWICK_PASSES_NAME self, cmd, name
#define BRINDLEWICK_TAKES_NAME_IN_CONTEXT(f)                                                                 \
    void f(PlatformId self, PlatformSel cmd, PlatformId name, PlatformId context)
#define BRINDLEWICK_PASSES_NAME_IN_CONTEXT self, cmd, name, context
#define BRINDLEWICK_TAKES_OBJECT(f) PlatformId f(PlatformId self, PlatformSel cmd, PlatformId object)
#define BRINDLEWICK_PASSES_OBJECT self, cmd, object
#define BRINDLEWICK_TAKES_ANSWER(f) PlatformBool f(PlatformId self, PlatformSel cmd)
#define BRINDLEWICK_PASSES_ANSWER self, cmd
#define BRINDLEWICK_TAKES_TRUTH(f) void f(PlatformId self, PlatformSel cmd, PlatformBool truth)
#define BRINDLEWICK_PASSES_TRUTH self, cmd, truth
#define BRINDLEWICK_TAKES_LOOKUP(f)                                                                          \
    PlatformId f(PlatformId self, PlatformSel cmd, PlatformId key, PlatformId value, PlatformId table)
#define BRINDLEWICK_PASSES_LOOKUP self, cmd, key, value, table

#define BRINDLEWICK_DECLARE_SITE(group, cls, selector, replacement, layer, takes, ...)                       \
    BRINDLEWICK_TAKES_##takes(replacement);                                                                  \
    extern PlatformImp previous_##replacement;
BRINDLEWICK_HOOK_SITES(BRINDLEWICK_DECLARE_SITE)
BRINDLEWICK_RELEASE_SITES(BRINDLEWICK_DECLARE_SITE)
#undef BRINDLEWICK_DECLARE_SITE

// The address of en0 as dotted-decimal text, or "error" when there is none; never null.
PlatformId wifiAddressText();
