#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The module's resources, read from a resource folder. Every file is UTF-8 text, one entry
// per line; lines starting with '#' and empty lines are ignored.
//  - "strings.txt": "<id> <text>", where the text may use the escapes \r \n \t and \\.
//  - "icons.txt": "<icon id> <art id>", the system icon theme's name for each icon.
//  - "toolbars.txt": "<toolbar id> <command id> <icon id or 0>", one line per button.
//  - "menus.txt": "<menu id> <command id> <default text>"; command 0 is a separator.
class ResourceModule {
public:
    struct Item {
        unsigned command = 0;
        unsigned icon = 0; // toolbar buttons
        std::wstring text; // menu items
    };

    // Null when the folder has no readable string table.
    static std::unique_ptr<ResourceModule> Load(const std::wstring& folder);

    const std::wstring& Folder() const { return folder_; }
    // The text of entry id cut to maxChars characters; false when there is no such entry.
    bool LoadString(unsigned id, std::wstring& text, size_t maxChars = 0xFFFF) const;
    // The icon theme's name for an icon id; empty when the id has none.
    std::string IconArt(unsigned id) const;
    // The buttons of a toolbar and the items of a menu, in resource order.
    std::vector<Item> Toolbar(unsigned id) const;
    std::vector<Item> Menu(unsigned id) const;

    // The module through which resources are looked up (set by the host entry point).
    static void SetActive(const ResourceModule* module);
    static const ResourceModule* Active();

private:
    std::wstring folder_;
    std::map<unsigned, std::wstring> strings_;
    std::map<unsigned, std::string> icons_;
    std::map<unsigned, std::vector<Item>> toolbars_;
    std::map<unsigned, std::vector<Item>> menus_;
};

} // namespace platform
