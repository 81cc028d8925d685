#include "typed.h"

#include <charconv>

#include "names.h"

namespace {

constexpr Named<ValueType> kTypes[] = {
    {"integer", ValueType::kInteger}, {"real", ValueType::kReal}, {"boolean", ValueType::kBoolean}};

// The shortest text of `value` that reads back as it (std::to_chars: no
// exponent where plain digits are as short, and the C locale's point).
std::string shortest(double value) {
    char text[64];
    std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace

bool type_named(const char* name, ValueType* type) {
    return look_up(kTypes, name, type);
}

const char* type_name(ValueType type) {
    return name_of(kTypes, type);
}

IniValueStatus read_typed(const IniSection* section, const char* key, ValueType type,
                          std::string* shown) {
    IniValueStatus status = INI_VALUE_MALFORMED;
    switch (type) {
        case ValueType::kInteger: {
            int64_t value = 0;
            status = ini_get_integer(section, key, &value);
            *shown = std::to_string(value);
            break;
        }
        case ValueType::kReal: {
            double value = 0;
            status = ini_get_real(section, key, &value);
            *shown = shortest(value);
            break;
        }
        case ValueType::kBoolean: {
            int value = 0;
            status = ini_get_boolean(section, key, &value);
            *shown = value ? "true" : "false";
            break;
        }
    }
    return status;
}
