// Values read as numbers and switches. Each getter takes the value whole
// or not at all: what it does not read is MALFORMED, never a prefix of it,
// and no result depends on the process's locale.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "internal.h"

namespace {

// Significant digits a real keeps: more than the 767 that the exact
// decimal form of any double needs. Those after them only tell whether the
// value lies above what the kept ones say, which one digit more records.
constexpr int kKeptDigits = 800;

// Room for the kept digits, a sign, a prefix, that one digit and an exponent.
constexpr size_t kRealBytes = kKeptDigits + 40;

// An exponent is counted no further: beyond it, the value is 0 or infinite
// whatever the digits, and the arithmetic on it cannot overflow.
constexpr int64_t kExponentLimit = 1000000000;

// Words of a boolean, either way, as configparser reads them.
struct BooleanWord {
    const char* word;
    int value;
};
constexpr BooleanWord kBooleanWords[] = {{"1", 1}, {"yes", 1}, {"true", 1},  {"on", 1},
                                         {"0", 0}, {"no", 0},  {"false", 0}, {"off", 0}};

bool is_digit(char byte, bool hex) {
    return (byte >= '0' && byte <= '9') ||
           (hex && ((byte >= 'a' && byte <= 'f') || (byte >= 'A' && byte <= 'F')));
}

int digit_value(char byte) {
    return byte <= '9' ? byte - '0' : (byte | 0x20) - 'a' + 10;
}

// Whether the `size` bytes at `text` spell `word`, letter case aside.
bool spells(const char* text, const char* word, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        char lower = text[i] >= 'A' && text[i] <= 'Z' ? char(text[i] | 0x20) : text[i];
        if (lower != word[i]) {
            return false;
        }
    }
    return true;
}

// The sign at `*text`, moved past: true for a minus.
bool read_sign(const char** text) {
    bool negative = **text == '-';
    if (**text == '-' || **text == '+') {
        ++*text;
    }
    return negative;
}

// Whether `*text` starts with "0x" or "0X", moved past it.
bool read_hex_prefix(const char** text) {
    if ((*text)[0] == '0' && ((*text)[1] == 'x' || (*text)[1] == 'X')) {
        *text += 2;
        return true;
    }
    return false;
}

// Whether `text` is an infinity or a NaN as strtod reads them: "inf",
// "infinity", "nan" or "nan(...)" of letters, digits and '_', any case.
bool is_special_real(const char* text) {
    read_sign(&text);
    size_t size = strlen(text);
    if ((size == 3 && spells(text, "inf", 3)) || (size == 8 && spells(text, "infinity", 8)) ||
        (size == 3 && spells(text, "nan", 3))) {
        return true;
    }
    if (size < 5 || !spells(text, "nan(", 4) || text[size - 1] != ')') {
        return false;
    }
    for (size_t i = 4; i + 1 < size; ++i) {
        if (!is_digit(text[i], true) && !((text[i] | 0x20) >= 'a' && (text[i] | 0x20) <= 'z') &&
            text[i] != '_') {
            return false;
        }
    }
    return true;
}

