#include "catalogue/CatalogueModel.h"

#include "catalogue/IconCache.h"
#include "config/DateTime.h"
#include "config/LogFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/ScopedLock.h"

#include <algorithm>
#include <unordered_map>

namespace {

void DeleteNodes(std::vector<CatalogueNode*>& nodes) {
    for (CatalogueNode* node : nodes) {
        DeleteNodes(node->children);
        delete node;
    }
    nodes.clear();
}

template <class List, class Record> void EraseRecord(List& list, Record* record) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [record](const auto& item) { return item.get() == record; }),
               list.end());
}

} // namespace

CatalogueModel::CatalogueModel(ICatalogueObserver* observer)
    : observer_(observer ? observer : &defaultObserver_) {}

CatalogueModel::~CatalogueModel() {
    Close();
    DeleteNodes(root_.children);
    channels_.clear();
    groups_.clear();
}

bool CatalogueModel::Open() {
    openProblem_.clear();
    if (!files_.OpenCatalogueFiles()) {
        switch (files_.LastOpenError()) {
        case CatalogueFiles::OpenError::kInUse:
            openProblem_ = L"the catalogue is in use by another instance";
            break;
        case CatalogueFiles::OpenError::kReadOnly:
            openProblem_ = L"the catalogue folder is read-only";
            break;
        default:
            openProblem_ = L"the catalogue files cannot be created";
        }
        return false;
    }
    if (!files_.LoadGroups(groups_) || !files_.LoadChannels(channels_)) {
        openProblem_ = files_.Notice();
        groups_.clear();
        channels_.clear();
        files_.Close();
        return false;
    }
    openProblem_ = files_.Notice();
    for (const auto& group : groups_) {
        lastGroupId_ = std::max(lastGroupId_, group->GetId());
        InsertGroup(group.get());
    }
    for (const auto& channel : channels_) {
        lastChannelId_ = std::max(lastChannelId_, channel->GetId());
        // The failing state first: the tree shows it with the node.
        std::string text;
        if (platform::ReadWholeFile(FilesOf(channel.get()).Health(), text)) {
            ChannelHealth health = ChannelHealth::FromText(text);
            if (health.Failed())
                health_[channel->GetId()] = health;
        }
        InsertChannel(channel.get());
    }
    return true;
}

void CatalogueModel::Close() {
    FlushSaves();
    files_.Close();
}

CGroup* CatalogueModel::FindGroup(uint32_t id) const {
    for (const auto& group : groups_)
        if (group->GetId() == id)
            return group.get();
    return nullptr;
}

CChannel* CatalogueModel::FindChannel(uint32_t id) const {
    for (const auto& channel : channels_)
        if (channel->GetId() == id)
            return channel.get();
    return nullptr;
}

CatalogueNode* CatalogueModel::NodeOf(CGroup* group) {
    return group ? static_cast<CatalogueNode*>(group->GetTreeItem()) : nullptr;
}

CatalogueNode* CatalogueModel::NodeOf(CChannel* channel) {
    return channel ? static_cast<CatalogueNode*>(channel->GetTreeItem()) : nullptr;
}

ChannelFiles CatalogueModel::FilesOf(const CChannel* channel) const {
    return ChannelFiles(DataFolder(), *channel);
}

const ChannelHealth* CatalogueModel::HealthOf(const CChannel* channel) const {
    auto it = channel ? health_.find(channel->GetId()) : health_.end();
    return it == health_.end() ? nullptr : &it->second;
}

void CatalogueModel::RecordHealth(CChannel* channel, bool failed, const std::string& reason) {
    ChannelHealth& health = health_[channel->GetId()];
    if (health.Record(failed, reason, platform::WideToUtf8(FormatNow(L"%Y-%m-%d %H:%M")))) {
        const std::wstring path = FilesOf(channel).Health();
        if (health.Failed() ? !platform::ReplaceFileContent(path, health.ToText())
                            : platform::PathExists(path) && !platform::DeleteFile(path))
            LogPrintf(L"Failed to keep the update state of channel %s", channel->GetName().c_str());
    }
    if (!health.Failed())
        health_.erase(channel->GetId());
}

