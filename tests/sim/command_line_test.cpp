// The simulator's command language, and the facts its answers read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "sim/command_line.h"
#include "sim/packages.h"

namespace {

using sim::InputError;
using sim::Value;

TEST(Tokenize, QuotedTextKeepsSpacesAndResolvesEscapes) {
    auto tokens =
        sim::tokenize(R"(call  SBTelephonyManager setOperatorName: "a \"b\" \\ \n\t\x41\xc3\xa9" nil)");
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_FALSE(tokens[1].quoted);
    EXPECT_TRUE(tokens[3].quoted);
    EXPECT_EQ(tokens[3].text, "a \"b\" \\ \n\tA\u00e9");
    EXPECT_TRUE(sim::tokenize("   ").empty());
    EXPECT_EQ(sim::tokenize(R"("")")[0].text, "");
}

TEST(Tokenize, MalformedTextIsRefused) {
    for (const char *line : {R"(x "open)", R"(x "bad \q")", R"(x "\x4")", R"(x "\xzz")", R"(x "\xff")",
                             R"(x "a"b)", R"(x a"b")", R"(x "ends in \)"}) {
        EXPECT_THROW(sim::tokenize(line), InputError) << line;
    }
}

TEST(ParseValue, EachFormAndNothingElse) {
    auto parse = [](const char *word) { return sim::parseValue(sim::Token{false, word}); };
    EXPECT_EQ(parse("nil").kind, Value::Kind::nil);
    EXPECT_EQ(parse("YES").kind, Value::Kind::yes);
    EXPECT_EQ(parse("NO").kind, Value::Kind::no);
    EXPECT_EQ(parse("-42").integer, -42);
    EXPECT_EQ(parse("@sub-1.x").text, "sub-1.x");
    EXPECT_EQ(sim::parseValue(sim::Token{true, "nil"}).kind, Value::Kind::text);
    for (const char *word : {"yes", "Nil", "@", "@a/b", "12x", "--1", "99999999999999999999", "text"}) {
        EXPECT_THROW(parse(word), InputError) << word;
    }
}

TEST(FormatValue, WhatIsPrintedParsesBackToTheSameValue) {
    for (const std::string &text : {std::string("plain"), std::string("q\"b\\"), std::string("\n\t\x01\x7f"),
                                    std::string("\u00e9\u2713"), std::string()}) {
        std::string printed = sim::formatValue(Value{Value::Kind::text, text});
        auto tokens = sim::tokenize(printed);
        ASSERT_EQ(tokens.size(), 1u) << printed;
        EXPECT_EQ(tokens[0].text, text) << printed;
    }
}

} // namespace

namespace {

// Facts a package answer reads, broken one field at a time: each is named, never read as a default.
TEST(PackageFacts, ABrokenFactIsNamedNotReadAsADefault) {
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("facts-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::string phone = R"({"model": "iPhone X", "chip": 11, "from": [11, 0, 0], "to": [16, 7, 16],
                            "form": "notch", "points": 375, "scale": 3, "slice": "arm64"})";
    auto answerWith = [&](std::string row) {
        std::ofstream(folder / "facts.json") << R"({"slices": [{"name": "arm64", "chips": [7, null]}],
            "packages": [], "eras": [], "samples": [], "phones": [)"
                                             << row << "]}";
        sim::PackageFacts facts(folder / "facts.json");
        try {
            facts.answer(springboard::Version{16, 0, 0}, facts.phone("iphone x"), std::nullopt);
        } catch (const sim::InputError &error) {
            return std::string(error.what());
        }
        return std::string("answered");
    };
    EXPECT_EQ(answerWith(phone), "answered");
    EXPECT_EQ(answerWith(std::regex_replace(phone, std::regex(R"("chip": 11, )"), "")),
              "facts.json has no whole number chip where one is needed");
    EXPECT_EQ(answerWith(std::regex_replace(phone, std::regex("16, 7, 16"), "16, 7")),
              "facts.json has a to that is no release number");
    EXPECT_EQ(answerWith(std::regex_replace(phone, std::regex("notch"), "slab")),
              "the package facts give the iPhone X a form \"slab\" of no known kind");
    std::filesystem::remove_all(folder);
}

} // namespace
