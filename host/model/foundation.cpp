// The Foundation messages the library sends, on the model's objects.
#include <algorithm>

#include "host/model/device.h"
#include "host/model/foundation_kinds.h"

using namespace model;

namespace {

std::string lastPathComponent(const std::string &path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) {
        return path.empty() ? "" : "/";
    }
    size_t slash = path.rfind('/', end);
    return path.substr(slash == std::string::npos ? 0 : slash + 1,
                       end - (slash == std::string::npos ? 0 : slash + 1) + 1);
}

HostId autoreleasedString(std::string text) {
    return hostAutorelease((new String(std::move(text)))->id());
}

} // namespace

extern "C" HostId hostConstantString(const char *utf8) {
    return String::constant(utf8)->id();
}

extern "C" HostId hostStringWithUTF8String(const char *utf8) {
    if (!utf8 || !isValidUTF8(utf8)) {
        return nullptr;
    }
    return autoreleasedString(utf8);
}

extern "C" HostBool hostIsString(HostId obj) {
    return obj && object(obj)->isa()->isKindOf(foundation().string);
}

extern "C" HostBool hostStringEquals(HostId text, const char *literal) {
    return text && as<String>(text, "isEqualToString:").text() == literal;
}

extern "C" HostRange hostRangeOfString(HostId text, const char *literal) {
    // A message to null answers a zeroed structure, as the runtime does.
    if (!text) {
        return HostRange{0, 0};
    }
    const std::string &haystack = as<String>(text, "rangeOfString:").text();
    size_t at = haystack.find(literal);
    if (at == std::string::npos || *literal == '\0') {
        return HostRange{hostNotFound, 0};
    }
    return HostRange{static_cast<HostUInteger>(at),
                     static_cast<HostUInteger>(std::string_view(literal).size())};
}

extern "C" HostId hostLastPathComponent(HostId text) {
    return text ? autoreleasedString(lastPathComponent(as<String>(text, "lastPathComponent").text()))
                : nullptr;
}

// Letters A to Z only: the model's strings are mostly paths and names.
extern "C" HostId hostLowercaseString(HostId text) {
    if (!text) {
        return nullptr;
    }
    std::string lowered = as<String>(text, "lowercaseString").text();
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return autoreleasedString(std::move(lowered));
}

extern "C" HostId hostDictionaryWithContentsOfFile(const char *path) {
    std::optional<std::string> bytes = readDeviceFile(path);
    return bytes ? readPropertyListDictionary(*bytes) : nullptr;
}

extern "C" HostId hostObjectForKeyedSubscript(HostId dictionary, const char *key) {
    if (!dictionary) {
        return nullptr;
    }
    Object *found = as<Dictionary>(dictionary, "objectForKeyedSubscript:").find(key);
    return found ? found->id() : nullptr;
}

extern "C" HostId hostObjectForKey(HostId dictionary, const char *key) {
    if (!dictionary) {
        return nullptr;
    }
    Object *found = as<Dictionary>(dictionary, "objectForKey:").find(key);
    return found ? found->id() : nullptr;
}

extern "C" HostBool hostBoolValue(HostId obj) {
    // A kind without boolValue would raise and take the host down; it reads as false instead.
    static const HostSel boolValue = selector("boolValue"); // selectors live as long as the process
    if (!obj) {
        return 0;
    }
    HostImp imp = object(obj)->isa()->lookup(boolValue);
    if (!imp) {
        return 0;
    }
    return reinterpret_cast<HostBool (*)(HostId, HostSel)>(imp)(obj, boolValue) ? 1 : 0;
}

extern "C" HostUInteger hostCount(HostId array) {
    return array ? as<Array>(array, "count").elements().size() : 0;
}

extern "C" HostId hostObjectAtIndexedSubscript(HostId array, HostUInteger index) {
    if (!array) {
        return nullptr;
    }
    const auto &elements = as<Array>(array, "objectAtIndexedSubscript:").elements();
    if (index >= elements.size()) {
        throw HostException("-[NSArray objectAtIndexedSubscript:]: index beyond bounds");
    }
    return elements[index]->id();
}
