// The model's Foundation objects, one C++ type per property-list kind.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/model/model.h"

namespace model {

struct FoundationClasses {
    Class *object, *string, *number, *date, *data, *array, *dictionary, *processInfo, *autoreleasePool,
        *bundle;
};
// Registered on first use, before any other class can be.
const FoundationClasses &foundation();
// Registration and lookup without that guarantee, for Foundation's own registration.
Class *registerClass(const std::string &name, const std::string &superclass);
Class *registeredClass(std::string_view name);

class String : public Object {
  public:
    explicit String(std::string utf8);
    const std::string &text() const { return text_; }
    // For initWithUTF8String:, on a string that alloc made and no other thread has seen.
    void assign(std::string utf8) { text_ = std::move(utf8); }
    std::string describe() const override { return text_; }
    static String *constant(std::string_view utf8); // interned and never freed

  private:
    std::string text_;
};

class Number : public Object {
  public:
    enum class Kind { boolean, integer, real };
    Number(Kind kind, int64_t integer, double real);
    // kCFBooleanTrue and kCFBooleanFalse: the platform has one of each, never freed.
    static Number *boolean(bool value);
    Kind kind() const { return kind_; }
    int64_t integer() const { return integer_; }
    bool truth() const;
    std::string describe() const override;

  private:
    Kind kind_;
    int64_t integer_;
    double real_;
};

class Date : public Object {
  public:
    explicit Date(double seconds);
    std::string describe() const override;

  private:
    double seconds_;
};

class Data : public Object {
  public:
    explicit Data(std::string bytes);
    std::string describe() const override;

  private:
    std::string bytes_;
};

class Array : public Object {
  public:
    explicit Array(const std::vector<PlatformId> &elements);
    // Takes over the caller's references to `elements`.
    static Array *adopting(std::vector<Object *> elements);
    ~Array() override;
    const std::vector<Object *> &elements() const { return elements_; }

  private:
    std::vector<Object *> elements_;
};

class Dictionary : public Object {
  public:
    Dictionary();
    ~Dictionary() override;
    // Takes over the caller's reference to `value`; a repeated key keeps the last value.
    void adopt(std::string key, Object *value);
    Object *find(std::string_view key) const;
    size_t size() const { return entries_.size(); }
    // Moves every entry of `other` into this dictionary, for initWithContentsOfFile:.
    void takeEntries(Dictionary &other);

  private:
    std::map<std::string, Object *, std::less<>> entries_;
};

class Token : public Object {
  public:
    explicit Token(std::string name);
    const std::string &name() const { return name_; }
    std::string describe() const override { return "@" + name_; }

  private:
    std::string name_;
};

// Foundation's methods, added to the classes as they are registered.
void addFoundationMethods(const FoundationClasses &classes);
void addProcessInfoMethods(Class *processInfo);
void addBundleMethods(Class *bundle);

// The string behind `id`, or null for null or another kind: told by its class, as the runtime
// tells it, which is cheaper than asking the C++ type.
inline String *asString(PlatformId id) {
    Object *found = id ? object(id) : nullptr;
    return found && found->isa()->isKindOf(foundation().string) ? static_cast<String *>(found) : nullptr;
}

// The object behind `id` as the kind a message needs; raises as the platform does otherwise.
template <typename Kind> Kind &as(PlatformId id, const char *selectorName) {
    if (!id) {
        throw PlatformRefusal(std::string(selectorName) + ": nil argument");
    }
    auto *kind = dynamic_cast<Kind *>(object(id));
    if (!kind) {
        raiseUnrecognized(id, selector(selectorName));
    }
    return *kind;
}

} // namespace model
