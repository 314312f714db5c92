#include "host/HostServices.h"

#include "config/Folders.h"
#include "platform/DynamicLibrary.h"

#include <cwchar>
#include <vector>

const char* const kLocaleServiceId = "140B81C0-F62B-4ee0-9897-BDC3F8F03B18";
const char* const kConfigFileServiceId = "188F177A-8389-4e4f-A99B-C3FFF2CBB620";
const wchar_t* const kModuleTextsName = L"QuorvelUIPlugin";
const wchar_t* const kButtonTextsName = L"BrindlePlugin";

std::wstring GetLocaleText(const std::wstring& key, const std::wstring& moduleName,
                           IPluginContainer* container) {
    try {
        auto* service =
            QueryService<ILocaleMgrService>(container, kLocaleServiceId, kLocaleServiceCode);
        if (!service)
            return std::wstring();
        const wchar_t* text = service->GetText(key.c_str(), moduleName.c_str(), 0);
        std::wstring result = text ? std::wstring(text) : std::wstring();
        service->Release();
        return result;
    } catch (...) {
        return std::wstring();
    }
}

bool HostWantsUserChannelList(IPluginContainer* container) {
    return ReadHostConfigValue(L"rss", L"userchanneldefine", container) == L"1";
}

std::wstring ReadHostConfigValue(const std::wstring& section, const std::wstring& key,
                                 IPluginContainer* container) {
    try {
        auto* service = QueryService<IConfigFileService>(container, kConfigFileServiceId,
                                                         kConfigFileServiceCode);
        if (!service)
            return std::wstring();
        std::wstring result;
        int needed = service->GetValue(section.c_str(), key.c_str(), nullptr, 0, 0);
        if (needed > 0) {
            std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1, L'\0');
            if (service->GetValue(section.c_str(), key.c_str(), buffer.data(), needed, 0) != 0)
                result = buffer.data();
        }
        service->Release();
        return result;
    } catch (...) {
        return std::wstring();
    }
}

int ShowMessageBox(IPluginContainer* container, const std::wstring& text,
                   const std::wstring& caption, unsigned style) {
    int result = kIdCancel;
    std::wstring folder = GetAppDirectory();
    if (folder.empty())
        return result;
    MessageBoxParams params;
    MessageBoxParams* paramsToPass = nullptr;
    if (container) {
        static const wchar_t* const kButtonKeys[MessageBoxParams::kCaptionCount] = {
            L"IDS_OK",      L"IDS_CANCEL",    L"IDS_ABORT",    L"IDS_RETRY",    L"IDS_IGNORE",
            L"IDS_YES",     L"IDS_NO",        L"IDS_HELP",     L"IDS_CONTINUE", L"IDS_SKIP",
            L"IDS_SKIPALL", L"IDS_IGNOREALL", L"IDS_YESTOALL", L"IDS_NOTOALL",  L"IDS_REPORT"};
        params.options = MessageBoxParams::kUserDefinedButtons;
        auto* service =
            QueryService<ILocaleMgrService>(container, kLocaleServiceId, kLocaleServiceCode);
        if (service) {
            for (int i = 0; i < MessageBoxParams::kCaptionCount; ++i) {
                const wchar_t* caption = service->GetText(kButtonKeys[i], kButtonTextsName, 0);
                if (caption)
                    std::wcsncpy(params.captions[i], caption, MessageBoxParams::kCaptionChars - 1);
            }
            service->Release();
        }
        paramsToPass = &params;
    }
    platform::DynamicLibrary library;
    if (!library.Load(folder + L"libXMessageBox.so"))
        return result;
    auto entry = reinterpret_cast<MessageBoxEntry>(library.Symbol("XMessageBox"));
    if (entry)
        result = entry(nullptr, text.c_str(), caption.c_str(), style, paramsToPass);
    return result;
}
