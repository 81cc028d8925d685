// Values read as a type for `inifile get --type`, and printed normalised.
#ifndef COMMAND_TYPED_H_
#define COMMAND_TYPED_H_

#include <string>

#include "inifile/ini.h"

enum class ValueType { kInteger, kReal, kBoolean };

// The type named `name` ("integer", "real", "boolean"): false for any other.
bool type_named(const char* name, ValueType* type);

// The name of `type`, for messages.
const char* type_name(ValueType type);

// The first entry of `key` in `section` read as `type`; on INI_VALUE_OK,
// `shown` holds it normalised: decimal for an integer, the shortest text
// that reads back as the same double for a real, "true" or "false".
IniValueStatus read_typed(const IniSection* section, const char* key, ValueType type,
                          std::string* shown);

#endif  // COMMAND_TYPED_H_
