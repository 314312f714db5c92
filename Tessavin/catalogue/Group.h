#pragma once

#include <cstdint>
#include <string>

class CArchive;

// A group (folder) of the catalogue; groups nest through parentId (0 = top level).
class CGroup {
public:
    static const char* const kClassName; // "CGroup"
    static const uint16_t kSchema = 1;

    CGroup() = default;
    CGroup(const CGroup&) = delete;
    CGroup& operator=(const CGroup&) = delete;

    void Serialize(CArchive& ar);

    uint32_t GetId() const { return id_; }
    void SetId(uint32_t id) { id_ = id; }
    uint32_t GetParentId() const { return parentId_; }
    void SetParentId(uint32_t parentId) { parentId_ = parentId; }
    std::wstring GetName() const { return name_; }
    void SetName(const std::wstring& name) { name_ = name; }
    void* GetTreeItem() const { return treeItem_; }
    void SetTreeItem(void* item) { treeItem_ = item; }

    // A group's node text is its name.
    std::wstring NodeText() const { return name_; }

private:
    uint32_t id_ = 0;
    uint32_t parentId_ = 0;
    std::wstring name_;
    void* treeItem_ = nullptr;
};
