// The object runtime and the interception facility: the contracts the library's chaining of
// layers and its tolerance of absent classes rest on.
#include <gtest/gtest.h>

#include <thread>

#include "host/model/model.h"

namespace {

HostUInteger entered(HostId, HostSel) {
    return 1;
}
HostUInteger firstLayer(HostId, HostSel) {
    return 2;
}
HostUInteger secondLayer(HostId, HostSel) {
    return 3;
}

HostImp imp(HostUInteger (*fn)(HostId, HostSel)) {
    return reinterpret_cast<HostImp>(fn);
}

HostId newInstance(model::Class *cls) {
    return (new model::Object(cls))->id();
}

TEST(MessageSending, NullReceiverAnswersZeroWithoutEffect) {
    EXPECT_EQ(model::send<HostUInteger>(nullptr, "anything"), 0);
    EXPECT_EQ(model::send<HostId>(nullptr, "anything"), nullptr);
    EXPECT_EQ(model::send<HostBool>(nullptr, "boolValue"), 0);
}

TEST(MessageSending, UnknownSelectorRaises) {
    model::Class *cls = model::defineClass("RuntimeUnknownSelector");
    HostStrongRef receiver = HostStrongRef::adopt(newInstance(cls));
    EXPECT_THROW(model::send<HostUInteger>(receiver.get(), "noSuchMethod"), model::HostException);
}

TEST(MessageSending, ClassMethodsGoThroughTheMetaclass) {
    model::Class *cls = model::defineClass("RuntimeClassMethod");
    model::addClassMethod(cls, "shared", &entered);
    EXPECT_EQ(model::sendToClass<HostUInteger>("RuntimeClassMethod", "shared"), 1);
    HostStrongRef instance = HostStrongRef::adopt(newInstance(cls));
    EXPECT_THROW(model::send<HostUInteger>(instance.get(), "shared"), model::HostException);
}

TEST(Interception, LaterReplacementsWrapEarlierOnes) {
    model::Class *cls = model::defineClass("RuntimeChain");
    model::addMethod(cls, "value", &entered);
    HostSel value = sel_registerName("value");
    HostImp first = nullptr;
    HostImp second = nullptr;
    MSHookMessageEx(objc_getClass("RuntimeChain"), value, imp(&firstLayer), &first);
    MSHookMessageEx(objc_getClass("RuntimeChain"), value, imp(&secondLayer), &second);
    EXPECT_EQ(first, imp(&entered));
    EXPECT_EQ(second, imp(&firstLayer));
    HostStrongRef receiver = HostStrongRef::adopt(newInstance(cls));
    EXPECT_EQ(model::send<HostUInteger>(receiver.get(), "value"), 3);
}

TEST(Interception, AbsentClassOrSelectorReplacesNothing) {
    model::Class *cls = model::defineClass("RuntimeTolerance");
    model::addMethod(cls, "value", &entered);
    HostImp slot = nullptr;
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
    HostImp slot = nullptr;
    MSHookMessageEx(derived->handle(), sel_registerName("value"), imp(&firstLayer), &slot);
    EXPECT_EQ(slot, imp(&entered));
    HostStrongRef onBase = HostStrongRef::adopt(newInstance(base));
    HostStrongRef onDerived = HostStrongRef::adopt(newInstance(derived));
    EXPECT_EQ(model::send<HostUInteger>(onBase.get(), "value"), 1);
    EXPECT_EQ(model::send<HostUInteger>(onDerived.get(), "value"), 2);
}

TEST(ReferenceCounting, ObjectLivesUntilItsLastReleaseAndThePoolDrains) {
    long before = model::liveObjects();
    HostId string = model::makeString("counted");
    hostRetain(string);
    EXPECT_EQ(model::object(string)->retainCount(), 2);
    {
        model::AutoreleasePool pool;
        hostAutorelease(string);
        hostRelease(string);
        EXPECT_EQ(model::liveObjects(), before + 1); // still held by the pool
    }
    EXPECT_EQ(model::liveObjects(), before);
}

TEST(ReferenceCounting, PoolsBelongToTheirThread) {
    long before = model::liveObjects();
    std::thread worker([] {
        model::AutoreleasePool pool;
        hostAutorelease(model::makeString("worker"));
    });
    worker.join();
    EXPECT_EQ(model::liveObjects(), before);
}

TEST(ReferenceCounting, ConstantStringsAreShared) {
    long before = model::liveObjects();
    HostId a = hostConstantString("constant");
    hostRelease(a);
    hostRelease(a);
    EXPECT_EQ(a, hostConstantString("constant"));
    EXPECT_EQ(model::stringValue(a), "constant");
    EXPECT_EQ(model::liveObjects(), before);
}

} // namespace