bool CatalogueModel::IsAddressUnique(const std::wstring& address) const {
    for (const auto& channel : channels_)
        if (channel->GetUrl() == address)
            return false;
    return true;
}

bool CatalogueModel::SaveGroups() {
    if (files_.SaveGroups(groups_))
        return true;
    saveFailed_ = true;
    return false;
}

bool CatalogueModel::SaveChannels() {
    channelsPending_ = false;
    if (files_.SaveChannels(channels_))
        return true;
    saveFailed_ = true;
    return false;
}

bool CatalogueModel::FlushSaves() {
    return !channelsPending_ || SaveChannels();
}

void CatalogueModel::SaveChannelsSoon() {
    if (channelsPending_)
        return;
    if (observer_->ScheduleSave())
        channelsPending_ = true;
    else
        SaveChannels();
}

void CatalogueModel::SetText(CatalogueNode* node) {
    if (node)
        observer_->OnNodeTextChanged(node);
}

CatalogueNode* CatalogueModel::ParentNodeFor(uint32_t groupId) {
    if (groupId == 0)
        return &root_;
    for (const auto& group : groups_)
        if (group->GetId() == groupId)
            return NodeOf(group.get()) ? NodeOf(group.get()) : &root_;
    return &root_; // a missing parent: top level
}

void CatalogueModel::Attach(CatalogueNode* node, CatalogueNode* parent) {
    node->parent = parent == &root_ ? nullptr : parent;
    parent->children.push_back(node);
}

void CatalogueModel::Detach(CatalogueNode* node) {
    auto& siblings = node->parent ? node->parent->children : root_.children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
    node->parent = nullptr;
}

CatalogueNode* CatalogueModel::AddNode(CGroup* group, CChannel* channel, CatalogueNode* parent) {
    auto* node = new CatalogueNode();
    node->group = group;
    node->channel = channel;
    Attach(node, parent);
    if (group)
        group->SetTreeItem(node);
    else
        channel->SetTreeItem(node);
    observer_->OnNodeInserted(node);
    if (channel)
        observer_->StartChannelTimer(channel);
    return node;
}

void CatalogueModel::InsertGroup(CGroup* group) {
    if (!group) {
        LogPrintf(L"Invalidate pointer in CRssChannelView::InsertGroup()");
        return;
    }
    AddNode(group, nullptr, ParentNodeFor(group->GetParentId()));
}

void CatalogueModel::InsertChannel(CChannel* channel) {
    if (!channel) {
        LogPrintf(L"Invalidate pointer in CRssChannelView::InsertChannel()");
        return;
    }
    AddNode(nullptr, channel, ParentNodeFor(channel->GetGroupId()));
}

bool CatalogueModel::IdsLeft(uint32_t last, size_t wanted) {
    if (static_cast<uint64_t>(last) + wanted <= UINT32_MAX)
        return true;
    LogPrintf(L"No catalogue ids are left");
    return false;
}

CGroup* CatalogueModel::AddGroup(CGroup* parent, const std::wstring& name) {
    if (!IdsLeft(lastGroupId_, 1))
        return nullptr;
    auto group = std::make_unique<CGroup>();
    group->SetId(++lastGroupId_);
    group->SetParentId(parent ? parent->GetId() : 0);
    group->SetName(name);
    CGroup* raw = group.get();
    {
        platform::ScopedLock guard(groupListLock_);
        groups_.push_back(std::move(group));
    }
    LogPrintf(L"Succeed to create group");
    AddNode(raw, nullptr, parent && NodeOf(parent) ? NodeOf(parent) : &root_);
    SaveGroups();
    return raw;
}

CChannel* CatalogueModel::AddChannel(CGroup* parent, const std::wstring& name,
                                     const std::wstring& description, const std::wstring& url) {
    if (!IdsLeft(lastChannelId_, 1))
        return nullptr;
    auto channel = std::make_unique<CChannel>();
    channel->SetId(++lastChannelId_);
    channel->SetGroupId(parent ? parent->GetId() : 0);
    channel->SetFileStem(platform::FormatW(L"%s%d", L"rss", static_cast<int>(lastChannelId_)));
    channel->SetName(name);
    channel->SetDescription(description);
    channel->SetUrl(url);
    CChannel* raw = channel.get();
    LogPrintf(L"Succeed to create new channel");
    {
        platform::ScopedLock guard(channelListLock_);
        channels_.push_back(std::move(channel));
    }
    AddNode(nullptr, raw, parent && NodeOf(parent) ? NodeOf(parent) : &root_);
    SaveChannels();
    return raw;
}

