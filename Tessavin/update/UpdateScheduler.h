#pragma once

#include "catalogue/FeedAddresses.h"
#include "catalogue/UpdateOutcome.h"
#include "engine/StopToken.h"
#include "platform/CriticalSection.h"
#include "update/NewItemsNotice.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class CatalogueModel;
class CChannel;
class CThreadPool;
class CUpdateJob;
namespace platform {
class MessageTarget;
struct PostedMessage;
} // namespace platform

// Runs the catalogue's channel updates: one job per channel on the worker pool, the
// update-all walk on a thread of its own, and the handling of the messages that jobs and
// item actions post to the tree's window (11901-11903), on the UI thread. A channel's
// `updating` mark is what keeps a second update, a delete or an item action away.
//
// Locks: the job-list lock only around its own changes; the walk takes the model's
// channel-list lock for each channel. Shutdown: Close() stops updates and ends the walk;
// the owner then destroys the worker pool (which waits for running jobs) before the
// scheduler and the model.
class UpdateScheduler {
public:
    struct Targets {
        platform::MessageTarget* view = nullptr;        // gets 11901-11903 (pumped by the owner)
        platform::MessageTarget* frame = nullptr;       // gets 11904 status codes
        platform::MessageTarget* readingPane = nullptr; // gets 11905 and 11906
    };

    // The scheduler's stop requests are its own: they go to its jobs' downloads.
    UpdateScheduler(CatalogueModel& model, Targets targets, CThreadPool* pool);
    ~UpdateScheduler();
    UpdateScheduler(const UpdateScheduler&) = delete;
    UpdateScheduler& operator=(const UpdateScheduler&) = delete;

    bool UpdateChannel(CChannel* channel);  // timers, update-all walk, adding a channel
    bool UpdateSelected(CChannel* channel); // the update command: also clears the stop flag
    void UpdateAll();
    bool UpdateAllRunning() const { return updateAllRunning_.load(); }
    void StopAll();
    size_t RunningJobs();
    // Stops updates, shuts the pool down and ends the update-all walk; no update starts
    // after it.
    void Close();

    // Where the notice of new items goes when an update run that brought some has ended
    // (none by default); the NotifyNewItems setting can turn it off.
    void SetNoticeSink(NoticeSink* sink, const NoticeTexts& texts) {
        noticeSink_ = sink;
        noticeTexts_ = texts;
    }

    // A message that arrived at the view target.
    void HandleMessage(const platform::PostedMessage& message);
    void OnUpdateFinished(int result, CChannel* channel);

private:
    // Marks the channel updating; logs and refuses when an update runs already.
    bool BeginUpdate(CChannel* channel);
    bool StartJob(CChannel* channel, bool fromCommand);
    void UpdateAllWorker();
    // Takes the finished job of the channel off the list: how it ended, why, the feed's
    // addresses and how many new items it brought.
    UpdateOutcome TakeJob(CChannel* channel, std::string& reason, FeedAddresses& addresses,
                          int& newItems);
    // Once no job runs and no walk is on, the run's notice is shown (when it has items).
    void NoticeIfRunEnded();

    CatalogueModel& model_;
    Targets targets_;
    CThreadPool* pool_;
    StopToken stop_;
    platform::CriticalSection jobListLock_;
    std::vector<std::unique_ptr<CUpdateJob>> jobList_;
    std::atomic<bool> updateAllRunning_{false};
    std::thread updateAllThread_;
    // UI thread only.
    NoticeSink* noticeSink_ = nullptr;
    NoticeTexts noticeTexts_;
    NewItemsNotice notice_;
};
