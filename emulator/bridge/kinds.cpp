#include "emulator/bridge/kinds.h"

#include "emulator/bridge/bridge.h"
#include "platform/model/model.h"

namespace emulator {
namespace {

ffi_type *rangeType() {
    static ffi_type *elements[] = {&ffi_type_uint64, &ffi_type_uint64, nullptr};
    static ffi_type range = {0, 0, FFI_TYPE_STRUCT, elements};
    return &range;
}

template <typename T> T nativeAs(const void *value) {
    return *static_cast<const T *>(value);
}

// Objects, classes and selectors cross as handles, checked for what they name.
void objectToNative(Bridge &bridge, uint64_t raw, NativeValue &value, std::string &) {
    value.pointer = bridge.handles().native(raw);
}
void classToNative(Bridge &bridge, uint64_t raw, NativeValue &value, std::string &) {
    value.pointer = bridge.handles().nativeClass(raw);
}
void selectorToNative(Bridge &bridge, uint64_t raw, NativeValue &value, std::string &) {
    value.pointer = bridge.handles().native(raw, Handles::Kind::selector);
}
uint64_t objectToEmulated(Bridge &bridge, const void *value) {
    return bridge.handles().emulated(nativeAs<void *>(value));
}
uint64_t selectorToEmulated(Bridge &bridge, const void *value) {
    return bridge.handles().emulated(nativeAs<void *>(value), Handles::Kind::selector);
}
void objectToNativeResult(Bridge &bridge, uint64_t returned, void *result) {
    *static_cast<void **>(result) = bridge.handles().native(returned);
}
void classToNativeResult(Bridge &bridge, uint64_t returned, void *result) {
    *static_cast<void **>(result) = bridge.handles().nativeClass(returned);
}
void selectorToNativeResult(Bridge &bridge, uint64_t returned, void *result) {
    *static_cast<void **>(result) = bridge.handles().native(returned, Handles::Kind::selector);
}
std::string describeObject(Bridge &bridge, uint64_t raw) {
    return model::trace::object(bridge.handles().native<PlatformObjectOpaque>(raw));
}
std::string describeClass(Bridge &bridge, uint64_t raw) {
    return raw ? model::object(static_cast<PlatformId>(bridge.handles().nativeClass(raw)))->describe()
               : "nil";
}
std::string describeSelector(Bridge &bridge, uint64_t raw) {
    return model::trace::selector(
        bridge.handles().native<const PlatformSelectorOpaque>(raw, Handles::Kind::selector));
}

// A C string is copied out of emulated memory for the call's length.
void stringToNative(Bridge &bridge, uint64_t raw, NativeValue &value, std::string &text) {
    if (!raw) {
        value.pointer = nullptr;
        return;
    }
    text = bridge.processor().readCString(raw);
    value.pointer = text.data();
}
std::string describeString(Bridge &bridge, uint64_t raw) {
    return raw ? model::quoteText(bridge.processor().readCString(raw)) : "NULL";
}

// The library's own opaque values (a notification's observer and object) come back as it gave
// them; an emulated address means nothing to native code, which would write where it points.
uint64_t pointerToEmulated(Bridge &, const void *value) {
    return reinterpret_cast<uint64_t>(nativeAs<void *>(value));
}
std::string describePointer(Bridge &, uint64_t raw) {
    return raw ? "pointer" : "nil";
}

// Truth values are one byte either way; integers as the slice's ABI has them.
void characterToNative(Bridge &, uint64_t raw, NativeValue &value, std::string &) {
    value.character = static_cast<signed char>(raw & 0xff);
}
void boolToNative(Bridge &, uint64_t raw, NativeValue &value, std::string &) {
    value.boolean = (raw & 0xff) != 0;
}
void int32ToNative(Bridge &, uint64_t raw, NativeValue &value, std::string &) {
    value.uint32 = static_cast<uint32_t>(raw);
}
void signedIntegerToNative(Bridge &bridge, uint64_t raw, NativeValue &value, std::string &) {
    value.int64 = bridge.processor().abi().signedInteger(raw);
}
void unsignedIntegerToNative(Bridge &, uint64_t raw, NativeValue &value, std::string &) {
    value.uint64 = raw;
}
uint64_t characterToEmulated(Bridge &, const void *value) {
    return static_cast<uint64_t>(static_cast<int64_t>(nativeAs<signed char>(value)));
}
uint64_t boolToEmulated(Bridge &, const void *value) {
    return nativeAs<uint8_t>(value) ? 1 : 0;
}
uint64_t int32ToEmulated(Bridge &, const void *value) {
    return static_cast<uint64_t>(static_cast<int64_t>(nativeAs<int32_t>(value)));
}
uint64_t uint32ToEmulated(Bridge &, const void *value) {
    return nativeAs<uint32_t>(value);
}
uint64_t nativeIntegerToEmulated(Bridge &bridge, const void *value) {
    return bridge.processor().abi().fromNativeInteger(nativeAs<uint64_t>(value));
}
void characterToNativeResult(Bridge &, uint64_t returned, void *result) {
    *static_cast<ffi_sarg *>(result) = static_cast<signed char>(returned & 0xff);
}
void boolToNativeResult(Bridge &, uint64_t returned, void *result) {
    *static_cast<ffi_arg *>(result) = (returned & 0xff) != 0;
}
std::string describeCharacter(Bridge &, uint64_t raw) {
    return std::to_string(int64_t(int8_t(raw)));
}
std::string describeWord(Bridge &bridge, uint64_t raw) {
    return std::to_string(int64_t(bridge.processor().abi().word(raw)));
}

const Kind kinds[] = {
    {'@', &ffi_type_pointer, objectToNative, objectToEmulated, objectToNativeResult, describeObject},
    {'#', &ffi_type_pointer, classToNative, objectToEmulated, classToNativeResult, describeClass},
    {':', &ffi_type_pointer, selectorToNative, selectorToEmulated, selectorToNativeResult, describeSelector},
    {'*', &ffi_type_pointer, stringToNative, nullptr, nullptr, describeString},
    {'^', &ffi_type_pointer, nullptr, pointerToEmulated, nullptr, describePointer},
    {'c', &ffi_type_schar, characterToNative, characterToEmulated, characterToNativeResult,
     describeCharacter},
    {'B', &ffi_type_uint8, boolToNative, boolToEmulated, boolToNativeResult, describeWord},
    {'i', &ffi_type_sint32, int32ToNative, int32ToEmulated, nullptr, describeWord},
    {'I', &ffi_type_uint32, int32ToNative, uint32ToEmulated, nullptr, describeWord},
    {'q', &ffi_type_sint64, signedIntegerToNative, nativeIntegerToEmulated, nullptr, describeWord},
    {'Q', &ffi_type_uint64, unsignedIntegerToNative, nativeIntegerToEmulated, nullptr, describeWord},
    {'R', rangeType(), nullptr, nullptr, nullptr, describeWord},
    {'v', &ffi_type_void, nullptr, nullptr, nullptr, describeWord},
};

} // namespace

const Kind *kindOf(char code) {
    for (const Kind &kind : kinds) {
        if (kind.code == code) {
            return &kind;
        }
    }
    return nullptr;
}

} // namespace emulator
