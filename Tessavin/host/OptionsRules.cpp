#include "host/OptionsRules.h"

RuleResult OptionsRules::Check(const OptionsValues& v) {
    auto fail = [](int focus) { return RuleResult::Fail(L"", focus); };
    if (!DialogRules::IsAllDigits(v.threadText))
        return fail(11322);
    const uint32_t threads = DialogRules::Number(v.threadText);
    if (!DialogRules::IsAllDigits(v.linkTimeText))
        return fail(11530);
    const uint32_t linkTime = DialogRules::Number(v.linkTimeText);
    if (linkTime < 10 || linkTime > 35)
        return fail(11530);
    if (!DialogRules::IsAllDigits(v.linkNumText))
        return fail(11529);
    const uint32_t linkNum = DialogRules::Number(v.linkNumText);
    if (linkNum < 1 || linkNum > 5)
        return fail(11529);
    if (threads < 1 || threads > 30)
        return fail(11322);
    if (!DialogRules::IsAllDigits(v.portText))
        return fail(11519);
    const uint32_t port = DialogRules::Number(v.portText);
    if (v.proxyState) {
        if (v.proxyAddress.empty())
            return fail(11518);
        if (port < 1 || port > 65535)
            return fail(11519);
    }
    return RuleResult::Pass();
}
