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
};

// The checks of the options dialog in their order; a failure names only the control that
// gets the focus (the dialog shows no message).
class OptionsRules {
public:
    static RuleResult Check(const OptionsValues& values);
};
