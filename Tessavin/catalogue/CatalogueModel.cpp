#include "catalogue/CatalogueModel.h"

#include "config/Config.h"
#include "config/DateTime.h"
#include "config/Folders.h"
#include "config/LogFile.h"
#include "engine/Messages.h"
#include "engine/StopFlags.h"
#include "engine/ThreadPool.h"
#include "engine/UpDateXml.h"
#include "engine/UpdateJob.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/MessageQueue.h"
#include "platform/ScopedLock.h"
#include "xml/OpmlImport.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

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

CatalogueModel::CatalogueModel(ICatalogueObserver* observer, Targets targets, CThreadPool* pool)
    : observer_(observer ? observer : &defaultObserver_), targets_(targets), pool_(pool) {}

CatalogueModel::~CatalogueModel() {
    Close();
    jobList_.clear();
    DeleteNodes(root_.children);
    channels_.clear();
    groups_.clear();
}

bool CatalogueModel::Open() {
    openProblem_.clear();
    // The flags of an earlier catalogue's shutdown (a second run in one process) would make
    // every update of this one give up.
    stopFlag = false;
    exitFlag = false;
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
    // The default list is a gift of the first start, not a refill of an emptied catalogue.
    if (files_.Created())
        ImportFromPath(DefaultChannelListPath());
    return true;
}

void CatalogueModel::Close() {
    stopFlag = true;
    exitFlag = true;
    if (updateAllThread_.joinable())
        updateAllThread_.join(); // the walk checks the flags and Submit gives up at exit
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
    UpdateChannel(raw);
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

int CatalogueModel::Import(const std::wstring& path, CGroup* parent) {
    lastImport_ = ImportSummary{};
    const uint32_t parentId = parent ? parent->GetId() : 0;
    if (!IdsLeft(lastChannelId_, 1) || !IdsLeft(lastGroupId_, 1)) {
        lastImport_.problem = ImportProblem::kNoIds;
        return 0;
    }
    ++lastChannelId_;
    ++lastGroupId_;
    // A list on the web is downloaded here, so that a failed download can say why; the
    // importer then reads the copy kept beside the pages for the while.
    std::wstring source = path;
    std::wstring scheme = path.substr(0, 8);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; });
    if (scheme.compare(0, 7, L"http://") == 0 ||
        (scheme == L"https://" && CConfig().ReadAllowHttps() == 1)) {
        CUpDateXml downloader(targets_.frame);
        if (downloader.DownLoadXmlbuf(path, 1) != 1) {
            lastImport_.problem = ImportProblem::kDownloadFailed;
            lastImport_.downloadFailure =
                downloader.FailureReason().empty() ? "failed" : downloader.FailureReason();
            if (targets_.frame)
                targets_.frame->Post(kMsgStatus, kStatusImportFailed, 0);
            LogPrintf(L"Failed to import feed form file or web");
            return 0;
        }
        source = DataFolder() + L"/import.opml.download";
        if (!platform::ReplaceFileContent(source, downloader.Buffer())) {
            lastImport_.problem = ImportProblem::kUnreadable;
            LogPrintf(L"Failed to import feed form file or web");
            return 0;
        }
    }
    COpmlImport importer(targets_.frame);
    // The catalogue's addresses and groups, looked up once per outline.
    std::unordered_set<std::wstring> addresses;
    addresses.reserve(channels_.size());
    for (const auto& channel : channels_)
        addresses.insert(channel->GetUrl());
    importer.isNewAddress = [&addresses](const std::wstring& address) {
        return addresses.count(address) == 0;
    };
    // Keyed by "<parent id>/<name>"; of two groups with one name and parent, the first.
    std::unordered_map<std::wstring, uint32_t> groupIds;
    groupIds.reserve(groups_.size());
    for (const auto& group : groups_)
        groupIds.emplace(std::to_wstring(group->GetParentId()) + L'/' + group->GetName(),
                         group->GetId());
    importer.existingGroup = [&groupIds](uint32_t parentId, const std::wstring& name) {
        const auto found = groupIds.find(std::to_wstring(parentId) + L'/' + name);
        return found == groupIds.end() ? uint32_t{0} : found->second;
    };
    const int read = importer.Import(source, parentId, lastGroupId_, lastChannelId_);
    if (source != path)
        platform::DeleteFile(source);
    if (!read) {
        std::string bytes;
        lastImport_.problem = source != path                            ? ImportProblem::kNotList
                              : path.find(L"://") != std::wstring::npos ? ImportProblem::kNotHttp
                              : !platform::FileExists(path)             ? ImportProblem::kNoFile
                              : !platform::ReadWholeFile(path, bytes)   ? ImportProblem::kUnreadable
                                                                        : ImportProblem::kNotList;
        LogPrintf(L"Failed to import feed form file or web");
        return 0;
    }
    auto& groups = importer.Groups();
    auto& channels = importer.Channels();
    static_cast<ImportCounts&>(lastImport_) = importer.Counts();
    const ImportCounts& counts = lastImport_;
    const size_t leftOut = counts.alreadyPresent + counts.notHttp + counts.addressTooLong;
    if (leftOut > counts.alreadyPresent || counts.namesCleaned || counts.descriptionsCleaned ||
        counts.itemLimitsClamped || counts.intervalsClamped)
        LogPrintf(
            L"import left out %d (not http) and %d (address too long), cleaned %d names "
            L"and %d descriptions, clamped %d item limits and %d intervals",
            static_cast<int>(counts.notHttp), static_cast<int>(counts.addressTooLong),
            static_cast<int>(counts.namesCleaned), static_cast<int>(counts.descriptionsCleaned),
            static_cast<int>(counts.itemLimitsClamped), static_cast<int>(counts.intervalsClamped));
    if (groups.empty() && channels.empty()) {
        if (leftOut == 0)
            return 2;
        --lastChannelId_; // nothing taken
        --lastGroupId_;
        LogPrintf(L"imported 0 groups and 0 channels, %d already present",
                  static_cast<int>(lastImport_.alreadyPresent));
        return 1;
    }
    if (!IdsLeft(lastGroupId_ - 1, groups.size()) ||
        !IdsLeft(lastChannelId_ - 1, channels.size())) {
        lastImport_.problem = ImportProblem::kNoIds;
        return 0;
    }
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
    LogPrintf(L"Succeed to import feed from file or web");
    lastImport_.groups = newGroups.size();
    lastImport_.channels = newChannels.size();
    LogPrintf(L"imported %d groups and %d channels, %d already present",
              static_cast<int>(lastImport_.groups), static_cast<int>(lastImport_.channels),
              static_cast<int>(lastImport_.alreadyPresent));
    SaveGroups();
    SaveChannels();
    return 1;
}

