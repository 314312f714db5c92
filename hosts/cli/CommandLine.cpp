#include "CommandLine.h"

#include "AppFolderSetup.h"
#include "HostContainer.h"
#include "HostTexts.h"
#include "OptionsCommand.h"
#include "catalogue/CatalogueModel.h"
#include "catalogue/DialogRules.h"
#include "config/Config.h"
#include "config/Folders.h"
#include "config/LogFile.h"
#include "engine/StopFlags.h"
#include "engine/ThreadPool.h"
#include "host/HostServices.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/MessageQueue.h"
#include "platform/ResourceModule.h"
#include "reader/ItemAction.h"
#include "xml/OpmlExport.h"

#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char kUsage[] =
    "usage: tessavin [--app-dir DIR] [--log] COMMAND [ARGS]\n"
    "  list\n"
    "  update (--all | NODE...)              a group updates every channel under it\n"
    "  import PATH|URL [--group gID]\n"
    "  export PATH|-                         the catalogue as OPML 2.0 (- : standard output)\n"
    "  add-group NAME [--parent gID]\n"
    "  add-channel URL --name NAME [--description TEXT] [--group gID]\n"
    "  rename NODE NAME\n"
    "  set cID [--name N] [--description D] [--url U] [--max-items N] [--interval M]\n"
    "  move NODE (gID|top)\n"
    "  delete NODE\n"
    "  delete-articles cID\n"
    "  page cID\n"
    "  mark cID N (read|unread|flag|unflag|delete)\n"
    "  log [--lines N]                       the newest log file (written with --log)\n"
    "  options [KEY [VALUE]]                 the settings; with a VALUE, checked and written\n";

struct UsageError {
    std::string message;
};

std::string Utf8(const std::wstring& text) {
    return platform::WideToUtf8(text);
}
std::wstring Wide(const std::string& text) {
    return platform::Utf8ToWide(text);
}

void OnInterrupt(int) {
    stopFlag = true;
}

// Collects update results for the command's report; called from the UI and walk threads.
class CliObserver : public ICatalogueObserver {
public:
    void OnUpdateFinished(CChannel* channel, CUpdateJob::Outcome outcome,
                          const std::string& reason) override {
        std::lock_guard<std::mutex> guard(lock_);
        results_[channel->GetId()] = Result{outcome, reason};
    }
    void OnUpdatingChanged(CChannel* channel, bool updating) override {
        std::lock_guard<std::mutex> guard(lock_);
        if (updating)
            started_[channel->GetId()] = true;
    }
    struct Result {
        CUpdateJob::Outcome outcome;
        std::string reason;
    };
    std::map<uint32_t, Result> Results() {
        std::lock_guard<std::mutex> guard(lock_);
        return results_;
    }
    size_t Started() {
        std::lock_guard<std::mutex> guard(lock_);
        return started_.size();
    }

private:
    std::mutex lock_;
    std::map<uint32_t, Result> results_;
    std::map<uint32_t, bool> started_;
};

