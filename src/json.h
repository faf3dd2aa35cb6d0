// JSON text of arbitrary bytes.
#ifndef TARNEL_JSON_H
#define TARNEL_JSON_H

#include <string>

// Appends the text as a JSON string, quotes included. Valid UTF-8 passes
// unchanged; every other byte is written as the escape of its Latin-1
// reading, so that nothing is lost and the result always parses.
void AppendJsonString(std::string& aOut, const char* aText);

#endif
