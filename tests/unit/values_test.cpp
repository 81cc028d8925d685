// Values read as numbers and switches: the classic traps of strtol, atoi and
// strtod, one table for all three getters.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "inifile/ini.h"
#include "test_files.h"

namespace {

using test_files::DocumentPtr;

enum class Kind { kInteger, kReal, kBoolean };

struct ValueCase {
    Kind kind;
    std::string text;
    IniValueStatus status;
    double expected;  // the value read (integers and booleans fit exactly)
};

void PrintTo(const ValueCase& c, std::ostream* out) {
    *out << "'" << c.text << "'";
}

// Reads `text` as the value of a key, through a real lookup.
IniValueStatus read(Kind kind, const std::string& text, double* value) {
    DocumentPtr document(ini_new_document());
    IniSection* section = ini_new_section("s");
    ini_add_section(document.get(), section);
    ini_set(section, "k", text.c_str());
    IniValueStatus status = INI_VALUE_MALFORMED;
    if (kind == Kind::kInteger) {
        int64_t read = 7;
        status = ini_get_integer(section, "k", &read);
        *value = status == INI_VALUE_OK ? double(read) : double(read == 7 ? -1 : -2);
    } else if (kind == Kind::kReal) {
        status = ini_get_real(section, "k", value);
    } else {
        int read = 7;
        status = ini_get_boolean(section, "k", &read);
        *value = status == INI_VALUE_OK ? read : (read == 7 ? -1 : -2);
    }
    return status;
}

class ValueTest : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueTest, ReadsWholeOrNotAtAll) {
    const ValueCase& c = GetParam();
    double value = 0;
    EXPECT_EQ(read(c.kind, c.text, &value), c.status);
    if (c.status == INI_VALUE_OK) {
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(value));
        } else {
            EXPECT_EQ(value, c.expected);
        }
    } else if (c.kind != Kind::kReal) {
        EXPECT_EQ(value, -1) << "the value was written although it was not read";
    }
}

constexpr double kInfinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Traps, ValueTest,
    testing::Values(
        ValueCase{Kind::kInteger, "010", INI_VALUE_OK, 10},  // never octal
        ValueCase{Kind::kInteger, "0x1F", INI_VALUE_OK, 31},
        ValueCase{Kind::kInteger, "-0x10", INI_VALUE_OK, -16},
        ValueCase{Kind::kInteger, "+42", INI_VALUE_OK, 42},
        ValueCase{Kind::kInteger, "9223372036854775807", INI_VALUE_OK, 9223372036854775807.0},
        ValueCase{Kind::kInteger, "9223372036854775808", INI_VALUE_OUT_OF_RANGE, 0},
        ValueCase{Kind::kInteger, "-9223372036854775808", INI_VALUE_OK, -9223372036854775808.0},
        ValueCase{Kind::kInteger, "-9223372036854775809", INI_VALUE_OUT_OF_RANGE, 0},
        ValueCase{Kind::kInteger, "99999999999999999999999", INI_VALUE_OUT_OF_RANGE, 0},
        ValueCase{Kind::kInteger, "20000000000000000000", INI_VALUE_OUT_OF_RANGE, 0},
        ValueCase{Kind::kInteger, "80ms", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kInteger, "", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kInteger, "+", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kInteger, "0x", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kInteger, "1 000", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kInteger, "1.0", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kReal, "1e308", INI_VALUE_OK, 1e308},
        ValueCase{Kind::kReal, "1e309", INI_VALUE_OUT_OF_RANGE, 0},
        ValueCase{Kind::kReal, "-1e309", INI_VALUE_OUT_OF_RANGE, 0},
        ValueCase{Kind::kReal, "1,5", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kReal, ".5", INI_VALUE_OK, 0.5},
        ValueCase{Kind::kReal, "-2.5e-3", INI_VALUE_OK, -2.5e-3},
        ValueCase{Kind::kReal, "0x1.8p3", INI_VALUE_OK, 12},
        ValueCase{Kind::kReal, "inf", INI_VALUE_OK, kInfinity},
        ValueCase{Kind::kReal, "-Infinity", INI_VALUE_OK, -kInfinity},
        ValueCase{Kind::kReal, "nan", INI_VALUE_OK, std::nan("")},
        ValueCase{Kind::kReal, "1.5x", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kReal, "1e", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kReal, ".", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kReal, " 1", INI_VALUE_MALFORMED, 0},
        // Past the digits any double needs, the rest still rounds rightly.
        ValueCase{Kind::kReal, "0." + std::string(1000, '0') + "1e1001", INI_VALUE_OK, 1},
        ValueCase{Kind::kBoolean, "On", INI_VALUE_OK, 1},
        ValueCase{Kind::kBoolean, "TRUE", INI_VALUE_OK, 1},
        ValueCase{Kind::kBoolean, "no", INI_VALUE_OK, 0},
        ValueCase{Kind::kBoolean, "0", INI_VALUE_OK, 0},
        ValueCase{Kind::kBoolean, "Off", INI_VALUE_OK, 0},
        ValueCase{Kind::kBoolean, "2", INI_VALUE_MALFORMED, 0},
        ValueCase{Kind::kBoolean, "yess", INI_VALUE_MALFORMED, 0}));

TEST(ValueLookupTest, MissingKeyAndNullSection) {
    int64_t value = 7;
    EXPECT_EQ(ini_get_integer(nullptr, "k", &value), INI_VALUE_MISSING);
    IniSection* section = ini_new_section("s");
    EXPECT_EQ(ini_get_integer(section, "k", &value), INI_VALUE_MISSING);
    EXPECT_EQ(value, 7);
    ini_free_section(section);
}

// A locale with a decimal comma changes nothing: "1.5" is one and a half.
TEST(ValueLocaleTest, RealsIgnoreTheLocale) {
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252"};
    const char* set = nullptr;
    for (const char* name : names) {
        if ((set = std::setlocale(LC_NUMERIC, name)) != nullptr) {
            break;
        }
    }
    if (set == nullptr) {
        GTEST_SKIP() << "no German locale on this machine (locale -a lists what there is)";
    }
    double value = 0;
    EXPECT_EQ(read(Kind::kReal, "1.5", &value), INI_VALUE_OK);
    EXPECT_EQ(value, 1.5);
    EXPECT_EQ(read(Kind::kReal, "1,5", &value), INI_VALUE_MALFORMED);
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace
