#pragma once

#include <string>

class IPluginContainer;
class wxMenu;

// The context menus of the resource module (11052 of the channel tree, 11053 of the tab
// strip) as wx menus, with the texts that "config.xml" names for them.
class ResourceMenu {
public:
    // The menu with its default texts (null when the resource module has no such menu).
    static wxMenu* Load(unsigned menuId);
    // ApplyMenuTexts: every item whose command id the named menu of "config.xml" lists takes
    // the host's text for its key. A key the host has no text for keeps the default text
    // (an empty item could not be read). 1 when the file was read, else 0.
    static int ApplyMenuTexts(wxMenu* menu, const std::string& menuName,
                              IPluginContainer* container);
};
