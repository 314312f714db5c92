#pragma once

#include "CliObserver.h"
#include "HostContainer.h"
#include "platform/MessageQueue.h"
#include "search/SearchIndex.h"

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class CatalogueImport;
class CatalogueModel;
class CChannel;
class CGroup;
class CThreadPool;
class UpdateScheduler;
struct Command;
namespace platform {
class ResourceModule;
}

// One run of the command line: sets up the host's side (plug-in files, texts, settings),
// opens the catalogue for the commands that work on it, runs the command and closes
// everything again. The commands reach the catalogue and the output through it.
class Session {
public:
    Session(std::ostream& out, std::ostream& err);
    ~Session();

    // args: the command and its arguments. The exit code; throws UsageError.
    int Run(const std::vector<std::string>& args);

    std::ostream& Out() { return out_; }
    CatalogueModel& Model() { return *model_; }
    UpdateScheduler& Updates() { return *updates_; }
    CatalogueImport& Importer() { return *importer_; }
    CliObserver& Observer() { return observer_; }
    SearchIndex& Index() { return index_; }
    // The tree's window: where update jobs and item actions post their messages.
    platform::MessageTarget* View() { return &view_; }

    // "tessavin: reason" on the error stream; returns 1.
    int Refuse(const std::string& reason);
    // The text of a host text key; the fallback when the host has none.
    int RefuseKey(const std::wstring& key, const std::string& fallback);

    // NODE: g<id> a group, c<id> or a bare number a channel. True when it exists; a text
    // that is not a node is a usage error.
    bool ParseNode(const std::string& text, CGroup** group, CChannel** channel);
    // The channel of a NODE; null when there is none.
    CChannel* ChannelArg(const std::string& text);
    // The group of a g<id>; null when there is none. Anything else is a usage error.
    CGroup* GroupArg(const std::string& text);
    // The options --name VALUE from `from` on (only the allowed names); other arguments go
    // to positional, or are a usage error without it.
    static std::map<std::string, std::string>
    Options(const std::vector<std::string>& args, size_t from,
            const std::vector<std::string>& allowed,
            std::vector<std::string>* positional = nullptr);

    // Handles the view's messages until no update runs and none is waiting; on a terminal
    // the count of finished updates (of total) is shown meanwhile.
    void WaitForUpdates(size_t total);
    // Handles the view's waiting messages.
    void HandleViewMessages();
    // "[c<id>] name(unread/all)".
    static std::string Line(CChannel* channel);

private:
    std::unique_ptr<platform::ResourceModule> SetUpHost(const std::string& app);
    int RunOnCatalogue(const Command& command, const std::vector<std::string>& args,
                       const std::string& app);
    int RefuseOpen(const std::string& app);
    void Pump(unsigned waitMs);

    std::ostream& out_;
    std::ostream& err_;
    HostContainer container_;
    CliObserver observer_;
    platform::MessageQueue view_, frame_;
    std::unique_ptr<CThreadPool> pool_;
    std::unique_ptr<CatalogueModel> model_;
    std::unique_ptr<UpdateScheduler> updates_;
    std::unique_ptr<CatalogueImport> importer_;
    SearchIndex index_;
};
