// What the program prints for the sensor's reply bytes: readings, names and
// their JSON form.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "cli-run.h"
#include "fake-comm.h"
#include "json_check.h"
#include "temperature-cases.h"

namespace {

struct TReplyCase {
    std::string iOption;   // the quantity's option
    std::string iCommand;  // its command
    std::string iReply;
    std::string iOut;      // for one quantity, plain form
    std::string iJson;     // the JSON member's value; empty to skip
};

void PrintTo(const TReplyCase& aCase, std::ostream* aOut) {
    *aOut << aCase.iOption << " reply \"";
    for (char c : aCase.iReply) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            *aOut << c;
        } else {
            *aOut << "\\x" << "0123456789abcdef"[u >> 4] << "0123456789abcdef"[u & 15];
        }
    }
    *aOut << "\"";
}

std::string Member(const std::string& aOption) {
    if (aOption == "-t") return "temperature";
    if (aOption == "-h") return "humidity";
    if (aOption == "-p") return "pressure";
    return "name";
}

class ReplyText : public ::testing::TestWithParam<TReplyCase> {};

const std::string KFltMax = "340282346638528859811704183484516925440.0";

// A reply counts as obtained unless it holds no number: status 0, or 2 with
// the missing value.
TEST_P(ReplyText, PrintsInBothForms) {
    const TReplyCase& c = GetParam();
    const std::string script = Reply(c.iCommand, c.iReply);
    const int status = c.iOut == "NaN\n" ? 2 : 0;
    const TCliRun plain = RunFake({"-d", "COM3", c.iOption}, script);
    EXPECT_EQ(plain.iOut, c.iOut);
    EXPECT_EQ(plain.iStatus, status);
    EXPECT_EQ(plain.iErr, "");
    if (c.iJson.empty()) return;
    const TCliRun json = RunFake({"-d", "COM3", c.iOption, "-j"}, script);
    EXPECT_EQ(json.iOut, "{ \"" + Member(c.iOption) + "\": " + c.iJson + " }\n");
    EXPECT_EQ(json.iStatus, status);
    std::string why;
    EXPECT_TRUE(IsJsonText(json.iOut, &why)) << why << ": " << json.iOut;
}

