#include "platform/model/foundation_kinds.h"

#include <cmath>
#include <cstdio>
#include <mutex>

namespace model {
namespace {

FoundationClasses registerFoundation() {
    FoundationClasses f{};
    f.object = registerClass("NSObject", "");
    f.string = registerClass("NSString", "NSObject");
    f.number = registerClass("NSNumber", "NSObject");
    f.date = registerClass("NSDate", "NSObject");
    f.data = registerClass("NSData", "NSObject");
    f.array = registerClass("NSArray", "NSObject");
    f.dictionary = registerClass("NSDictionary", "NSObject");
    f.processInfo = registerClass("NSProcessInfo", "NSObject");
    f.autoreleasePool = registerClass("NSAutoreleasePool", "NSObject");
    f.bundle = registerClass("NSBundle", "NSObject");
    addFoundationMethods(f);
    addProcessInfoMethods(f.processInfo);
    addBundleMethods(f.bundle);
    return f;
}

} // namespace

const FoundationClasses &foundation() {
    static const FoundationClasses classes = registerFoundation();
    return classes;
}

String::String(std::string utf8) : Object(foundation().string), text_(std::move(utf8)) {}

String *String::constant(std::string_view utf8) {
    static std::mutex lock;
    static auto *interned = new std::map<std::string, String *, std::less<>>;
    std::lock_guard guard(lock);
    auto found = interned->find(utf8);
    if (found != interned->end()) {
        return found->second;
    }
    auto *made = new String(std::string(utf8));
    made->makeImmortal();
    interned->emplace(std::string(utf8), made);
    return made;
}

Number::Number(Kind kind, int64_t integer, double real)
    : Object(foundation().number), kind_(kind), integer_(integer), real_(real) {}

Number *Number::boolean(bool value) {
    auto make = [](int64_t truth) {
        auto *made = new Number(Kind::boolean, truth, 0);
        made->makeImmortal();
        return made;
    };
    static Number *const made[2] = {make(0), make(1)};
    return made[value ? 1 : 0];
}

bool Number::truth() const {
    switch (kind_) {
    case Kind::boolean:
    case Kind::integer:
        return integer_ != 0;
    case Kind::real:
        return real_ != 0.0;
    }
    return false;
}

std::string Number::describe() const {
    switch (kind_) {
    case Kind::boolean:
        return integer_ ? "YES" : "NO";
    case Kind::integer:
        return std::to_string(integer_);
    case Kind::real: {
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", real_);
        return text;
    }
    }
    return "?";
}

Date::Date(double seconds) : Object(foundation().date), seconds_(seconds) {}

std::string Date::describe() const {
    return "<date " + std::to_string(std::llround(seconds_)) + ">";
}

Data::Data(std::string bytes) : Object(foundation().data), bytes_(std::move(bytes)) {}

std::string Data::describe() const {
    return "<data " + std::to_string(bytes_.size()) + " bytes>";
}

Array::Array(const std::vector<PlatformId> &elements) : Object(foundation().array) {
    for (PlatformId element : elements) {
        object(element)->retain();
        elements_.push_back(object(element));
    }
}

Array *Array::adopting(std::vector<Object *> elements) {
    auto *array = new Array({});
    array->elements_ = std::move(elements);
    return array;
}

Array::~Array() {
    for (Object *element : elements_) {
        element->release();
    }
}

Dictionary::Dictionary() : Object(foundation().dictionary) {}

Dictionary::~Dictionary() {
    for (auto &[key, value] : entries_) {
        value->release();
    }
}

void Dictionary::adopt(std::string key, Object *value) {
    auto [slot, inserted] = entries_.try_emplace(std::move(key), value);
    if (!inserted) {
        slot->second->release();
        slot->second = value;
    }
}

void Dictionary::takeEntries(Dictionary &other) {
    if (entries_.empty()) {
        entries_.swap(other.entries_); // a fresh dictionary, as initWithContentsOfFile: fills one
        return;
    }
    for (auto &[key, value] : other.entries_) {
        adopt(key, value);
    }
    other.entries_.clear();
}

Object *Dictionary::find(std::string_view key) const {
    auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : found->second;
}

Token::Token(std::string name) : Object(foundation().object), name_(std::move(name)) {}

bool isValidUTF8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        auto c = static_cast<unsigned char>(bytes[i]);
        size_t extra;
        uint32_t point;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            point = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            point = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            point = c & 0x07;
        } else {
            return false;
        }
        if (bytes.size() - i <= extra) {
            return false;
        }
        for (size_t k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            point = (point << 6) | (next & 0x3F);
        }
        static const uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (point < smallest[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

PlatformId makeString(std::string_view utf8) {
    if (!isValidUTF8(utf8)) {
        throw PlatformRefusal("not UTF-8 text");
    }
    return (new String(std::string(utf8)))->id();
}
PlatformId makeInteger(int64_t value) {
    return (new Number(Number::Kind::integer, value, 0))->id();
}
PlatformId makeReal(double value) {
    return (new Number(Number::Kind::real, 0, value))->id();
}
PlatformId makeBoolean(bool value) {
    return Number::boolean(value)->id();
}
PlatformId makeDate(double seconds) {
    return (new Date(seconds))->id();
}
PlatformId makeData(std::string bytes) {
    return (new Data(std::move(bytes)))->id();
}
PlatformId makeArray(const std::vector<PlatformId> &elements) {
    return (new Array(elements))->id();
}
PlatformId makeDictionary(const std::vector<std::pair<std::string, PlatformId>> &entries) {
    auto *dictionary = new Dictionary;
    for (const auto &[key, value] : entries) {
        object(value)->retain();
        dictionary->adopt(key, object(value));
    }
    return dictionary->id();
}
PlatformId makeToken(std::string name) {
    return (new Token(std::move(name)))->id();
}

KindOf kindOf(PlatformId id) {
    Object *found = id ? object(id) : nullptr;
    if (!found) {
        return {KindOf::Kind::nil, ""};
    }
    if (auto *string = dynamic_cast<String *>(found)) {
        return {KindOf::Kind::string, string->text()};
    }
    if (auto *token = dynamic_cast<Token *>(found)) {
        return {KindOf::Kind::token, token->name()};
    }
    auto *number = dynamic_cast<Number *>(found);
    if (number && number->kind() != Number::Kind::real) {
        bool truth = number->kind() == Number::Kind::boolean;
        return {truth ? KindOf::Kind::boolean : KindOf::Kind::integer, "", number->integer()};
    }
    return {KindOf::Kind::other, found->describe()};
}

std::optional<std::string> stringValue(PlatformId id) {
    auto *string = id ? dynamic_cast<String *>(object(id)) : nullptr;
    if (!string) {
        return std::nullopt;
    }
    return string->text();
}

} // namespace model