class Session {
public:
    Session(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int Run(std::vector<std::string> args);

private:
    // NODE: g<id> a group, c<id> or a bare number a channel.
    bool ParseNode(const std::string& text, CGroup** group, CChannel** channel) {
        *group = nullptr;
        *channel = nullptr;
        std::string digits = text;
        bool isGroup = false;
        if (!text.empty() && (text[0] == 'g' || text[0] == 'c')) {
            isGroup = text[0] == 'g';
            digits = text.substr(1);
        }
        // Digits only, and a number that fits an id: no sign, no blank, no wrap.
        uint32_t id = 0;
        auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), id);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos ||
            parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size())
            throw UsageError{"not a node: " + text};
        if (isGroup)
            *group = model_->FindGroup(static_cast<uint32_t>(id));
        else
            *channel = model_->FindChannel(static_cast<uint32_t>(id));
        return *group || *channel;
    }
    CChannel* ChannelArg(const std::string& text) {
        CGroup* group;
        CChannel* channel;
        if (!ParseNode(text, &group, &channel) || !channel)
            return nullptr;
        return channel;
    }
    CGroup* GroupArg(const std::string& text) {
        if (text.empty() || text[0] != 'g')
            throw UsageError{"not a group: " + text};
        CGroup* group;
        CChannel* channel;
        ParseNode(text, &group, &channel);
        return group;
    }
    int Refuse(const std::string& reason) {
        err_ << "tessavin: " << reason << "\n";
        return 1;
    }
    int RefuseKey(const std::wstring& key, const std::string& fallback) {
        std::wstring text = GetLocaleText(key, kModuleTextsName, &container_);
        return Refuse(text.empty() ? fallback : Utf8(text));
    }
    void Pump(unsigned waitMs) {
        platform::PostedMessage m;
        if (view_.WaitNext(m, waitMs)) {
            model_->HandleMessage(m);
            view_.Pump(
                [this](const platform::PostedMessage& next) { model_->HandleMessage(next); });
        }
        frame_.Drain();
    }
    void WaitForUpdates(size_t total);
    void PrintTree(const std::vector<CatalogueNode*>& nodes, int depth);
    void CollectChannels(CatalogueNode* node, std::vector<CChannel*>& out);
    std::string Line(CChannel* channel) {
        return "[c" + std::to_string(channel->GetId()) + "] " + Utf8(channel->NodeText());
    }

    int List();
    int Update(const std::vector<std::string>& args);
    int Import(const std::vector<std::string>& args);
    int AddGroup(const std::vector<std::string>& args);
    int AddChannel(const std::vector<std::string>& args);
    int Rename(const std::vector<std::string>& args);
    int Set(const std::vector<std::string>& args);
    int Move(const std::vector<std::string>& args);
    int Delete(const std::vector<std::string>& args);
    int DeleteArticles(const std::vector<std::string>& args);
    int Page(const std::vector<std::string>& args);
    int Export(const std::vector<std::string>& args);
    int Mark(const std::vector<std::string>& args);
    int Log(const std::vector<std::string>& args);

    std::ostream& out_;
    std::ostream& err_;
    HostContainer container_;
    CliObserver observer_;
    platform::MessageQueue view_, frame_;
    std::unique_ptr<CThreadPool> pool_;
    std::unique_ptr<CatalogueModel> model_;
};

// Options after the positional arguments: --name VALUE ...
std::map<std::string, std::string> Options(const std::vector<std::string>& args, size_t from,
                                           const std::vector<std::string>& allowed,
                                           std::vector<std::string>* positional = nullptr) {
    std::map<std::string, std::string> options;
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) == 0) {
            bool known = false;
            for (const std::string& name : allowed)
                known |= name == a;
            if (!known || i + 1 >= args.size())
                throw UsageError{"bad option " + a};
            options[a] = args[++i];
        } else if (positional) {
            positional->push_back(a);
        } else {
            throw UsageError{"unexpected argument " + a};
        }
    }
    return options;
}

