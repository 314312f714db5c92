#include "update/UpdateScheduler.h"

#include "catalogue/CatalogueModel.h"
#include "config/Config.h"
#include "config/LogFile.h"
#include "engine/Messages.h"
#include "engine/ThreadPool.h"
#include "engine/UpdateJob.h"
#include "platform/MessageQueue.h"
#include "platform/ScopedLock.h"

#include <algorithm>

UpdateScheduler::UpdateScheduler(CatalogueModel& model, Targets targets, CThreadPool* pool)
    : model_(model), targets_(targets), pool_(pool) {}

UpdateScheduler::~UpdateScheduler() {
    Close();
    jobList_.clear();
}

void UpdateScheduler::Close() {
    stop_.Stop();
    stop_.Shutdown();
    if (pool_)
        pool_->Shutdown();
    if (updateAllThread_.joinable())
        updateAllThread_.join(); // the walk checks the token and Submit gives up at exit
    // The owner destroys the pool after this; nothing is handed to it any more.
    pool_ = nullptr;
}

bool UpdateScheduler::StartJob(CChannel* channel, bool fromCommand) {
    const std::wstring name = channel->GetName();
    if (fromCommand)
        stop_.Resume();
    auto job = std::make_unique<CUpdateJob>(channel, model_.DataFolder(), targets_.view,
                                            targets_.frame, &stop_, model_.Index());
    CUpdateJob* raw = job.get();
    {
        platform::ScopedLock guard(jobListLock_);
        jobList_.push_back(std::move(job));
    }
    LogPrintf(fromCommand ? L"Begin to update channel %s" : L"Begin to update channel %s ",
              name.c_str());
    model_.Observer().OnUpdatingChanged(channel, true);
    if (!fromCommand && targets_.frame)
        targets_.frame->Post(kMsgStatus, kStatusUpdateStarted, 0);
    if (pool_ && pool_->Submit(raw, targets_.view))
        return true;
    // Shutting down: the job never runs.
    {
        platform::ScopedLock guard(jobListLock_);
        jobList_.erase(std::remove_if(jobList_.begin(), jobList_.end(),
                                      [raw](const auto& item) { return item.get() == raw; }),
                       jobList_.end());
    }
    channel->SetUpdating(false);
    model_.Observer().OnUpdatingChanged(channel, false);
    return false;
}

bool UpdateScheduler::BeginUpdate(CChannel* channel) {
    if (channel->BeginUpdating())
        return true;
    LogPrintf(L"The channel %s is being updated, please update it after the completion of it's "
              L"updated",
              channel->GetName().c_str());
    return false;
}

bool UpdateScheduler::UpdateChannel(CChannel* channel) {
    if (!channel) {
        LogPrintf(L"Invalidate pointer in CRssChannelView::UpdateChannel(), can't to update");
        return false;
    }
    return BeginUpdate(channel) && StartJob(channel, false);
}

bool UpdateScheduler::UpdateSelected(CChannel* channel) {
    return channel && BeginUpdate(channel) && StartJob(channel, true);
}

void UpdateScheduler::UpdateAll() {
    if (updateAllRunning_.load()) {
        LogPrintf(L"Updating the channels now, please try later");
        return;
    }
    if (model_.Channels().empty())
        return;
    if (updateAllThread_.joinable())
        updateAllThread_.join(); // the previous walk has ended
    updateAllRunning_ = true;
    stop_.Resume();
    updateAllThread_ = std::thread([this] { UpdateAllWorker(); });
}

void UpdateScheduler::UpdateAllWorker() {
    LogPrintf(L"Begin to update all channel");
    std::vector<CChannel*> snapshot;
    {
        platform::ScopedLock guard(model_.ChannelListLock());
        for (const auto& channel : model_.Channels())
            snapshot.push_back(channel.get());
    }
    for (CChannel* channel : snapshot) {
        if (stop_.Any())
            break;
        {
            // Still in the list, and marked updating before the lock goes, so a delete
            // (refused while updating) cannot take it away now.
            platform::ScopedLock guard(model_.ChannelListLock());
            const auto& channels = model_.Channels();
            auto it = std::find_if(channels.begin(), channels.end(),
                                   [channel](const auto& c) { return c.get() == channel; });
            if (it == channels.end())
                continue;
            if (!BeginUpdate(channel))
                continue;
        }
        StartJob(channel, false);
    }
    updateAllRunning_ = false;
    // A run whose jobs all ended during the walk ends here.
    if (targets_.view)
        targets_.view->Post(kMsgUpdateWalkDone, 0, 0);
}

