#include "UpdateCommand.h"

#include "Session.h"
#include "UsageError.h"
#include "catalogue/CatalogueModel.h"
#include "platform/CodePage.h"
#include "reader/ChannelItems.h"
#include "update/UpdateScheduler.h"

#include <atomic>
#include <csignal>

namespace {

// The updates that Ctrl-C stops (a lock-free store, as a signal handler may make).
std::atomic<UpdateScheduler*> interrupted{nullptr};

void OnInterrupt(int) {
    if (UpdateScheduler* updates = interrupted.load())
        updates->StopAll();
}

} // namespace

int UpdateCommand::Run(Session& session, const std::vector<std::string>& args) {
    if (args.empty())
        throw UsageError{"update needs --all or nodes"};
    std::vector<CChannel*> channels;
    // Ctrl-C stops the updates while they run; the handler before is back afterwards.
    struct Interrupts {
        explicit Interrupts(UpdateScheduler& updates) { interrupted.store(&updates); }
        ~Interrupts() {
            std::signal(SIGINT, previous);
            interrupted.store(nullptr);
        }
        void (*previous)(int) = std::signal(SIGINT, OnInterrupt);
    };
    {
        const Interrupts interrupts(session.Updates());
        if (!Start(session, args, channels))
            return 1;
        session.WaitForUpdates(channels.size());
    }
    return Report(session, channels);
}

bool UpdateCommand::Start(Session& session, const std::vector<std::string>& args,
                          std::vector<CChannel*>& channels) {
    if (args.size() == 1 && args[0] == "--all") {
        channels = ChannelItems::InTreeOrder(session.Model().TopLevel());
        session.Updates().UpdateAll();
        return true;
    }
    for (const std::string& a : args) {
        CGroup* group;
        CChannel* channel;
        if (!session.ParseNode(a, &group, &channel)) {
            session.Refuse("no such node: " + a);
            return false;
        }
        for (CChannel* under : ChannelItems::InTreeOrder(
                 {group ? CatalogueModel::NodeOf(group) : CatalogueModel::NodeOf(channel)}))
            channels.push_back(under);
    }
    for (CChannel* channel : channels)
        session.Updates().UpdateSelected(channel);
    return true;
}

// A line per channel and the counts; a channel without a result was not reached before the
// updates stopped.
int UpdateCommand::Report(Session& session, const std::vector<CChannel*>& channels) {
    auto results = session.Observer().Results();
    int ok = 0, unchanged = 0, failed = 0, stopped = 0;
    for (CChannel* channel : channels) {
        auto it = results.find(channel->GetId());
        std::string word = "stopped";
        if (it == results.end() || it->second.outcome == UpdateOutcome::kStopped) {
            ++stopped;
        } else if (it->second.outcome == UpdateOutcome::kWritten) {
            word = "ok";
            ++ok;
        } else if (it->second.outcome == UpdateOutcome::kUnchanged) {
            word = "unchanged";
            ++unchanged;
        } else {
            word = "failed";
            if (!it->second.reason.empty())
                word += " (" + it->second.reason + ")";
            ++failed;
        }
        session.Out() << "c" << channel->GetId() << " " << platform::WideToUtf8(channel->GetName())
                      << ": " << word << "\n";
    }
    session.Out() << channels.size() << " channels: " << ok << " ok, " << unchanged
                  << " unchanged, " << failed << " failed, " << stopped << " stopped\n";
    return failed > 0 ? 1 : 0;
}
