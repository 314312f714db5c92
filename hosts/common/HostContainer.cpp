#include "HostContainer.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/TextLines.h"

#include <cstring>
#include <cwchar>

class HostContainer::LocaleService : public ILocaleMgrService {
public:
    explicit LocaleService(HostContainer& owner) : owner_(owner) {}
    void Release() override {
        --owner_.outstanding_;
        delete this;
    }
    const wchar_t* GetText(const wchar_t* key, const wchar_t* moduleName, int) override {
        auto it = owner_.texts_.find({moduleName ? moduleName : L"", key ? key : L""});
        return it == owner_.texts_.end() ? nullptr : it->second.c_str();
    }

private:
    HostContainer& owner_;
};

class HostContainer::ConfigService : public IConfigFileService {
public:
    explicit ConfigService(HostContainer& owner) : owner_(owner) {}
    void Release() override {
        --owner_.outstanding_;
        delete this;
    }
    int GetValue(const wchar_t* section, const wchar_t* key, wchar_t* buffer, int size,
                 int) override {
        auto it = owner_.values_.find({section ? section : L"", key ? key : L""});
        if (it == owner_.values_.end())
            return 0;
        const std::wstring& value = it->second;
        if (!buffer || size == 0)
            return static_cast<int>(value.size()) + 1;
        size_t n = std::min(value.size(), static_cast<size_t>(size) - 1);
        std::wmemcpy(buffer, value.c_str(), n);
        buffer[n] = L'\0';
        return static_cast<int>(n);
    }

private:
    HostContainer& owner_;
};

HostContainer::HostContainer() = default;
HostContainer::~HostContainer() = default;

void HostContainer::SetText(const std::wstring& moduleName, const std::wstring& key,
                            const std::wstring& text) {
    texts_[{moduleName, key}] = text;
}

void HostContainer::SetHostValue(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& value) {
    values_[{section, key}] = value;
}

bool HostContainer::LoadTexts(const std::wstring& path, const std::wstring& moduleName) {
    std::string content;
    if (!platform::ReadWholeFile(path, content))
        return false;
    platform::ForEachLine(content, [this, &moduleName](const std::string& line) {
        size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos)
            return;
        SetText(moduleName, platform::Utf8ToWide(line.substr(0, eq)),
                platform::Utf8ToWide(line.substr(eq + 1)));
    });
    return true;
}

bool HostContainer::QueryHostService(const char* serviceId, int code, IBaseInterface** service) {
    if (!service)
        return false;
    *service = nullptr;
    if (serviceId && std::strcmp(serviceId, kLocaleServiceId) == 0 && code == kLocaleServiceCode)
        *service = new LocaleService(*this);
    else if (serviceId && std::strcmp(serviceId, kConfigFileServiceId) == 0 &&
             code == kConfigFileServiceCode)
        *service = new ConfigService(*this);
    if (!*service)
        return false;
    ++outstanding_;
    return true;
}
