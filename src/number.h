// Reading numbers from texts that a device or a user sent.
#ifndef TARNEL_NUMBER_H
#define TARNEL_NUMBER_H

#include <cstdint>

inline bool IsSpace(char aChar) { return aChar == ' ' || (aChar >= '\t' && aChar <= '\r'); }
inline bool IsDigit(char aChar) { return aChar >= '0' && aChar <= '9'; }

// The integer at the start of the text as atoi reads it (white space, one
// sign, digits), saturated to 32 bits instead of overflowing; 0 without digits.
std::int32_t SaturatedInteger(const char* aText);

#endif