int Session::Run(std::vector<std::string> args) {
    if (args.empty())
        throw UsageError{"no command"};
    const std::string command = args[0];
    static const char* const kCommands[] = {
        "list",   "update", "import", "add-group",       "add-channel", "rename", "set",    "move",
        "delete", "page",   "mark",   "delete-articles", "log",         "export", "options"};
    bool known = false;
    for (const char* c : kCommands)
        known |= command == c;
    if (!known)
        throw UsageError{"unknown command " + command};

    // The host's side: plug-in data, settings folder, texts, host settings.
    const std::string app = Utf8(GetAppDirectory());
    if (app.empty())
        return Refuse("cannot find the application folder");
    if (!platform::FolderExists(Wide(app + "Plugins/QuorvelUIPlugin")))
        InstallPluginFiles(TESSAVIN_PLUGIN_SOURCE_DIR, app);
    std::filesystem::create_directories(app + "rss/RssUserCfg");
    AddEnglishTexts(container_);
    container_.SetHostValue(L"rss", L"userchanneldefine", L"1");
    auto resources = platform::ResourceModule::Load(Wide(app + "Plugins/QuorvelUIPlugin/res"));
    platform::ResourceModule::SetActive(resources.get());

    CConfig config;
    config.container = &container_;
    config.Initialize(L"Quorvel.ini");
    if (command == "log")
        return Log(std::vector<std::string>(args.begin() + 1, args.end()));
    if (command == "options") {
        const OptionsCommand::Outcome outcome =
            OptionsCommand::Run(std::vector<std::string>(args.begin() + 1, args.end()), out_);
        if (outcome.exitCode == 2)
            throw UsageError{outcome.message};
        return outcome.exitCode == 0 ? 0 : Refuse(outcome.message);
    }
    int threads = CConfig().ReadThreadNum();
    threads = threads < 1 ? 1 : threads > 30 ? 30 : threads;

    stopFlag = false;
    exitFlag = false;
    pool_ = std::make_unique<CThreadPool>(static_cast<unsigned>(threads));
    CatalogueModel::Targets targets;
    targets.view = &view_;
    targets.frame = &frame_;
    model_ = std::make_unique<CatalogueModel>(&observer_, targets, pool_.get());
    int result;
    const std::string folder = app + "userdata/rss/ReadRecord/Common";
    if (!model_->Open()) {
        switch (model_->OpenError()) {
        case CatalogueFiles::OpenError::kInUse:
            result = Refuse("the catalogue in " + folder + " is in use by another instance");
            break;
        case CatalogueFiles::OpenError::kReadOnly:
            result = Refuse("the catalogue folder " + folder + " is read-only");
            break;
        default:
            result = Refuse(model_->OpenProblem().empty()
                                ? "the catalogue in " + folder + " cannot be opened"
                                : Utf8(model_->OpenProblem()) + " (" + folder + ")");
        }
    } else {
        if (!model_->OpenProblem().empty())
            err_ << "tessavin: " << Utf8(model_->OpenProblem()) << "\n";
        // Updates started while loading (a default list, added channels) finish first.
        std::vector<std::string> rest(args.begin() + 1, args.end());
        if (command == "list")
            result = List();
        else if (command == "update")
            result = Update(rest);
        else if (command == "import")
            result = Import(rest);
        else if (command == "add-group")
            result = AddGroup(rest);
        else if (command == "add-channel")
            result = AddChannel(rest);
        else if (command == "rename")
            result = Rename(rest);
        else if (command == "set")
            result = Set(rest);
        else if (command == "move")
            result = Move(rest);
        else if (command == "delete")
            result = Delete(rest);
        else if (command == "delete-articles")
            result = DeleteArticles(rest);
        else if (command == "page")
            result = Page(rest);
        else if (command == "export")
            result = Export(rest);
        else
            result = Mark(rest);
        if (model_->TakeSaveFailure())
            result = Refuse("the catalogue could not be saved (is the disk full or read-only?); "
                            "the files keep their last saved state");
    }
    model_->Close();
    pool_.reset(); // waits for running jobs before the records go
    model_.reset();
    platform::ResourceModule::SetActive(nullptr);
    return result;
}

void Session::PrintTree(const std::vector<CatalogueNode*>& nodes, int depth) {
    for (CatalogueNode* node : nodes) {
        out_ << std::string(static_cast<size_t>(depth) * 2, ' ');
        if (node->group) {
            out_ << "[g" << node->group->GetId() << "] " << Utf8(node->group->GetName()) << "\n";
            PrintTree(node->children, depth + 1);
        } else {
            // A channel whose updates fail says why and since when.
            const ChannelHealth* health = model_->HealthOf(node->channel);
            out_ << Line(node->channel)
                 << (health ? "  failed: " + health->Describe(*node->channel) : std::string())
                 << "\n";
        }
    }
}

int Session::List() {
    PrintTree(model_->TopLevel(), 0);
    return 0;
}

void Session::CollectChannels(CatalogueNode* node, std::vector<CChannel*>& out) {
    if (node->channel) {
        out.push_back(node->channel);
        return;
    }
    for (CatalogueNode* child : node->children)
        CollectChannels(child, out);
}

