#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The outcome of a dialog check: the first failing rule's text key (empty when none), the
// control that gets the focus, and whether the dialog puts the values back into its
// controls.
struct RuleResult {
    bool ok = true;
    std::wstring key;
    int focus = 0;
    bool putBack = false;

    static RuleResult Pass() { return RuleResult(); }
    static RuleResult Fail(const std::wstring& key, int focus, bool putBack = true) {
        RuleResult r;
        r.ok = false;
        r.key = key;
        r.focus = focus;
        r.putBack = putBack;
        return r;
    }
};

// Values of the channel properties dialog.
struct ChannelProperties {
    std::wstring name;
    std::wstring description;
    std::wstring url;
    std::wstring maxItemsText;
    std::wstring intervalText;
};

// The validation rules of the channel dialogs, in their order, as plain functions.
class DialogRules {
public:
    static const size_t kMaxText = 260;
    // The ranges of a channel's item limit and update interval (minutes).
    static const uint32_t kMinItems = 10, kMaxItems = 1000;
    static const uint32_t kMinInterval = 10, kMaxInterval = 240;

    // The address parses as scheme://server[:port]/object and its scheme is http (or https
    // when the AllowHttps setting is 1).
    static bool IsHttpUrl(const std::wstring& address);
    // The same with the setting given, for checking many addresses with one read of it.
    static bool IsHttpUrl(const std::wstring& address, bool allowHttps);
    // "http", or "https" with AllowHttps=1 (lower-case scheme).
    static bool IsFeedScheme(const std::string& scheme);
    // A name that shows as something: not only blanks, and no line break or other control
    // character (which would break the node text, the log line and the list output).
    // Descriptions take the control-character rule too: an exported list cannot carry them.
    static bool IsBlankOnly(const std::wstring& name);
    static bool HasControlCharacter(const std::wstring& name);
    static bool IsBlank(wchar_t c);
    static bool IsControlCharacter(wchar_t c);
    // Every character is a decimal digit; the empty text passes.
    static bool IsAllDigits(const std::wstring& text);

    static RuleResult AddChannel(const std::wstring& name, const std::wstring& description,
                                 const std::wstring& address, bool verify,
                                 const std::function<bool(const std::wstring&)>& isAddressUnique);
    static RuleResult AddGroup(const std::wstring& name);
    static RuleResult Rename(const std::wstring& name);
    static RuleResult Properties(const ChannelProperties& values, const std::wstring& openedUrl,
                                 const std::function<bool(const std::wstring&)>& isAddressUnique);
    // Decimal value of a digits-only text (empty gives 0).
    static uint32_t Number(const std::wstring& digits);
};
