// The quantities a run can ask for and their missing values.
#ifndef TARNEL_RESULTS_H
#define TARNEL_RESULTS_H

#include <cmath>
#include <limits>

enum TQuantity { ETemperature, EHumidity, EPressure };

// The quiet NaN of single precision: no reading obtained.
constexpr float KMissingReading = std::numeric_limits<float>::quiet_NaN();
constexpr char KMissingName[] = "UNKNOWN";

inline bool IsMissing(float aReading) { return std::isnan(aReading); }

// A failure message, or the empty text when none was ever stored.
inline const char* MessageText(const char* aMessage) { return aMessage != nullptr ? aMessage : ""; }

#endif
