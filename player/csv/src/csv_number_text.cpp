#include "csv_number_text.h"

#include <QString>

#include <array>
#include <cstring>

namespace kes_csv {
namespace {

// raw × 2 mm = integer metres and three decimals; the decimals keep no trailing zeros.
constexpr unsigned kMaxWholeMetres = 65535u * 2u / 1000u;

struct Piece {
    std::array<char, 4> bytes{};
    std::uint8_t size = 0;
};

struct Tables {
    std::array<Piece, kMaxWholeMetres + 1> whole;
    std::array<Piece, 1000> decimals; // ".234", ".5", ".07"; empty for 0
};

Tables buildTables()
{
    Tables t;
    for (unsigned m = 0; m < t.whole.size(); ++m) {
        const std::string s = std::to_string(m);
        std::memcpy(t.whole[m].bytes.data(), s.data(), s.size());
        t.whole[m].size = std::uint8_t(s.size());
    }
    for (unsigned d = 1; d < t.decimals.size(); ++d) {
        char text[4] = {'.', char('0' + d / 100), char('0' + d / 10 % 10), char('0' + d % 10)};
        std::uint8_t size = 4;
        while (text[size - 1] == '0')
            --size;
        std::memcpy(t.decimals[d].bytes.data(), text, size);
        t.decimals[d].size = size;
    }
    return t;
}

const Tables& tables()
{
    static const Tables t = buildTables();
    return t;
}

} // namespace

char* writeRangeText(char* out, std::uint16_t raw)
{
    const Tables& t = tables();
    const unsigned mm = unsigned(raw) * 2u;
    const Piece& whole = t.whole[mm / 1000];
    const Piece& decimals = t.decimals[mm % 1000];
    std::memcpy(out, whole.bytes.data(), whole.bytes.size());
    out += whole.size;
    std::memcpy(out, decimals.bytes.data(), decimals.bytes.size());
    return out + decimals.size;
}

std::string motorFrequencyText(float value)
{
    return QString::number(double(value), 'g', 6).toStdString();
}

} // namespace kes_csv
