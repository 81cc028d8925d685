// Values that hold lists ("Utility;TextEditor;", "a, b"): an item added or
// removed, the other items and the separators as the value has them.
#include <cstdlib>
#include <cstring>

#include "internal.h"
#include "text_buffer.h"

namespace {

// One item of a list and what follows it up to the next item: its
// separator and the blanks after that ("" after the last item).
struct Piece {
    const char* item;
    size_t item_size;
    const char* joint;
    size_t joint_size;
};

bool is_blank(char byte) {
    return byte == ' ' || byte == '\t';
}

}  // namespace

// Whether the `size` bytes at `item`, blanks around them left out, are `wanted`.
static bool item_is(const char* item, size_t size, const char* wanted) {
    while (size > 0 && is_blank(item[size - 1])) {
        --size;
    }
    while (size > 0 && is_blank(*item)) {
        ++item;
        --size;
    }
    return size > 0 && strlen(wanted) == size && memcmp(item, wanted, size) == 0;
}

// The pieces of `value`, in a block the caller releases; `*count` of them.
static Piece* pieces_of(const char* value, char separator, size_t* count) {
    size_t pieces = 1;
    for (const char* at = value; *at != '\0'; ++at) {
        pieces += *at == separator ? 1 : 0;
    }
    Piece* made = static_cast<Piece*>(ini_allocate(sizeof(Piece) * pieces));
    *count = 0;
    const char* at = value;
    for (;;) {
        const char* end = strchr(at, separator);
        Piece& piece = made[(*count)++];
        piece.item = at;
        piece.item_size = end == nullptr ? strlen(at) : size_t(end - at);
        if (end == nullptr) {
            piece.joint = at + piece.item_size;
            piece.joint_size = 0;
            return made;
        }
        const char* next = end + 1;
        while (is_blank(*next)) {
            ++next;
        }
        piece.joint = end;
        piece.joint_size = size_t(next - end);
        at = next;
    }
}

char* ini_list_changed(const char* value, const char* item, char separator, bool add) {
    size_t count = 0;
    Piece* pieces = pieces_of(value, separator, &count);
    bool found = false;
    for (size_t i = 0; i < count && !found; ++i) {
        found = item_is(pieces[i].item, pieces[i].item_size, item);
    }
    if (found == add || item[0] == '\0') {
        free(pieces);
        return nullptr;  // unchanged
    }
    TextBuffer out;
    text_init(&out);
    if (add) {
        // After the last item, or before the empty one a trailing separator
        // leaves; joined as the first two items are, or by the separator
        // alone (", " for a comma).
        bool trailing = count > 1 && pieces[count - 1].item_size == 0;
        size_t last = trailing ? count - 2 : count - 1;
        bool empty = count == 1 && pieces[0].item_size == 0;
        char comma[] = {separator, ' ', '\0'};
        const char* joint = count > 1 && pieces[0].joint_size > 0 ? pieces[0].joint : comma;
        size_t joint_size = count > 1 && pieces[0].joint_size > 0 ? pieces[0].joint_size
                            : separator == ','                    ? 2
                                                                  : 1;
        for (size_t i = 0; i <= last && !empty; ++i) {
            text_append_run(&out, pieces[i].item, pieces[i].item_size);
            text_append_run(&out, i < last ? pieces[i].joint : joint,
                            i < last ? pieces[i].joint_size : joint_size);
        }
        text_append_string(&out, item);
        if (trailing) {
            text_append(&out, separator);
        }
    } else {
        // The kept items with what follows them; a removed last item takes
        // the separator before it along.
        for (size_t i = 0; i < count; ++i) {
            if (item_is(pieces[i].item, pieces[i].item_size, item)) {
                continue;
            }
            text_append_run(&out, pieces[i].item, pieces[i].item_size);
            size_t next = i + 1;
            while (next < count && item_is(pieces[next].item, pieces[next].item_size, item)) {
                ++next;
            }
            const Piece& after = next < count ? pieces[i] : pieces[count - 1];
            text_append_run(&out, after.joint, after.joint_size);
        }
    }
    text_append(&out, '\0');
    free(pieces);
    return out.data;
}
