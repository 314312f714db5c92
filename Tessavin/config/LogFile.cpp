#include "config/LogFile.h"

#include "config/Config.h"
#include "config/DateTime.h"
#include "config/Folders.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/ResourceModule.h"
#include "platform/ScopedLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::atomic<int> loggingOn{0};

namespace {

const wchar_t* const kLineEnd = L"\r\n";

std::string ToUtf16LeBytes(const std::wstring& text) {
    std::u16string units = platform::WideToUtf16(text);
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

bool WriteAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n <= 0)
            return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

// theLog itself is defined beside settingsPath (Config.cpp): its constructor reads the
// settings, so it must be constructed after that string.

CLogFile::CLogFile() {
    // The settings path is not known yet at module load, so this reads the default 2 MiB.
    CConfig config;
    sizeLimit_ = static_cast<uint32_t>(config.ReadLogSize()) << 20;
}

CLogFile::~CLogFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::wstring CLogFile::FileName() {
    platform::ScopedLock guard(lock_);
    return fileName_;
}

void CLogFile::WriteText(const std::wstring& text) {
    WriteAll(fd_, ToUtf16LeBytes(text));
}

void CLogFile::WriteLine(const wchar_t* format, va_list args) {
    if (loggingOn.load(std::memory_order_relaxed) == 0)
        return;
    platform::ScopedLock guard(lock_);
    std::wstring message = platform::VFormatW(format, args);
    std::u16string units = platform::WideToUtf16(message);
    if (units.size() > kMaxMessageChars)
        message = platform::Utf16ToWide(units.substr(0, kMaxMessageChars));
    // The first line opens the first file, named by the next log name, with its banner.
    if (state_ == FileState::kNone && OpenFile())
        WriteHeader();
    if (state_ != FileState::kOpen)
        return;
    WriteText(FormatNow(L"[%Y-%m-%d %H:%M:%S] "));
    WriteText(message);
    WriteText(kLineEnd);
    // A report logged while changing files goes to the old file without another check.
    if (!reportingRotation_)
        CheckRotation();
}

bool CLogFile::OpenFile() {
    std::wstring app = GetAppDirectory();
    logFolder_ = app + L"RssConfig" + L"/Log";
    platform::CreateFolder(app + L"RssConfig");
    platform::CreateFolder(logFolder_);
    if (fileName_.empty()) {
        CConfig config;
        fileName_ = platform::FormatW(L"%s/%s", logFolder_.c_str(), config.NextLogName().c_str());
    }
    int fd = ::open(platform::WideToUtf8(fileName_).c_str(),
                    O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        state_ = FileState::kInvalid;
        return false;
    }
    fd_ = fd;
    state_ = FileState::kOpen;
    return true;
}

void CLogFile::WriteHeader() {
    if (loggingOn.load(std::memory_order_relaxed) == 0 || state_ != FileState::kOpen)
        return;
    std::wstring a, b;
    if (const platform::ResourceModule* resources = platform::ResourceModule::Active()) {
        resources->LoadString(kBannerA, a, 199);
        resources->LoadString(kBannerB, b, 199);
    }
    WriteText(a + kLineEnd + kLineEnd + b + kLineEnd);
}

void CLogFile::CheckRotation() {
    if (state_ != FileState::kOpen)
        return;
    struct stat st;
    if (::fstat(fd_, &st) != 0 || static_cast<uint64_t>(st.st_size) < sizeLimit_)
        return;
    std::wstring today = FormatNow(L"%Y%m%d");
    CConfig config;
    fileName_.clear();
    fileName_ = config.NextLogName();
    if (!today.empty() && fileName_.find(today) != std::wstring::npos) {
        int number = 0;
        if (fileName_.size() > 9)
            number = static_cast<int>(std::wcstol(fileName_.c_str() + 9, nullptr, 10));
        sequence_ = number + 1;
    } else {
        sequence_ = 0;
    }
    std::wstring newName = LogFileNameFor(today, sequence_);
    if (!config.WriteLogName(newName)) {
        reportingRotation_ = true;
        LogPrintf(L"Failed to save log file name");
        reportingRotation_ = false;
    }
    fileName_ = platform::FormatW(L"%s/%s", logFolder_.c_str(), newName.c_str());
    ::close(fd_);
    fd_ = -1;
    state_ = FileState::kNone;
    if (OpenFile())
        WriteHeader();
}

void LogPrintf(const wchar_t* format, ...) {
    if (loggingOn.load(std::memory_order_relaxed) == 0)
        return;
    va_list args;
    va_start(args, format);
    theLog.WriteLine(format, args);
    va_end(args);
}
