#pragma once

#include "catalogue/CatalogueFiles.h"
#include "catalogue/CatalogueNode.h"
#include "catalogue/CatalogueObserver.h"
#include "catalogue/ChannelFiles.h"
#include "catalogue/ChannelHealth.h"
#include "platform/CriticalSection.h"
#include "xml/OpmlImport.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class CThreadPool;
class CUpdateJob;
namespace platform {
class MessageTarget;
struct PostedMessage;
} // namespace platform

// The channel catalogue without any window: groups and channels in their lists and in tree
// order, their ids, locks and files, and the rules of add, rename, delete, move, import,
// update scheduling and counts. A tree control mirrors it through ICatalogueObserver.
//
// Locks: the group-list lock is taken before the channel-list lock; the job-list lock only
// around its own changes. Shutdown: Close() stops updates and the update-all walk; the
// owner then destroys the worker pool (which waits for running jobs) before the model.
class CatalogueModel {
public:
    struct Targets {
        platform::MessageTarget* view = nullptr;        // gets 11901-11903 (pumped by the owner)
        platform::MessageTarget* frame = nullptr;       // gets 11904 status codes
        platform::MessageTarget* readingPane = nullptr; // gets 11905
    };

    CatalogueModel(ICatalogueObserver* observer, Targets targets, CThreadPool* pool);
    ~CatalogueModel();
    CatalogueModel(const CatalogueModel&) = delete;
    CatalogueModel& operator=(const CatalogueModel&) = delete;

    // Opens and loads the catalogue files and builds the tree; imports the default channel
    // list when the catalogue files were created by this open (the first start of a data
    // folder). False when the files cannot be opened or a file cannot be read and has no
    // good copy (OpenProblem says which).
    bool Open();
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
    bool IsAddressUnique(const std::wstring& address) const;

    // Catalogue operations (the dialog rules are checked by the caller). Adding returns
    // null when the ids are exhausted.
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
    // Imports a list under the parent group (null: top level); channels whose address is
    // in the catalogue already are left out. 1 merged (or everything left out), 0 failed,
    // 2 empty.
    int Import(const std::wstring& path, CGroup* parent);
    // What the last import added, and what of the list it left out or changed.
    // Why an import failed (gave 0).
    enum class ImportProblem {
        kNone,
        kNoIds,
        kNoFile,
        kUnreadable,
        kNotList,
        kNotHttp,
        kDownloadFailed
    };
    struct ImportSummary : ImportCounts {
        size_t groups = 0, channels = 0;
        ImportProblem problem = ImportProblem::kNone;
        std::string downloadFailure; // the downloader's reason ("HTTP 404", ...)
    };
    const ImportSummary& LastImport() const { return lastImport_; }
    void ImportFromPath(const std::wstring& path);
    enum class MoveResult { kMoved, kOntoItself, kAlreadyTopLevel, kIntoOwnSubtree };
    // Moves a node with its subtree under a group (null: the top level).
    MoveResult Move(CatalogueNode* source, CGroup* target);

    // Update scheduling.
    bool UpdateChannel(CChannel* channel);  // timers, update-all walk, adding a channel
    bool UpdateSelected(CChannel* channel); // the update command: also clears the stop flag
    void UpdateAll();
    bool UpdateAllRunning() const { return updateAllRunning_.load(); }
    void StopAll();
    size_t RunningJobs();
    // Handlers of the messages that arrive at the view target.
    void HandleMessage(const platform::PostedMessage& message);
    void OnUpdateFinished(int result, CChannel* channel);
    void OnItemReadChanged(int wParam, CChannel* channel);
    void OnItemDeleted(int wParam, CChannel* channel);

    bool SaveGroups();
    bool SaveChannels();
    // Writes Channel.dat if a save of the message handlers is still pending.
    bool FlushSaves();
    bool SavePending() const { return channelsPending_; }

private:
    // The message handlers save through here: at once, or once after a burst of messages
    // when the observer batches saves (it then calls FlushSaves).
    void SaveChannelsSoon();
    // A node for the record at the end of parent; a channel's timer starts.
    CatalogueNode* AddNode(CGroup* group, CChannel* channel, CatalogueNode* parent);
    void InsertGroup(CGroup* group);
    void InsertChannel(CChannel* channel);
    CatalogueNode* ParentNodeFor(uint32_t groupId);
    void Attach(CatalogueNode* node, CatalogueNode* parent);
    void Detach(CatalogueNode* node);
    bool DeleteNode(CatalogueNode* node);
    bool DeleteChannelFiles(CChannel* channel);
    // Marks the channel updating; logs and refuses when an update runs already.
    bool BeginUpdate(CChannel* channel);
    bool StartJob(CChannel* channel, bool fromCommand);
    void ResetChannelTimer(CChannel* channel);
    void RecordHealth(CChannel* channel, bool failed, const std::string& reason);
    void UpdateAllWorker();
    void SetText(CatalogueNode* node);
    // True when `wanted` more ids fit after `last` (ids never wrap to 0, the top level).
    static bool IdsLeft(uint32_t last, size_t wanted);

    ICatalogueObserver* observer_;
    ICatalogueObserver defaultObserver_;
    Targets targets_;
    CThreadPool* pool_;
    CatalogueFiles files_;
    GroupList groups_;
    ChannelList channels_;
    CatalogueNode root_;
    uint32_t lastGroupId_ = 0;
    uint32_t lastChannelId_ = 0;
    platform::CriticalSection groupListLock_;
    platform::CriticalSection channelListLock_;
    platform::CriticalSection jobListLock_;
    std::vector<std::unique_ptr<CUpdateJob>> jobList_;
    std::atomic<bool> updateAllRunning_{false};
    std::atomic<bool> saveFailed_{false};
    bool channelsPending_ = false; // UI thread only
    ImportSummary lastImport_;
    DeleteReport lastDelete_;
    std::wstring openProblem_;
    std::thread updateAllThread_;
    // Channels whose updates fail, by id (the UI thread's, like the records).
    std::unordered_map<uint32_t, ChannelHealth> health_;
};
