// What an edit changed, as a unified diff that `patch` applies.
#ifndef COMMAND_DIFF_H_
#define COMMAND_DIFF_H_

#include <string>

// The unified diff of `before` and `after`, both the text of the file
// `name`, with three lines of context: hunks of "-", "+" and " " lines after
// "--- name" and "+++ name", a last line without its line feed marked as
// diff marks it. Empty where the two are the same.
std::string unified_diff(const std::string& name, const std::string& before,
                         const std::string& after);

#endif  // COMMAND_DIFF_H_
