#include "OptionsCommand.h"

#include "catalogue/DialogRules.h"
#include "config/Config.h"
#include "host/OptionsRules.h"
#include "platform/CodePage.h"

namespace {

const char kHidden[] = "***";

std::wstring Wide(const std::string& text) {
    return platform::Utf8ToWide(text);
}

// The settings as the options dialog would show them.
OptionsValues StoredValues() {
    CConfig config;
    OptionsValues v;
    v.threadText = std::to_wstring(config.ReadThreadNum());
    v.linkTimeText = std::to_wstring(config.ReadLinkTime());
    v.linkNumText = std::to_wstring(config.ReadLinkNum());
    v.portText = std::to_wstring(config.ReadProxyPort());
    v.proxyAddress = config.ReadProxyAddress();
    v.proxyState = config.ReadProxyState() != 0;
    return v;
}

// The reason for a rule that failed, by its text key.
std::string Reason(const RuleResult& rule, const OptionsValues& v) {
    const std::wstring& key = rule.key;
    if (key == L"IDS_OPTIONS_THREADS_INVALID")
        return "ThreadNum must be a whole number from 1 to 30";
    if (key == L"IDS_OPTIONS_TIMEOUT_INVALID")
        return "LinkTime must be a whole number of seconds from 10 to 35";
    if (key == L"IDS_OPTIONS_ATTEMPTS_INVALID")
        return "LinkNum must be a whole number from 1 to 5";
    if (key == L"IDS_OPTIONS_PROXY_ADDRESS_EMPTY")
        return "ProxyAddress must be set while ProxyState is 1";
    if (key == L"IDS_OPTIONS_PROXY_PORT_INVALID" || key == L"IDS_OPTIONS_PROXY_PORT_NOT_NUMBER")
        return v.proxyState ? "ProxyPort must be a whole number from 1 to 65535 while ProxyState "
                              "is 1"
                            : "ProxyPort must be a whole number";
    if (key == L"IDS_OPTIONS_PROXY_ADDRESS_CONTROL")
        return "ProxyAddress must not hold control characters";
    if (key == L"IDS_OPTIONS_PROXY_ADDRESS_TOO_LONG")
        return "ProxyAddress is longer than 255 characters";
    if (key == L"IDS_OPTIONS_USER_NAME_CONTROL")
        return "UserName must not hold control characters";
    if (key == L"IDS_OPTIONS_USER_NAME_TOO_LONG")
        return "UserName is longer than 255 characters";
    if (key == L"IDS_OPTIONS_PASSWORD_CONTROL")
        return "UserPassword must not hold control characters";
    if (key == L"IDS_OPTIONS_PASSWORD_TOO_LONG")
        return "UserPassword is longer than 387 bytes";
    return "refused";
}

} // namespace

const std::vector<std::string>& OptionsCommand::Keys() {
    static const std::vector<std::string> keys = {
        "UpdateState",  "ThreadNum", "ProxyState", "ProxyAddress", "ProxyPort",     "UserName",
        "UserPassword", "LinkNum",   "LinkTime",   "AllowHttps",   "NotifyNewItems"};
    return keys;
}

std::string OptionsCommand::Value(const std::string& key) {
    CConfig config;
    if (key == "UpdateState")
        return std::to_string(config.ReadUpdateState());
    if (key == "ThreadNum")
        return std::to_string(config.ReadThreadNum());
    if (key == "ProxyState")
        return std::to_string(config.ReadProxyState());
    if (key == "ProxyAddress")
        return platform::WideToUtf8(config.ReadProxyAddress());
    if (key == "ProxyPort")
        return std::to_string(config.ReadProxyPort());
    if (key == "UserName")
        return platform::WideToUtf8(config.ReadUserName());
    if (key == "UserPassword")
        return config.ReadUserPassword().empty() ? std::string() : kHidden;
    if (key == "LinkNum")
        return std::to_string(config.ReadLinkNum());
    if (key == "LinkTime")
        return std::to_string(config.ReadLinkTime());
    if (key == "NotifyNewItems")
        return std::to_string(config.ReadNotifyNewItems());
    return std::to_string(config.ReadAllowHttps());
}

OptionsCommand::Outcome OptionsCommand::Set(const std::string& key, const std::string& text) {
    const std::wstring value = Wide(text);
    CConfig config;
    if (key == "UpdateState" || key == "ProxyState" || key == "AllowHttps" ||
        key == "NotifyNewItems") {
        if (text != "0" && text != "1")
            return {1, key + " must be 0 or 1"};
    }
    if (key == "UserName" || key == "UserPassword") {
        const bool user = key == "UserName";
        const RuleResult rule =
            user ? OptionsRules::CheckUserName(value) : OptionsRules::CheckPassword(value);
        if (!rule.ok)
            return {1, Reason(rule, OptionsValues())};
        const bool written =
            user ? config.WriteUserName(value) != 0 : config.WriteUserPassword(value) != 0;
        if (!written)
            return {1, "the settings file cannot be written"};
        return {};
    }

    // The numbers and the proxy switch go through the dialog's rules, with the others as
    // stored.
    OptionsValues v = StoredValues();
    if (key == "ThreadNum")
        v.threadText = value;
    else if (key == "LinkTime")
        v.linkTimeText = value;
    else if (key == "LinkNum")
        v.linkNumText = value;
    else if (key == "ProxyPort")
        v.portText = value;
    else if (key == "ProxyAddress")
        v.proxyAddress = value;
    else if (key == "ProxyState")
        v.proxyState = text == "1";
    const RuleResult rule = OptionsRules::Check(v);
    if (!rule.ok)
        return {1, Reason(rule, v)};

    if (!Write(config, key, value))
        return {1, "the settings file cannot be written"};
    return {};
}

int OptionsCommand::Write(CConfig& config, const std::string& key, const std::wstring& value) {
    const int number = static_cast<int>(DialogRules::Number(value));
    if (key == "UpdateState")
        return config.WriteUpdateState(number);
    if (key == "ThreadNum")
        return config.WriteThreadNum(number);
    if (key == "ProxyState")
        return config.WriteProxyState(number);
    if (key == "ProxyAddress")
        return config.WriteProxyAddress(value);
    if (key == "ProxyPort")
        return config.WriteProxyPort(number);
    if (key == "LinkNum")
        return config.WriteLinkNum(number);
    if (key == "LinkTime")
        return config.WriteLinkTime(number);
    if (key == "NotifyNewItems")
        return config.WriteNotifyNewItems(number);
    return config.WriteAllowHttps(number);
}

OptionsCommand::Outcome OptionsCommand::Run(const std::vector<std::string>& args,
                                            std::ostream& out) {
    if (args.size() > 2)
        return {2, "options takes at most a KEY and a VALUE"};
    if (args.empty()) {
        for (const std::string& key : Keys())
            out << key << "=" << Value(key) << "\n";
        return {};
    }
    bool known = false;
    for (const std::string& key : Keys())
        known |= key == args[0];
    if (!known)
        return {2, "unknown setting " + args[0]};
    if (args.size() == 1) {
        out << Value(args[0]) << "\n";
        return {};
    }
    return Set(args[0], args[1]);
}
