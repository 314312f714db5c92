#include "Session.h"

#include "AppFolderSetup.h"
#include "CommandTable.h"
#include "HostTexts.h"
#include "UsageError.h"
#include "catalogue/CatalogueModel.h"
#include "config/Config.h"
#include "config/Folders.h"
#include "engine/ThreadPool.h"
#include "host/HostServices.h"
#include "opml/CatalogueImport.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/ResourceModule.h"
#include "reader/ChannelItems.h"
#include "update/UpdateScheduler.h"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <unistd.h>

Session::Session(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

Session::~Session() = default;

int Session::Run(const std::vector<std::string>& args) {
    if (args.empty())
        throw UsageError{"no command"};
    const Command* command = CommandTable::Find(args[0]);
    if (!command)
        throw UsageError{"unknown command " + args[0]};
    const std::string app = platform::WideToUtf8(GetAppDirectory());
    if (app.empty())
        return Refuse("cannot find the application folder");
    // The resources stay active while the command runs, and no longer.
    struct ActiveResources {
        std::unique_ptr<platform::ResourceModule> module;
        ~ActiveResources() { platform::ResourceModule::SetActive(nullptr); }
    } const resources{SetUpHost(app)};
    CConfig config;
    config.copyUserChannelList = HostWantsUserChannelList(&container_);
    config.Initialize(L"Quorvel.ini");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (!command->onCatalogue)
        return command->run(*this, rest);
    return RunOnCatalogue(*command, rest, app);
}

// The host's side: plug-in data, settings folder, texts, host settings. The resources stay
// active while the command runs.
std::unique_ptr<platform::ResourceModule> Session::SetUpHost(const std::string& app) {
    if (!platform::FolderExists(platform::Utf8ToWide(app + "Plugins/QuorvelUIPlugin")))
        InstallPluginFiles(TESSAVIN_PLUGIN_SOURCE_DIR, app);
    std::filesystem::create_directories(app + "rss/RssUserCfg");
    AddEnglishTexts(container_);
    container_.SetHostValue(L"rss", L"userchanneldefine", L"1");
    auto resources =
        platform::ResourceModule::Load(platform::Utf8ToWide(app + "Plugins/QuorvelUIPlugin/res"));
    platform::ResourceModule::SetActive(resources.get());
    return resources;
}

int Session::RunOnCatalogue(const Command& command, const std::vector<std::string>& args,
                            const std::string& app) {
    int threads = CConfig().ReadThreadNum();
    threads = threads < 1 ? 1 : threads > 30 ? 30 : threads;
    pool_ = std::make_unique<CThreadPool>(static_cast<unsigned>(threads));
    UpdateScheduler::Targets targets;
    targets.view = &view_;
    targets.frame = &frame_;
    model_ = std::make_unique<CatalogueModel>(&observer_);
    updates_ = std::make_unique<UpdateScheduler>(*model_, targets, pool_.get());
    importer_ = std::make_unique<CatalogueImport>(*model_, &frame_);
    int result;
    if (!model_->Open()) {
        result = RefuseOpen(app);
    } else {
        // Updates and deletions keep the word index current.
        if (index_.Open(model_->DataFolder(), ChannelItems::IndexSource(*model_)))
            model_->SetIndex(&index_);
        importer_->ImportDefaultListIfNew();
        if (!model_->OpenProblem().empty())
            err_ << "tessavin: " << platform::WideToUtf8(model_->OpenProblem()) << "\n";
        // Updates started while loading (a default list, added channels) finish first.
        result = command.run(*this, args);
        if (model_->TakeSaveFailure())
            result = Refuse("the catalogue could not be saved (is the disk full or read-only?); "
                            "the files keep their last saved state");
    }
    updates_->Close();
    model_->Close();
    pool_.reset();  // waits for running jobs before the records go
    index_.Close(); // writes what they queued
    importer_.reset();
    updates_.reset();
    model_.reset();
    return result;
}

int Session::RefuseOpen(const std::string& app) {
    const std::string folder = app + "userdata/rss/ReadRecord/Common";
    switch (model_->OpenError()) {
    case CatalogueFiles::OpenError::kInUse:
        return Refuse("the catalogue in " + folder + " is in use by another instance");
    case CatalogueFiles::OpenError::kReadOnly:
        return Refuse("the catalogue folder " + folder + " is read-only");
    default:
        return Refuse(model_->OpenProblem().empty()
                          ? "the catalogue in " + folder + " cannot be opened"
                          : platform::WideToUtf8(model_->OpenProblem()) + " (" + folder + ")");
    }
}

int Session::Refuse(const std::string& reason) {
    err_ << "tessavin: " << reason << "\n";
    return 1;
}

int Session::RefuseKey(const std::wstring& key, const std::string& fallback) {
    const std::wstring text = GetLocaleText(key, kModuleTextsName, &container_);
    return Refuse(text.empty() ? fallback : platform::WideToUtf8(text));
}

bool Session::ParseNode(const std::string& text, CGroup** group, CChannel** channel) {
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
        *group = model_->FindGroup(id);
    else
        *channel = model_->FindChannel(id);
    return *group || *channel;
}

CChannel* Session::ChannelArg(const std::string& text) {
    CGroup* group;
    CChannel* channel;
    if (!ParseNode(text, &group, &channel) || !channel)
        return nullptr;
    return channel;
}

CGroup* Session::GroupArg(const std::string& text) {
    if (text.empty() || text[0] != 'g')
        throw UsageError{"not a group: " + text};
    CGroup* group;
    CChannel* channel;
    ParseNode(text, &group, &channel);
    return group;
}

std::map<std::string, std::string> Session::Options(const std::vector<std::string>& args,
                                                    size_t from,
                                                    const std::vector<std::string>& allowed,
                                                    std::vector<std::string>* positional) {
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

void Session::WaitForUpdates(size_t total) {
    const bool terminal = isatty(STDERR_FILENO) && &err_ == &std::cerr;
    for (;;) {
        Pump(100);
        const size_t done = observer_.Results().size();
        if (terminal)
            err_ << "\rupdating " << done << "/" << total << " " << std::flush;
        if (!updates_->UpdateAllRunning() && updates_->RunningJobs() == 0 && view_.Size() == 0)
            break;
    }
    if (terminal)
        err_ << "\r" << std::string(40, ' ') << "\r" << std::flush;
}

void Session::Pump(unsigned waitMs) {
    platform::PostedMessage m;
    if (view_.WaitNext(m, waitMs)) {
        updates_->HandleMessage(m);
        HandleViewMessages();
    }
    frame_.Drain();
}

void Session::HandleViewMessages() {
    view_.Pump([this](const platform::PostedMessage& m) { updates_->HandleMessage(m); });
}

std::string Session::Line(CChannel* channel) {
    return "[c" + std::to_string(channel->GetId()) + "] " +
           platform::WideToUtf8(channel->NodeText());
}
