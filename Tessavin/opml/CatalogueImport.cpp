#include "opml/CatalogueImport.h"

#include "catalogue/CatalogueModel.h"
#include "config/Config.h"
#include "config/Folders.h"
#include "config/LogFile.h"
#include "engine/FeedFinder.h"
#include "engine/Messages.h"
#include "engine/UpDateXml.h"
#include "opml/OpmlExport.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/MessageTarget.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace {

// Markup of a web page: an html element's tag (any case) at its start.
bool IsPage(const std::string& document) {
    const std::string start = platform::AsciiLower(document.substr(0, 4096));
    return start.find("<html") != std::string::npos || start.find("<head") != std::string::npos;
}

} // namespace

std::string CatalogueImport::FeedList(const std::string& address) const {
    // A page's links resolve against where it came from, after redirects; a feed keeps the
    // address given.
    const FeedFinder::Result found =
        FeedFinder::Decide(download_.document, download_.finalAddress, download_.contentType);
    if (found.outcome == FeedFinder::Outcome::kNoFeed)
        return std::string();
    std::vector<DiscoveredFeed> feeds = found.feeds;
    if (found.outcome == FeedFinder::Outcome::kFeed)
        feeds.push_back({std::string(), address, std::string()});
    // A channel without a name takes its address.
    std::string list = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"><body>";
    for (const DiscoveredFeed& feed : feeds)
        list += "<outline text=\"" + OpmlExport::Escape(feed.title) + "\" xmlUrl=\"" +
                OpmlExport::Escape(feed.url) + "\"/>";
    return list + "</body></opml>";
}

CatalogueImport::CatalogueImport(CatalogueModel& model, platform::MessageTarget* frame)
    : model_(model), frame_(frame) {}

void CatalogueImport::ImportDefaultListIfNew() {
    // The default list is a gift of the first start, not a refill of an emptied catalogue.
    if (model_.CreatedByOpen())
        Import(DefaultChannelListPath(), nullptr);
}

bool CatalogueImport::IsWebAddress(const std::wstring& path) {
    std::wstring scheme = path.substr(0, 8);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; });
    return scheme.compare(0, 7, L"http://") == 0 ||
           (scheme == L"https://" && CConfig().ReadAllowHttps() == 1);
}

CatalogueImport::Download CatalogueImport::DownloadList(const std::wstring& address,
                                                        const StopToken* stop,
                                                        platform::MessageTarget* frame) {
    CUpDateXml downloader(frame);
    downloader.SetStopToken(stop);
    Download got;
    // With a stop token the download heeds it (the import mode would not).
    const int result = downloader.DownLoadXmlbuf(address, stop ? 0 : 1);
    got.received = result == 1;
    got.stopped = result == 2;
    got.failure = downloader.FailureReason().empty() ? "failed" : downloader.FailureReason();
    got.document = downloader.Buffer();
    got.finalAddress = downloader.FinalAddress();
    got.contentType = downloader.ContentType();
    return got;
}

bool CatalogueImport::Fetch(const std::wstring& path, std::wstring& source, const Download* given) {
    source = path;
    if (!IsWebAddress(path))
        return true;
    download_ = given ? *given : DownloadList(path, nullptr, frame_);
    if (!download_.received) {
        lastImport_.problem = ImportProblem::kDownloadFailed;
        lastImport_.downloadFailure = download_.failure;
        download_ = Download{};
        if (frame_)
            frame_->Post(kMsgStatus, kStatusImportFailed, 0);
        return false;
    }
    source = model_.DataFolder() + L"/import.opml.download";
    if (!platform::ReplaceFileContent(source, download_.document)) {
        lastImport_.problem = ImportProblem::kUnreadable;
        return false;
    }
    return true;
}

CatalogueImport::ImportProblem CatalogueImport::ProblemOf(const std::wstring& path,
                                                          const std::wstring& source) const {
    std::string bytes;
    if (source != path && !FeedFinder::IsFeed(download_.document, platform::WideToUtf8(path)) &&
        IsPage(download_.document))
        return ImportProblem::kNoFeed;
    return source != path                            ? ImportProblem::kNotList
           : path.find(L"://") != std::wstring::npos ? ImportProblem::kNotHttp
           : !platform::FileExists(path)             ? ImportProblem::kNoFile
           : !platform::ReadWholeFile(path, bytes)   ? ImportProblem::kUnreadable
                                                     : ImportProblem::kNotList;
}

