#include "platform/ResourceModule.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/TextLines.h"

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

// Calls entry(id, rest of the line) for every "<id> <rest>" line of a resource file; false
// when the file cannot be read.
template <class Entry> bool ReadEntries(const std::wstring& path, Entry entry) {
    std::string content;
    if (!ReadWholeFile(path, content))
        return false;
    ForEachLine(content, [&entry](const std::string& line) {
        if (line.empty() || line[0] == '#')
            return;
        char* rest = nullptr;
        unsigned long id = std::strtoul(line.c_str(), &rest, 10);
        if (rest == line.c_str())
            return;
        std::string text(rest);
        if (!text.empty() && text[0] == ' ')
            text.erase(0, 1);
        entry(static_cast<unsigned>(id), text);
    });
    return true;
}

// The leading number of text, and in rest what follows it after one blank.
unsigned LeadingNumber(const std::string& text, std::string& rest) {
    char* after = nullptr;
    unsigned long n = std::strtoul(text.c_str(), &after, 10);
    rest = after;
    if (!rest.empty() && rest[0] == ' ')
        rest.erase(0, 1);
    return static_cast<unsigned>(n);
}

} // namespace

std::unique_ptr<ResourceModule> ResourceModule::Load(const std::wstring& folder) {
    std::wstring dir = folder;
    if (!dir.empty() && dir.back() != L'/')
        dir.push_back(L'/');
    std::unique_ptr<ResourceModule> module(new ResourceModule());
    module->folder_ = dir;
    if (!ReadEntries(dir + L"strings.txt", [&module](unsigned id, const std::string& text) {
            module->strings_[id] = Utf8ToWide(Unescape(text));
        }))
        return nullptr;
    // The other tables are optional: a module without them has no icons, toolbars or menus.
    ReadEntries(dir + L"icons.txt",
                [&module](unsigned id, const std::string& text) { module->icons_[id] = text; });
    ReadEntries(dir + L"toolbars.txt", [&module](unsigned id, const std::string& text) {
        std::string rest;
        Item item;
        item.command = LeadingNumber(text, rest);
        item.icon = LeadingNumber(rest, rest);
        module->toolbars_[id].push_back(item);
    });
    ReadEntries(dir + L"menus.txt", [&module](unsigned id, const std::string& text) {
        std::string rest;
        Item item;
        item.command = LeadingNumber(text, rest);
        item.text = Utf8ToWide(Unescape(rest));
        module->menus_[id].push_back(item);
    });
    return module;
}

std::string ResourceModule::IconArt(unsigned id) const {
    auto it = icons_.find(id);
    return it == icons_.end() ? std::string() : it->second;
}

std::vector<ResourceModule::Item> ResourceModule::Toolbar(unsigned id) const {
    auto it = toolbars_.find(id);
    return it == toolbars_.end() ? std::vector<Item>() : it->second;
}

std::vector<ResourceModule::Item> ResourceModule::Menu(unsigned id) const {
    auto it = menus_.find(id);
    return it == menus_.end() ? std::vector<Item>() : it->second;
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
