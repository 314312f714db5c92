#pragma once

#include "host/HostInterfaces.h"

#include <map>
#include <string>
#include <utility>

// A plug-in container for the stand-in hosts and tests: texts by (module, key) and host
// settings by (section, key), both set by the host before it starts the plug-in.
class HostContainer : public IPluginContainer {
public:
    HostContainer();
    ~HostContainer() override;

    void SetText(const std::wstring& moduleName, const std::wstring& key, const std::wstring& text);
    void SetHostValue(const std::wstring& section, const std::wstring& key,
                      const std::wstring& value);
    // Loads "key=text" lines (UTF-8) as texts of one module; false when unreadable.
    bool LoadTexts(const std::wstring& path, const std::wstring& moduleName);

    bool QueryHostService(const char* serviceId, int code, IBaseInterface** service) override;

    // Services handed out and not yet released.
    int OutstandingServices() const { return outstanding_; }

private:
    class LocaleService;
    class ConfigService;

    std::map<std::pair<std::wstring, std::wstring>, std::wstring> texts_;
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> values_;
    int outstanding_ = 0;
};
