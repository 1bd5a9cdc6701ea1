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

// The same raw range for a text of at most four integer and three decimal digits
// ("d[ddd][.[ddd]]" or ".d[dd]"), read from the front of [p, end); returns where the digits
// stop, or null when the text does not start that way (the caller then takes the full route).
const char* scanThousandths(const char* p, const char* end, std::uint16_t* raw);

} // namespace kes_csv
