#include "ui/ResourceMenu.h"

#include "host/HostServices.h"
#include "host/MenuTexts.h"
#include "platform/CodePage.h"
#include "platform/ResourceModule.h"

#include <wx/menu.h>

wxMenu* ResourceMenu::Load(unsigned menuId) {
    const platform::ResourceModule* module = platform::ResourceModule::Active();
    if (!module || module->Menu(menuId).empty())
        return nullptr;
    auto* menu = new wxMenu();
    for (const auto& item : module->Menu(menuId)) {
        if (item.command == 0)
            menu->AppendSeparator();
        else
            menu->Append(static_cast<int>(item.command), wxString(item.text.c_str()));
    }
    return menu;
}

int ResourceMenu::ApplyMenuTexts(wxMenu* menu, const std::string& menuName,
                                 IPluginContainer* container) {
    std::vector<MenuTextEntry> entries;
    if (!menu || !MenuTexts::Read(menuName, entries))
        return 0;
    for (const MenuTextEntry& entry : entries) {
        const std::wstring text =
            GetLocaleText(platform::Utf8ToWide(entry.key), kModuleTextsName, container);
        wxMenuItem* item = menu->FindItem(entry.id);
        if (item && !text.empty())
            item->SetItemLabel(wxString(text.c_str()));
    }
    return 1;
}
