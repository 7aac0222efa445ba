#include "tests/gnustep/springboard_runtime.h"

#include <stdexcept>

#include "springboard/springboard.h"

// GCC's runtime functions used here, declared over the platform's own types: its header would
// declare objc_getClass and sel_registerName a second time, with other types.
extern "C" {
void *objc_allocateClassPair(PlatformClass superclass, const char *name, size_t extraBytes);
void objc_registerClassPair(void *cls);
signed char class_addMethod(void *cls, PlatformSel selector, PlatformImp imp, const char *types);
PlatformImp objc_msg_lookup(PlatformId receiver, PlatformSel selector);
const char *sel_getName(PlatformSel selector);
}

@interface GnustepObject
+ (id)alloc;
+ (id)stringWithUTF8String:(const char *)text;
+ (id)processInfo;
- (id)init;
- (id)retain;
- (void)release;
- (id)description;
- (const char *)UTF8String;
- (signed char)isKindOfClass:(id)cls;
- (void)setProcessName:(id)name;
@end

namespace {

id classNamed(const char *name) {
    return (id)objc_getClass(name);
}

PlatformId defineClass(const char *name, const char *superclass,
                       const std::vector<springboard::Runtime::Method> &methods) {
    void *cls = objc_allocateClassPair(objc_getClass(superclass), name, 0);
    for (const springboard::Runtime::Method &method : methods) {
        class_addMethod(cls, sel_registerName(method.selector), method.imp, method.types);
    }
    objc_registerClassPair(cls);
    return (PlatformId)[[(id)cls alloc] init];
}

} // namespace

void installSpringBoardOnGnustep(const std::vector<std::string> &withoutClasses,
                                 const springboard::Host &host) {
    springboard::Runtime runtime{};
    runtime.defineClass = &defineClass;
    runtime.retain = [](PlatformId object) { return (PlatformId)[(id)object retain]; };
    runtime.release = [](PlatformId object) { [(id)object release]; };
    runtime.autoreleasedString = [](const std::string &utf8) { return gnustepString(utf8.c_str()); };
    runtime.makeObject = [](const char *) { return (PlatformId)[[classNamed("NSObject") alloc] init]; };
    runtime.describe = [](PlatformId object) { return std::string([[(id)object description] UTF8String]); };
    runtime.selectorName = &sel_getName;
    runtime.selector = [](const char *name) { return sel_registerName(name); };
    runtime.classNamed = [](const char *name) { return (PlatformId)classNamed(name); };
    runtime.lookUp = &objc_msg_lookup;
    runtime.raise = [](const std::string &message) -> void { throw std::runtime_error(message); };
    springboard::install(runtime, withoutClasses, true, host);
}

PlatformImp gnustepMethod(const char *cls, const char *selector) {
    return objc_msg_lookup(gnustepInstance(cls), sel_registerName(selector));
}

PlatformId gnustepInstance(const char *cls) {
    return springboard::instance(cls);
}

PlatformSel gnustepSelector(const char *selector) {
    return sel_registerName(selector);
}

PlatformId gnustepString(const char *text) {
    return (PlatformId)[classNamed("NSString") stringWithUTF8String:text];
}

std::optional<std::string> gnustepText(PlatformId object) {
    if (!object || ![(id)object isKindOfClass:classNamed("NSString")]) {
        return std::nullopt;
    }
    return std::string([(id)object UTF8String]);
}

void gnustepSetProcessName(const char *name) {
    [[classNamed("NSProcessInfo") processInfo] setProcessName:(id)gnustepString(name)];
}
