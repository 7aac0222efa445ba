// Foundation's methods on the model's objects: what a message sent by the library, natively or
// from emulated device code, finds in the method tables.
#include <algorithm>

#include "platform/model/device.h"
#include "platform/model/foundation_kinds.h"

namespace model {
namespace {

Class *receiverClass(PlatformId self) {
    return classOf(reinterpret_cast<PlatformClass>(self));
}

// NSObject

PlatformId alloc(PlatformId self, PlatformSel) {
    Class *cls = receiverClass(self);
    Class::Allocator make = cls->allocator();
    return (make ? make(cls) : new Object(cls))->id();
}

PlatformClass classItself(PlatformId self, PlatformSel) {
    return reinterpret_cast<PlatformClass>(self);
}

PlatformId init(PlatformId self, PlatformSel) {
    return self;
}

PlatformId retain(PlatformId self, PlatformSel) {
    object(self)->retain();
    return self;
}

void release(PlatformId self, PlatformSel) {
    object(self)->release();
}

PlatformId autoreleaseObject(PlatformId self, PlatformSel) {
    return autorelease(self);
}

PlatformBool respondsToSelector(PlatformId self, PlatformSel, PlatformSel selector) {
    return respondsTo(self, selector) ? 1 : 0;
}

PlatformBool isKindOfClass(PlatformId self, PlatformSel, PlatformClass cls) {
    return cls && object(self)->isa()->isKindOf(classOf(cls)) ? 1 : 0;
}

// NSString

Object *allocString(Class *) {
    return new String("");
}

String &text(PlatformId self, const char *selector) {
    if (String *string = asString(self)) {
        return *string;
    }
    return as<String>(self, selector); // raises, as the platform does
}

PlatformId stringWithUTF8String(PlatformId, PlatformSel, const char *utf8) {
    if (!utf8) {
        throw PlatformRefusal("+[NSString stringWithUTF8String:]: NULL cString");
    }
    return isValidUTF8(utf8) ? autorelease((new String(utf8))->id()) : nullptr;
}

PlatformId initWithUTF8String(PlatformId self, PlatformSel, const char *utf8) {
    if (!utf8 || !isValidUTF8(utf8)) {
        object(self)->release();
        return nullptr;
    }
    text(self, "initWithUTF8String:").assign(utf8);
    return self;
}

// As Foundation's: the same object at once, else the texts, with nothing copied.
PlatformBool isEqualToString(PlatformId self, PlatformSel, PlatformId other) {
    const String &mine = text(self, "isEqualToString:");
    const String *theirs = asString(other);
    return theirs && (theirs == &mine || theirs->text() == mine.text()) ? 1 : 0;
}

PlatformRange rangeOfString(PlatformId self, PlatformSel, PlatformId other) {
    const std::string &haystack = text(self, "rangeOfString:").text();
    const std::string &needle = text(other, "rangeOfString:").text();
    size_t at = needle.empty() ? std::string::npos : haystack.find(needle);
    if (at == std::string::npos) {
        return PlatformRange{platformNotFound, 0};
    }
    return PlatformRange{static_cast<PlatformUInteger>(at), static_cast<PlatformUInteger>(needle.size())};
}

std::string lastPathComponentOf(const std::string &path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) {
        return path.empty() ? "" : "/";
    }
    size_t slash = path.rfind('/', end);
    size_t start = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(start, end - start + 1);
}

PlatformId lastPathComponent(PlatformId self, PlatformSel) {
    return autorelease((new String(lastPathComponentOf(text(self, "lastPathComponent").text())))->id());
}

// Letters A to Z only: the model's strings are mostly paths and names.
PlatformId lowercaseString(PlatformId self, PlatformSel) {
    std::string lowered = text(self, "lowercaseString").text();
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return autorelease((new String(std::move(lowered)))->id());
}

// NSString's boolValue: skip leading white space, then an optional sign and leading zeros; true
// when the next character is Y, y, T, t or a digit 1 to 9. Trailing text is ignored.
PlatformBool stringTruth(PlatformId self, PlatformSel) {
    const std::string &value = text(self, "boolValue").text();
    size_t i = value.find_first_not_of(" \t\n\r\f\v");
    if (i == std::string::npos) {
        return 0;
    }
    if (value[i] == '+' || value[i] == '-') {
        ++i;
    }
    while (i < value.size() && value[i] == '0') {
        ++i;
    }
    if (i == value.size()) {
        return 0;
    }
    char c = value[i];
    return (c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9')) ? 1 : 0;
}

// NSNumber

PlatformBool numberTruth(PlatformId self, PlatformSel) {
    return as<Number>(self, "boolValue").truth() ? 1 : 0;
}

// NSArray

PlatformUInteger count(PlatformId self, PlatformSel) {
    return as<Array>(self, "count").elements().size();
}

PlatformId objectAtIndexedSubscript(PlatformId self, PlatformSel, PlatformUInteger index) {
    const auto &elements = as<Array>(self, "objectAtIndexedSubscript:").elements();
    if (index >= elements.size()) {
        throw PlatformRefusal("-[NSArray objectAtIndexedSubscript:]: index beyond bounds");
    }
    return elements[index]->id();
}

// NSDictionary

Object *allocDictionary(Class *) {
    return new Dictionary;
}

PlatformId initWithContentsOfFile(PlatformId self, PlatformSel, PlatformId path) {
    Dictionary &dictionary = as<Dictionary>(self, "initWithContentsOfFile:");
    const std::string &file = text(path, "initWithContentsOfFile:").text();
    // Each thread reads into room of its own, kept from one load to the next as a reader of one
    // file many times over keeps it.
    thread_local std::string room;
    std::optional<std::string_view> bytes = readDeviceFile(file.c_str(), room);
    Ref read = Ref::adopt(bytes ? readPropertyListDictionary(*bytes) : nullptr);
    if (bytes && !read.get()) {
        noteUnreadableDictionary(file.c_str(),
                                 bytes->empty() ? "it is empty"
                                                : "it holds no property list with a dictionary at its root");
    }
    if (!read.get()) {
        dictionary.release();
        return nullptr;
    }
    dictionary.takeEntries(as<Dictionary>(read.get(), "initWithContentsOfFile:"));
    return self;
}

PlatformId objectForKey(PlatformId self, PlatformSel, PlatformId key) {
    std::optional<std::string> name = stringValue(key);
    Object *found = name ? as<Dictionary>(self, "objectForKey:").find(*name) : nullptr;
    return found ? found->id() : nullptr;
}

// NSAutoreleasePool: init pushes a pool on this thread, release drains it.

class Pool : public Object {
  public:
    explicit Pool(Class *cls) : Object(cls) {}
    size_t depth = 0;
};

Object *allocPool(Class *cls) {
    return new Pool(cls);
}

PlatformId initPool(PlatformId self, PlatformSel) {
    as<Pool>(self, "init").depth = pushAutoreleasePool();
    return self;
}

void releasePool(PlatformId self, PlatformSel) {
    Pool &pool = as<Pool>(self, "release");
    popAutoreleasePool(pool.depth);
    pool.release();
}

} // namespace

void addFoundationMethods(const FoundationClasses &f) {
    addClassMethod(f.object, "alloc", &alloc);
    addClassMethod(f.object, "class", &classItself);
    addMethod(f.object, "init", &init);
    addMethod(f.object, "retain", &retain);
    addMethod(f.object, "release", &release);
    addMethod(f.object, "autorelease", &autoreleaseObject);
    addMethod(f.object, "respondsToSelector:", &respondsToSelector);
    addMethod(f.object, "isKindOfClass:", &isKindOfClass);

    f.string->setAllocator(&allocString);
    addClassMethod(f.string, "stringWithUTF8String:", &stringWithUTF8String);
    addMethod(f.string, "initWithUTF8String:", &initWithUTF8String);
    addMethod(f.string, "isEqualToString:", &isEqualToString);
    addMethod(f.string, "rangeOfString:", &rangeOfString);
    addMethod(f.string, "lastPathComponent", &lastPathComponent);
    addMethod(f.string, "lowercaseString", &lowercaseString);
    addMethod(f.string, "boolValue", &stringTruth);

    addMethod(f.number, "boolValue", &numberTruth);

    addMethod(f.array, "count", &count);
    addMethod(f.array, "objectAtIndexedSubscript:", &objectAtIndexedSubscript);

    f.dictionary->setAllocator(&allocDictionary);
    addMethod(f.dictionary, "initWithContentsOfFile:", &initWithContentsOfFile);
    addMethod(f.dictionary, "objectForKey:", &objectForKey);
    addMethod(f.dictionary, "objectForKeyedSubscript:", &objectForKey);

    f.autoreleasePool->setAllocator(&allocPool);
    addMethod(f.autoreleasePool, "init", &initPool);
    addMethod(f.autoreleasePool, "release", &releasePool);
}

} // namespace model
