#include "host/OptionsRules.h"

#include "config/Config.h"
#include "platform/CodePage.h"

RuleResult OptionsRules::Check(const OptionsValues& v) {
    if (!DialogRules::IsAllDigits(v.threadText))
        return RuleResult::Fail(L"IDS_OPTIONS_THREADS_INVALID", 11322);
    const uint32_t threads = DialogRules::Number(v.threadText);
    if (!DialogRules::IsAllDigits(v.linkTimeText))
        return RuleResult::Fail(L"IDS_OPTIONS_TIMEOUT_INVALID", 11530);
    const uint32_t linkTime = DialogRules::Number(v.linkTimeText);
    if (linkTime < 10 || linkTime > 35)
        return RuleResult::Fail(L"IDS_OPTIONS_TIMEOUT_INVALID", 11530);
    if (!DialogRules::IsAllDigits(v.linkNumText))
        return RuleResult::Fail(L"IDS_OPTIONS_ATTEMPTS_INVALID", 11529);
    const uint32_t linkNum = DialogRules::Number(v.linkNumText);
    if (linkNum < 1 || linkNum > 5)
        return RuleResult::Fail(L"IDS_OPTIONS_ATTEMPTS_INVALID", 11529);
    if (threads < 1 || threads > 30)
        return RuleResult::Fail(L"IDS_OPTIONS_THREADS_INVALID", 11322);
    if (!DialogRules::IsAllDigits(v.portText))
        return RuleResult::Fail(L"IDS_OPTIONS_PROXY_PORT_NOT_NUMBER", 11519);
    const uint32_t port = DialogRules::Number(v.portText);
    if (v.proxyState) {
        if (v.proxyAddress.empty())
            return RuleResult::Fail(L"IDS_OPTIONS_PROXY_ADDRESS_EMPTY", 11518);
        if (port < 1 || port > 65535)
            return RuleResult::Fail(L"IDS_OPTIONS_PROXY_PORT_INVALID", 11519);
    }
    // The text fields are saved whether the proxy is on or not.
    for (const RuleResult& text :
         {CheckProxyAddress(v.proxyAddress), CheckUserName(v.userName), CheckPassword(v.password)})
        if (!text.ok)
            return text;
    return RuleResult::Pass();
}

RuleResult OptionsRules::CheckProxyAddress(const std::wstring& address) {
    if (DialogRules::HasControlCharacter(address))
        return RuleResult::Fail(L"IDS_OPTIONS_PROXY_ADDRESS_CONTROL", 11518);
    if (address.size() > kMaxTextChars)
        return RuleResult::Fail(L"IDS_OPTIONS_PROXY_ADDRESS_TOO_LONG", 11518);
    return RuleResult::Pass();
}

RuleResult OptionsRules::CheckUserName(const std::wstring& name) {
    if (DialogRules::HasControlCharacter(name))
        return RuleResult::Fail(L"IDS_OPTIONS_USER_NAME_CONTROL", 11520);
    if (name.size() > kMaxTextChars)
        return RuleResult::Fail(L"IDS_OPTIONS_USER_NAME_TOO_LONG", 11520);
    return RuleResult::Pass();
}

RuleResult OptionsRules::CheckPassword(const std::wstring& password) {
    if (DialogRules::HasControlCharacter(password))
        return RuleResult::Fail(L"IDS_OPTIONS_PASSWORD_CONTROL", 11521);
    // The file keeps the password's native bytes in base64, up to a bound of its own.
    if (platform::WideToNative(password).size() > CConfig::kMaxPasswordBytes)
        return RuleResult::Fail(L"IDS_OPTIONS_PASSWORD_TOO_LONG", 11521);
    return RuleResult::Pass();
}
