// The property-list reader behind initWithContentsOfFile:, over files from two producers, and the
// files it must refuse: the faults a preference file can hold that the behaviour corpus leaves out.
#include <gtest/gtest.h>

#include "platform/model/foundation_kinds.h"
#include "platform/model/model.h"
#include "tests/support/preferences.h"

namespace {

PlatformStrongRef read(const std::string &bytes) {
    return PlatformStrongRef::adopt(model::readPropertyListDictionary(bytes));
}

class PlistEncoding : public ::testing::TestWithParam<Encoding> {};

TEST_P(PlistEncoding, EveryKindSurvivesAWriteAndARead) {
    plist_t array = plist_new_array();
    plist_array_append_item(array, plist_new_string("inner"));
    plist_t nested = plist_new_dict();
    plist_dict_set_item(nested, "deep", plist_new_uint(5));
    PlatformStrongRef prefs = read(encodePreferences({{"text", plist_new_string("t\u00e9xt")},
                                                      {"integer", plist_new_uint(static_cast<uint64_t>(-3))},
                                                      {"real", plist_new_real(0.5)},
                                                      {"boolean", plist_new_bool(1)},
                                                      {"date", plist_new_date(100, 0)},
                                                      {"data", plist_new_data("\x00\x01", 2)},
                                                      {"array", array},
                                                      {"dictionary", nested}},
                                                     GetParam()));
    ASSERT_NE(prefs.get(), nullptr);
    auto kind = [&](const char *key) {
        return model::object(platformObjectForKey(prefs.get(), key))->isa()->name();
    };
    EXPECT_EQ(model::stringValue(platformObjectForKey(prefs.get(), "text")), "t\u00e9xt");
    EXPECT_EQ(model::object(platformObjectForKey(prefs.get(), "integer"))->describe(), "-3");
    EXPECT_EQ(model::object(platformObjectForKey(prefs.get(), "real"))->describe(), "0.5");
    EXPECT_EQ(model::object(platformObjectForKey(prefs.get(), "boolean"))->describe(), "YES");
    EXPECT_EQ(kind("date"), "NSDate");
    EXPECT_EQ(kind("data"), "NSData");
    PlatformId elements = platformObjectForKey(prefs.get(), "array");
    ASSERT_EQ(platformCount(elements), 1u);
    EXPECT_EQ(model::stringValue(platformObjectAtIndexedSubscript(elements, 0)), "inner");
    EXPECT_EQ(kind("dictionary"), "NSDictionary");
}

INSTANTIATE_TEST_SUITE_P(BothEncodings, PlistEncoding, ::testing::Values(Encoding::xml, Encoding::binary));

TEST(PlistReader, AnythingButAWholeDictionaryReadsAsNone) {
    std::string whole = fixtureBytes("typical.binary.plist");
    EXPECT_EQ(read(fixtureBytes("truncated.binary.plist")).get(), nullptr);
    EXPECT_EQ(read(whole.substr(0, whole.size() - 1)).get(), nullptr);
    EXPECT_EQ(read(fixtureBytes("array-root.xml.plist")).get(), nullptr);
    EXPECT_EQ(read("").get(), nullptr);
    EXPECT_EQ(read("not a property list").get(), nullptr);
    std::string xml = fixtureBytes("typical.xml.plist");
    EXPECT_EQ(read(xml.substr(0, xml.size() / 2)).get(), nullptr);
}

TEST(PlistReader, TextThatIsNotUTF8FailsTheWholeFile) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                      "<key>kEnabled</key><true/><key>customtextEnabled</key><string>\xff\xfe</string>"
                      "</dict></plist>";
    EXPECT_EQ(read(xml).get(), nullptr);
}

