#pragma once

#include <cstdint>
#include <string_view>

namespace kes_csv {

// Conversions of one field's bytes (read as Latin-1) that give exactly what QString's
// toUInt, toUShort, toInt and toFloat give for the same text: blanks around the number are
// allowed, anything else that does not parse yields 0 (toFloat: Qt's value and ok flag).
std::uint32_t toUInt(std::string_view text);
std::uint16_t toUShort(std::string_view text);
std::int32_t toInt(std::string_view text);
float toFloat(std::string_view text, bool* ok);

// Raw range (2 mm counts) of a range(m) text: parsed as float, divided by 0.002 in double,
// truncated toward zero and saturated to 0..65535 (NaN gives 0). Bad text gives 0.
std::uint16_t rangeFromText(std::string_view text);
std::uint16_t rangeFromMetres(float metres);

} // namespace kes_csv
