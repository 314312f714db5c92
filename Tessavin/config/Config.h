#pragma once

#include <string>

// Path of the settings file; set once by the start-up routine, before any worker runs.
extern std::wstring settingsPath;

// The settings store: one read and one write per key, straight to the settings file
// (section "Common"), no cache. Created where a setting is needed and discarded at once.
// A read stores the value in the member and returns it; a write stores the new value in
// the member only when the file write succeeded and returns non-zero on success.
class CConfig {
public:
    int LogSize = 0;
    int LogState = 0;
    int UpdateState = 0;
    int LinkNum = 0;
    int LinkTime = 0;
    int ThreadNum = 0;
    int ProxyState = 0;
    int ProxyPort = 0;
    int AllowHttps = 0;
    int NotifyNewItems = 1;
    std::wstring ProxyAddress;
    std::wstring UserName;
    std::wstring UserPassword;
    std::wstring LogName;
    // The start-up routine copies the plug-in's channel list into the settings folder (the
    // host's [rss] userchanneldefine is "1").
    bool copyUserChannelList = false;

    static const size_t kMaxPasswordBytes = 387; // its base64 text fits 520 bytes

    int ReadUpdateState();
    int WriteUpdateState(int value);
    int ReadLinkNum();
    int WriteLinkNum(int value);
    int ReadLinkTime();
    int WriteLinkTime(int value);
    int ReadThreadNum();
    int WriteThreadNum(int value);
    int ReadProxyState();
    int WriteProxyState(int value);
    int ReadProxyPort();
    int WriteProxyPort(int value);
    // 1: https addresses are feeds too (downloads verify the server's certificate).
    int ReadAllowHttps();
    int WriteAllowHttps(int value);
    // A desktop notification after an update run that brought new items (1, the default).
    int ReadNotifyNewItems();
    int WriteNotifyNewItems(int value);
    std::wstring ReadProxyAddress();
    int WriteProxyAddress(const std::wstring& value);
    std::wstring ReadUserName();
    int WriteUserName(const std::wstring& value);
    // The clear password; the file holds the base64 text of its native bytes.
    std::wstring ReadUserPassword();
    // Refuses (returns 0, stores nothing) a password over kMaxPasswordBytes native bytes.
    int WriteUserPassword(const std::wstring& password);
    std::wstring ReadLang();
    int ReadLogSize();
    int WriteLogState(int value);
    int WriteLogName(const std::wstring& value);

    // The log file name to use after the stored one ("%s_%d%s": date, number, ".log").
    std::wstring NextLogName();
    // Writes the start-up default of every key that is missing or empty, then advances
    // the stored log name. 1 when complete, 0 when a write failed.
    int WriteMissingDefaults();
    // The start-up routine: data folders, settings path, missing settings.
    int Initialize(const std::wstring& settingsFileName);
    // Creates the data folder tree and copies the start-up files; always 1.
    int PrepareDataFolders();

private:
    int ReadInt(const wchar_t* key, const wchar_t* readDefault, int& member, int line);
    int WriteInt(const wchar_t* key, int value, int& member, int line);
    std::wstring ReadText(const wchar_t* key, const wchar_t* readDefault, std::wstring& member,
                          int line);
    int WriteText(const wchar_t* key, const std::wstring& value, std::wstring& member, int line);
};

// Today's log file name with the given number: "%Y%m%d" + "_" + number + ".log".
std::wstring LogFileNameFor(const std::wstring& date, int number);