void Session::WaitForUpdates(size_t total) {
    const bool terminal = isatty(STDERR_FILENO) && &err_ == &std::cerr;
    for (;;) {
        Pump(100);
        size_t done = observer_.Results().size();
        if (terminal)
            err_ << "\rupdating " << done << "/" << total << " " << std::flush;
        if (!model_->UpdateAllRunning() && model_->RunningJobs() == 0 && view_.Size() == 0)
            break;
    }
    if (terminal)
        err_ << "\r" << std::string(40, ' ') << "\r" << std::flush;
}

int Session::Update(const std::vector<std::string>& args) {
    if (args.empty())
        throw UsageError{"update needs --all or nodes"};
    std::vector<CChannel*> channels;
    auto* previous = std::signal(SIGINT, OnInterrupt);
    if (args.size() == 1 && args[0] == "--all") {
        for (CatalogueNode* node : model_->TopLevel())
            CollectChannels(node, channels);
        model_->UpdateAll();
    } else {
        for (const std::string& a : args) {
            CGroup* group;
            CChannel* channel;
            if (!ParseNode(a, &group, &channel))
                return Refuse("no such node: " + a);
            CollectChannels(group ? CatalogueModel::NodeOf(group) : CatalogueModel::NodeOf(channel),
                            channels);
        }
        for (CChannel* channel : channels)
            model_->UpdateSelected(channel);
    }
    WaitForUpdates(channels.size());
    std::signal(SIGINT, previous);
    auto results = observer_.Results();
    int ok = 0, unchanged = 0, failed = 0, stopped = 0;
    for (CChannel* channel : channels) {
        auto it = results.find(channel->GetId());
        std::string word = "stopped";
        if (it != results.end()) {
            switch (it->second.outcome) {
            case CUpdateJob::Outcome::kWritten:
                word = "ok";
                ++ok;
                break;
            case CUpdateJob::Outcome::kUnchanged:
                word = "unchanged";
                ++unchanged;
                break;
            case CUpdateJob::Outcome::kStopped:
                ++stopped;
                break;
            default:
                word = "failed";
                if (!it->second.reason.empty())
                    word += " (" + it->second.reason + ")";
                ++failed;
                break;
            }
        } else {
            ++stopped; // the walk stopped before it
        }
        out_ << "c" << channel->GetId() << " " << Utf8(channel->GetName()) << ": " << word << "\n";
    }
    out_ << channels.size() << " channels: " << ok << " ok, " << unchanged << " unchanged, "
         << failed << " failed, " << stopped << " stopped\n";
    return failed > 0 ? 1 : 0;
}

int Session::Import(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    auto options = Options(args, 0, {"--group"}, &positional);
    if (positional.size() != 1)
        throw UsageError{"import needs one PATH or URL"};
    CGroup* parent = nullptr;
    if (options.count("--group") && !(parent = GroupArg(options["--group"])))
        return Refuse("no such group: " + options["--group"]);
    std::string path = positional[0];
    if (path.rfind("http://", 0) != 0 && path.rfind("HTTP://", 0) != 0 &&
        path.rfind("https://", 0) != 0 && path.rfind("HTTPS://", 0) != 0 &&
        std::filesystem::exists(path))
        path = std::filesystem::absolute(path).string();
    const size_t groups = model_->Groups().size(), channels = model_->Channels().size();
    int result = model_->Import(Wide(path), parent);
    if (result == 0) {
        using Problem = CatalogueModel::ImportProblem;
        const CatalogueModel::ImportSummary& failed = model_->LastImport();
        const Problem problem = failed.problem;
        return Refuse("cannot import " + positional[0] + ": " +
                      (problem == Problem::kNoFile       ? "no such file"
                       : problem == Problem::kUnreadable ? "the file cannot be read"
                       : problem == Problem::kNotHttp    ? "not an http address"
                       : problem == Problem::kDownloadFailed
                           ? "the download failed (" + failed.downloadFailure + ")"
                       : problem == Problem::kNoIds ? "no ids are left"
                                                    : "not an OPML list"));
    }
    if (result == 2)
        return Refuse("no groups or channels in " + positional[0]);
    out_ << "imported " << model_->Groups().size() - groups << " groups and "
         << model_->Channels().size() - channels << " channels";
    // What of the list was left out or changed to meet the dialogs' rules, when anything.
    const CatalogueModel::ImportSummary& summary = model_->LastImport();
    const struct {
        size_t count;
        const char *one, *more;
    } parts[] = {
        {summary.alreadyPresent, "already present", "already present"},
        {summary.notHttp, "left out (not an http address)", "left out (not an http address)"},
        {summary.addressTooLong, "left out (address too long)", "left out (address too long)"},
        {summary.namesCleaned, "name cleaned", "names cleaned"},
        {summary.descriptionsCleaned, "description cleaned", "descriptions cleaned"},
        {summary.itemLimitsClamped, "item limit clamped", "item limits clamped"},
        {summary.intervalsClamped, "interval clamped", "intervals clamped"}};
    for (const auto& part : parts)
        if (part.count > 0)
            out_ << ", " << part.count << " " << (part.count == 1 ? part.one : part.more);
    out_ << "\n";
    return 0;
}

