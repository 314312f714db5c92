#pragma once

#include "catalogue/ChannelFiles.h"
#include "catalogue/ItemIndex.h"
#include "engine/FeedDocument.h"
#include "engine/ItemStateFile.h"
#include "engine/Messages.h"
#include "engine/PageWriter.h"
#include "platform/File.h"

#include <string>
#include <vector>

class CChannel;
namespace platform {
class MessageTarget;
}

// The update of one channel from a downloaded document: the item state file, the merge
// of new and remembered items under the channel's item limit, the channel page and the
// counts. It touches only its own channel and files, so it can run on a worker thread.
//
// The state file is opened exclusively by LoadState and held until the updater goes, so
// an item action cannot change a mark between the read and the rewrite. Page and state
// file are built in memory and each replaced whole (temporary file + rename): a crash
// never leaves a half-written page or a truncated state file. They are not flushed to the
// disk here (a flush costs a journal commit per update); the reader's own marks are,
// by the item actions.
class ChannelUpdater {
public:
    enum Result { kFailed = 0, kWritten = 1, kUnchanged = 2 };

    // frame: where status 11726 goes (may be null).
    ChannelUpdater(CChannel& channel, const std::wstring& dataFolder,
                   platform::MessageTarget* frame);

    // Opens the channel's state file, creating it when missing, and reads its lines.
    bool LoadState();
    // The last LoadState failed only because another opener (an item action) held the file.
    bool StateHeld() const { return stateHeld_; }
    // Checks the document and, when it is new, writes page and state file and sets the
    // channel's counts; sets lastUpdated when written or unchanged.
    Result Process(const std::string& document);
    // Why Process or LoadState failed, in a few English words; empty otherwise.
    const std::string& FailureReason() const { return failure_; }
    int ShownCount() const { return static_cast<int>(shownCount_); }
    int ReadCount() const { return static_cast<int>(readCount_); }
    // Items that a written update added to a page the channel had before (0 otherwise).
    int NewCount() const { return static_cast<int>(newCount_); }
    // The server said the document did not change: like an unchanged document, nothing is
    // written and the counts stay; lastUpdated is set.
    void KeepUnchanged();
    // Page, state file, and the validators of the download that made the page.
    const ChannelFiles& Files() const { return files_; }
    // The page and the state file exist.
    bool HasPage() const;
    // The site and icon addresses of the document Process read (absolute http or https
    // addresses, or empty), whether or not it was new.
    const std::string& SiteAddress() const { return site_; }
    const std::string& IconAddress() const { return icon_; }
    // Where a written merge's new and dropped items are told (may be null).
    void SetIndex(ItemIndex* index) { index_ = index; }

    // Where the merge takes the items of a document from: the raw fields of each item in
    // document order, and the texts a new item is shown with.
    class ItemSource {
    public:
        virtual ~ItemSource() = default;
        // The next item: its link at least (a remembered item needs no more).
        virtual bool Next(ItemFields& fields) = 0;
        // The texts of the item Next gave last, which is new.
        virtual void Prepare(ItemFields& fields, PageItemTexts& texts) = 0;
    };

private:
    Result ProcessDocument(const std::string& document);
    // Atom, RSS 1.0 and RSS 0.9x documents (those the RSS 2.0 reading refuses).
    Result ProcessOtherFormat(const std::string& document);
    // JSON Feed documents.
    Result ProcessJsonFeed(const std::string& document);
    // The items of a document read by FeedDocument or JsonFeedDocument (UTF-8 HTML), as a
    // list or from a source; notAFeed: the reason given when the reading found no feed.
    Result ProcessFeedItems(FeedDocument::Status status, const std::string& buildDate,
                            std::vector<ItemFields>& items, size_t documentSize,
                            const char* notAFeed);
    Result ProcessFeedItems(FeedDocument::Status status, const std::string& buildDate,
                            ItemSource& items, size_t documentSize, const char* notAFeed);
    bool IsUnchanged(const std::string& buildDate) const;
    // Keeps what a reader found as the feed's site and icon: resolved against the channel's
    // address, http and https only. Every format's reading hands its addresses here (a
    // JSON Feed's home_page_url and icon as well).
    void KeepAddresses(const std::string& site, const std::string& icon,
                       const DocumentEncoding* encoding = nullptr);
    Result Reject(const wchar_t* logFormat, const char* reason);
    // The items merged with the remembered ones; page and state file written.
    Result Merge(ItemSource& items, const std::string& buildDate, PageEncoding encoding,
                 size_t documentSize);
    // Replaces page and state file; false (logged, failure set) when the page is held or
    // either cannot be written.
    bool WriteFiles(const std::string& page, const std::string& state);

    CChannel& channel_;
    ChannelFiles files_;
    platform::MessageTarget* frame_;
    platform::File stateFile_;
    std::vector<StateRecord> records_;
    uint32_t shownCount_ = 0;
    uint32_t readCount_ = 0;
    uint32_t newCount_ = 0;
    std::string failure_;
    std::string site_;
    std::string icon_;
    bool stateHeld_ = false;
    ItemIndex* index_ = nullptr;
};
