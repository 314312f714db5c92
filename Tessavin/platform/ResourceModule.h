#pragma once

#include <map>
#include <memory>
#include <string>

namespace platform {

// The module's resources, read from a resource folder. For now the string table: the
// file "strings.txt", UTF-8, one entry per line as "<id> <text>", where the text may use
// the escapes \r \n \t and \\. Lines starting with '#' and empty lines are ignored.
class ResourceModule {
public:
    // Null when the folder has no readable string table.
    static std::unique_ptr<ResourceModule> Load(const std::wstring& folder);

    const std::wstring& Folder() const { return folder_; }
    // The text of entry id cut to maxChars characters; false when there is no such entry.
    bool LoadString(unsigned id, std::wstring& text, size_t maxChars = 0xFFFF) const;

    // The module through which resources are looked up (set by the host entry point).
    static void SetActive(const ResourceModule* module);
    static const ResourceModule* Active();

private:
    std::wstring folder_;
    std::map<unsigned, std::wstring> strings_;
};

} // namespace platform
