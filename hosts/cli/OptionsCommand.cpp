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

// The reason for a rule that failed, by the control it names.
std::string Reason(int focus, const OptionsValues& v) {
    switch (focus) {
    case 11322:
        return "ThreadNum must be a whole number from 1 to 30";
    case 11530:
        return "LinkTime must be a whole number of seconds from 10 to 35";
    case 11529:
        return "LinkNum must be a whole number from 1 to 5";
    case 11518:
        return "ProxyAddress must be set while ProxyState is 1";
    case 11519:
        return v.proxyState ? "ProxyPort must be a whole number from 1 to 65535 while ProxyState "
                              "is 1"
                            : "ProxyPort must be a whole number";
    default:
        return "refused";
    }
}

} // namespace

const std::vector<std::string>& OptionsCommand::Keys() {
    static const std::vector<std::string> keys = {
        "UpdateState", "ThreadNum",    "ProxyState", "ProxyAddress", "ProxyPort",
        "UserName",    "UserPassword", "LinkNum",    "LinkTime",     "AllowHttps"};
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
    return std::to_string(config.ReadAllowHttps());
}

OptionsCommand::Outcome OptionsCommand::Set(const std::string& key, const std::string& text) {
    const std::wstring value = Wide(text);
    CConfig config;
    if (key == "UpdateState" || key == "ProxyState" || key == "AllowHttps") {
        if (text != "0" && text != "1")
            return {1, key + " must be 0 or 1"};
    }
    if (key == "UserName" || key == "UserPassword") {
        if (DialogRules::HasControlCharacter(value))
            return {1, key + " must not hold control characters"};
        const bool written = key == "UserName" ? config.WriteUserName(value) != 0
                                               : config.WriteUserPassword(value) != 0;
        if (!written)
            return {1, key == "UserPassword" &&
                               platform::WideToNative(value).size() > CConfig::kMaxPasswordBytes
                           ? "UserPassword is longer than 387 bytes"
                           : "the settings file cannot be written"};
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
        return {1, Reason(rule.focus, v)};
    if (key == "ProxyAddress" && DialogRules::HasControlCharacter(value))
        return {1, "ProxyAddress must not hold control characters"};

    const int number = static_cast<int>(DialogRules::Number(value));
    int written = 0;
    if (key == "UpdateState")
        written = config.WriteUpdateState(number);
    else if (key == "ThreadNum")
        written = config.WriteThreadNum(number);
    else if (key == "ProxyState")
        written = config.WriteProxyState(number);
    else if (key == "ProxyAddress")
        written = config.WriteProxyAddress(value);
    else if (key == "ProxyPort")
        written = config.WriteProxyPort(number);
    else if (key == "LinkNum")
        written = config.WriteLinkNum(number);
    else if (key == "LinkTime")
        written = config.WriteLinkTime(number);
    else
        written = config.WriteAllowHttps(number);
    if (!written)
        return {1, "the settings file cannot be written"};
    return {};
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
