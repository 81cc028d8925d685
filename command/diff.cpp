// A unified diff of two texts, line by line. Edits change a few lines of a
// file: the lines both texts begin and end with are set aside first, and
// the rest is matched by a longest common subsequence where it is small,
// else shown as removed and added whole (a valid diff, if not the least).
#include "diff.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

// Lines of context around each change, as diff -u has them.
constexpr size_t kContext = 3;

// The largest middle (lines before times lines after) matched line by line.
constexpr size_t kLargestMatch = 4 * 1000 * 1000;

constexpr char kNoNewline[] = "\\ No newline at end of file\n";

// The lines of `text`, each with its line feed where it has one.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

// One step of the edit script: a line kept, removed or added.
struct Step {
    char kind;      // ' ', '-' or '+'
    size_t before;  // its line in the old text (kept, removed), or where it goes
    size_t after;   // its line in the new text (kept, added)
};

// The steps that turn lines [b0, b1) of `before` into [a0, a1) of `after`.
void match_middle(const std::vector<std::string>& before, const std::vector<std::string>& after,
                  size_t b0, size_t b1, size_t a0, size_t a1, std::vector<Step>* steps) {
    size_t n = b1 - b0;
    size_t m = a1 - a0;
    if (n == 0 || m == 0 || n * m > kLargestMatch) {
        for (size_t i = b0; i < b1; ++i) {
            steps->push_back({'-', i, a0});
        }
        for (size_t j = a0; j < a1; ++j) {
            steps->push_back({'+', b1, j});
        }
        return;
    }
    // lengths[i][j]: the longest common subsequence of the lines from i and j on.
    std::vector<std::vector<size_t>> lengths(n + 1, std::vector<size_t>(m + 1, 0));
    for (size_t i = n; i-- > 0;) {
        for (size_t j = m; j-- > 0;) {
            lengths[i][j] = before[b0 + i] == after[a0 + j]
                                ? lengths[i + 1][j + 1] + 1
                                : std::max(lengths[i + 1][j], lengths[i][j + 1]);
        }
    }
    size_t i = 0;
    size_t j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && before[b0 + i] == after[a0 + j]) {
            steps->push_back({' ', b0 + i++, a0 + j++});
        } else if (j < m && (i == n || lengths[i][j + 1] >= lengths[i + 1][j])) {
            steps->push_back({'+', b0 + i, a0 + j++});
        } else {
            steps->push_back({'-', b0 + i++, a0 + j});
        }
    }
}

// Appends step `step` as a line of a hunk.
void append_line(std::string* out, const Step& step, const std::vector<std::string>& before,
                 const std::vector<std::string>& after) {
    const std::string& line = step.kind == '+' ? after[step.after] : before[step.before];
    *out += step.kind;
    *out += line;
    if (line.empty() || line.back() != '\n') {
        *out += '\n';
        *out += kNoNewline;
    }
}

// "start,count" of a hunk's range, as diff writes it (start 0 for none).
std::string range(size_t first, size_t count) {
    return std::to_string(count == 0 ? first : first + 1) + "," + std::to_string(count);
}

}  // namespace

std::string unified_diff(const std::string& name, const std::string& before_text,
                         const std::string& after_text) {
    if (before_text == after_text) {
        return "";
    }
    std::vector<std::string> before = lines_of(before_text);
    std::vector<std::string> after = lines_of(after_text);
    size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix]) {
        ++prefix;
    }
    size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix]) {
        ++suffix;
    }
    std::vector<Step> steps;
    for (size_t i = 0; i < prefix; ++i) {
        steps.push_back({' ', i, i});
    }
    match_middle(before, after, prefix, before.size() - suffix, prefix, after.size() - suffix,
                 &steps);
    for (size_t k = suffix; k > 0; --k) {
        steps.push_back({' ', before.size() - k, after.size() - k});
    }

    std::string out = "--- " + name + "\n+++ " + name + "\n";
    size_t at = 0;
    while (at < steps.size()) {
        while (at < steps.size() && steps[at].kind == ' ') {
            ++at;
        }
        if (at == steps.size()) {
            break;
        }
        // A hunk: context before, changes joined while the kept lines
        // between them are few enough, context after.
        size_t start = at >= kContext ? at - kContext : 0;
        size_t end = at;
        while (end < steps.size()) {
            size_t kept = 0;
            while (end + kept < steps.size() && steps[end + kept].kind == ' ') {
                ++kept;
            }
            if (end + kept == steps.size() || kept > 2 * kContext) {
                end += std::min(kept, kContext);
                break;
            }
            end += kept;
            while (end < steps.size() && steps[end].kind != ' ') {
                ++end;
            }
        }
        size_t old_count = 0;
        size_t new_count = 0;
        for (size_t k = start; k < end; ++k) {
            old_count += steps[k].kind != '+' ? 1 : 0;
            new_count += steps[k].kind != '-' ? 1 : 0;
        }
        out += "@@ -" + range(steps[start].before, old_count) + " +" +
               range(steps[start].after, new_count) + " @@\n";
        for (size_t k = start; k < end; ++k) {
            append_line(&out, steps[k], before, after);
        }
        at = end;
    }
    return out;
}
