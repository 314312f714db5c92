#pragma once

#include "platform/CriticalSection.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <string>

// Logging switch: 0 (off) when the module is loaded; flipped by the UI only.
extern std::atomic<int> loggingOn;

// The diagnostic log: UTF-16LE lines "[%Y-%m-%d %H:%M:%S] message\r\n" in dated files
// under <app>RssConfig/Log, changing to a new file once a file reaches the size limit.
class CLogFile {
public:
    static const unsigned kBannerA = 11338;
    static const unsigned kBannerB = 11339;
    static const size_t kMaxMessageChars = 1023;

    CLogFile();
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    void WriteLine(const wchar_t* format, va_list args);
    bool OpenFile();
    void WriteHeader();
    void CheckRotation();

    uint32_t SizeLimit() const { return sizeLimit_; }
    std::wstring FileName();

private:
    enum class FileState { kNone, kOpen, kInvalid };

    void WriteText(const std::wstring& text);

    uint32_t sizeLimit_ = 0;
    int sequence_ = 0;
    std::wstring fileName_;
    FileState state_ = FileState::kNone;
    int fd_ = -1;
    platform::CriticalSection lock_;
    std::wstring logFolder_;
    bool reportingRotation_ = false;
};

extern CLogFile theLog;

// printf-style logging (wide format, %s takes a wide string) from any thread.
void LogPrintf(const wchar_t* format, ...);
