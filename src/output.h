// The results on standard output: bare lines, or one JSON object on one line.
#ifndef TARNEL_OUTPUT_H
#define TARNEL_OUTPUT_H

#include <string>

#include "results.h"

bool IsSelected(TQuantity aQuantity);

// The exact text of one item in the form the settings choose.
std::string ReadingItem(TQuantity aQuantity, float aReading);
std::string NameItem(const char* aName);

void PrintJsonOpening();
void PrintReading(TQuantity aQuantity, float aReading);
void PrintName(const char* aName);
void PrintJsonClosing();

#endif
