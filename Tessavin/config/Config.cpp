#include "config/Config.h"

#include "config/Base64.h"
#include "config/DateTime.h"
#include "config/Folders.h"
#include "config/LogFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/ProfileFile.h"

#include <climits>
#include <cwchar>
#include <cwctype>
#include <vector>

std::wstring settingsPath;
// Defined here, after settingsPath, because its constructor reads the settings.
CLogFile theLog;

namespace {

const wchar_t* const kSection = L"Common";
const size_t kMaxEncodedPasswordChars = 520;

std::wstring ReadRaw(const wchar_t* key, const wchar_t* readDefault) {
    return platform::ProfileFile::ReadString(settingsPath, kSection, key, readDefault);
}

bool WriteRaw(const wchar_t* key, const std::wstring& value) {
    return platform::ProfileFile::WriteString(settingsPath, kSection, key, value);
}

// "%d" scanning: leading blanks, an optional sign, digits. False when no number starts.
bool ScanInt(const std::wstring& text, int& value) {
    const wchar_t* p = text.c_str();
    while (std::iswspace(static_cast<wint_t>(*p)))
        ++p;
    wchar_t* end = nullptr;
    long long v = std::wcstoll(p, &end, 10);
    if (end == p)
        return false;
    if (v > INT_MAX)
        v = INT_MAX;
    if (v < INT_MIN)
        v = INT_MIN;
    value = static_cast<int>(v);
    return true;
}

} // namespace

std::wstring LogFileNameFor(const std::wstring& date, int number) {
    return platform::FormatW(L"%s_%d%s", date.c_str(), number, L".log");
}

int CConfig::ReadInt(const wchar_t* key, const wchar_t* readDefault, int& member, int line) {
    try {
        ScanInt(ReadRaw(key, readDefault), member);
        return member;
    } catch (...) {
        LogPrintf(L"Exception in %s, %d", L"Config", line);
        return 0;
    }
}

int CConfig::WriteInt(const wchar_t* key, int value, int& member, int line) {
    try {
        if (!WriteRaw(key, platform::FormatW(L"%d", value)))
            return 0;
        member = value;
        return 1;
    } catch (...) {
        LogPrintf(L"Exception in %s, %d", L"Config", line);
        return 0;
    }
}

std::wstring CConfig::ReadText(const wchar_t* key, const wchar_t* readDefault, std::wstring& member,
                               int line) {
    try {
        member = ReadRaw(key, readDefault);
        return member;
    } catch (...) {
        LogPrintf(L"Exception in %s, %d", L"Config", line);
        return std::wstring();
    }
}

int CConfig::WriteText(const wchar_t* key, const std::wstring& value, std::wstring& member,
                       int line) {
    try {
        if (!WriteRaw(key, value))
            return 0;
        member = value;
        return 1;
    } catch (...) {
        LogPrintf(L"Exception in %s, %d", L"Config", line);
        return 0;
    }
}

int CConfig::ReadUpdateState() {
    return ReadInt(L"UpdateState", L"0", UpdateState, __LINE__);
}
int CConfig::WriteUpdateState(int v) {
    return WriteInt(L"UpdateState", v, UpdateState, __LINE__);
}
int CConfig::ReadLinkNum() {
    return ReadInt(L"LinkNum", L"1", LinkNum, __LINE__);
}
int CConfig::WriteLinkNum(int v) {
    return WriteInt(L"LinkNum", v, LinkNum, __LINE__);
}
int CConfig::ReadLinkTime() {
    return ReadInt(L"LinkTime", L"10", LinkTime, __LINE__);
}
int CConfig::WriteLinkTime(int v) {
    return WriteInt(L"LinkTime", v, LinkTime, __LINE__);
}
int CConfig::ReadThreadNum() {
    return ReadInt(L"ThreadNum", L"5", ThreadNum, __LINE__);
}
int CConfig::WriteThreadNum(int v) {
    return WriteInt(L"ThreadNum", v, ThreadNum, __LINE__);
}
int CConfig::ReadProxyState() {
    return ReadInt(L"ProxyState", L"0", ProxyState, __LINE__);
}
int CConfig::WriteProxyState(int v) {
    return WriteInt(L"ProxyState", v, ProxyState, __LINE__);
}
int CConfig::ReadProxyPort() {
    return ReadInt(L"ProxyPort", L"0", ProxyPort, __LINE__);
}
int CConfig::WriteProxyPort(int v) {
    return WriteInt(L"ProxyPort", v, ProxyPort, __LINE__);
}
int CConfig::ReadAllowHttps() {
    return ReadInt(L"AllowHttps", L"0", AllowHttps, __LINE__);
}
int CConfig::WriteAllowHttps(int v) {
    return WriteInt(L"AllowHttps", v, AllowHttps, __LINE__);
}
int CConfig::ReadNotifyNewItems() {
    return ReadInt(L"NotifyNewItems", L"1", NotifyNewItems, __LINE__);
}
int CConfig::WriteNotifyNewItems(int v) {
    return WriteInt(L"NotifyNewItems", v, NotifyNewItems, __LINE__);
}
int CConfig::ReadLogSize() {
    return ReadInt(L"LogSize", L"2", LogSize, __LINE__);
}
int CConfig::WriteLogState(int v) {
    return WriteInt(L"LogState", v, LogState, __LINE__);
}