void CatalogueModel::Rename(CatalogueNode* node, const std::wstring& name) {
    if (!node)
        return;
    if (node->channel) {
        const std::wstring old = node->channel->GetName();
        node->channel->SetName(name);
        LogPrintf(L"Succeed to rename the node from %s to %s", old.c_str(), name.c_str());
        SetText(node);
        SaveChannels();
    } else {
        LogPrintf(L"Succeed to rename the node from %s to %s", node->group->GetName().c_str(),
                  name.c_str());
        node->group->SetName(name);
        SetText(node);
        SaveGroups();
    }
}

void CatalogueModel::ResetChannelTimer(CChannel* channel) {
    if (!observer_->KillChannelTimer(channel)) {
        LogPrintf(L"Failed to kill timer of channel %s", channel->GetName().c_str());
        return;
    }
    observer_->StartChannelTimer(channel);
}

void CatalogueModel::ApplyProperties(CChannel* channel, const PropertyValues& v) {
    if (v.url != channel->GetUrl()) {
        channel->SetLastBuildDate(std::string()); // the next update rebuilds the page
        channel->SetUrl(v.url);
        // Another feed may name another site: its icon is looked for again.
        if (!IconCache(DataFolder()).Delete(channel->GetId()))
            LogPrintf(L"Failed to delete the icon of channel %s", channel->GetName().c_str());
    }
    if (v.interval != channel->GetInterval()) {
        channel->SetInterval(v.interval);
        ResetChannelTimer(channel);
    }
    if (v.name != channel->GetName()) {
        channel->SetName(v.name);
        SetText(NodeOf(channel));
    }
    channel->SetMaxItems(v.maxItems);
    channel->SetDescription(v.description);
    SaveChannels();
}

bool CatalogueModel::DeleteChannelFiles(CChannel* channel) {
    // The validators first: they must never outlive the page they stand for.
    const ChannelFiles files = FilesOf(channel);
    health_.erase(channel->GetId());
    for (const std::wstring& path :
         {files.Validators(), files.Health(), files.Page(), files.State()}) {
        if (platform::PathExists(path) && !platform::DeleteFile(path)) {
            LogPrintf(L"Failed to delete file of channel %s", channel->GetName().c_str());
            return false;
        }
    }
    if (index_)
        index_->ChannelRemoved(static_cast<int32_t>(channel->GetId()));
    return true;
}

bool CatalogueModel::DeleteChannel(CChannel* channel) {
    platform::ScopedLock guard(channelListLock_);
    const std::wstring name = channel->GetName();
    lastDelete_ = DeleteReport{};
    if (channel->IsUpdating()) {
        LogPrintf(L"The channel %s is being updated, Can't delete it", name.c_str());
        lastDelete_ = DeleteReport{DeleteStop::kUpdating, name, channel->GetId()};
        return false;
    }
    observer_->ClosePageOfChannel(channel);
    if (!DeleteChannelFiles(channel)) {
        lastDelete_ = DeleteReport{DeleteStop::kFilesKept, name, channel->GetId()};
        return false;
    }
    // The site icon goes with the channel; one left behind is only a few unused bytes.
    if (!IconCache(DataFolder()).Delete(channel->GetId()))
        LogPrintf(L"Failed to delete the icon of channel %s", name.c_str());
    CatalogueNode* node = NodeOf(channel);
    if (node) {
        observer_->OnNodeRemoved(node);
        Detach(node);
        delete node;
    }
    if (!observer_->KillChannelTimer(channel))
        LogPrintf(L"Failed to delete channel timer");
    LogPrintf(L"Succeed to delete channel %s", name.c_str());
    EraseRecord(channels_, channel);
    return true;
}