void UpdateScheduler::StopAll() {
    stop_.Stop();
}

size_t UpdateScheduler::RunningJobs() {
    platform::ScopedLock guard(jobListLock_);
    return jobList_.size();
}

void UpdateScheduler::HandleMessage(const platform::PostedMessage& message) {
    auto* channel = reinterpret_cast<CChannel*>(message.lParam);
    const int w = static_cast<int>(message.wParam);
    switch (message.message) {
    case kMsgUpdateFinished:
        OnUpdateFinished(w, channel);
        break;
    case kMsgItemReadChanged:
        model_.OnItemReadChanged(w, channel);
        break;
    case kMsgItemDeleted:
        model_.OnItemDeleted(w, channel);
        break;
    case kMsgUpdateWalkDone:
        NoticeIfRunEnded();
        break;
    default:
        break;
    }
}

UpdateOutcome UpdateScheduler::TakeJob(CChannel* channel, std::string& reason,
                                       FeedAddresses& addresses, int& newItems) {
    UpdateOutcome outcome = UpdateOutcome::kNotRun;
    newItems = 0;
    platform::ScopedLock guard(jobListLock_);
    auto it = std::find_if(jobList_.begin(), jobList_.end(),
                           [channel](const auto& job) { return job->Channel() == channel; });
    if (it != jobList_.end()) {
        outcome = (*it)->GetOutcome();
        reason = (*it)->FailureReason();
        newItems = (*it)->NewItems();
        addresses.site = (*it)->SiteAddress();
        addresses.icon = (*it)->IconAddress();
        jobList_.erase(it);
    }
    channel->SetUpdating(false);
    return outcome;
}

void UpdateScheduler::OnUpdateFinished(int result, CChannel* channel) {
    if (!channel) {
        LogPrintf(L"Invalidate pointer in CRssChannelView::OnUpdateFinished()");
        return;
    }
    std::string reason;
    FeedAddresses addresses;
    int newItems = 0;
    const UpdateOutcome outcome = TakeJob(channel, reason, addresses, newItems);
    notice_.Add(channel->GetName(), newItems);
    if (outcome != UpdateOutcome::kStopped && outcome != UpdateOutcome::kNotRun)
        model_.RecordHealth(channel, outcome == UpdateOutcome::kFailed, reason);
    if (result == 1) {
        LogPrintf(L"Succeed to update channel %s", channel->GetName().c_str());
        model_.ResetChannelTimer(channel);
        model_.ShowNewText(channel);
        model_.SaveChannelsSoon();
    }
    model_.Observer().OnUpdatingChanged(channel, false);
    model_.Observer().OnUpdateFinished(channel, outcome, reason);
    if (outcome == UpdateOutcome::kWritten || outcome == UpdateOutcome::kUnchanged)
        model_.Observer().OnFeedAddresses(channel, addresses);
    if (targets_.frame)
        targets_.frame->Post(kMsgStatus, kStatusUpdateHandled, 0);
    const auto lParam = reinterpret_cast<platform::LParam>(channel);
    // An open page of the channel is older than its files now: it is shown again.
    if (outcome == UpdateOutcome::kWritten && targets_.readingPane)
        targets_.readingPane->Post(kMsgChannelPageWritten, 0, lParam);
    if (channel->GetShowWhenDone() && channel->GetTotalCount() != 0 && targets_.readingPane)
        targets_.readingPane->Post(kMsgShowChannelPage, 0, lParam);
    channel->SetShowWhenDone(false);
    NoticeIfRunEnded();
}

void UpdateScheduler::NoticeIfRunEnded() {
    if (notice_.Empty() || updateAllRunning_.load() || RunningJobs() != 0)
        return;
    if (noticeSink_ && CConfig().ReadNotifyNewItems() != 0)
        noticeSink_->Show(notice_.Summary(noticeTexts_), notice_.Names());
    notice_.Clear();
}
