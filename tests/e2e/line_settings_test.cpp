// What the tool sets on the terminal, read back by the sensor on its own
// descriptor of the same terminal while each command arrives.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <map>

#include "e2e_fixture.h"
#include "sensor_files.h"

TEST_F(EndToEnd, LineIsSetTo115200EightNoneOneRaw) {
    // Start from settings that differ from the wanted ones in everything a
    // pseudo-terminal keeps (it always reports 8 data bits and no parity).
    ASSERT_TRUE(StartSensor({"--start-line=9600,7E2,rtscts,xonxoff"}));
    {
        int fd = open(iSensor.TerminalPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        termios before {};
        ASSERT_EQ(tcgetattr(fd, &before), 0);
        close(fd);
        EXPECT_EQ(cfgetospeed(&before), static_cast<speed_t>(B9600));
        EXPECT_NE(before.c_cflag & CSTOPB, 0u);
        EXPECT_NE(before.c_cflag & CRTSCTS, 0u);
        EXPECT_NE(before.c_iflag & IXON, 0u);
        EXPECT_NE(before.c_lflag & ICANON, 0u);
        EXPECT_NE(before.c_oflag & OPOST, 0u);
    }

    EXPECT_TRUE(Ran(RunTool({"-d", "com3", "-a"}), 0, KPlainAll));
    ASSERT_EQ(StopSensor(), 0);

    const std::map<std::string, std::string> wanted = {
        {"ispeed", "115200"}, {"ospeed", "115200"}, {"bits", "8"},      {"parity", "none"}, {"stop", "1"},
        {"icanon", "0"},      {"echo", "0"},        {"echonl", "0"},    {"isig", "0"},      {"iexten", "0"},
        {"opost", "0"},       {"icrnl", "0"},       {"inlcr", "0"},     {"igncr", "0"},     {"istrip", "0"},
        {"ixon", "0"},        {"ixoff", "0"},       {"crtscts", "0"},   {"cread", "1"},
    };
    const std::vector<std::string> lines = SensorReport();
    ASSERT_EQ(lines.size(), 4u);
    const char* const commands[] = {"GT", "GH", "GP", "GN"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        std::map<std::string, std::string> fields = ParseReportLine(lines[i]);
        EXPECT_EQ(fields["command"], commands[i]);
        for (const auto& entry : wanted) EXPECT_EQ(fields[entry.first], entry.second) << entry.first;
    }
}
