#pragma once

#include <string>
#include <vector>

// The text keys configured for a context menu in the plug-in folder's "config.xml":
// <wexadoc><menu name="..." count="N"><item resource="IDS_..." id="11600"/>...</menu></wexadoc>
struct MenuTextEntry {
    int id = 0;
    std::string key;
};

class MenuTexts {
public:
    // The (command id, text key) pairs of the first "menu" named menuName, at most its
    // "count" items, ids of 0 or less left out. False when the file cannot be read or has
    // no root element; a menu that is not in the file gives true and no entries.
    static bool Read(const std::string& menuName, std::vector<MenuTextEntry>& entries);
    // The same from a given file.
    static bool ReadFrom(const std::string& path, const std::string& menuName,
                         std::vector<MenuTextEntry>& entries);
};
