#include "CliObserver.h"

#include "catalogue/Channel.h"

void CliObserver::OnUpdateFinished(CChannel* channel, UpdateOutcome outcome,
                                   const std::string& reason) {
    std::lock_guard<std::mutex> guard(lock_);
    results_[channel->GetId()] = Result{outcome, reason};
}

std::map<uint32_t, CliObserver::Result> CliObserver::Results() {
    std::lock_guard<std::mutex> guard(lock_);
    return results_;
}
