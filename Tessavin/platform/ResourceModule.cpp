#include "platform/ResourceModule.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <atomic>
#include <cstdlib>

namespace platform {

namespace {

std::atomic<const ResourceModule*> activeModule{nullptr};

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        char c = text[++i];
        switch (c) {
        case 'r':
            out.push_back('\r');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 't':
            out.push_back('\t');
            break;
        default:
            out.push_back(c);
            break;
        }
    }
    return out;
}

} // namespace

std::unique_ptr<ResourceModule> ResourceModule::Load(const std::wstring& folder) {
    std::wstring dir = folder;
    if (!dir.empty() && dir.back() != L'/')
        dir.push_back(L'/');
    std::string content;
    if (!ReadWholeFile(dir + L"strings.txt", content))
        return nullptr;
    std::unique_ptr<ResourceModule> module(new ResourceModule());
    module->folder_ = dir;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        char* rest = nullptr;
        unsigned long id = std::strtoul(line.c_str(), &rest, 10);
        if (rest == line.c_str())
            continue;
        std::string text(rest);
        if (!text.empty() && text[0] == ' ')
            text.erase(0, 1);
        module->strings_[static_cast<unsigned>(id)] = Utf8ToWide(Unescape(text));
    }
    return module;
}

bool ResourceModule::LoadString(unsigned id, std::wstring& text, size_t maxChars) const {
    auto it = strings_.find(id);
    if (it == strings_.end())
        return false;
    text = it->second.substr(0, maxChars);
    return true;
}

void ResourceModule::SetActive(const ResourceModule* module) {
    activeModule.store(module);
}

const ResourceModule* ResourceModule::Active() {
    return activeModule.load();
}

} // namespace platform
