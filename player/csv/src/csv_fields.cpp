#include "kes_csv/csv_fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace kes_csv {
namespace {

// QChar::isSpace over Latin-1.
bool isBlank(unsigned char c)
{
    return (c >= 9 && c <= 13) || c == ' ' || c == 0x85 || c == 0xA0;
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view t)
{
    while (!t.empty() && isBlank(static_cast<unsigned char>(t.front())))
        t.remove_prefix(1);
    while (!t.empty() && isBlank(static_cast<unsigned char>(t.back())))
        t.remove_suffix(1);
    return t;
}

// One sign and decimal digits; unsigned conversions refuse any minus sign, even "-0".
bool parseInteger(std::string_view t, bool is_signed, std::uint64_t max, std::int64_t* value)
{
    t = trimmed(t);
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty() || (negative && !is_signed))
        return false;
    const std::uint64_t limit = max + (negative ? 1 : 0);
    std::uint64_t v = 0;
    for (char c : t) {
        if (!isDigit(c))
            return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > limit)
            return false;
    }
    *value = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    return true;
}

bool equalsNoCase(std::string_view t, std::string_view lower)
{
    return t.size() == lower.size() && std::equal(t.begin(), t.end(), lower.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b;
           });
}

struct Decimal {
    bool negative = false;
    bool nonzero = false;
    long magnitude = 0; // decimal order of the first non-zero digit, enough to tell over- from underflow
};

std::size_t skipDigits(std::string_view t, std::size_t i)
{
    while (i < t.size() && isDigit(t[i]))
        ++i;
    return i;
}

// [+-]? (digits [. digits*] | . digits) [(e|E) [+-]? digits], the whole text.
bool scanDecimal(std::string_view t, Decimal* d)
{
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        d->negative = t[i++] == '-';
    const std::size_t int_begin = i;
    i = skipDigits(t, i);
    const std::size_t int_end = i;
    std::size_t frac_begin = i, frac_end = i;
    if (i < t.size() && t[i] == '.') {
        frac_begin = i + 1;
        frac_end = i = skipDigits(t, frac_begin);
    }
    if (int_end == int_begin && frac_end == frac_begin)
        return false;
    long exponent = 0;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        const bool negative_exponent = i < t.size() && t[i] == '-';
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        if (i == t.size() || !isDigit(t[i]))
            return false;
        for (; i < t.size() && isDigit(t[i]); ++i)
            exponent = std::min(exponent * 10 + (t[i] - '0'), 1000000000L);
        if (negative_exponent)
            exponent = -exponent;
    }
    if (i != t.size())
        return false;
    const std::string_view int_part = t.substr(int_begin, int_end - int_begin);
    const std::string_view frac_part = t.substr(frac_begin, frac_end - frac_begin);
    const std::size_t int_lead = std::min(int_part.find_first_not_of('0'), int_part.size());
    const std::size_t frac_lead = std::min(frac_part.find_first_not_of('0'), frac_part.size());
    d->nonzero = int_lead < int_part.size() || frac_lead < frac_part.size();
    const long order = int_lead < int_part.size() ? long(int_part.size() - int_lead) : -long(frac_lead);
    d->magnitude = order + exponent;
    return true;
}

double toDouble(std::string_view t, bool* ok)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    *ok = true;
    if (equalsNoCase(t, "nan"))
        return std::numeric_limits<double>::quiet_NaN();
    if (equalsNoCase(t, "inf") || equalsNoCase(t, "+inf"))
        return inf;
    if (equalsNoCase(t, "-inf"))
        return -inf;
    Decimal d;
    if (!scanDecimal(t, &d)) {
        *ok = false;
        return 0.0;
    }
    if (!d.nonzero)
        return d.negative ? -0.0 : 0.0;
    if (t.front() == '+')
        t.remove_prefix(1);
    double v = 0.0;
    const auto result = std::from_chars(t.data(), t.data() + t.size(), v);
    if (result.ec == std::errc() && result.ptr == t.data() + t.size())
        return v;
    *ok = false; // out of double's range: Qt keeps the infinity of an overflow
    return d.magnitude > 0 ? (d.negative ? -inf : inf) : 0.0;
}

float narrowLikeQt(double d, bool* ok)
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    if (std::isinf(d))
        return static_cast<float>(d);
    if (std::fabs(d) > std::numeric_limits<float>::max()) {
        *ok = false;
        return d < 0 ? -inf : inf;
    }
    if (d != 0 && static_cast<float>(d) == 0) {
        *ok = false;
        return 0.0f;
    }
    return static_cast<float>(d);
}

// Raw ranges of k / 1000 m for texts with at most three decimals: the same value gives the
// same double whatever the spelling ("1.5", "1.500"), so one entry serves them all.
constexpr std::uint32_t kThousandthsTableSize = 131072;

const std::vector<std::uint16_t>& thousandthsTable()
{
    static const std::vector<std::uint16_t> table = [] {
        std::vector<std::uint16_t> t(kThousandthsTableSize);
        for (std::uint32_t k = 0; k < kThousandthsTableSize; ++k)
            t[k] = rangeFromMetres(static_cast<float>(double(k) / 1000.0));
        return t;
    }();
    return table;
}

} // namespace

const char* scanThousandths(const char* p, const char* end, std::uint16_t* raw)
{
    const char* const begin = p;
    std::uint32_t whole = 0, fraction = 0;
    for (; p != end && p - begin < 4 && isDigit(*p); ++p)
        whole = whole * 10 + std::uint32_t(*p - '0');
    std::size_t digits = std::size_t(p - begin);
    if (p != end && *p == '.') {
        std::uint32_t scale = 1000;
        for (++p; p != end && scale > 1 && isDigit(*p); ++p, ++digits) {
            scale /= 10;
            fraction += std::uint32_t(*p - '0') * scale;
        }
    }
    const std::uint32_t k = whole * 1000 + fraction;
    if (digits == 0 || k >= kThousandthsTableSize)
        return nullptr;
    *raw = thousandthsTable()[k];
    return p;
}

std::uint32_t toUInt(std::string_view text)
{
    std::int64_t v = 0;
    return parseInteger(text, false, std::numeric_limits<std::uint32_t>::max(), &v) ? std::uint32_t(v) : 0;
}

std::uint16_t toUShort(std::string_view text)
{
    std::int64_t v = 0;
    return parseInteger(text, false, std::numeric_limits<std::uint16_t>::max(), &v) ? std::uint16_t(v) : 0;
}

std::int32_t toInt(std::string_view text)
{
    std::int64_t v = 0;
    return parseInteger(text, true, std::numeric_limits<std::int32_t>::max(), &v) ? std::int32_t(v) : 0;
}

float toFloat(std::string_view text, bool* ok)
{
    const std::string_view t = trimmed(text);
    if (t.empty()) {
        *ok = false;
        return 0.0f;
    }
    const double d = toDouble(t, ok);
    return narrowLikeQt(d, ok);
}

std::uint16_t rangeFromMetres(float metres)
{
    const double raw = static_cast<double>(metres) / 0.002;
    if (!(raw >= 1.0))
        return 0;
    if (raw >= 65535.0)
        return 65535;
    return static_cast<std::uint16_t>(raw);
}

std::uint16_t rangeFromText(std::string_view text)
{
    std::uint16_t raw = 0;
    const char* end = text.data() + text.size();
    const char* stop = scanThousandths(text.data(), end, &raw);
    if (stop && stop == end)
        return raw;
    bool ok = false;
    const float metres = toFloat(text, &ok);
    return ok ? rangeFromMetres(metres) : 0;
}

} // namespace kes_csv
