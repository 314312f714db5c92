#pragma once

#include "catalogue/DialogRules.h"

#include <string>

// Values of the options dialog as typed.
struct OptionsValues {
    std::wstring threadText;
    std::wstring linkTimeText;
    std::wstring linkNumText;
    std::wstring portText;
    std::wstring proxyAddress;
    bool proxyState = false;
    std::wstring userName{};
    std::wstring password{};
};

// The checks of the options dialog in their order; a failure names the text key of its
// reason and the control that gets the focus.
class OptionsRules {
public:
    // What the settings file gives back of a text value.
    static const size_t kMaxTextChars = 255;

    static RuleResult Check(const OptionsValues& values);
    // The text settings one by one: no line break or other control character (the settings
    // file would lose the value), no more than the file keeps.
    static RuleResult CheckProxyAddress(const std::wstring& address);
    static RuleResult CheckUserName(const std::wstring& name);
    static RuleResult CheckPassword(const std::wstring& password);
};
