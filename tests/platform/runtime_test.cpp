// The model's object runtime and interception facility: the contracts the library's chaining of
// layers and its tolerance of absent classes rest on, where the library's own sites do not reach
// (a method only inherited, a selector the class lacks).
#include <gtest/gtest.h>

#include "platform/model/model.h"

namespace {

PlatformUInteger entered(PlatformId, PlatformSel) {
    return 1;
}
PlatformUInteger firstLayer(PlatformId, PlatformSel) {
    return 2;
}
PlatformUInteger secondLayer(PlatformId, PlatformSel) {
    return 3;
}

PlatformImp imp(PlatformUInteger (*fn)(PlatformId, PlatformSel)) {
    return reinterpret_cast<PlatformImp>(fn);
}

PlatformId newInstance(model::Class *cls) {
    return (new model::Object(cls))->id();
}

TEST(MessageSending, UnknownSelectorRaises) {
    model::Class *cls = model::defineClass("RuntimeUnknownSelector");
    PlatformStrongRef receiver = PlatformStrongRef::adopt(newInstance(cls));
    EXPECT_THROW(model::send<PlatformUInteger>(receiver.get(), "noSuchMethod"), model::PlatformRefusal);
}

TEST(Interception, LaterReplacementsWrapEarlierOnes) {
    model::Class *cls = model::defineClass("RuntimeChain");
    model::addMethod(cls, "value", &entered);
    PlatformSel value = sel_registerName("value");
    PlatformImp first = nullptr;
    PlatformImp second = nullptr;
    MSHookMessageEx(objc_getClass("RuntimeChain"), value, imp(&firstLayer), &first);
    MSHookMessageEx(objc_getClass("RuntimeChain"), value, imp(&secondLayer), &second);
    EXPECT_EQ(first, imp(&entered));
    EXPECT_EQ(second, imp(&firstLayer));
    PlatformStrongRef receiver = PlatformStrongRef::adopt(newInstance(cls));
    EXPECT_EQ(model::send<PlatformUInteger>(receiver.get(), "value"), 3);
}

TEST(Interception, AbsentClassOrSelectorReplacesNothing) {
    model::Class *cls = model::defineClass("RuntimeTolerance");
    model::addMethod(cls, "value", &entered);
    PlatformImp slot = nullptr;
    MSHookMessageEx(objc_getClass("RuntimeNoSuchClass"), sel_registerName("value"), imp(&firstLayer), &slot);
    EXPECT_EQ(slot, nullptr);
    MSHookMessageEx(cls->handle(), sel_registerName("notImplemented"), imp(&firstLayer), &slot);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(cls->ownMethod(sel_registerName("notImplemented")).imp, nullptr);

    auto records = model::hookRecords();
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[records.size() - 2].className, "RuntimeNoSuchClass");
    EXPECT_EQ(records[records.size() - 2].outcome, model::HookOutcome::noClass);
    EXPECT_EQ(records.back().className, "RuntimeTolerance");
    EXPECT_EQ(records.back().outcome, model::HookOutcome::noMethod);
}

TEST(Interception, InheritedMethodIsReplacedOnTheNamedClassOnly) {
    model::Class *base = model::defineClass("RuntimeBase");
    model::Class *derived = model::defineClass("RuntimeDerived", "RuntimeBase");
    model::addMethod(base, "value", &entered);
    PlatformImp slot = nullptr;
    MSHookMessageEx(derived->handle(), sel_registerName("value"), imp(&firstLayer), &slot);
    EXPECT_EQ(slot, imp(&entered));
    PlatformStrongRef onBase = PlatformStrongRef::adopt(newInstance(base));
    PlatformStrongRef onDerived = PlatformStrongRef::adopt(newInstance(derived));
    EXPECT_EQ(model::send<PlatformUInteger>(onBase.get(), "value"), 1);
    EXPECT_EQ(model::send<PlatformUInteger>(onDerived.get(), "value"), 2);
}

} // namespace