int Session::AddGroup(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    auto options = Options(args, 0, {"--parent"}, &positional);
    if (positional.size() != 1)
        throw UsageError{"add-group needs a NAME"};
    CGroup* parent = nullptr;
    if (options.count("--parent") && !(parent = GroupArg(options["--parent"])))
        return Refuse("no such group: " + options["--parent"]);
    const std::wstring name = Wide(positional[0]);
    if (!DialogRules::AddGroup(name).ok)
        return Refuse("a group name has 1 to 260 characters, not only blanks and no control "
                      "characters");
    CGroup* group = model_->AddGroup(parent, name);
    if (!group)
        return Refuse("no group ids are left");
    out_ << "[g" << group->GetId() << "] " << Utf8(group->GetName()) << "\n";
    return 0;
}

int Session::AddChannel(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    auto options = Options(args, 0, {"--name", "--description", "--group"}, &positional);
    if (positional.size() != 1 || !options.count("--name"))
        throw UsageError{"add-channel needs a URL and --name"};
    CGroup* parent = nullptr;
    if (options.count("--group") && !(parent = GroupArg(options["--group"])))
        return Refuse("no such group: " + options["--group"]);
    const std::wstring name = Wide(options["--name"]);
    const std::wstring description = Wide(options["--description"]);
    const std::wstring url = Wide(positional[0]);
    RuleResult rule = DialogRules::AddChannel(
        name, description, url, /*verify=*/false,
        [this](const std::wstring& a) { return model_->IsAddressUnique(a); });
    if (!rule.ok)
        return RuleResult(rule).key.empty() ? Refuse("refused")
                                            : RefuseKey(rule.key, Utf8(rule.key));
    CChannel* channel = model_->AddChannel(parent, name, description, url);
    if (!channel)
        return Refuse("no channel ids are left");
    WaitForUpdates(1); // adding a channel starts its first update
    out_ << Line(channel) << "\n";
    auto results = observer_.Results();
    auto it = results.find(channel->GetId());
    if (it != results.end() && it->second.outcome == CUpdateJob::Outcome::kFailed)
        return Refuse("c" + std::to_string(channel->GetId()) +
                      " was added, but its first update failed (" + it->second.reason + ")");
    return 0;
}

int Session::Rename(const std::vector<std::string>& args) {
    if (args.size() != 2)
        throw UsageError{"rename needs NODE and NAME"};
    CGroup* group;
    CChannel* channel;
    if (!ParseNode(args[0], &group, &channel))
        return Refuse("no such node: " + args[0]);
    const std::wstring name = Wide(args[1]);
    if (!DialogRules::Rename(name).ok)
        return Refuse("a name has 1 to 260 characters, not only blanks and no control "
                      "characters");
    model_->Rename(group ? CatalogueModel::NodeOf(group) : CatalogueModel::NodeOf(channel), name);
    return 0;
}

