#include "OpmlCommands.h"

#include "Session.h"
#include "UsageError.h"
#include "catalogue/CatalogueModel.h"
#include "engine/FeedFinder.h"
#include "opml/CatalogueImport.h"
#include "opml/OpmlExport.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <filesystem>

int OpmlCommands::Import(Session& session, const Args& args) {
    std::vector<std::string> positional;
    auto options = Session::Options(args, 0, {"--group"}, &positional);
    if (positional.size() != 1)
        throw UsageError{"import needs one PATH or URL"};
    CGroup* parent = nullptr;
    if (options.count("--group") && !(parent = session.GroupArg(options["--group"])))
        return session.Refuse("no such group: " + options["--group"]);
    std::string path = positional[0];
    if (path.rfind("http://", 0) != 0 && path.rfind("HTTP://", 0) != 0 &&
        path.rfind("https://", 0) != 0 && path.rfind("HTTPS://", 0) != 0 &&
        std::filesystem::exists(path))
        path = std::filesystem::absolute(path).string();
    CatalogueModel& model = session.Model();
    const size_t groups = model.Groups().size(), channels = model.Channels().size();
    const int result = session.Importer().Import(platform::Utf8ToWide(path), parent);
    if (result == 0)
        return session.Refuse("cannot import " + positional[0] + ": " + ImportProblem(session));
    if (result == 2)
        return session.Refuse("no groups or channels in " + positional[0]);
    session.Out() << "imported " << model.Groups().size() - groups << " groups and "
                  << model.Channels().size() - channels << " channels"
                  << ImportChanges(session.Importer().LastImport()) << "\n";
    return 0;
}

std::string OpmlCommands::ImportProblem(Session& session) {
    using Problem = CatalogueImport::ImportProblem;
    const CatalogueImport::ImportSummary& failed = session.Importer().LastImport();
    switch (failed.problem) {
    case Problem::kNoFile:
        return "no such file";
    case Problem::kUnreadable:
        return "the file cannot be read";
    case Problem::kNotHttp:
        return "not an http address";
    case Problem::kDownloadFailed:
        return "the download failed (" + failed.downloadFailure + ")";
    case Problem::kNoIds:
        return "no ids are left";
    case Problem::kNoFeed:
        return FeedFinder::kNoFeedFound;
    default:
        return "not an OPML list";
    }
}

// What of the list was left out or changed to meet the dialogs' rules, when anything.
std::string OpmlCommands::ImportChanges(const ImportCounts& counts) {
    const struct {
        size_t count;
        const char *one, *more;
    } parts[] = {
        {counts.alreadyPresent, "already present", "already present"},
        {counts.notHttp, "left out (not an http address)", "left out (not an http address)"},
        {counts.addressTooLong, "left out (address too long)", "left out (address too long)"},
        {counts.namesCleaned, "name cleaned", "names cleaned"},
        {counts.descriptionsCleaned, "description cleaned", "descriptions cleaned"},
        {counts.itemLimitsClamped, "item limit clamped", "item limits clamped"},
        {counts.intervalsClamped, "interval clamped", "intervals clamped"}};
    std::string text;
    for (const auto& part : parts)
        if (part.count > 0)
            text +=
                ", " + std::to_string(part.count) + " " + (part.count == 1 ? part.one : part.more);
    return text;
}

int OpmlCommands::Export(Session& session, const Args& args) {
    if (args.size() != 1)
        throw UsageError{"export needs a PATH, or - for standard output"};
    CatalogueModel& model = session.Model();
    const std::string document = OpmlExport::Write(model.TopLevel());
    if (args[0] == "-") {
        session.Out() << document;
        return 0;
    }
    // Written whole or not at all: an existing file is replaced only by a complete list.
    if (!platform::ReplaceFileContent(platform::Utf8ToWide(args[0]), document))
        return session.Refuse("cannot write " + args[0]);
    session.Out() << "exported " << model.Groups().size() << " groups and "
                  << model.Channels().size() << " channels to " << args[0] << "\n";
    return 0;
}
