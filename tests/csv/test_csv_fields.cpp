#include <kes_csv/csv_fields.h>

#include <gtest/gtest.h>

#include <QString>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Texts around every branch of Qt's number parsing: blanks, signs, limits, float shapes.
// clang-format off
const std::vector<std::string> kTricky = {
    "", " ", "0", "00", " 0", "0 ", "-0", "+0", "+", "-", "1", "+5", "-5", "--5", "+-5", "1 2", "\t7\n", ("\x85" "7"),
    ("\xA0" "7\xA0"), ("\x1c" "7"), "7\x0b", std::string("7\0", 2), "65535", "65536", "255", "256", "300",
    "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967295", "4294967296",
    "000000000000000000000000000000012", "99999999999999999999999", "0x10", "1e5", "1E5", "1e+5", "1e-5",
    "1e", "1e+", "e5", ".", ".5", "5.", "-.5", "+.5", ".e5", "0.e5", "5.e5", "1.2.3", "1e5.5", "1.234",
    "131.07", "0.002", "nan", "NaN", "+nan", "-nan", "inf", "+INF", "-inf", "infinity", "1e39", "-1e39",
    "3.4028235e38", "3.4028234e38", "1e-46", "1e-40", "1e-320", "1e400", "-1e400", "1e-400", "0e99999",
    "1e99999999999", "1e-99999999999", "0.000000000000000000000000000000000000000000001e40",
    "123456789012345678901234567890", "1.00000000000000000000000000000000000000000001", "1;", "5%", "1,5",
    "\xc3\xa9", "12a", "a12", "1_0", "0.0000001"};
// clang-format on

std::vector<std::string> randomTexts(size_t count)
{
    static const char alphabet[] = "0123456789+-.eE nNaAiIfFx\t\xA0\x85;";
    std::mt19937 rng(7);
    std::vector<std::string> out;
    for (size_t i = 0; i < count; ++i) {
        std::string s(rng() % 12, ' ');
        for (char& c : s)
            c = alphabet[rng() % (sizeof alphabet - 1)];
        out.push_back(s);
    }
    return out;
}

uint32_t bits(float f)
{
    uint32_t b = 0;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

void expectLikeQt(const std::string& text)
{
    const QString q = QString::fromLatin1(text.data(), int(text.size()));
    SCOPED_TRACE("text [" + text + "]");
    EXPECT_EQ(kes_csv::toUInt(text), q.toUInt());
    EXPECT_EQ(kes_csv::toUShort(text), q.toUShort());
    EXPECT_EQ(kes_csv::toInt(text), q.toInt());
    bool ok = false, qt_ok = false;
    const float f = kes_csv::toFloat(text, &ok);
    const float qt_f = q.toFloat(&qt_ok);
    EXPECT_EQ(ok, qt_ok);
    EXPECT_TRUE(bits(f) == bits(qt_f) || (std::isnan(f) && std::isnan(qt_f))) << f << " vs " << qt_f;
    EXPECT_EQ(kes_csv::rangeFromText(text), qt_ok ? kes_csv::rangeFromMetres(qt_f) : 0);
}

TEST(CsvFields, ConvertLikeQtDoes)
{
    for (const auto& t : kTricky)
        expectLikeQt(t);
    for (const auto& t : randomTexts(20000))
        expectLikeQt(t);
}

TEST(CsvFields, RangeOfEveryThreeDecimalTextIsQts)
{
    for (int k = 0; k < 140000; ++k) {
        const std::string text = std::to_string(k / 1000) + "." + std::to_string(1000 + k % 1000).substr(1);
        const std::string spelt =
            k % 1000 ? text.substr(0, text.find_last_not_of('0') + 1) : text.substr(0, text.size() - 3);
        for (const std::string& t : {text, spelt})
            ASSERT_EQ(kes_csv::rangeFromText(t), kes_csv::rangeFromMetres(QString::fromStdString(t).toFloat())) << t;
    }
}

} // namespace
