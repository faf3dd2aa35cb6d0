#include <gtest/gtest.h>

#include <cstdint>

#include "debug.h"
#include "stdout_capture.h"

namespace {

TEST(Debug, PrintfLines) {
    StdoutCapture capture;
    DebugPrintf("port %d", 3);
    DebugPrintf("%s", "");
    DebugPrintf("own line end\n");
    EXPECT_EQ(capture.Finish(), "[DEBUG]port 3\n[DEBUG]\n[DEBUG]own line end\n\n");
}

TEST(Debug, HexLines) {
    const std::uint8_t bytes[] = {0x0A, 0x1B, 0xFF};
    const std::uint8_t five[] = {5};
    StdoutCapture capture;
    DebugHex2String(bytes, 3);
    DebugHex2String(five, 1);
    DebugHex2String(bytes, 0);
    DebugHex2String(nullptr, -4);  // reads no byte
    EXPECT_EQ(capture.Finish(), "[DEBUG]0A 1B FF \n[DEBUG]05 \n[DEBUG]\n[DEBUG]\n");
}

TEST(Debug, InitAndExitPrintNothing) {
    StdoutCapture capture;
    DebugInit();
    DebugExit();
    EXPECT_EQ(capture.Finish(), "");
}

}  // namespace
