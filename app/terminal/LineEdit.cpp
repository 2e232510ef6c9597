#include "app/terminal/LineEdit.h"

#include "app/terminal/Text.h"

namespace terminal {

LineEdit::LineEdit(std::string_view initial) : chars_(decodeUtf8(initial)), cursor_(chars_.size()) {}

std::string LineEdit::text() const {
    return encodeUtf8(chars_);
}

void LineEdit::insert(char32_t c) {
    // A pasted newline or other control character has no place in a path typed on one line.
    if (c < 0x20 || c == 0x7F)
        return;
    chars_.insert(chars_.begin() + static_cast<std::ptrdiff_t>(cursor_), c);
    ++cursor_;
}

void LineEdit::backspace() {
    if (cursor_ == 0)
        return;
    --cursor_;
    chars_.erase(cursor_, 1);
}

void LineEdit::erase() {
    if (cursor_ < chars_.size())
        chars_.erase(cursor_, 1);
}

void LineEdit::left() {
    if (cursor_ > 0)
        --cursor_;
}

void LineEdit::right() {
    if (cursor_ < chars_.size())
        ++cursor_;
}

void LineEdit::home() {
    cursor_ = 0;
}

void LineEdit::end() {
    cursor_ = chars_.size();
}

void LineEdit::killToEnd() {
    chars_.erase(cursor_);
}

void LineEdit::killToStart() {
    chars_.erase(0, cursor_);
    cursor_ = 0;
}

void LineEdit::killWordBack() {
    std::size_t start = cursor_;
    while (start > 0 && chars_[start - 1] == U' ')
        --start;
    // A path's steps count as words, so one press takes back one folder name.
    if (start > 0 && chars_[start - 1] == U'/')
        --start;
    while (start > 0 && chars_[start - 1] != U' ' && chars_[start - 1] != U'/')
        --start;
    chars_.erase(start, cursor_ - start);
    cursor_ = start;
}

LineEdit::View LineEdit::view(int width) const {
    View v;
    if (width <= 0)
        return v;
    // The first character shown: as far left as still leaves the cursor inside the field.
    std::size_t first = cursor_;
    int before = 0;
    while (first > 0 && before + cellWidth(chars_[first - 1]) <= width - 1) {
        before += cellWidth(chars_[first - 1]);
        --first;
    }
    std::u32string shown;
    int used = 0;
    for (std::size_t i = first; i < chars_.size(); ++i) {
        const int w = cellWidth(chars_[i]);
        if (used + w > width)
            break;
        shown += chars_[i];
        used += w;
    }
    v.text = encodeUtf8(shown);
    v.cursorColumn = before;
    return v;
}

} // namespace terminal
