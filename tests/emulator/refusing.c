// A library of the tests' own that sends, as it loads, a message the platform refuses: a selector
// NSString has no method for. On a device that ends the process, as the library's own crash.
typedef struct objc_class *Class;
typedef struct objc_selector *SEL;

Class objc_getClass(const char *name);
SEL sel_registerName(const char *name);
void *objc_msgSend(void *receiver, SEL selector);

__attribute__((constructor)) static void start(void) {
    objc_msgSend(objc_getClass("NSString"), sel_registerName("frob"));
}
