#include "catalogue/DialogRules.h"

#include "config/Config.h"
#include "platform/CodePage.h"

#include <curl/curl.h>
#include <cwctype>

bool DialogRules::IsFeedScheme(const std::string& scheme) {
    // The setting is read only for https, so plain addresses never touch the file.
    return scheme == "http" || (scheme == "https" && CConfig().ReadAllowHttps() == 1);
}

namespace {

// The lower-case scheme of an address that parses as scheme://server..., else empty.
std::string SchemeWithServer(const std::wstring& address) {
    CURLU* url = curl_url();
    if (!url)
        return std::string();
    const std::string text = platform::WideToUtf8(address);
    std::string result;
    if (curl_url_set(url, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK) {
        char* scheme = nullptr;
        char* host = nullptr;
        if (curl_url_get(url, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK && host && *host)
            result = platform::AsciiLower(scheme);
        curl_free(scheme);
        curl_free(host);
    }
    curl_url_cleanup(url);
    return result;
}

} // namespace

bool DialogRules::IsHttpUrl(const std::wstring& address) {
    const std::string scheme = SchemeWithServer(address);
    return !scheme.empty() && IsFeedScheme(scheme);
}

bool DialogRules::IsHttpUrl(const std::wstring& address, bool allowHttps) {
    const std::string scheme = SchemeWithServer(address);
    return scheme == "http" || (scheme == "https" && allowHttps);
}

bool DialogRules::IsBlank(wchar_t c) {
    return std::iswspace(static_cast<wint_t>(c)) || c == 0x00A0 || c == 0x3000;
}

bool DialogRules::IsControlCharacter(wchar_t c) {
    // Also the marks that turn the direction of the text around them, with which a name
    // could show as another ("rlo \u202E lmth.exe").
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0x200E ||
           c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool DialogRules::IsBlankOnly(const std::wstring& name) {
    for (wchar_t c : name)
        if (!IsBlank(c))
            return false;
    return true;
}

bool DialogRules::HasControlCharacter(const std::wstring& name) {
    for (wchar_t c : name)
        if (IsControlCharacter(c))
            return true;
    return false;
}

bool DialogRules::IsAllDigits(const std::wstring& text) {
    for (wchar_t c : text)
        if (c < L'0' || c > L'9')
            return false;
    return true;
}

uint32_t DialogRules::Number(const std::wstring& digits) {
    uint64_t value = 0;
    for (wchar_t c : digits) {
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        if (value > 0xFFFFFFFFull)
            return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(value);
}

RuleResult
DialogRules::AddChannel(const std::wstring& name, const std::wstring& description,
                        const std::wstring& address, bool verify,
                        const std::function<bool(const std::wstring&)>& isAddressUnique) {
    if (name.empty() || IsBlankOnly(name))
        return RuleResult::Fail(L"IDS_CHANNEL_NAME_COULD_NOT_NULL", 11500);
    if (HasControlCharacter(name))
        return RuleResult::Fail(L"IDS_NAME_HAS_CONTROL_CHARACTERS", 11500);
    if (name.size() > kMaxText)
        return RuleResult::Fail(L"IDS_CHANNEL_NAME_TOO_LONG", 11500);
    if (HasControlCharacter(description))
        return RuleResult::Fail(L"IDS_DESCRIPTION_HAS_CONTROL_CHARACTERS", 11503);
    if (description.size() > kMaxText)
        return RuleResult::Fail(L"IDS_CHANNEL_DESCRIPTION_TOOL_LONG", 11503);
    if (address.empty())
        return RuleResult::Fail(L"IDS_CHANNEL_ADDRESS_COULD_NOT_NULL", 11502);
    if (address.size() > kMaxText)
        return RuleResult::Fail(L"IDS_CHANNEL_ADDRESS_TOO_LONG", 11502);
    if (!isAddressUnique(address))
        return RuleResult::Fail(L"IDS_CHANNEL_IS_EXITS", 11502, false);
    if (verify) {
        const std::wstring tail = address.size() >= 4 ? address.substr(address.size() - 4) : L"";
        if (!IsHttpUrl(address) || (tail != L".xml" && tail != L".XML"))
            return RuleResult::Fail(L"IDS_CHANNEL_ADDRESS_INVALID", 11502);
    }
    return RuleResult::Pass();
}

RuleResult DialogRules::AddGroup(const std::wstring& name) {
    if (name.empty() || IsBlankOnly(name))
        return RuleResult::Fail(L"IDS_GROUP_NAME_COULD_NOT_NULL", 11505);
    if (HasControlCharacter(name))
        return RuleResult::Fail(L"IDS_NAME_HAS_CONTROL_CHARACTERS", 11505);
    if (name.size() > kMaxText)
        return RuleResult::Fail(L"IDS_GROUP_NAME_TOO_LONG", 11505);
    return RuleResult::Pass();
}

RuleResult DialogRules::Rename(const std::wstring& name) {
    if (name.empty() || IsBlankOnly(name))
        return RuleResult::Fail(L"IDS_NAME_COULD_NOT_NULL", 11506);
    if (HasControlCharacter(name))
        return RuleResult::Fail(L"IDS_NAME_HAS_CONTROL_CHARACTERS", 11506);
    if (name.size() > kMaxText)
        return RuleResult::Fail(L"IDS_NAME_TOO_LONG", 11506);
    return RuleResult::Pass();
}

RuleResult
DialogRules::Properties(const ChannelProperties& v, const std::wstring& openedUrl,
                        const std::function<bool(const std::wstring&)>& isAddressUnique) {
    if (v.name.empty() || IsBlankOnly(v.name))
        return RuleResult::Fail(L"IDS_CHANNEL_NAME_COULD_NOT_NULL", 11500);
    if (HasControlCharacter(v.name))
        return RuleResult::Fail(L"IDS_NAME_HAS_CONTROL_CHARACTERS", 11500);
    if (v.name.size() > kMaxText)
        return RuleResult::Fail(L"IDS_CHANNEL_NAME_TOO_LONG", 11500);
    if (HasControlCharacter(v.description))
        return RuleResult::Fail(L"IDS_DESCRIPTION_HAS_CONTROL_CHARACTERS", 11508);
    if (v.description.size() > kMaxText)
        return RuleResult::Fail(L"IDS_CHANNEL_DESCRIPTION_TOOL_LONG", 11508);
    if (v.url.empty())
        return RuleResult::Fail(L"IDS_CHANNEL_ADDRESS_COULD_NOT_NULL", 11502);
    if (v.url.size() > kMaxText)
        return RuleResult::Fail(L"IDS_CHANNEL_ADDRESS_TOO_LONG", 11502);
    if (!IsAllDigits(v.maxItemsText))
        return RuleResult::Fail(L"IDS_PLS_INPUT_VALID_NUMBER", 11510);
    const uint32_t maxItems = Number(v.maxItemsText);
    if (maxItems > kMaxItems)
        return RuleResult::Fail(L"IDS_LOCAL_RESERVE_MSG_CAN_NOT_OVER", 11510);
    if (maxItems < kMinItems)
        return RuleResult::Fail(L"IDS_LOCAL_RESERVE_MSG_CAN_NOT_LOWER_THAN", 11510);
    if (!IsAllDigits(v.intervalText))
        return RuleResult::Fail(L"IDS_PLS_INPUT_VALID_NUMBER", 11513);
    const uint32_t interval = Number(v.intervalText);
    if (interval > kMaxInterval)
        return RuleResult::Fail(L"IDS_UPDATE_TIME_COULD_NOT_OVER", 11513);
    if (interval < kMinInterval)
        return RuleResult::Fail(L"IDS_UPDATE_TIME_COULD_NOT_LOWER", 11513);
    if (v.url != openedUrl && !isAddressUnique(v.url))
        return RuleResult::Fail(L"IDS_CHANNEL_IS_EXITS", 11502, false);
    return RuleResult::Pass();
}
