#include "engine/UpdateJob.h"

#include "catalogue/Channel.h"
#include "config/LogFile.h"
#include "engine/Messages.h"
#include "platform/CodePage.h"
#include "platform/MessageTarget.h"

#include <chrono>
#include <thread>

namespace {

// How often a state file held by an item action is tried again (50 ms apart).
const int kStateAttempts = 20;

} // namespace

CUpdateJob::CUpdateJob(CChannel* channel, const std::wstring& dataFolder,
                       platform::MessageTarget* treeView, platform::MessageTarget* frame,
                       const StopToken* stop, ItemIndex* index)
    : channel_(channel), treeView_(treeView), frame_(frame), updater_(*channel, dataFolder, frame),
      downloader_(frame) {
    updater_.SetIndex(index);
    downloader_.SetStopToken(stop);
}

void CUpdateJob::Finish(platform::MessageTarget* view, bool success) {
    if (frame_)
        frame_->Post(kMsgStatus, success ? kStatusUpdateSucceeded : kStatusUpdateFailed, 0);
    if (view)
        view->Post(kMsgUpdateFinished, success ? 1 : 0,
                   reinterpret_cast<platform::LParam>(channel_));
}

bool CUpdateJob::LoadState(platform::MessageTarget* view) {
    // An item action holds the state file only for a moment: one that holds it now is
    // waited for a little.
    bool loaded = updater_.LoadState();
    for (int attempt = 0; !loaded && updater_.StateHeld() && attempt < kStateAttempts; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        loaded = updater_.LoadState();
    }
    if (!loaded) {
        outcome_ = UpdateOutcome::kFailed;
        failure_ = updater_.FailureReason();
        if (view)
            view->Post(kMsgUpdateFinished, 0, reinterpret_cast<platform::LParam>(channel_));
    }
    return loaded;
}

void CUpdateJob::Run(void* argument) {
    auto* view = static_cast<platform::MessageTarget*>(argument);
    // With a page, the server may answer that nothing changed: the state file is then
    // neither read nor held. Without one, a document must come, and a state file that
    // cannot be made fails the job before any download.
    const bool hasPage = updater_.HasPage();
    if (!hasPage && !LoadState(view))
        return;
    int result = 0;
    const std::wstring name = channel_->GetName();
    const std::string address = platform::WideToUtf8(channel_->GetUrl());
    try {
        downloader_.SetChannel(channel_);
        HttpValidators validators;
        if (hasPage)
            validators.Load(updater_.Files().Validators(), address);
        downloader_.SetValidators(validators);
        result = downloader_.DownLoadXmlbuf(channel_->GetUrl(), 0);
    } catch (...) {
        LogPrintf(L"Exception in %s, %d", L"XmlParse", __LINE__);
        result = 0;
    }
    if (result == 2)
        LogPrintf(L"Terminate update channel %s by user", name.c_str());
    else if (result != 1 && result != CUpDateXml::kNotModified)
        LogPrintf(L"Failed to update channel %s", name.c_str());
    if (result == CUpDateXml::kNotModified) {
        updater_.KeepUnchanged();
        outcome_ = UpdateOutcome::kUnchanged;
        Finish(treeView_, true);
        return;
    }
    if (result != 1) {
        outcome_ = result == 2 ? UpdateOutcome::kStopped : UpdateOutcome::kFailed;
        failure_ = result == 2 ? "stopped" : downloader_.FailureReason();
        Finish(treeView_, false);
        return;
    }
    if (hasPage && !LoadState(view))
        return;
    ChannelUpdater::Result processed = updater_.Process(downloader_.Buffer());
    outcome_ = processed == ChannelUpdater::kWritten     ? UpdateOutcome::kWritten
               : processed == ChannelUpdater::kUnchanged ? UpdateOutcome::kUnchanged
                                                         : UpdateOutcome::kFailed;
    if (processed == ChannelUpdater::kFailed)
        failure_ = updater_.FailureReason();
    else if (!downloader_.ResponseValidators().Save(updater_.Files().Validators()))
        LogPrintf(L"Failed to save the validators of channel %s", name.c_str());
    Finish(treeView_, processed != ChannelUpdater::kFailed);
}
