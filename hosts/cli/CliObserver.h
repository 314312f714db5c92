#pragma once

#include "catalogue/CatalogueObserver.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

// Collects update results for the command's report; called from the UI and walk threads.
class CliObserver : public ICatalogueObserver {
public:
    struct Result {
        UpdateOutcome outcome;
        std::string reason;
    };

    void OnUpdateFinished(CChannel* channel, UpdateOutcome outcome,
                          const std::string& reason) override;
    // The results so far, by channel id.
    std::map<uint32_t, Result> Results();

private:
    std::mutex lock_;
    std::map<uint32_t, Result> results_;
};
