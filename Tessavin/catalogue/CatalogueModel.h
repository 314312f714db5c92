#pragma once

#include "catalogue/CatalogueFiles.h"
#include "catalogue/CatalogueNode.h"
#include "catalogue/CatalogueObserver.h"
#include "catalogue/ChannelFiles.h"
#include "catalogue/ChannelHealth.h"
#include "catalogue/ItemIndex.h"
#include "platform/CriticalSection.h"

#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// The channel catalogue without any window: groups and channels in their lists and in tree
// order, their ids, files and counts, and the rules of add, rename, delete and move. A tree
// control mirrors it through ICatalogueObserver.
//
// Locks: the group-list lock is taken before the channel-list lock.
class CatalogueModel {
public:
    explicit CatalogueModel(ICatalogueObserver* observer);
    ~CatalogueModel();
    CatalogueModel(const CatalogueModel&) = delete;
    CatalogueModel& operator=(const CatalogueModel&) = delete;

    // Opens and loads the catalogue files and builds the tree. False when the files cannot
    // be opened or a file cannot be read and has no good copy (OpenProblem says which).
    bool Open();
    // The catalogue files were created by Open (the first start of a data folder).
    bool CreatedByOpen() const { return files_.Created(); }
    // Why Open failed, or what it repaired (a damaged file replaced by its last good copy);
    // empty when all was well.
    const std::wstring& OpenProblem() const { return openProblem_; }
    CatalogueFiles::OpenError OpenError() const { return files_.LastOpenError(); }
    // True once a save of a catalogue file has failed since the last call; clears it.
    bool TakeSaveFailure() { return saveFailed_.exchange(false); }
    void Close();

    // Lists, tree and lookups.
    const GroupList& Groups() const { return groups_; }
    const ChannelList& Channels() const { return channels_; }
    const std::vector<CatalogueNode*>& TopLevel() const { return root_.children; }
    CGroup* FindGroup(uint32_t id) const;
    CChannel* FindChannel(uint32_t id) const;
    static CatalogueNode* NodeOf(CGroup* group);
    static CatalogueNode* NodeOf(CChannel* channel);
    uint32_t LastGroupId() const { return lastGroupId_; }
    uint32_t LastChannelId() const { return lastChannelId_; }
    const std::wstring& DataFolder() const { return files_.DataFolder(); }
    ChannelFiles FilesOf(const CChannel* channel) const;
    // How the channel's updates go while they fail (kept across restarts); null while fine.
    const ChannelHealth* HealthOf(const CChannel* channel) const;
    // Records how an update ended; the health file follows.
    void RecordHealth(CChannel* channel, bool failed, const std::string& reason);
    bool IsAddressUnique(const std::wstring& address) const;

    ICatalogueObserver& Observer() const { return *observer_; }
    // The word index that updates and deletions keep current (may be null; not owned).
    void SetIndex(ItemIndex* index) { index_ = index; }
    ItemIndex* Index() const { return index_; }
    platform::CriticalSection& ChannelListLock() { return channelListLock_; }

    // Catalogue operations (the dialog rules are checked by the caller). Adding returns
    // null when the ids are exhausted; the caller starts a new channel's first update.
    CGroup* AddGroup(CGroup* parent, const std::wstring& name);
    CChannel* AddChannel(CGroup* parent, const std::wstring& name, const std::wstring& description,
                         const std::wstring& url);
    void Rename(CatalogueNode* node, const std::wstring& name);
    struct PropertyValues {
        std::wstring name, description, url;
        uint32_t maxItems = 0, interval = 0;
    };
    void ApplyProperties(CChannel* channel, const PropertyValues& values);
    // Deletes a channel, or a group with everything under it; saves what changed. A group's
    // delete stops at the first channel that cannot go (LastDelete says which and why).
    bool Delete(CatalogueNode* node);
    bool DeleteChannel(CChannel* channel);
    bool DeleteGroupTree(CGroup* group);
    bool DeleteChannelArticles(CChannel* channel);
    // Why the last delete (of a channel, a group or a channel's articles) stopped, and at
    // which channel.
    enum class DeleteStop { kNone, kUpdating, kFilesKept };
    struct DeleteReport {
        DeleteStop stop = DeleteStop::kNone;
        std::wstring channel; // its name
        uint32_t channelId = 0;
    };
    const DeleteReport& LastDelete() const { return lastDelete_; }
    // The channels under a node at any depth (1 for a channel's node).
    static size_t ChannelsUnder(const CatalogueNode* node);
    // An import takes the ids after the last ones before it reads its list, and keeps them
    // taken when it fails; false when none are left.
    bool ReserveImportIds();
    // The import added nothing: its ids are free again.
    void ReleaseImportIds();
    // Takes over an import's records (ids from the reserved ones on) at the end of their
    // parents; false, taking nothing, when their ids ran past the last id. Saves nothing.
    bool AddImported(std::vector<std::unique_ptr<CGroup>>& groups,
                     std::vector<std::unique_ptr<CChannel>>& channels);
    enum class MoveResult { kMoved, kOntoItself, kAlreadyTopLevel, kIntoOwnSubtree };
    // Moves a node with its subtree under a group (null: the top level).
    MoveResult Move(CatalogueNode* source, CGroup* target);

    // The count changes of item actions (11902, 11903).
    void OnItemReadChanged(int wParam, CChannel* channel);
    void OnItemDeleted(int wParam, CChannel* channel);

    bool SaveGroups();
    bool SaveChannels();
    // Writes Channel.dat if a save of the message handlers is still pending.
    bool FlushSaves();
    bool SavePending() const { return channelsPending_; }
    // The message handlers save through here: at once, or once after a burst of messages
    // when the observer batches saves (it then calls FlushSaves).
    void SaveChannelsSoon();
    // The channel's node shows its name and counts again.
    void ShowNewText(CChannel* channel) { SetText(NodeOf(channel)); }
    // The channel's timer starts again (its interval may have changed).
    void ResetChannelTimer(CChannel* channel);

private:
    // A node for the record at the end of parent; a channel's timer starts.
    CatalogueNode* AddNode(CGroup* group, CChannel* channel, CatalogueNode* parent);
    void InsertGroup(CGroup* group);
    void InsertChannel(CChannel* channel);
    CatalogueNode* ParentNodeFor(uint32_t groupId);
    void Attach(CatalogueNode* node, CatalogueNode* parent);
    void Detach(CatalogueNode* node);
    bool DeleteNode(CatalogueNode* node);
    bool DeleteChannelFiles(CChannel* channel);
    void SetText(CatalogueNode* node);
    // True when `wanted` more ids fit after `last` (ids never wrap to 0, the top level).
    static bool IdsLeft(uint32_t last, size_t wanted);

    ICatalogueObserver* observer_;
    ICatalogueObserver defaultObserver_;
    ItemIndex* index_ = nullptr;
    CatalogueFiles files_;
    GroupList groups_;
    ChannelList channels_;
    CatalogueNode root_;
    uint32_t lastGroupId_ = 0;
    uint32_t lastChannelId_ = 0;
    platform::CriticalSection groupListLock_;
    platform::CriticalSection channelListLock_;
    std::atomic<bool> saveFailed_{false};
    bool channelsPending_ = false; // UI thread only
    DeleteReport lastDelete_;
    std::wstring openProblem_;
    // Channels whose updates fail, by id (the UI thread's, like the records).
    std::unordered_map<uint32_t, ChannelHealth> health_;
};