std::vector<TReplyCase> Temperatures() {
    std::vector<TReplyCase> cases;
    for (const TTemperatureCase& c : TemperatureCases()) {
        const bool number = c.iPrinted.find("inf") == std::string::npos && c.iPrinted != "NaN";
        cases.push_back({"-t", "GT", c.iReply, c.iPrinted + "\n", number ? c.iPrinted : "null"});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Temperature, ReplyText, ::testing::ValuesIn(Temperatures()));

INSTANTIATE_TEST_SUITE_P(
    Readings, ReplyText,
    ::testing::Values(
        // No sign repair outside temperature.
        TReplyCase{"-h", "GH", "0.-25", "0.0\n", "0.0"},
        TReplyCase{"-h", "GH", "-1.-25\r\n", "-1.0\n", "-1.0"},
        TReplyCase{"-p", "GP", "-1.-25", "-1.0\n", "-1.0"},
        // Rounding applies to the single-precision value.
        TReplyCase{"-h", "GH", "23.45\r\n", "23.5\n", "23.5"},
        TReplyCase{"-h", "GH", "99.95", "99.9\n", "99.9"},
        TReplyCase{"-p", "GP", "-0.04", "-0.0\n", "-0.0"},
        // No number: the missing value, not a real-looking 0.
        TReplyCase{"-p", "GP", "abc\r\n", "NaN\n", "null"},
        TReplyCase{"-t", "GT", "ERR\r\n", "NaN\n", "null"},
        TReplyCase{"-h", "GH", "\r\n", "NaN\n", "null"},
        TReplyCase{"-p", "GP", " +.e5\r\n", "NaN\n", "null"},
        TReplyCase{"-p", "GP", std::string("\0" "12.5", 5), "NaN\n", "null"},
        // C's words for a failed measurement and for infinity, in any case.
        TReplyCase{"-p", "GP", "nan", "NaN\n", "null"},
        TReplyCase{"-h", "GH", "-NaN\r\n", "NaN\n", "null"},
        TReplyCase{"-t", "GT", "NAN(1)", "NaN\n", "null"},
        TReplyCase{"-p", "GP", "inf", "inf\n", "null"},
        TReplyCase{"-t", "GT", "-Infinity", "-inf\n", "null"},
        TReplyCase{"-h", "GH", " +INF\r\n", "inf\n", "null"},
        // Hexadecimal is no sensor's notation: only its 0 is decimal.
        TReplyCase{"-p", "GP", "0x1A", "0.0\n", "0.0"},
        // Infinite readings: "%.1f" in the plain form, null in JSON.
        TReplyCase{"-p", "GP", "1e39", "inf\n", "null"},
        TReplyCase{"-h", "GH", "-1e39\r\n", "-inf\n", "null"},
        TReplyCase{"-p", "GP", std::string(127, '9'), "inf\n", "null"},
        // Narrowing rounds to nearest: up to halfway past FLT_MAX it is FLT_MAX.
        TReplyCase{"-p", "GP", "3.40282347e+38", KFltMax + "\n", KFltMax},
        TReplyCase{"-p", "GP", "3.4028235e38\r\n", KFltMax + "\n", KFltMax},
        // The last double below the halfway point, and the halfway point itself.
        TReplyCase{"-h", "GH", "-3.4028235677973362e38", "-" + KFltMax + "\n", "-" + KFltMax},
        TReplyCase{"-p", "GP", "3.4028235677973366e38", "inf\n", "null"}));

const std::string K63 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-";

INSTANTIATE_TEST_SUITE_P(
    Names, ReplyText,
    ::testing::Values(
        TReplyCase{"-n", "GN", "AB-1\r\n", "AB-1\n", "\"AB-1\""},
        TReplyCase{"-n", "GN", "  AB-1 \t\r\n", "  AB-1\n", "\"  AB-1\""},
        TReplyCase{"-n", "GN", "\r\n", "\n", "\"\""},
        TReplyCase{"-n", "GN", "   \r\n\x1f", "\n", "\"\""},
        TReplyCase{"-n", "GN", std::string("\0" "AB-1", 5), "\n", "\"\""},
        TReplyCase{"-n", "GN", "AB\x01\x02", "AB\n", "\"AB\""},
        TReplyCase{"-n", "GN", "AB-1\x7f", "AB-1\x7f\n", "\"AB-1\\u007F\""},
        TReplyCase{"-n", "GN", "\tA\x01" "B\r\n", "\tA\x01" "B\n", "\"\\tA\\u0001B\""},
        TReplyCase{"-n", "GN", K63, K63 + "\n", "\"" + K63 + "\""},
        TReplyCase{"-n", "GN", K63 + "\r\n", K63 + "\n", "\"" + K63 + "\""},
        TReplyCase{"-n", "GN", K63 + "XYZ", K63 + "\n", "\"" + K63 + "\""},
        TReplyCase{"-n", "GN", std::string(130, 'N'), std::string(63, 'N') + "\n", ""},
        // Inside the first 63 characters trailing blanks are cut first, then the rest kept.
        TReplyCase{"-n", "GN", std::string(62, 'N') + "     Z", std::string(62, 'N') + " \n", ""}));

// The plain form keeps the bytes; JSON escapes what it must.
INSTANTIATE_TEST_SUITE_P(
    JsonNames, ReplyText,
    ::testing::Values(
        TReplyCase{"-n", "GN", "A\"B\r\n", "A\"B\n", "\"A\\\"B\""},
        TReplyCase{"-n", "GN", "A\\B", "A\\B\n", "\"A\\\\B\""},
        TReplyCase{"-n", "GN", "\"", "\"\n", "\"\\\"\""},
        TReplyCase{"-n", "GN", "A\rB\nC\bD\fE\tF", "A\rB\nC\bD\fE\tF\n", "\"A\\rB\\nC\\bD\\fE\\tF\""},
        TReplyCase{"-n", "GN", "A\x1b[1m\x1f" "B", "A\x1b[1m\x1f" "B\n", "\"A\\u001B[1m\\u001FB\""},
        TReplyCase{"-n", "GN", "A\x7f" "B", "A\x7f" "B\n", "\"A\\u007FB\""},
        TReplyCase{"-n", "GN", "/<>&'", "/<>&'\n", "\"/<>&'\""},
        // Valid UTF-8 unchanged: 2, 3 and 4 bytes, the highest code point.
        TReplyCase{"-n", "GN", "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9D\x84\x9E \xF4\x8F\xBF\xBF",
                   "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9D\x84\x9E \xF4\x8F\xBF\xBF\n",
                   "\"Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9D\x84\x9E \xF4\x8F\xBF\xBF\""},
        // Anything else byte by byte as its Latin-1 escape.
        TReplyCase{"-n", "GN", "\xFF\xFE", "\xFF\xFE\n", "\"\\u00FF\\u00FE\""},
        TReplyCase{"-n", "GN", "A\xE9", "A\xE9\n", "\"A\\u00E9\""},
        TReplyCase{"-n", "GN", "\x80" "A", "\x80" "A\n", "\"\\u0080A\""},
        TReplyCase{"-n", "GN", "\xC3", "\xC3\n", "\"\\u00C3\""},
        TReplyCase{"-n", "GN", "\xE2\x82", "\xE2\x82\n", "\"\\u00E2\\u0082\""},
        TReplyCase{"-n", "GN", "\xC0\xAF", "\xC0\xAF\n", "\"\\u00C0\\u00AF\""},
        TReplyCase{"-n", "GN", "\xED\xA0\x80", "\xED\xA0\x80\n", "\"\\u00ED\\u00A0\\u0080\""},
        TReplyCase{"-n", "GN", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80\n", "\"\\u00F4\\u0090\\u0080\\u0080\""},
        TReplyCase{"-n", "GN", "\xE2\x82\xAC\xE2", "\xE2\x82\xAC\xE2\n", "\"\xE2\x82\xAC\\u00E2\""}));

// A reply longer than 127 bytes: only they count. The rest, up to its line
// feed, is read and dropped before the next command, since on a real line it
// is still arriving; the last reply's rest is left to the close.
TEST(LongReply, OnlyTheFirst127BytesCount) {
    const std::string reply = "12.5" + std::string(196, 'x') + "\r\n";
    const TCliRun run = RunFake({"-d", "COM3", "-a"},
                                Reply("GT", reply) + Reply("GH", "45.6\r\n") + Reply("GP", "1013.2\r\n") +
                                    Reply("GN", std::string(200, 'N') + "\r\n"));
    EXPECT_EQ(run.iStatus, 0);
    EXPECT_EQ(run.iOut, "12.5\n45.6\n1013.2\n" + std::string(63, 'N') + "\n");
    const std::vector<std::string> reads = TraceOf(run.iTrace, "ReadFile");
    ASSERT_EQ(reads.size(), 5u);
    EXPECT_EQ(reads[0], "ReadFile 127 -> " + FakeHex(reply.substr(0, 127)));
    EXPECT_EQ(reads[1], "ReadFile 127 -> " + FakeHex(reply.substr(127)));
    EXPECT_EQ(reads[4], "ReadFile 127 -> " + FakeHex(std::string(127, 'N')));
}

// JSON lines of several members with odd names and infinite readings.
TEST(JsonLine, ParsesWithEveryMember) {
    const TCliRun run = RunFake({"-d", "COM3", "-a", "-j"},
                                Reply("GT", "1e39") + Reply("GH", "-0.04") + Reply("GP", "-1e39") +
                                    Reply("GN", "\"q\"\\\x01\xFF\xC3\xA9"));
    EXPECT_EQ(run.iOut,
              "{ \"temperature\": null, \"humidity\": -0.0, \"pressure\": null, "
              "\"name\": \"\\\"q\\\"\\\\\\u0001\\u00FF\xC3\xA9\" }\n");
    EXPECT_EQ(run.iStatus, 0);
    std::string why;
    EXPECT_TRUE(IsJsonText(run.iOut, &why)) << why;
}

}  // namespace
