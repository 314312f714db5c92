#pragma once

#include <ostream>
#include <string>
#include <vector>

class CConfig;

// `tessavin options [KEY [VALUE]]`: the settings of the options dialog, AllowHttps and
// NotifyNewItems.
// Without arguments every setting is printed as KEY=VALUE in the dialog's order; with a
// key its value alone. With a value the setting is checked by the options dialog's rules
// (against the other settings as stored) and written. The password is never printed.
class OptionsCommand {
public:
    struct Outcome {
        int exitCode = 0;    // 0 done, 1 refused, 2 usage error
        std::string message; // the reason when not done
    };

    static Outcome Run(const std::vector<std::string>& args, std::ostream& out);
    // The keys in the dialog's order.
    static const std::vector<std::string>& Keys();

private:
    static std::string Value(const std::string& key);
    static Outcome Set(const std::string& key, const std::string& value);
    // A number or the proxy address, written under its key; 0 when the file refused it.
    static int Write(CConfig& config, const std::string& key, const std::wstring& value);
};
