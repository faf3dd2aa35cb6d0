// A strict reader of JSON text (RFC 8259), for checking what the program prints.
#ifndef TARNEL_TESTS_CLI_JSON_CHECK_H
#define TARNEL_TESTS_CLI_JSON_CHECK_H

#include <string>

// True when the text is exactly one JSON value with optional white space
// around it, in valid UTF-8; otherwise false with the offset and reason.
bool IsJsonText(const std::string& aText, std::string* aWhy);

#endif