bool CatalogueModel::DeleteNode(CatalogueNode* node) {
    if (node->channel)
        return DeleteChannel(node->channel);
    CGroup* group = node->group;
    LogPrintf(L"Succeed to delete group %s", group->GetName().c_str());
    observer_->OnNodeRemoved(node);
    Detach(node);
    delete node;
    EraseRecord(groups_, group);
    return true;
}

bool CatalogueModel::DeleteGroupTree(CGroup* group) {
    platform::ScopedLock guard(groupListLock_);
    lastDelete_ = DeleteReport{};
    std::vector<CatalogueNode*> stack{NodeOf(group)};
    while (!stack.empty()) {
        CatalogueNode* node = stack.back();
        stack.pop_back();
        // Leaves first: descend to the first child; the parent is looked at again later.
        while (!node->children.empty()) {
            stack.push_back(node);
            node = node->children.front();
        }
        if (!DeleteNode(node))
            return false;
    }
    return true;
}

bool CatalogueModel::Delete(CatalogueNode* node) {
    if (!node)
        return false;
    if (node->channel) {
        bool ok = DeleteChannel(node->channel);
        if (ok)
            SaveChannels();
        return ok;
    }
    bool ok = DeleteGroupTree(node->group);
    SaveGroups();
    SaveChannels();
    return ok;
}

size_t CatalogueModel::ChannelsUnder(const CatalogueNode* node) {
    size_t count = 0;
    std::vector<const CatalogueNode*> stack{node};
    while (!stack.empty()) {
        const CatalogueNode* n = stack.back();
        stack.pop_back();
        if (n->channel)
            ++count;
        stack.insert(stack.end(), n->children.begin(), n->children.end());
    }
    return count;
}

bool CatalogueModel::DeleteChannelArticles(CChannel* channel) {
    lastDelete_ = DeleteReport{};
    // A running update would put the page and state file back.
    if (channel->IsUpdating()) {
        LogPrintf(L"The channel %s is being updated, Can't delete it", channel->GetName().c_str());
        lastDelete_ = DeleteReport{DeleteStop::kUpdating, channel->GetName(), channel->GetId()};
        return false;
    }
    if (!DeleteChannelFiles(channel)) {
        lastDelete_ = DeleteReport{DeleteStop::kFilesKept, channel->GetName(), channel->GetId()};
        return false;
    }
    channel->SetCounts(0, 0);
    channel->SetLastBuildDate(std::string());
    observer_->ClosePageOfChannel(channel);
    SetText(NodeOf(channel));
    SaveChannels();
    return true;
}

bool CatalogueModel::ReserveImportIds() {
    if (!IdsLeft(lastChannelId_, 1) || !IdsLeft(lastGroupId_, 1))
        return false;
    ++lastChannelId_;
    ++lastGroupId_;
    return true;
}

void CatalogueModel::ReleaseImportIds() {
    --lastChannelId_;
    --lastGroupId_;
}

bool CatalogueModel::AddImported(std::vector<std::unique_ptr<CGroup>>& groups,
                                 std::vector<std::unique_ptr<CChannel>>& channels) {
    if (!IdsLeft(lastGroupId_ - 1, groups.size()) || !IdsLeft(lastChannelId_ - 1, channels.size()))
        return false;
    std::vector<CGroup*> newGroups;
    std::vector<CChannel*> newChannels;
    {
        platform::ScopedLock guard(groupListLock_);
        for (auto& group : groups) {
            newGroups.push_back(group.get());
            groups_.push_back(std::move(group));
        }
    }
    lastGroupId_ = static_cast<uint32_t>(static_cast<int64_t>(lastGroupId_) +
                                         static_cast<int64_t>(newGroups.size()) - 1);
    // The nodes of the groups by id, so that placing a record takes no scan of the groups.
    std::unordered_map<uint32_t, CatalogueNode*> nodes;
    nodes.reserve(groups_.size());
    for (const auto& group : groups_)
        nodes.emplace(group->GetId(), NodeOf(group.get()));
    auto parentNode = [this, &nodes](uint32_t groupId) {
        const auto found = nodes.find(groupId);
        return found == nodes.end() || !found->second ? &root_ : found->second;
    };
    for (CGroup* group : newGroups)
        nodes[group->GetId()] = AddNode(group, nullptr, parentNode(group->GetParentId()));
    {
        platform::ScopedLock guard(channelListLock_);
        for (auto& channel : channels) {
            newChannels.push_back(channel.get());
            channels_.push_back(std::move(channel));
        }
    }
    for (CChannel* channel : newChannels)
        AddNode(nullptr, channel, parentNode(channel->GetGroupId()));
    lastChannelId_ = static_cast<uint32_t>(static_cast<int64_t>(lastChannelId_) +
                                           static_cast<int64_t>(newChannels.size()) - 1);
    return true;
}

