#include "host/MenuTexts.h"

#include "config/Folders.h"
#include "config/LogFile.h"
#include "platform/CodePage.h"
#include "xml/XmlDocument.h"

#include <cstdlib>

bool MenuTexts::Read(const std::string& menuName, std::vector<MenuTextEntry>& entries) {
    return ReadFrom(platform::WideToUtf8(GetPluginDirectory(kPluginName)) + "config.xml", menuName,
                    entries);
}

bool MenuTexts::ReadFrom(const std::string& path, const std::string& menuName,
                         std::vector<MenuTextEntry>& entries) {
    entries.clear();
    CXmlDocument document;
    if (!document.LoadFile(path)) {
        if (document.TooDeep())
            LogPrintf(L"The xml document is nested deeper than %d levels", CXmlDocument::kMaxDepth);
        return false;
    }
    if (!document.FindNextElement("wexadoc"))
        return false;
    document.EnterElement();
    while (document.FindNextElement("menu")) {
        if (document.GetAttribute("name") != menuName)
            continue;
        const int count = std::atoi(document.GetAttribute("count").c_str());
        document.EnterElement();
        for (int i = 0; i < count && document.FindNextElement("item"); ++i) {
            MenuTextEntry entry;
            entry.key = document.GetAttribute("resource");
            entry.id = std::atoi(document.GetAttribute("id").c_str());
            if (entry.id > 0)
                entries.push_back(entry);
        }
        break; // only the first menu of that name
    }
    return true;
}
