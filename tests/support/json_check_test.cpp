// The JSON reader the fuzz targets trust: it must take what RFC 8259 allows
// and refuse the rest, or their checks prove nothing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json_check.h"

using namespace std::string_literals;

TEST(JsonReader, AcceptsValidTexts) {
    const char* const texts[] = {
        "{}", " { } \n", "{\"a\":1}", "{ \"a\": null, \"b\": true, \"c\": false }",
        "{\"n\": [1, -0, 0.5, -1.25e+3, 2E-2, 1e5, []], \"o\": {\"p\": {}}}",
        "{\"s\": \"\\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u00e9 \\uD83D\\uDE00\"}",
        "{\"u\": \"h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\"}",
    };
    for (const char* text : texts) {
        std::vector<TJsonMember> members;
        std::string error;
        EXPECT_TRUE(ParseJsonObject(text, members, &error)) << text << ": " << error;
    }
    EXPECT_TRUE(IsJsonText("[1, \"x\", null]"));
    EXPECT_TRUE(IsJsonText(" -0.0e0 "));
}

TEST(JsonReader, RefusesInvalidTexts) {
    const std::string texts[] = {
        "", "{", "}", "{}{}", "{} x", "[]", "{\"a\"}", "{\"a\":}", "{\"a\":1,}", "{,\"a\":1}",
        "{\"a\":1 \"b\":2}", "{a:1}", "{'a':1}", "{\"a\":01}", "{\"a\":1.}", "{\"a\":.5}", "{\"a\":+1}",
        "{\"a\":1e}", "{\"a\":-}", "{\"a\":NaN}", "{\"a\":inf}", "{\"a\":nul}", "{\"a\":True}",
        "{\"a\":\"x}", "{\"a\":\"\\x\"}", "{\"a\":\"\\u12\"}", "{\"a\":\"\\uD800\"}", "{\"a\":\"\\uDC00\"}",
        "{\"a\":\"\\uD800\\u0041\"}", "{\"a\":\"tab\there\"}", "{\"a\":\"line\nbreak\"}",
        "{\"a\":\"\xE9\"}", "{\"a\":\"\xC0\xAF\"}", "{\"a\":\"\xED\xA0\x80\"}",
        "{\"a\":\"\xF4\x90\x80\x80\"}", "{\"a\":\"\xE2\x82\"}", "{\"a\":1,\"a\":2}",
        "{\"a\":1}\v", "\xEF\xBB\xBF{}", "{\"a\":1}\0"s,
    };
    for (const std::string& text : texts) {
        std::vector<TJsonMember> members;
        EXPECT_FALSE(ParseJsonObject(text, members)) << text;
        EXPECT_TRUE(members.empty()) << text;
    }
    EXPECT_FALSE(IsJsonText(std::string(100, '[') + std::string(100, ']')));
}

TEST(JsonReader, GivesMembersInOrderWithDecodedStrings) {
    std::vector<TJsonMember> members;
    ASSERT_TRUE(ParseJsonObject(
        "{ \"t\": -1.5, \"h\": null, \"\\u0041\": [1, {}], \"name\": \"a\\\"\\u00FF\\u0100\xC3\xA9\\uD83D\\uDE00\" }",
        members));
    ASSERT_EQ(members.size(), 4u);
    EXPECT_EQ(members[0].iName, "t");
    EXPECT_EQ(members[0].iKind, TJsonKind::ENumber);
    EXPECT_EQ(members[0].iValue, "-1.5");
    EXPECT_EQ(members[1].iKind, TJsonKind::ENull);
    EXPECT_EQ(members[2].iName, "A");
    EXPECT_EQ(members[2].iKind, TJsonKind::EArray);
    EXPECT_EQ(members[2].iValue, "[1, {}]");
    EXPECT_EQ(members[3].iKind, TJsonKind::EString);
    // \u00FF is the byte FF; \u0100 and the pair are UTF-8.
    EXPECT_EQ(members[3].iValue, "a\"\xFF\xC4\x80\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(JsonReader, Utf8) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain \x7F"));
    EXPECT_TRUE(IsValidUtf8("\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"));
    const char* const bad[] = {"\x80", "\xC1\xBF", "\xC2", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
                               "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xE2\x82\x41"};
    for (const char* bytes : bad) EXPECT_FALSE(IsValidUtf8(bytes)) << bytes;
}

// The checker itself: it must turn away what a faulty name would print.
TEST(JsonReader, TurnsAwayWhatAFaultyNameWouldPrint) {
    const struct {
        std::string iText;
        bool iValid;
    } cases[] = {
        {"{ \"name\": \"AB\" }\n", true},
        {"{ \"a\": null, \"b\": -0.0, \"c\": 1e5, \"d\": [true, false] }", true},
        {"{ \"name\": \"\\u00e9\\/\" }", true},
        {"{ \"name\": \"A\"B\" }", false},
        {"{ \"name\": \"A\\B\" }", false},
        {"{ \"name\": \"A\x01\" }", false},
        {"{ \"name\": \"A\nB\" }", false},
        {"{ \"name\": \"\xFF\" }", false},
        {"{ \"name\": \"\xC3\" }", false},
        {"{ \"name\": \"\xED\xA0\x80\" }", false},
        {"{ \"t\": inf }", false},
        {"{ \"t\": nan }", false},
        {"{ \"t\": .5 }", false},
        {"{ \"t\": 01 }", false},
        {"{ \"t\": 1, }", false},
        {"{ \"t\": 1 } x", false},
        {"{ \"t\": 1", false},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_EQ(IsJsonText(c.iText, &why), c.iValid) << c.iText << " " << why;
    }
}
