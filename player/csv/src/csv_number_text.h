#pragma once

#include <cstdint>
#include <string>

namespace kes_csv {

// Room writeRangeText needs: its longest text ("100.002").
inline constexpr std::size_t kMaxRangeTextBytes = 7;

// Writes raw × 0.002 metres as Qt's "g" format with 6 significant digits gives it (all raw
// values lie below 1000000 and none is below 0.0001 except 0, so never in exponent form);
// returns the end.
char* writeRangeText(char* out, std::uint16_t raw);

// A motor frequency as QString::number(double(value), 'g', 6) writes it.
std::string motorFrequencyText(float value);

} // namespace kes_csv