int Session::Set(const std::vector<std::string>& args) {
    if (args.empty())
        throw UsageError{"set needs a channel"};
    auto options =
        Options(args, 1, {"--name", "--description", "--url", "--max-items", "--interval"});
    CChannel* channel = ChannelArg(args[0]);
    if (!channel)
        return Refuse("no such channel: " + args[0]);
    // Only the values given are checked: a stored value outside the dialog's ranges (from
    // an imported list) stays as it is and does not block a change of another value.
    auto given = [&options](const char* name) { return options.count(name) != 0; };
    ChannelProperties check;
    check.name = given("--name") ? Wide(options["--name"]) : L"x";
    check.description = given("--description") ? Wide(options["--description"]) : L"";
    check.url = given("--url") ? Wide(options["--url"]) : L"http://unchanged/";
    check.maxItemsText = given("--max-items") ? Wide(options["--max-items"]) : L"100";
    check.intervalText = given("--interval") ? Wide(options["--interval"]) : L"60";
    RuleResult rule = DialogRules::Properties(
        check, given("--url") ? channel->GetUrl() : check.url,
        [this](const std::wstring& a) { return model_->IsAddressUnique(a); });
    if (!rule.ok)
        return RefuseKey(rule.key, Utf8(rule.key));
    if (channel->IsUpdating())
        return Refuse("the channel is being updated");
    CatalogueModel::PropertyValues v;
    v.name = given("--name") ? check.name : channel->GetName();
    v.description = given("--description") ? check.description : channel->GetDescription();
    v.url = given("--url") ? check.url : channel->GetUrl();
    v.maxItems =
        given("--max-items") ? DialogRules::Number(check.maxItemsText) : channel->GetMaxItems();
    v.interval =
        given("--interval") ? DialogRules::Number(check.intervalText) : channel->GetInterval();
    model_->ApplyProperties(channel, v);
    out_ << Line(channel) << "\n";
    return 0;
}

int Session::Move(const std::vector<std::string>& args) {
    if (args.size() != 2)
        throw UsageError{"move needs NODE and (gID|top)"};
    CGroup* group;
    CChannel* channel;
    if (!ParseNode(args[0], &group, &channel))
        return Refuse("no such node: " + args[0]);
    CGroup* target = nullptr;
    if (args[1] != "top") {
        if (args[1].empty() || args[1][0] != 'g')
            return Refuse("a node can only be moved into a group or to the top level");
        if (!(target = GroupArg(args[1])))
            return Refuse("no such group: " + args[1]);
    }
    CatalogueNode* node = group ? CatalogueModel::NodeOf(group) : CatalogueModel::NodeOf(channel);
    switch (model_->Move(node, target)) {
    case CatalogueModel::MoveResult::kMoved:
        return 0;
    case CatalogueModel::MoveResult::kOntoItself:
        return Refuse("a group cannot be moved into itself");
    case CatalogueModel::MoveResult::kAlreadyTopLevel:
        return Refuse("the node is at the top level already");
    default:
        return Refuse("a group cannot be moved into its own subtree");
    }
}

int Session::Delete(const std::vector<std::string>& args) {
    if (args.size() != 1)
        throw UsageError{"delete needs a NODE"};
    CGroup* group;
    CChannel* channel;
    if (!ParseNode(args[0], &group, &channel))
        return Refuse("no such node: " + args[0]);
    CatalogueNode* node = group ? CatalogueModel::NodeOf(group) : CatalogueModel::NodeOf(channel);
    if (!model_->Delete(node)) {
        // Where it stopped, and what stayed.
        const CatalogueModel::DeleteReport& report = model_->LastDelete();
        const bool updating = report.stop == CatalogueModel::DeleteStop::kUpdating;
        const std::string stopped =
            "c" + std::to_string(report.channelId) + " " + Utf8(report.channel);
        if (!group)
            return Refuse(stopped + " was not deleted: " +
                          (updating ? "it is being updated" : "its files cannot be deleted"));
        const size_t left = CatalogueModel::ChannelsUnder(CatalogueModel::NodeOf(group));
        return Refuse("the delete stopped at " + stopped +
                      (updating ? ", which is being updated" : ", whose files cannot be deleted") +
                      "; g" + std::to_string(group->GetId()) + " " + Utf8(group->GetName()) +
                      " stays, holding " + std::to_string(left) + " of its channels");
    }
    return 0;
}