void CatalogueImport::LogCounts() const {
    const ImportCounts& counts = lastImport_;
    const size_t leftOut = counts.alreadyPresent + counts.notHttp + counts.addressTooLong;
    if (leftOut > counts.alreadyPresent || counts.namesCleaned || counts.descriptionsCleaned ||
        counts.itemLimitsClamped || counts.intervalsClamped)
        LogPrintf(
            L"import left out %d (not http) and %d (address too long), cleaned %d names "
            L"and %d descriptions, clamped %d item limits and %d intervals",
            static_cast<int>(counts.notHttp), static_cast<int>(counts.addressTooLong),
            static_cast<int>(counts.namesCleaned), static_cast<int>(counts.descriptionsCleaned),
            static_cast<int>(counts.itemLimitsClamped), static_cast<int>(counts.intervalsClamped));
}

int CatalogueImport::Import(const std::wstring& path, CGroup* parent, const Download* fetched) {
    lastImport_ = ImportSummary{};
    // The first ids of the list; an import that fails keeps them taken.
    if (!model_.ReserveImportIds()) {
        lastImport_.problem = ImportProblem::kNoIds;
        return 0;
    }
    std::wstring source;
    if (!Fetch(path, source, fetched)) {
        LogPrintf(L"Failed to import feed form file or web");
        return 0;
    }
    // The catalogue's addresses and groups, looked up once per outline.
    std::unordered_set<std::wstring> addresses;
    addresses.reserve(model_.Channels().size());
    for (const auto& channel : model_.Channels())
        addresses.insert(channel->GetUrl());
    // Keyed by "<parent id>/<name>"; of two groups with one name and parent, the first.
    std::unordered_map<std::wstring, uint32_t> groupIds;
    groupIds.reserve(model_.Groups().size());
    for (const auto& group : model_.Groups())
        groupIds.emplace(std::to_wstring(group->GetParentId()) + L'/' + group->GetName(),
                         group->GetId());
    const bool downloaded = source != path;
    // A downloaded document may be a page rather than a list: its failure is not reported
    // until that is known.
    auto importer = std::make_unique<COpmlImport>(downloaded ? nullptr : frame_);
    auto read = [&](COpmlImport& list) {
        list.isNewAddress = [&addresses](const std::wstring& address) {
            return addresses.count(address) == 0;
        };
        list.existingGroup = [&groupIds](uint32_t parentId, const std::wstring& name) {
            const auto found = groupIds.find(std::to_wstring(parentId) + L'/' + name);
            return found == groupIds.end() ? uint32_t{0} : found->second;
        };
        return list.Import(source, parent ? parent->GetId() : 0, model_.LastGroupId(),
                           model_.LastChannelId());
    };
    int result = read(*importer);
    if (!result && downloaded) {
        const std::string list = FeedList(platform::WideToUtf8(path));
        if (!list.empty() && platform::ReplaceFileContent(source, list)) {
            importer = std::make_unique<COpmlImport>(frame_);
            result = read(*importer);
        } else if (frame_) {
            frame_->Post(kMsgStatus, kStatusImportFailed, 0);
        }
    }
    if (downloaded)
        platform::DeleteFile(source);
    if (!result) {
        lastImport_.problem = ProblemOf(path, source);
        LogPrintf(L"Failed to import feed form file or web");
        download_ = Download{};
        return 0;
    }
    download_ = Download{};
    return TakeRecords(*importer);
}

int CatalogueImport::TakeRecords(COpmlImport& importer) {
    auto& groups = importer.Groups();
    auto& channels = importer.Channels();
    static_cast<ImportCounts&>(lastImport_) = importer.Counts();
    LogCounts();
    if (groups.empty() && channels.empty()) {
        if (lastImport_.alreadyPresent + lastImport_.notHttp + lastImport_.addressTooLong == 0)
            return 2;
        model_.ReleaseImportIds(); // nothing taken
        LogPrintf(L"imported 0 groups and 0 channels, %d already present",
                  static_cast<int>(lastImport_.alreadyPresent));
        return 1;
    }
    const size_t groupCount = groups.size(), channelCount = channels.size();
    if (!model_.AddImported(groups, channels)) {
        lastImport_.problem = ImportProblem::kNoIds;
        return 0;
    }
    LogPrintf(L"Succeed to import feed from file or web");
    lastImport_.groups = groupCount;
    lastImport_.channels = channelCount;
    LogPrintf(L"imported %d groups and %d channels, %d already present",
              static_cast<int>(lastImport_.groups), static_cast<int>(lastImport_.channels),
              static_cast<int>(lastImport_.alreadyPresent));
    model_.SaveGroups();
    model_.SaveChannels();
    return 1;
}
