// The names that --dialect, --format and --type take, each table looked up
// the one way here.
#ifndef COMMAND_NAMES_H_
#define COMMAND_NAMES_H_

#include <cstddef>
#include <cstring>

template <typename Value>
struct Named {
    const char* name;
    Value value;
};

// The value `table` gives `name`, in `*value`: false for a name it lacks.
template <typename Value, size_t kCount>
bool look_up(const Named<Value> (&table)[kCount], const char* name, Value* value) {
    for (const Named<Value>& known : table) {
        if (strcmp(name, known.name) == 0) {
            *value = known.value;
            return true;
        }
    }
    return false;
}

// The name `table` gives `value`, or "?".
template <typename Value, size_t kCount>
const char* name_of(const Named<Value> (&table)[kCount], Value value) {
    for (const Named<Value>& known : table) {
        if (known.value == value) {
            return known.name;
        }
    }
    return "?";
}

#endif  // COMMAND_NAMES_H_
