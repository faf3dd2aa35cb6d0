// Turning sensor reply texts into readings and names.
#ifndef TARNEL_READING_H
#define TARNEL_READING_H

#include <cstddef>

constexpr std::size_t KReplySize = 128;  // 127 bytes of reply and a terminator
constexpr std::size_t KNameSize = 64;    // 63 characters and a terminator

// The sensor repeats the sign of a negative temperature after the point
// ("-1.-25" is -1.25); such a text is rewritten in place to plain notation.
void RepairSign(char (&aReply)[KReplySize]);

// The decimal number at the start of the text, narrowed to single precision;
// "inf" and "infinity" with their sign are infinite. The missing reading when
// no number begins there or the text says "nan".
float ConvertReading(const char* aText);

// The name in a reply: trailing blanks and control characters cut, at most
// 63 characters kept.
void TakeName(char (&aName)[KNameSize], char (&aReply)[KReplySize]);

#endif