int Session::DeleteArticles(const std::vector<std::string>& args) {
    if (args.size() != 1)
        throw UsageError{"delete-articles needs a channel"};
    CChannel* channel = ChannelArg(args[0]);
    if (!channel)
        return Refuse("no such channel: " + args[0]);
    if (!model_->DeleteChannelArticles(channel))
        return Refuse("the channel's files cannot be deleted");
    out_ << Line(channel) << "\n";
    return 0;
}

int Session::Page(const std::vector<std::string>& args) {
    if (args.size() != 1)
        throw UsageError{"page needs a channel"};
    CChannel* channel = ChannelArg(args[0]);
    if (!channel)
        return Refuse("no such channel: " + args[0]);
    const std::wstring path = model_->PagePath(channel);
    if (!platform::FileExists(path))
        return Refuse("the channel has no page yet; update it first");
    out_ << std::filesystem::absolute(Utf8(path)).lexically_normal().string() << "\n";
    return 0;
}

int Session::Export(const std::vector<std::string>& args) {
    if (args.size() != 1)
        throw UsageError{"export needs a PATH, or - for standard output"};
    const std::string document = OpmlExport::Write(model_->TopLevel());
    if (args[0] == "-") {
        out_ << document;
        return 0;
    }
    // Written whole or not at all: an existing file is replaced only by a complete list.
    if (!platform::ReplaceFileContent(Wide(args[0]), document))
        return Refuse("cannot write " + args[0]);
    out_ << "exported " << model_->Groups().size() << " groups and " << model_->Channels().size()
         << " channels to " << args[0] << "\n";
    return 0;
}

int Session::Mark(const std::vector<std::string>& args) {
    if (args.size() != 3)
        throw UsageError{"mark needs cID, N and read|unread|flag|unflag|delete"};
    CChannel* channel = ChannelArg(args[0]);
    if (!channel)
        return Refuse("no such channel: " + args[0]);
    uint32_t item = 0;
    const std::string& n = args[1];
    auto parsed = std::from_chars(n.data(), n.data() + n.size(), item);
    if (n.empty() || n[0] == '+' || parsed.ec != std::errc() || parsed.ptr != n.data() + n.size())
        throw UsageError{"not an item number: " + n};
    // The mark to set: its place in the state line and its value.
    struct Wanted {
        const char* word;
        ItemCall::Action action;
        char mark;
    };
    static const Wanted kWanted[] = {{"read", ItemCall::kRead, '1'},
                                     {"unread", ItemCall::kRead, '0'},
                                     {"flag", ItemCall::kFlag, '1'},
                                     {"unflag", ItemCall::kFlag, '0'},
                                     {"delete", ItemCall::kDelete, '1'}};
    const Wanted* wanted = nullptr;
    for (const Wanted& w : kWanted)
        if (args[2] == w.word)
            wanted = &w;
    if (!wanted)
        throw UsageError{"mark takes read, unread, flag, unflag or delete"};
    const std::string c = std::to_string(static_cast<int32_t>(channel->GetId()));
    auto lineOf = [this, channel, item](std::string& line) {
        std::string state;
        platform::ReadWholeFile(model_->StatePath(channel), state);
        size_t start = 0;
        for (uint32_t i = 1; i < item && start != std::string::npos; ++i) {
            start = state.find('\n', start);
            start = start == std::string::npos ? start : start + 1;
        }
        if (item == 0 || start == std::string::npos || start + 4 > state.size())
            return false;
        line = state.substr(start, 4);
        return true;
    };
    std::string line;
    if (!lineOf(line))
        return Refuse("channel c" + c + " has no item " + n);
    if (line[ItemCall::kDelete] == '1')
        return Refuse("item " + n + " of channel c" + c + " is deleted");
    if ((line[wanted->action] == '1') == (wanted->mark == '1')) {
        out_ << Line(channel) << "\n"; // already so
        return 0;
    }
    const std::string g = std::to_string(static_cast<int32_t>(channel->GetGroupId()));
    const std::string ids = g + "," + c + "," + n;
    const std::string call =
        wanted->action == ItemCall::kRead   ? "javascript:go_read('025212A0'," + ids + ",'')"
        : wanted->action == ItemCall::kFlag ? "javascript:go_flag(" + ids + ")"
                                            : "javascript:go_delete(" + ids + ")";
    ItemAction::HandleItemAction(Wide(call), *channel, model_->DataFolder(), &view_);
    view_.Pump([this](const platform::PostedMessage& m) { model_->HandleMessage(m); });
    if (!lineOf(line) || (line[wanted->action] == '1') != (wanted->mark == '1'))
        return Refuse("the state file of channel c" + c +
                      " could not be written (is it read-only, or is the channel updating?)");
    out_ << Line(channel) << "\n";
    return 0;
}