std::wstring CConfig::ReadProxyAddress() {
    return ReadText(L"ProxyAddress", L"", ProxyAddress, __LINE__);
}
int CConfig::WriteProxyAddress(const std::wstring& v) {
    return WriteText(L"ProxyAddress", v, ProxyAddress, __LINE__);
}
std::wstring CConfig::ReadUserName() {
    return ReadText(L"UserName", L"", UserName, __LINE__);
}
int CConfig::WriteUserName(const std::wstring& v) {
    return WriteText(L"UserName", v, UserName, __LINE__);
}
int CConfig::WriteLogName(const std::wstring& v) {
    return WriteText(L"LogName", v, LogName, __LINE__);
}

std::wstring CConfig::ReadLang() {
    std::wstring lang;
    return ReadText(L"Lang", L"0", lang, __LINE__);
}

std::wstring CConfig::ReadUserPassword() {
    try {
        // The encoding of a password of up to 387 bytes is up to 516 characters: read it
        // whole, as a 255-character read would cut it and make it decode to nothing.
        std::string encoded = platform::WideToNative(platform::ProfileFile::ReadString(
            settingsPath, kSection, L"UserPassword", L"", kMaxEncodedPasswordChars));
        UserPassword = platform::NativeToWide(Base64Decode(encoded));
        return UserPassword;
    } catch (...) {
        LogPrintf(L"Exception in %s, %d", L"Config", __LINE__);
        return std::wstring();
    }
}

int CConfig::WriteUserPassword(const std::wstring& password) {
    try {
        std::string native = platform::WideToNative(password);
        if (native.size() > kMaxPasswordBytes)
            return 0;
        if (!WriteRaw(L"UserPassword", platform::Utf8ToWide(Base64Encode(native))))
            return 0;
        UserPassword = password;
        return 1;
    } catch (...) {
        LogPrintf(L"Exception in %s, %d", L"Config", __LINE__);
        return 0;
    }
}

std::wstring CConfig::NextLogName() {
    try {
        std::wstring today = FormatNow(L"%Y%m%d");
        ReadText(L"LogName", L"", LogName, __LINE__);
        int number = 0;
        if (!today.empty() && LogName.find(today) != std::wstring::npos) {
            // The number stands after the eight date digits and the underscore, up to ".log".
            int stored = 0;
            if (LogName.size() > 9)
                ScanInt(LogName.substr(9), stored);
            number = stored + 1;
        }
        LogName = LogFileNameFor(today, number);
        return LogName;
    } catch (...) {
        LogPrintf(L"Exception in %s, %d", L"Config", __LINE__);
        return std::wstring();
    }
}

int CConfig::WriteMissingDefaults() {
    struct Default {
        const wchar_t* key;
        std::wstring value;
    };
    // clang-format off
    const std::vector<Default> defaults = {
        {L"LogHotKey", L""},
        {L"LogSize", L"2"},
        {L"LogState", L"0"},
        {L"LinkNum", L"1"},
        {L"LinkTime", L"10"},
        {L"ProxyState", L"0"},
        {L"ProxyAddress", L""},
        {L"ProxyPort", L"0"},
        {L"UserName", L""},
        {L"UserPassword", L""},
        {L"Lang", L"0"},
        {L"ThreadNum", L"5"},
        {L"UpdateState", L"0"},
        {L"AllowHttps", L"0"},
        {L"NotifyNewItems", L"1"},
        {L"LogName", LogFileNameFor(FormatNow(L"%Y%m%d"), 0)},
    };
    // clang-format on
    for (const Default& d : defaults) {
        if (!ReadRaw(d.key, L"").empty())
            continue;
        bool ok = std::wstring(d.key) == L"UserPassword" ? WriteUserPassword(L"") != 0
                                                         : WriteRaw(d.key, d.value);
        if (!ok)
            return 0;
    }
    std::wstring stored;
    if (!ReadText(L"LogName", L"", stored, __LINE__).empty()) {
        if (!WriteLogName(NextLogName()))
            return 0;
    }
    return 1;
}

int CConfig::Initialize(const std::wstring& settingsFileName) {
    PrepareDataFolders();
    settingsPath = GetAppDirectory() + L"rss/RssUserCfg/" + settingsFileName;
    return WriteMissingDefaults();
}

int CConfig::PrepareDataFolders() {
    using namespace platform;
    std::wstring base = GetAppDirectory() + L"userdata";
    CreateFolder(base);
    std::wstring styleFolder = GetPluginDirectory(kPluginName) + L"Data/Data" + L"/HtmlStyle";
    base += L"/rss";
    CreateFolder(base);
    CreateFolder(base + L"/RssUserCfg");
    CreateFolder(base + L"/ReadRecord");
    CreateFolder(base + L"/ReadRecord" + L"/Common");
    CreateFolder(base + L"/ReadRecord" + L"/Data");
    CreateFolder(base + L"/ReadRecord/Data/HtmlStyle");

    std::vector<FolderEntry> entries;
    if (ListFolder(styleFolder, entries)) {
        for (const FolderEntry& entry : entries) {
            if (entry.name == L"." || entry.name == L".." || entry.isFolder)
                continue;
            CopyFile(styleFolder + L"/" + entry.name,
                     base + L"/ReadRecord/Data/HtmlStyle/" + entry.name, false);
        }
    }

    std::wstring channelList = base + L"/RssUserCfg/" + L"userdefinechannel.opml";
    if (copyUserChannelList && !PathExists(channelList))
        CopyFile(GetPluginDirectory(kPluginName) + L"userdefinechannel.opml", channelList, false);
    return 1;
}
