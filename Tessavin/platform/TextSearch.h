#pragma once

#include <cstddef>
#include <string_view>

// Substring search for the feed and page readers, which look for short markers in long
// texts many thousand times per update. Candidates are found by comparing the marker's
// first and last bytes at sixteen places at once; only those are compared whole.
class TextSearch {
public:
    // The first occurrence of needle lying whole inside [from, limit) of text, or npos.
    // An empty needle is found at from (when from <= limit <= text's size).
    static size_t Find(std::string_view text, std::string_view needle, size_t from, size_t limit);
    static size_t Find(std::string_view text, std::string_view needle, size_t from = 0) {
        return Find(text, needle, from, text.size());
    }
};
