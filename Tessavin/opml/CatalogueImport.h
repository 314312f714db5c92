#pragma once

#include "opml/OpmlImport.h"

#include <string>

class CatalogueModel;
class StopToken;
class CGroup;
namespace platform {
class MessageTarget;
}

// Imports an OPML channel list (a file, or an http address downloaded first) into the
// catalogue: the list's records get the next free ids, channels whose address is in the
// catalogue already are left out, and groups of the same name under the same parent are
// merged. An address that turns out to be a feed, or a web page naming feeds, is imported
// as a list of those feeds would be.
class CatalogueImport {
public:
    // frame: where status 11904 goes when a download or the list fails (may be null).
    CatalogueImport(CatalogueModel& model, platform::MessageTarget* frame);

    // A list on the web as downloaded.
    struct Download {
        bool received = false, stopped = false;
        std::string document, finalAddress, contentType;
        std::string failure; // the downloader's reason, when not received
    };
    // Whether Import downloads the path first: http, or https when allowed.
    static bool IsWebAddress(const std::wstring& path);
    // Downloads a list as Import does, on any thread; stop ends it within a second (null:
    // none). frame: where the download's status goes (may be null).
    static Download DownloadList(const std::wstring& address, const StopToken* stop,
                                 platform::MessageTarget* frame = nullptr);

    // Imports a list under the parent group (null: top level). 1 merged (or everything left
    // out), 0 failed, 2 empty. fetched: the path's download, made beforehand (null:
    // Import downloads a web address itself).
    int Import(const std::wstring& path, CGroup* parent, const Download* fetched = nullptr);
    // The default channel list, when the catalogue files were made by this start.
    void ImportDefaultListIfNew();

    // Why an import failed (gave 0).
    enum class ImportProblem {
        kNone,
        kNoIds,
        kNoFile,
        kUnreadable,
        kNotList,
        kNotHttp,
        kDownloadFailed,
        kNoFeed // a web page that names no feed
    };
    // What the last import added, and what of the list it left out or changed.
    struct ImportSummary : ImportCounts {
        size_t groups = 0, channels = 0;
        ImportProblem problem = ImportProblem::kNone;
        std::string downloadFailure; // the downloader's reason ("HTTP 404", ...)
    };
    const ImportSummary& LastImport() const { return lastImport_; }

private:
    // A list on the web is downloaded (unless given) beside the pages; false (and the
    // problem set) when that fails. `source` is what the importer reads.
    bool Fetch(const std::wstring& path, std::wstring& source, const Download* given);
    // The downloaded document, when it is no list, as the list of the feeds it stands for
    // (a feed: the address given); empty when it stands for none.
    std::string FeedList(const std::string& address) const;
    // Why a list that the importer could not read failed.
    ImportProblem ProblemOf(const std::wstring& path, const std::wstring& source) const;
    void LogCounts() const;
    // Moves what the importer read into the catalogue; Import's result.
    int TakeRecords(COpmlImport& importer);

    CatalogueModel& model_;
    platform::MessageTarget* frame_;
    ImportSummary lastImport_;
    Download download_; // what Fetch downloaded, while the import runs
};
