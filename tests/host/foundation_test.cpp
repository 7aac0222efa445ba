// Foundation's rules as the library relies on them: truth values, strings, and null receivers.
#include <gtest/gtest.h>

#include <climits>

#include "host/model/model.h"

namespace {

HostBool truthOf(HostId owned) {
    HostStrongRef held = HostStrongRef::adopt(owned);
    return hostBoolValue(held.get());
}

TEST(BoolValue, StringsFollowThePlatformRule) {
    struct Case {
        const char *text;
        HostBool expected;
    };
    for (Case c :
         {Case{"YES", 1}, Case{"yes", 1}, Case{"true", 1}, Case{"T", 1}, Case{"  \t1", 1}, Case{"+7", 1},
          Case{"-1", 1}, Case{"0009", 1}, Case{"1abc", 1}, Case{"NO", 0}, Case{"no", 0}, Case{"", 0},
          Case{"0", 0}, Case{"000", 0}, Case{"0.5", 0}, Case{"x1", 0}, Case{"- 1", 0}}) {
        EXPECT_EQ(truthOf(model::makeString(c.text)), c.expected) << '"' << c.text << '"';
    }
}

TEST(BoolValue, NumbersAreTrueWhenNonZero) {
    EXPECT_EQ(truthOf(model::makeInteger(2)), 1);
    EXPECT_EQ(truthOf(model::makeInteger(-1)), 1);
    EXPECT_EQ(truthOf(model::makeInteger(0)), 0);
    EXPECT_EQ(truthOf(model::makeReal(0.25)), 1);
    EXPECT_EQ(truthOf(model::makeReal(0.0)), 0);
    EXPECT_EQ(truthOf(model::makeBoolean(true)), 1);
    EXPECT_EQ(truthOf(model::makeBoolean(false)), 0);
}

TEST(BoolValue, KindsWithoutATruthValueReadFalseInsteadOfRaising) {
    EXPECT_EQ(truthOf(model::makeDate(0)), 0);
    EXPECT_EQ(truthOf(model::makeData("\x01")), 0);
    HostStrongRef element = HostStrongRef::adopt(model::makeBoolean(true));
    EXPECT_EQ(truthOf(model::makeArray({element.get()})), 0);
    EXPECT_EQ(truthOf(model::makeDictionary({{"k", element.get()}})), 0);
    EXPECT_EQ(hostBoolValue(nullptr), 0);
}

TEST(Strings, InvalidUTF8MakesNoString) {
    model::AutoreleasePool pool;
    EXPECT_EQ(hostStringWithUTF8String("\xc3\x28"), nullptr);
    EXPECT_EQ(hostStringWithUTF8String("\xed\xa0\x80"), nullptr); // an encoded surrogate
    EXPECT_EQ(hostStringWithUTF8String("\xc0\xaf"), nullptr);     // an overlong slash
    EXPECT_EQ(hostStringWithUTF8String(nullptr), nullptr);
    EXPECT_EQ(model::stringValue(hostStringWithUTF8String("en0 \u00e9")), "en0 \u00e9");
}

TEST(Strings, SearchAnswersNotFoundAsTheLargestSignedInteger) {
    model::AutoreleasePool pool;
    HostId path = hostStringWithUTF8String("/var/containers/Bundle/Application/X/App.app/App");
    EXPECT_EQ(hostNotFound, static_cast<HostUInteger>(LONG_MAX));
    EXPECT_EQ(hostRangeOfString(path, "/Applications/").location, hostNotFound);
    HostRange found = hostRangeOfString(path, "/Application/");
    EXPECT_EQ(found.location, 22u);
    EXPECT_EQ(found.length, 13u);
    EXPECT_EQ(hostRangeOfString(path, "/application/").location, hostNotFound);
}

TEST(Strings, LastPathComponentAndLowercase) {
    model::AutoreleasePool pool;
    auto last = [](const char *path) {
        return *model::stringValue(hostLastPathComponent(hostStringWithUTF8String(path)));
    };
    EXPECT_EQ(last("/Applications/Maps.app/Maps"), "Maps");
    EXPECT_EQ(last("Maps"), "Maps");
    EXPECT_EQ(last("/a/b/"), "b");
    EXPECT_EQ(last("/"), "/");
    EXPECT_EQ(last(""), "");
    EXPECT_EQ(model::stringValue(hostLowercaseString(hostStringWithUTF8String("FileProvider-X"))),
              "fileprovider-x");
}

TEST(Collections, NullReceiversAnswerNothing) {
    EXPECT_EQ(hostObjectForKey(nullptr, "kEnabled"), nullptr);
    EXPECT_EQ(hostObjectForKeyedSubscript(nullptr, "kEnabled"), nullptr);
    EXPECT_EQ(hostCount(nullptr), 0u);
    EXPECT_EQ(hostObjectAtIndexedSubscript(nullptr, 0), nullptr);
    HostStrongRef notADictionary = HostStrongRef::adopt(model::makeString("x"));
    EXPECT_THROW(hostObjectForKey(notADictionary.get(), "k"), model::HostException);
}

} // namespace
