#pragma once

#include <string>

namespace platform {

// Calls line(text) for every line of a text file's content, without its "\n" or "\r\n".
template <class Line> void ForEachLine(const std::string& content, Line line) {
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string text = content.substr(start, end - start);
        start = end + 1;
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        line(text);
    }
}

} // namespace platform
