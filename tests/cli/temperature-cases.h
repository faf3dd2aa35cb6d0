// Temperature replies and what they must become: the sign repeated after the
// point is the sensor's negative form; every other text converts directly.
#ifndef TARNEL_TESTS_CLI_TEMPERATURE_CASES_H
#define TARNEL_TESTS_CLI_TEMPERATURE_CASES_H

#include <cmath>
#include <string>
#include <vector>

struct TTemperatureCase {
    std::string iReply;
    double iValue;         // the reading, before narrowing to single precision
    std::string iPrinted;  // in the plain form
};

inline std::vector<TTemperatureCase> TemperatureCases() {
    return {
        {"23.45", 23.45, "23.5"},
        {"12.5\r\n", 12.5, "12.5"},
        {"-1.-25", -1.25, "-1.2"},
        {"-1.-25\r\n", -1.25, "-1.2"},
        {"0.-25", -0.25, "-0.2"},
        {".-5", -0.05, "-0.1"},
        {"-0.-5", -0.05, "-0.1"},
        {"1.-5", -1.05, "-1.0"},
        {"-1.-125", -1.125, "-1.1"},
        {"-1.-", -1.0, "-1.0"},
        {"-3.5", -3.5, "-3.5"},
        {"-3.50", -3.5, "-3.5"},
        {"-12.34", -12.34, "-12.3"},
        {"-1.99", -1.99, "-2.0"},
        {"-3", -3.0, "-3.0"},
        {"-1.5-", -1.5, "-1.5"},
        {"1.5e-3", 0.0015, "0.0"},
        {"12.3-", 12.3, "12.3"},
        {"-", std::nan(""), "NaN"},  // no number at all
        // Digit runs beyond 32 bits saturate instead of overflowing.
        {"99999999999.-5", -2147483647.05, "-2147483648.0"},
        {"-99999999999.-5", -2147483648.05, "-2147483648.0"},
        {"1.-99999999999", -1.2147483648, "-1.2"},
        {"5.-" + std::string(124, '9'), -5.2147483648, "-5.2"},
        // 127 bytes with a minus and no point: converted as it stands.
        {"-" + std::string(126, '1'), -HUGE_VAL, "-inf"},
    };
}

#endif