// The digits of a real in strtod's syntax (the C locale's), decimal or
// hexadecimal, rewritten in `out` without a radix character, the one part
// of that syntax that follows the locale: the significant digits as one
// integer, and the exponent moved by the digits after the point. False when
// `text` is not in that syntax.
bool canonical_real(const char* text, char* out) {
    bool negative = read_sign(&text);
    bool hex = read_hex_prefix(&text);
    int step = hex ? 4 : 1;  // a digit's worth of exponent
    char* write = out;
    *write++ = negative ? '-' : '+';
    if (hex) {
        *write++ = '0';
        *write++ = 'x';
    }
    int64_t shift = 0;  // what the kept digits' places take from the exponent
    int digits = 0;     // seen, leading zeros included
    int kept = 0;
    bool beyond = false;  // a non-zero digit after the kept ones
    bool fraction = false;
    for (;; ++text) {
        if (*text == '.' && !fraction) {
            fraction = true;
            continue;
        }
        if (!is_digit(*text, hex)) {
            break;
        }
        ++digits;
        if (kept == 0 && *text == '0') {
            shift += fraction ? step : 0;  // a leading zero holds a place only after the point
        } else if (kept < kKeptDigits) {
            *write++ = *text;
            ++kept;
            shift += fraction ? step : 0;
        } else {
            beyond = beyond || *text != '0';
            shift -= fraction ? 0 : step;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (kept == 0) {
        *write++ = '0';
    }
    if (beyond) {
        *write++ = '1';
        shift += step;
    }
    int64_t exponent = 0;
    if ((*text | 0x20) == (hex ? 'p' : 'e')) {
        ++text;
        bool negative_exponent = read_sign(&text);
        if (!is_digit(*text, false)) {
            return false;
        }
        for (; is_digit(*text, false); ++text) {
            exponent = exponent < kExponentLimit ? exponent * 10 + (*text - '0') : exponent;
        }
        exponent = negative_exponent ? -exponent : exponent;
    }
    if (*text != '\0') {
        return false;
    }
    snprintf(write, kRealBytes - size_t(write - out), "%c%lld", hex ? 'p' : 'e',
             static_cast<long long>(exponent - shift));
    return true;
}

const char* value_of(const IniSection* section, const char* key) {
    return section == nullptr || key == nullptr ? nullptr : ini_get(section, key);
}

}  // namespace

IniValueStatus ini_get_integer(const IniSection* section, const char* key, int64_t* value) {
    const char* text = value_of(section, key);
    if (text == nullptr) {
        return INI_VALUE_MISSING;
    }
    bool negative = read_sign(&text);
    bool hex = read_hex_prefix(&text);
    uint64_t base = hex ? 16 : 10;
    if (!is_digit(*text, hex)) {
        return INI_VALUE_MALFORMED;
    }
    uint64_t magnitude = 0;
    bool over = false;
    for (; is_digit(*text, hex); ++text) {
        uint64_t digit = uint64_t(digit_value(*text));
        over = over || magnitude > (UINT64_MAX - digit) / base;
        magnitude = over ? magnitude : magnitude * base + digit;
    }
    if (*text != '\0') {
        return INI_VALUE_MALFORMED;
    }
    uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    if (over || magnitude > limit) {
        return INI_VALUE_OUT_OF_RANGE;
    }
    // The most negative value has no positive twin to negate.
    *value = !negative ? int64_t(magnitude) : magnitude == limit ? INT64_MIN : -int64_t(magnitude);
    return INI_VALUE_OK;
}

IniValueStatus ini_get_real(const IniSection* section, const char* key, double* value) {
    const char* text = value_of(section, key);
    if (text == nullptr) {
        return INI_VALUE_MISSING;
    }
    if (is_special_real(text)) {
        *value = strtod(text, nullptr);
        return INI_VALUE_OK;
    }
    char canonical[kRealBytes];
    if (!canonical_real(text, canonical)) {
        return INI_VALUE_MALFORMED;
    }
    double read = strtod(canonical, nullptr);
    if (std::isinf(read)) {
        return INI_VALUE_OUT_OF_RANGE;
    }
    *value = read;
    return INI_VALUE_OK;
}

IniValueStatus ini_get_boolean(const IniSection* section, const char* key, int* value) {
    const char* text = value_of(section, key);
    if (text == nullptr) {
        return INI_VALUE_MISSING;
    }
    size_t size = strlen(text);
    for (const BooleanWord& known : kBooleanWords) {
        if (size == strlen(known.word) && spells(text, known.word, size)) {
            *value = known.value;
            return INI_VALUE_OK;
        }
    }
    return INI_VALUE_MALFORMED;
}

const char* ini_value_status_text(IniValueStatus status) {
    int kind;
    memcpy(&kind, &status, sizeof kind);
    switch (kind) {
        case INI_VALUE_OK:
            return "read";
        case INI_VALUE_MISSING:
            return "no such entry";
        case INI_VALUE_MALFORMED:
            return "not a value of that type";
        case INI_VALUE_OUT_OF_RANGE:
            return "out of the type's range";
    }
    return "unknown value status";
}