void CatalogueModel::ImportFromPath(const std::wstring& path) {
    if (Import(path, nullptr) == 2)
        return; // nothing usable: no log
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

bool CatalogueModel::StartJob(CChannel* channel, bool fromCommand) {
    const std::wstring name = channel->GetName();
    if (fromCommand)
        stopFlag = false;
    auto job = std::make_unique<CUpdateJob>(channel, DataFolder(), targets_.view, targets_.frame);
    CUpdateJob* raw = job.get();
    {
        platform::ScopedLock guard(jobListLock_);
        jobList_.push_back(std::move(job));
    }
    LogPrintf(fromCommand ? L"Begin to update channel %s" : L"Begin to update channel %s ",
              name.c_str());
    observer_->OnUpdatingChanged(channel, true);
    if (!fromCommand && targets_.frame)
        targets_.frame->Post(kMsgStatus, kStatusUpdateStarted, 0);
    if (pool_ && pool_->Submit(raw, targets_.view))
        return true;
    // Shutting down: the job never runs.
    {
        platform::ScopedLock guard(jobListLock_);
        EraseRecord(jobList_, raw);
    }
    channel->SetUpdating(false);
    observer_->OnUpdatingChanged(channel, false);
    return false;
}

bool CatalogueModel::BeginUpdate(CChannel* channel) {
    if (channel->BeginUpdating())
        return true;
    LogPrintf(L"The channel %s is being updated, please update it after the completion of it's "
              L"updated",
              channel->GetName().c_str());
    return false;
}

bool CatalogueModel::UpdateChannel(CChannel* channel) {
    if (!channel) {
        LogPrintf(L"Invalidate pointer in CRssChannelView::UpdateChannel(), can't to update");
        return false;
    }
    return BeginUpdate(channel) && StartJob(channel, false);
}

bool CatalogueModel::UpdateSelected(CChannel* channel) {
    return channel && BeginUpdate(channel) && StartJob(channel, true);
}

void CatalogueModel::UpdateAll() {
    if (updateAllRunning_.load()) {
        LogPrintf(L"Updating the channels now, please try later");
        return;
    }
    if (channels_.empty())
        return;
    if (updateAllThread_.joinable())
        updateAllThread_.join(); // the previous walk has ended
    updateAllRunning_ = true;
    stopFlag = false;
    updateAllThread_ = std::thread([this] { UpdateAllWorker(); });
}

void CatalogueModel::UpdateAllWorker() {
    LogPrintf(L"Begin to update all channel");
    std::vector<CChannel*> snapshot;
    {
        platform::ScopedLock guard(channelListLock_);
        for (const auto& channel : channels_)
            snapshot.push_back(channel.get());
    }
    for (CChannel* channel : snapshot) {
        if (stopFlag.load() || exitFlag.load())
            break;
        {
            // Still in the list, and marked updating before the lock goes, so a delete
            // (refused while updating) cannot take it away now.
            platform::ScopedLock guard(channelListLock_);
            auto it = std::find_if(channels_.begin(), channels_.end(),
                                   [channel](const auto& c) { return c.get() == channel; });
            if (it == channels_.end())
                continue;
            if (!BeginUpdate(channel))
                continue;
        }
        StartJob(channel, false);
    }
    updateAllRunning_ = false;
}

void CatalogueModel::StopAll() {
    stopFlag = true;
}

size_t CatalogueModel::RunningJobs() {
    platform::ScopedLock guard(jobListLock_);
    return jobList_.size();
}

void CatalogueModel::HandleMessage(const platform::PostedMessage& message) {
    auto* channel = reinterpret_cast<CChannel*>(message.lParam);
    const int w = static_cast<int>(message.wParam);
    switch (message.message) {
    case kMsgUpdateFinished:
        OnUpdateFinished(w, channel);
        break;
    case kMsgItemReadChanged:
        OnItemReadChanged(w, channel);
        break;
    case kMsgItemDeleted:
        OnItemDeleted(w, channel);
        break;
    default:
        break;
    }
}

void CatalogueModel::OnUpdateFinished(int result, CChannel* channel) {
    if (!channel) {
        LogPrintf(L"Invalidate pointer in CRssChannelView::OnUpdateFinished()");
        return;
    }
    UpdateOutcome outcome = UpdateOutcome::kNotRun;
    std::string reason;
    {
        platform::ScopedLock guard(jobListLock_);
        auto it = std::find_if(jobList_.begin(), jobList_.end(),
                               [channel](const auto& job) { return job->Channel() == channel; });
        if (it != jobList_.end()) {
            outcome = (*it)->GetOutcome();
            reason = (*it)->FailureReason();
            jobList_.erase(it);
        }
        channel->SetUpdating(false);
    }
    if (outcome != UpdateOutcome::kStopped && outcome != UpdateOutcome::kNotRun)
        RecordHealth(channel, outcome == UpdateOutcome::kFailed, reason);
    if (result == 1) {
        LogPrintf(L"Succeed to update channel %s", channel->GetName().c_str());
        ResetChannelTimer(channel);
        SetText(NodeOf(channel));
        SaveChannelsSoon();
    }
    observer_->OnUpdatingChanged(channel, false);
    observer_->OnUpdateFinished(channel, outcome, reason);
    if (targets_.frame)
        targets_.frame->Post(kMsgStatus, kStatusUpdateHandled, 0);
    // An open page of the channel is older than its files now: it is shown again.
    if (outcome == UpdateOutcome::kWritten && targets_.readingPane)
        targets_.readingPane->Post(kMsgChannelPageWritten, 0,
                                   reinterpret_cast<platform::LParam>(channel));
    if (channel->GetShowWhenDone() && channel->GetTotalCount() != 0 && targets_.readingPane)
        targets_.readingPane->Post(kMsgShowChannelPage, 0,
                                   reinterpret_cast<platform::LParam>(channel));
    channel->SetShowWhenDone(false);
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
