#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Where the head of a web page ends, read from the text alone, so that its <link> and <base>
// elements can be parsed without building a tree of the whole (hostile) page. The head ends
// at </head>, at <body> or any other element a head cannot hold, or after kMaxTags tags;
// comments and the text of <script>, <style> and <title> are passed over, and attribute
// values are read with their quotes. A comment, tag or text that does not end, or a head
// longer than kMaxBytes, ends it where it starts. One pass over the text, whatever it holds.
class PageHead {
public:
    static constexpr size_t kMaxTags = 1000;
    static constexpr size_t kMaxBytes = 256u << 10;

    // The length of the page's start that holds its head.
    static size_t Length(const std::string& page);
    // Whether a link's rel value holds the token (space-separated, ASCII case ignored;
    // token in lower case).
    static bool HasRelToken(std::string_view rel, std::string_view token);
};