CatalogueModel::MoveResult CatalogueModel::Move(CatalogueNode* source, CGroup* target) {
    CatalogueNode* targetNode = target ? NodeOf(target) : nullptr;
    if (targetNode == source)
        return MoveResult::kOntoItself;
    if (!targetNode && !source->parent)
        return MoveResult::kAlreadyTopLevel;
    for (CatalogueNode* n = targetNode; n; n = n->parent)
        if (n == source)
            return MoveResult::kIntoOwnSubtree;
    Detach(source);
    Attach(source, targetNode ? targetNode : &root_);
    // The files keep the tree's order: the moved groups (the subtree in tree order) follow
    // the new parent and its other groups, and a moved channel follows the other channels,
    // so the tree reads back with the node where the drop put it, last under its parent.
    if (source->group) {
        platform::ScopedLock guard(groupListLock_);
        std::vector<CatalogueNode*> preorder{source};
        for (size_t i = 0; i < preorder.size(); ++i)
            preorder.insert(preorder.begin() + static_cast<long>(i) + 1,
                            preorder[i]->children.begin(), preorder[i]->children.end());
        std::vector<std::unique_ptr<CGroup>> moved;
        for (CatalogueNode* node : preorder) {
            if (!node->group)
                continue;
            auto it = std::find_if(groups_.begin(), groups_.end(),
                                   [node](const auto& g) { return g.get() == node->group; });
            moved.push_back(std::move(*it));
            groups_.erase(it);
        }
        size_t at = 0;
        CGroup* parentGroup = target;
        for (size_t i = 0; i < groups_.size(); ++i) {
            CatalogueNode* node = NodeOf(groups_[i].get());
            if (groups_[i].get() == parentGroup || (node && node->parent == source->parent))
                at = i + 1;
        }
        groups_.insert(groups_.begin() + static_cast<long>(at),
                       std::make_move_iterator(moved.begin()),
                       std::make_move_iterator(moved.end()));
    } else {
        platform::ScopedLock guard(channelListLock_);
        auto it = std::find_if(channels_.begin(), channels_.end(),
                               [source](const auto& c) { return c.get() == source->channel; });
        std::rotate(it, it + 1, channels_.end());
    }
    const uint32_t newParent = target ? target->GetId() : 0;
    if (source->group)
        source->group->SetParentId(newParent);
    else
        source->channel->SetGroupId(newParent);
    observer_->OnNodeMoved(source);
    SaveGroups();
    SaveChannels();
    return MoveResult::kMoved;
}

void CatalogueModel::OnItemReadChanged(int wParam, CChannel* channel) {
    if (!channel)
        return;
    uint32_t unread, total;
    channel->GetCounts(unread, total);
    if (wParam != 0) {
        if (unread == 0)
            return;
        --unread;
    } else {
        if (unread == total)
            return;
        ++unread;
    }
    channel->SetCounts(unread, total);
    SetText(NodeOf(channel));
    SaveChannelsSoon();
}

void CatalogueModel::OnItemDeleted(int wParam, CChannel* channel) {
    if (!channel)
        return;
    uint32_t unread, total;
    channel->GetCounts(unread, total);
    if (wParam == 0) {
        if (unread == 0)
            return;
        --unread;
    } else if (total == 0) {
        return;
    }
    if (total > 0)
        --total;
    channel->SetCounts(std::min(unread, total), total);
    SetText(NodeOf(channel));
    if (total == 0 && DeleteChannelArticles(channel))
        return; // saved there
    SaveChannelsSoon();
}
