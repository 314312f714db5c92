#pragma once

#include <string>

// Turns logging on for a test and reads back what was logged under <app>RssConfig/Log
// (all log files, decoded from UTF-16LE). Turns logging off again when it goes.
class LogCapture {
public:
    explicit LogCapture(const std::string& appDir);
    ~LogCapture();
    std::wstring Text() const;
    bool Contains(const std::wstring& text) const {
        return Text().find(text) != std::wstring::npos;
    }
    size_t Count(const std::wstring& text) const;

private:
    std::string appDir_;
};
