// SPDX-License-Identifier: GPL-3.0-or-later
// The readers' number conversion must give exactly what std::strtod gives:
// the same bits and the same end of the number, for any text.
#include "core/track/number_parse.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

int mismatches = 0;

void expect_as_strtod(const std::string& text)
{
    char* strtod_end = nullptr;
    double expected = std::strtod(text.c_str(), &strtod_end);
    const char* end = nullptr;
    double got = csv_parse_double(text.c_str(), &end);
    bool same = std::bit_cast<uint64_t>(got) == std::bit_cast<uint64_t>(expected) && end == strtod_end;
    if (!same && ++mismatches <= 20) {
        ADD_FAILURE() << "\"" << text << "\": got " << got << " (" << (end - text.c_str())
                      << " chars), strtod " << expected << " (" << (strtod_end - text.c_str()) << " chars)";
    }
}

TEST(number_conversion, awkward_inputs)
{
    const char* const cases[] = {
        "",
        "-",
        "+",
        ".",
        "-.",
        "+.",
        "e5",
        "-e5",
        ".e5",
        "0",
        "-0",
        "+0",
        "-0.0",
        "0.",
        "-0.",
        ".5",
        "-.5",
        "+.5",
        " 1.5",
        "\t-2",
        "\v3",
        "\f4",
        " +5e1",
        "0x1p3",
        "0X1P-2",
        "-0x10",
        "0x",
        "0x.8",
        "00x5",
        "1x5",
        "inf",
        "-INF",
        "Infinity",
        "+infinity",
        "infinit",
        "nan",
        "-nan",
        "NaN(123)",
        "nan(",
        "1e",
        "1e+",
        "1e-",
        "1E5",
        "1e+5",
        "1e-5",
        "1.e5",
        ".5e-3",
        "5.",
        "1.5abc",
        "1,5",
        "12.34.56",
        "1..5",
        "--1",
        "-+1",
        "0.0000000000000000000000001",
        "1e308",
        "1e309",
        "-1e309",
        "1.8e308",
        "1.7976931348623157e308",
        "1.7976931348623158e308",
        "2e-324",
        "3e-324",
        "4.9e-324",
        "2.4703282292062327e-324",
        "2.4703282292062328e-324",
        "2.2250738585072011e-308",
        "2.2250738585072012e-308",
        "9007199254740991",
        "9007199254740992",
        "9007199254740993",
        "9007199254740993.0",
        "18014398509481985",
        "1e22",
        "1e23",
        "-1e22",
        "1e-22",
        "1e-23",
        "9007199254740993e-22",
        "9007199254740992e22",
        "123456789012345678",
        "1234567890123456789",
        "12345678901234567890",
        "123456789012345678901234567890",
        "0000000000000000000000000001.5",
        "1.0000000000000000000000001",
        "0.1",
        "0.2",
        "0.3",
        "47.1234567",
        "-122.4194155",
        "8.7654321",
        "456.789",
        "-0.000",
        "1e0000000000000000000000001",
        "1e-0000000000000000000000001",
        "1e99999999999999999999",
        "1e-99999999999999999999",
        "0e99999999999",
        "0.000000000000000000000000000000e400",
        "3.4028234663852886e38",
        "1e39",
        "7.0e-1",
        "2.5e-05",
        "0.0500",
        "100.",
        "1.5\xff",
        "1.5 ",
        "-1.5Z",
        "31.400Z",
        "59.9999Z",
    };
    for (const char* text : cases)
        expect_as_strtod(text);
}

TEST(number_conversion, generated_decimal_texts)
{
    std::mt19937_64 rng(20190714);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint64_t>(n)); };
    const char tails[] = ",Zxe.+- a\t5";
    for (int i = 0; i < 400000; ++i) {
        std::string s;
        switch (pick(6)) {
        case 0:
            s += "-";
            break;
        case 1:
            s += "+";
            break;
        case 2:
            s += " ";
            break;
        default:
            break;
        }
        int int_digits = pick(4) == 0 ? pick(26) : pick(5);
        for (int k = 0; k < int_digits; ++k)
            s += static_cast<char>('0' + (k == 0 && pick(3) == 0 ? 0 : pick(10)));
        if (pick(4) != 0) {
            s += '.';
            int frac_digits = pick(4) == 0 ? pick(26) : pick(10);
            for (int k = 0; k < frac_digits; ++k)
                s += static_cast<char>('0' + pick(10));
        }
        if (pick(3) == 0) {
            s += pick(2) ? 'e' : 'E';
            int sign = pick(3);
            if (sign == 1)
                s += '-';
            else if (sign == 2)
                s += '+';
            int exp_digits = pick(4);
            int limit = pick(5) == 0 ? 400 : 30;
            if (exp_digits > 0)
                s += std::to_string(pick(limit));
        }
        if (pick(3) == 0)
            s += tails[pick(static_cast<int>(sizeof tails) - 1)];
        expect_as_strtod(s);
    }
}

TEST(number_conversion, printed_doubles)
{
    std::mt19937_64 rng(47123);
    char buf[512];
    const char* const formats[]
        = { "%.17g", "%.15g", "%.6f", "%.3f", "%.7f", "%e", "%a", "%.0f", "%g", "%.20e" };
    for (int i = 0; i < 200000; ++i) {
        double value;
        switch (i % 4) {
        case 0:
            value = std::bit_cast<double>(rng());
            break; // any bits, subnormals, inf, nan
        case 1:
            value = std::ldexp(static_cast<double>(rng() >> 11), -40);
            break; // ordinary magnitudes
        case 2:
            value = static_cast<double>(static_cast<int64_t>(rng() % 2000000000)) / 1e7 - 100;
            break;
        default:
            value = std::uniform_real_distribution<double>(-1000, 1000)(rng);
            break;
        }
        for (const char* f : formats) {
            std::snprintf(buf, sizeof buf, f, value);
            expect_as_strtod(buf);
        }
        std::snprintf(buf, sizeof buf, "%.*g", static_cast<int>(i % 25) + 1, value);
        expect_as_strtod(buf);
    }
}

} // namespace
