#pragma once

#include "catalogue/UpdateOutcome.h"
#include "engine/ChannelUpdater.h"
#include "engine/Job.h"
#include "engine/UpDateXml.h"

#include <string>

class CChannel;
namespace platform {
class MessageTarget;
}

// The update of one channel on a worker thread: download, then (only when a document came)
// state file, document, page, counts, then 11904 (status) to the frame and 11901 (finished)
// to the tree view as its last act. The tree view deletes the job when it handles 11901; a
// state file the job read and did not replace stays open until then.
class CUpdateJob : public CJob {
public:
    // treeView: the frame's tree view, which gets 11901; frame: status target (may be null);
    // stop: the requests that end the download (may be null); index: told of the merge (may
    // be null).
    CUpdateJob(CChannel* channel, const std::wstring& dataFolder, platform::MessageTarget* treeView,
               platform::MessageTarget* frame, const StopToken* stop = nullptr,
               ItemIndex* index = nullptr);

    // argument: the MessageTarget* of the view that submitted the job.
    void Run(void* argument) override;

    CChannel* Channel() const { return channel_; }

    // How the run ended; read by the job's owner once 11901 has arrived.
    UpdateOutcome GetOutcome() const { return outcome_; }
    // Why a failed run failed ("HTTP 404", "not an RSS or Atom document", ...).
    const std::string& FailureReason() const { return failure_; }
    // New items on a page the channel had before; read once 11901 has arrived.
    int NewItems() const { return outcome_ == UpdateOutcome::kWritten ? updater_.NewCount() : 0; }
    // The site and icon addresses of the document the run read (empty when it read none).
    const std::string& SiteAddress() const { return updater_.SiteAddress(); }
    const std::string& IconAddress() const { return updater_.IconAddress(); }

private:
    void Finish(platform::MessageTarget* view, bool success);
    // Reads and holds the state file; on failure ends the run (11901 with 0 to view).
    bool LoadState(platform::MessageTarget* view);

    CChannel* channel_;
    platform::MessageTarget* treeView_;
    platform::MessageTarget* frame_;
    ChannelUpdater updater_;
    CUpDateXml downloader_;
    UpdateOutcome outcome_ = UpdateOutcome::kNotRun;
    std::string failure_;
};