// A binary property list of the objects given as bytes, object 0 its root, with one-byte offsets
// and references.
std::string binaryObjects(const std::vector<std::string> &objects) {
    std::string bytes = "bplist00";
    std::vector<uint8_t> offsets;
    for (const std::string &object : objects) {
        offsets.push_back(static_cast<uint8_t>(bytes.size()));
        bytes += object;
    }
    auto table = static_cast<uint8_t>(bytes.size());
    bytes.append(offsets.begin(), offsets.end());
    std::string trailer(32, '\0');
    trailer[6] = 1; // offset width
    trailer[7] = 1; // reference width
    trailer[15] = static_cast<char>(objects.size());
    trailer[31] = static_cast<char>(table);
    return bytes + trailer;
}

// One dictionary { key : value }: objects 0 (the dictionary), 1 (the key) and 2 (the value).
std::string binaryDictionary(const std::string &keyObject, const std::string &valueObject) {
    return binaryObjects({std::string("\xd1\x01\x02", 3), keyObject, valueObject});
}

std::string binaryWithKey(const std::string &keyObject) {
    return binaryDictionary(keyObject, "\x09");
} // true

TEST(PlistReader, BinaryKeysMustBeTextWithoutNulWhereAValueKeepsItsNul) {
    EXPECT_NE(read(binaryWithKey("\x51k")).get(), nullptr);                        // ASCII "k"
    EXPECT_NE(read(binaryWithKey(std::string("\x61\x00k", 3))).get(), nullptr);    // UTF-16 "k"
    EXPECT_EQ(read(binaryWithKey(std::string("\x52k\x00", 3))).get(), nullptr);    // a NUL inside the key
    EXPECT_EQ(read(binaryWithKey("\x10\x05")).get(), nullptr);                     // an integer as key
    EXPECT_EQ(read(binaryWithKey(std::string("\x61\xdc\x00", 3))).get(), nullptr); // a lone surrogate
    EXPECT_EQ(read(fixtureBytes("../../regressions/preferences/binary-key-with-nul")).get(), nullptr);
    PlatformStrongRef value = read(binaryDictionary("\x51k", std::string("\x53"
                                                                         "a\0b",
                                                                         4)));
    EXPECT_EQ(model::stringValue(platformObjectForKey(value.get(), "k")), std::string("a\0b", 3));
}

TEST(PlistReader, CyclesHugeCountsAndDeepNestingReadAsNoneAndSharingCostsNothing) {
    EXPECT_NE(read(binaryDictionary("\x51k", std::string("\xa1\x01", 2))).get(), nullptr); // [ "k" ]
    EXPECT_EQ(read(binaryDictionary("\x51k", std::string("\xa1\x02", 2))).get(),
              nullptr); // an array in itself
    EXPECT_EQ(read(binaryDictionary("\x51k", std::string("\xa1\x00", 2))).get(),
              nullptr); // the root in itself
    EXPECT_EQ(
        read(binaryDictionary("\x51k", std::string("\xaf\x13\x7f\xff\xff\xff\xff\xff\xff\xff", 10))).get(),
        nullptr); // an array claiming 2^63 elements
    EXPECT_EQ(
        read(binaryDictionary(std::string("\x5f\x13\x7f\xff\xff\xff\xff\xff\xff\xff", 10), "\x09")).get(),
        nullptr); // a key claiming 2^63 characters
    // Thirty arrays, each holding the next twice: read reference by reference, 2^30 strings.
    std::vector<std::string> shared = {std::string("\xd1\x01\x02", 3), "\x51k"};
    for (char next = 3; next < 33; ++next) {
        shared.push_back(std::string("\xa2") + next + next);
    }
    shared.push_back("\x51x");
    PlatformStrongRef prefs = read(binaryObjects(shared));
    ASSERT_NE(prefs.get(), nullptr);
    PlatformId outer = platformObjectForKey(prefs.get(), "k");
    EXPECT_EQ(platformObjectAtIndexedSubscript(outer, 0), platformObjectAtIndexedSubscript(outer, 1));
    std::string nested;
    for (int i = 0; i < 600; ++i) {
        nested += "<array>";
    }
    for (int i = 0; i < 600; ++i) {
        nested += "</array>";
    }
    EXPECT_EQ(
        read("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key>" + nested + "</dict></plist>")
            .get(),
        nullptr);
}

} // namespace
