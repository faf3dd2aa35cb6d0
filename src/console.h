// Standard output, which carries everything the tool prints. main makes it
// unbuffered, so each call writes at once; the first write that fails is
// remembered, so that a run whose output was lost does not end as a success.
#ifndef TARNEL_CONSOLE_H
#define TARNEL_CONSOLE_H

#include <cstdarg>

void OutText(const char* aText);

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void OutFormat(const char* aFormat, ...);

void OutFormatList(const char* aFormat, va_list aValues);

// The errno of the first write that failed; 0 when none has.
int OutputError();

#endif
