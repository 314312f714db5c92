#pragma once

#include "config/LogFile.h"

#include <string>

// The text of a UTF-16LE file (the log's encoding); empty when it cannot be read.
std::wstring ReadUtf16File(const std::string& path);

// Turns logging on for a test and reads back what was logged under <app>RssConfig/Log
// (all log files, in name order). Turns logging off again when it goes.
class LogCapture {
public:
    explicit LogCapture(const std::string& appDir) : appDir_(appDir) { loggingOn = 1; }
    ~LogCapture() { loggingOn = 0; }
    std::wstring Text() const;
    bool Contains(const std::wstring& text) const { return Count(text) > 0; }
    size_t Count(const std::wstring& text) const;

private:
    std::string appDir_;
};