// The newest log file of the log folder, from UTF-16LE to UTF-8; with --lines N its last N
// lines.
int Session::Log(const std::vector<std::string>& args) {
    auto options = Options(args, 0, {"--lines"});
    long lines = -1;
    if (options.count("--lines")) {
        const std::string& text = options["--lines"];
        auto parsed = std::from_chars(text.data(), text.data() + text.size(), lines);
        if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() ||
            lines < 0)
            throw UsageError{"--lines needs a number"};
    }
    const std::filesystem::path folder = Utf8(GetAppDirectory()) + "RssConfig/Log";
    std::filesystem::path newest;
    std::filesystem::file_time_type newestTime;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".log")
            continue;
        auto time = entry.last_write_time();
        if (newest.empty() || time > newestTime) {
            newest = entry.path();
            newestTime = time;
        }
    }
    if (newest.empty())
        return Refuse("no log file in " + folder.string() + " (run a command with --log)");
    std::string bytes;
    platform::ReadWholeFile(Wide(newest.string()), bytes);
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = static_cast<unsigned char>(bytes[i]) |
                        static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (unit >= 0xDC00 && unit <= 0xDFFF && !text.empty() && text.back() >= 0xD800 &&
            text.back() <= 0xDBFF) // the second half of a surrogate pair
            text.back() =
                static_cast<wchar_t>(0x10000 + ((text.back() - 0xD800) << 10) + (unit - 0xDC00));
        else if (unit != '\r')
            text.push_back(static_cast<wchar_t>(unit));
    }
    std::string utf8 = Utf8(text);
    if (lines >= 0) {
        size_t pos = utf8.size();
        if (pos > 0 && utf8[pos - 1] == '\n')
            --pos;
        for (long i = 0; i < lines && pos != std::string::npos && pos > 0; ++i)
            pos = utf8.rfind('\n', pos - 1);
        utf8 = lines == 0                             ? std::string()
               : pos == std::string::npos || pos == 0 ? utf8
                                                      : utf8.substr(pos + 1);
    }
    out_ << utf8;
    return 0;
}

} // namespace

int RunTessavin(int argc, char** argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args;
    bool log = false;
    try {
        int i = 1;
        for (; i < argc; ++i) {
            std::string a = argv[i];
            if (a == "--app-dir") {
                if (i + 1 >= argc)
                    throw UsageError{"--app-dir needs a folder"};
                std::string dir = std::filesystem::absolute(argv[++i]).lexically_normal().string();
                if (dir.back() != '/')
                    dir.push_back('/');
                std::filesystem::create_directories(dir);
                setenv("TESSAVIN_APP_DIR", dir.c_str(), 1);
            } else if (a == "--log") {
                log = true;
            } else if (a == "--help" || a == "-h") {
                out << kUsage;
                return 0;
            } else {
                break;
            }
        }
        args.assign(argv + i, argv + argc);
        loggingOn = log ? 1 : 0;
        Session session(out, err);
        int rc = session.Run(args);
        loggingOn = 0;
        return rc;
    } catch (const UsageError& e) {
        loggingOn = 0;
        err << "tessavin: " << e.message << "\n" << kUsage;
        return 2;
    } catch (const std::exception& e) {
        loggingOn = 0;
        err << "tessavin: " << e.what() << "\n";
        return 1;
    }
}
