#include "engine/ChannelUpdater.h"

#include "catalogue/Channel.h"
#include "config/DateTime.h"
#include "config/LogFile.h"
#include "engine/FeedDocument.h"
#include "engine/ItemText.h"
#include "engine/JsonFeedDocument.h"
#include "engine/RssDocument.h"
#include "engine/WebAddress.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/MappedFile.h"
#include "platform/MessageTarget.h"

#include <cerrno>
#include <unordered_map>

namespace {

const size_t kMaxAddressBytes = 2048;

struct RememberedItem {
    StateRecord record;
    PageWriter::Block block; // where the previous page shows it
    bool done = false;       // matched by a new item, or written
};

// The items of the previous page, matched by link in list order: each link maps to its
// first unmatched item, and items with the same link are chained in list order.
class RememberedList {
public:
    void Add(RememberedItem item) {
        const size_t index = items_.size();
        nextSameLink_.push_back(kNone);
        if (item.record.usable) {
            auto found = lastByLink_.find(item.record.link);
            if (found == lastByLink_.end()) {
                firstByLink_.emplace(item.record.link, index);
                lastByLink_.emplace(item.record.link, index);
            } else {
                nextSameLink_[found->second] = index;
                found->second = index;
            }
        } else {
            item.done = true; // a short line matches nothing and is not carried on
        }
        items_.push_back(std::move(item));
    }
    RememberedItem* Match(const std::string& link) {
        if (firstByLink_.empty())
            return nullptr;
        // Links of new items are cleaned already; remembered ones were stored without breaks.
        auto it = firstByLink_.find(link);
        if (it == firstByLink_.end())
            return nullptr;
        const size_t index = it->second;
        if (nextSameLink_[index] == kNone)
            firstByLink_.erase(it);
        else
            it->second = nextSameLink_[index];
        return &items_[index];
    }
    std::vector<RememberedItem>& Items() { return items_; }
    // The previous page, whose blocks the items' texts are read from when they are used.
    platform::MappedFile& Page() { return page_; }
    // The texts the previous page showed for the item (number: its line in the state file).
    PageItemTexts Texts(const RememberedItem& item) const {
        const size_t n = static_cast<size_t>(&item - items_.data()) + 1;
        return item.block.Found()
                   ? PageWriter::ReadBlock(page_.View(), static_cast<uint32_t>(n), item.block)
                   : PageItemTexts();
    }

private:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    std::vector<RememberedItem> items_;
    std::vector<size_t> nextSameLink_;
    std::unordered_map<std::string, size_t> firstByLink_;
    std::unordered_map<std::string, size_t> lastByLink_;
    platform::MappedFile page_;
};

std::string ToUtf8From(std::string text, const DocumentEncoding& encoding) {
    if (!encoding.convertToUtf8 || text.empty())
        return text;
    std::string out;
    return platform::ConvertEncoding(text, encoding.declared.c_str(), "UTF-8", out) ? out : text;
}

// The items of an RSS 2.0 document, read by substring search, in the document's bytes.
class RssItems : public ChannelUpdater::ItemSource {
public:
    explicit RssItems(const RssDocument& document)
        : document_(document), encoding_(document.Encoding()) {}
    PageEncoding Page() const { return encoding_.page; }
    const DocumentEncoding& Encoding() const { return encoding_; }
    // The link only: a remembered item needs no more.
    bool Next(ItemFields& fields) override {
        if (!document_.NextItem(cursor_, span_))
            return false;
        tags_ = document_.ReadLink(span_, fields);
        return true;
    }
    void Prepare(ItemFields& fields, PageItemTexts& texts) override {
        document_.ReadRest(span_, tags_, fields);
        texts.title = ToUtf8From(std::move(fields.title), encoding_);
        texts.description = ItemText::PrepareDescription(
            ToUtf8From(std::move(fields.description), encoding_), encoding_.page);
        texts.author = ToUtf8From(std::move(fields.author), encoding_);
        texts.date = ItemText::DisplayDate(ToUtf8From(std::move(fields.pubDate), encoding_));
        if (!fields.enclosures.empty()) {
            for (Enclosure& e : fields.enclosures)
                e.url = ToUtf8From(std::move(e.url), encoding_);
            texts.description += ItemText::EnclosureLinks(fields.enclosures);
        }
    }

private:
    const RssDocument& document_;
    const DocumentEncoding encoding_;
    size_t cursor_ = 0;
    ItemSpan span_;
    RssDocument::ItemTags tags_;
};

// The items of a feed read with the XML reader or as JSON: UTF-8 HTML already. A parsed
// document gives each item's link first and its other fields only when it is prepared: the
// merge shows a remembered item with the texts of the previous page.
class FeedItems : public ChannelUpdater::ItemSource {
public:
    explicit FeedItems(std::vector<ItemFields>& items) : items_(&items) {}
    explicit FeedItems(FeedDocument& document) : document_(&document) {}
    bool Next(ItemFields& fields) override {
        if (document_) {
            if (next_ >= document_->ItemCount())
                return false;
            current_ = next_++;
            fields.link = document_->ItemLink(current_);
            return true;
        }
        if (next_ >= items_->size())
            return false;
        fields = std::move((*items_)[next_++]);
        return true;
    }
    void Prepare(ItemFields& fields, PageItemTexts& texts) override {
        if (document_)
            document_->ReadItemTexts(current_, fields);
        // A title in markup that does not pass the tag check shows as text.
        texts.title = ItemText::TagCheck(fields.title) ? std::move(fields.title)
                                                       : FeedDocument::EscapeText(fields.title);
        texts.description = ItemText::PrepareMarkup(fields.description) +
                            ItemText::EnclosureLinks(fields.enclosures);
        texts.author = std::move(fields.author);
        texts.date = ItemText::DisplayDate(fields.pubDate);
    }

private:
    std::vector<ItemFields>* items_ = nullptr;
    FeedDocument* document_ = nullptr;
    size_t next_ = 0;
    size_t current_ = 0; // the item Next gave last
};

// The remembered items: the state file's records, with where the previous page shows them
// (their texts are read only for the items that are written again).
void ReadRemembered(const std::wstring& pagePath, const std::vector<StateRecord>& records,
                    const std::wstring& name, RememberedList& remembered) {
    platform::MappedFile& previous = remembered.Page();
    if (!previous.Open(pagePath)) {
        LogPrintf(L"Failed to create channel file for channel %s", name.c_str());
        return;
    }
    const std::vector<PageWriter::Block> blocks =
        PageWriter::FindBlocks(previous.View(), static_cast<uint32_t>(records.size()));
    for (size_t i = 0; i < records.size(); ++i) {
        RememberedItem item;
        item.record = records[i];
        if (i + 1 < blocks.size())
            item.block = blocks[i + 1];
        remembered.Add(std::move(item));
    }
}

// The new page and state file as the merge builds them, with the channel's counts: an
// item's number on the page is its state line number; deleted items keep their line but
// are neither shown nor counted.
class MergedFiles {
public:
    // change: where new items are noted for the word index (may be null).
    MergedFiles(const CChannel& channel, PageEncoding encoding, size_t documentSize, size_t records,
                uint32_t& shown, uint32_t& read, IndexChange* change)
        : maxItems_(channel.GetMaxItems()), groupId_(static_cast<int32_t>(channel.GetGroupId())),
          channelId_(static_cast<int32_t>(channel.GetId())),
          page_(encoding, documentSize * 3, platform::WideToUtf8(channel.GetUrl())), shown_(shown),
          read_(read), change_(change), native_(encoding == PageEncoding::kNative) {
        state_.reserve(records * 64 + 4096);
    }
    // Takes one more item, unless the channel's item limit is reached.
    bool Room() {
        if (++shown_ > maxItems_) {
            --shown_;
            return false;
        }
        return true;
    }
    void AddNew(const std::string& link, const PageItemTexts& texts) {
        ++added_;
        ItemStateFile::AppendNewItemLine(state_, link);
        if (!change_) {
            page_.AppendItem(++lineNumber_, groupId_, channelId_, link, texts, false, false);
            return;
        }
        PageItemTexts shown;
        page_.AppendItem(++lineNumber_, groupId_, channelId_, link, texts, false, false, &shown);
        // The index holds UTF-8 texts; a native page's are converted.
        auto text = [this](std::string& t) {
            return native_ ? platform::NativeToUtf8(t) : std::move(t);
        };
        change_->added.push_back(IndexedItem{link, text(shown.title), text(shown.description),
                                             text(shown.author), text(shown.date)});
    }
    void AddKnown(const StateRecord& r, const std::string& link, const PageItemTexts& texts) {
        const bool deleted = r.deletedMark == '1';
        if (deleted)
            --shown_;
        else if (r.readMark == '1')
            ++read_;
        ItemStateFile::AppendKnownItemLine(state_, r.code, link);
        ++lineNumber_;
        if (!deleted)
            page_.AppendItem(lineNumber_, groupId_, channelId_, link, texts, r.readMark != '0',
                             r.flagMark != '0');
    }
    std::string FinishPage() { return page_.Finish(shown_); }
    const std::string& State() const { return state_; }
    uint32_t Added() const { return added_; }

private:
    const uint32_t maxItems_;
    const int64_t groupId_;
    const int64_t channelId_;
    PageWriter page_;
    std::string state_;
    uint32_t lineNumber_ = 0;
    uint32_t added_ = 0;
    uint32_t& shown_;
    uint32_t& read_;
    IndexChange* change_;
    const bool native_;
};

// The document's items in document order, under the limit; a remembered one keeps its
// marks and the texts its page showed (prepared already).
void AddDocumentItems(ChannelUpdater::ItemSource& items, RememberedList& remembered,
                      MergedFiles& merged) {
    ItemFields fields;
    while (items.Next(fields) && merged.Room()) {
        const std::string link = ItemText::CleanLink(fields.link);
        RememberedItem* known = remembered.Match(link);
        if (!known) {
            PageItemTexts texts;
            items.Prepare(fields, texts);
            merged.AddNew(link, texts);
            continue;
        }
        known->done = true;
        PageItemTexts texts = remembered.Texts(*known);
        texts.date = ItemText::DisplayDate(texts.date);
        merged.AddKnown(known->record, link, texts);
    }
}

// Then the remembered items the document no longer has, in their order, while room is left;
// the links of those left out go to dropped (when given).
void AddRememberedItems(RememberedList& remembered, MergedFiles& merged,
                        std::vector<std::string>* dropped) {
    bool room = true;
    for (RememberedItem& item : remembered.Items()) {
        if (item.done)
            continue;
        room = room && merged.Room();
        if (room)
            merged.AddKnown(item.record, item.record.link, remembered.Texts(item));
        else if (!dropped)
            break;
        else if (item.record.deletedMark != '1')
            dropped->push_back(item.record.link);
    }
}

} // namespace

ChannelUpdater::ChannelUpdater(CChannel& channel, const std::wstring& dataFolder,
                               platform::MessageTarget* frame)
    : channel_(channel), files_(dataFolder, channel), frame_(frame) {}

bool ChannelUpdater::HasPage() const {
    return platform::FileExists(files_.State()) && platform::FileExists(files_.Page());
}

void ChannelUpdater::KeepUnchanged() {
    channel_.SetLastUpdated(FormatNow(L"%Y-%m-%d %H:%M:%S"));
}

bool ChannelUpdater::LoadState() {
    using platform::File;
    records_.clear();
    stateHeld_ = false;
    const std::wstring path = files_.State();
    if (!platform::PathExists(path)) {
        if (!stateFile_.Open(path, File::kRead | File::kWrite | File::kCreate | File::kExclusive)) {
            LogPrintf(L"Failed to create channel flag file");
            failure_ = "state file not writable";
            return false;
        }
        return true; // a new file: no records
    }
    std::string content;
    const bool opened = stateFile_.Open(path, File::kRead | File::kWrite | File::kExclusive);
    stateHeld_ = !opened && errno == EWOULDBLOCK;
    if (!opened || !stateFile_.ReadToEnd(content)) {
        stateFile_.Close();
        LogPrintf(L"Failed open flgfile!");
        failure_ = "state file in use or unreadable";
        return false;
    }
    records_ = ItemStateFile::Parse(content);
    return true;
}

ChannelUpdater::Result ChannelUpdater::Process(const std::string& document) {
    try {
        Result result = ProcessDocument(document);
        if (result != kFailed)
            channel_.SetLastUpdated(FormatNow(L"%Y-%m-%d %H:%M:%S"));
        return result;
    } catch (...) {
        LogPrintf(L"Exception in %s, %d", L"XmlParse", __LINE__);
        failure_ = "internal error";
        return kFailed;
    }
}

ChannelUpdater::Result ChannelUpdater::Reject(const wchar_t* logFormat, const char* reason) {
    const std::wstring name = channel_.GetName();
    LogPrintf(logFormat, name.c_str());
    if (frame_)
        frame_->Post(kMsgStatus, kStatusDocumentRejected, 0);
    failure_ = reason;
    return kFailed;
}

ChannelUpdater::Result ChannelUpdater::ProcessDocument(const std::string& text) {
    shownCount_ = 0;
    readCount_ = 0;
    newCount_ = 0;
    site_.clear();
    icon_.clear();
    // A document that opens with '{' is JSON: no RSS search reads it.
    if (JsonFeedDocument::LooksLikeJson(text))
        return ProcessJsonFeed(text);
    const RssDocument document(text);
    if (!document.HasSupportedVersion())
        return ProcessOtherFormat(text);
    // A document cut off in transfer must not store its build date: the complete document
    // would then be "unchanged" for ever.
    if (!document.IsComplete())
        return Reject(L"The document of channel %s is incomplete", "incomplete document");
    const std::string buildDate = document.BuildDate();
    RssItems items(document);
    std::string site, icon;
    document.HeadAddresses(site, icon);
    KeepAddresses(site, icon, &items.Encoding());
    if (IsUnchanged(buildDate))
        return kUnchanged;
    return Merge(items, buildDate, items.Page(), text.size());
}

ChannelUpdater::Result ChannelUpdater::ProcessOtherFormat(const std::string& text) {
    FeedDocument feed;
    // As for JSON Feed: at most what the merge can take is read.
    const FeedDocument::Status status = feed.Read(text, platform::WideToUtf8(channel_.GetUrl()),
                                                  channel_.GetMaxItems() + records_.size());
    if (status == FeedDocument::Status::kRead)
        KeepAddresses(feed.SiteAddress(), feed.IconAddress());
    FeedItems items(feed);
    return ProcessFeedItems(status, feed.BuildDate(), items, text.size(),
                            "not an RSS or Atom document");
}

ChannelUpdater::Result ChannelUpdater::ProcessJsonFeed(const std::string& text) {
    JsonFeedDocument feed;
    // The merge takes at most the item limit of the document's items, and one more for each
    // remembered deleted item among them (those are not counted): the rest are not read.
    const FeedDocument::Status status = feed.Read(text, platform::WideToUtf8(channel_.GetUrl()),
                                                  channel_.GetMaxItems() + records_.size());
    if (status == FeedDocument::Status::kRead)
        KeepAddresses(feed.HomePage(), feed.Icon());
    // (A document that opens as JSON is no RSS or Atom one: the reason says what it is not.)
    return ProcessFeedItems(status, feed.BuildDate(), feed.Items(), text.size(),
                            "not a JSON Feed document");
}

ChannelUpdater::Result ChannelUpdater::ProcessFeedItems(FeedDocument::Status status,
                                                        const std::string& buildDate,
                                                        std::vector<ItemFields>& items,
                                                        size_t documentSize, const char* notAFeed) {
    FeedItems source(items);
    return ProcessFeedItems(status, buildDate, source, documentSize, notAFeed);
}

ChannelUpdater::Result ChannelUpdater::ProcessFeedItems(FeedDocument::Status status,
                                                        const std::string& buildDate,
                                                        ItemSource& items, size_t documentSize,
                                                        const char* notAFeed) {
    switch (status) {
    case FeedDocument::Status::kNotAFeed:
        return Reject(L"Invalidate version of RSS for channel %s", notAFeed);
    case FeedDocument::Status::kIncomplete:
        return Reject(L"The document of channel %s is incomplete", "incomplete document");
    case FeedDocument::Status::kRead:
        break;
    }
    if (IsUnchanged(buildDate))
        return kUnchanged;
    return Merge(items, buildDate, PageEncoding::kUtf8, documentSize);
}

void ChannelUpdater::KeepAddresses(const std::string& site, const std::string& icon,
                                   const DocumentEncoding* encoding) {
    const std::string base = platform::WideToUtf8(channel_.GetUrl());
    auto web = [&](const std::string& address) {
        // An empty address would stand for the base; an endless one for nothing useful.
        if (address.empty() || address.size() > kMaxAddressBytes)
            return std::string();
        return WebAddress::ForPage(base, encoding ? ToUtf8From(address, *encoding) : address,
                                   false);
    };
    site_ = web(site);
    icon_ = web(icon);
}

bool ChannelUpdater::IsUnchanged(const std::string& buildDate) const {
    const std::string stored = channel_.GetLastBuildDate();
    return !stored.empty() && stored == buildDate;
}

ChannelUpdater::Result ChannelUpdater::Merge(ItemSource& items, const std::string& buildDate,
                                             PageEncoding encoding, size_t documentSize) {
    const std::string stored = channel_.GetLastBuildDate();
    // Remembered items: only when a build date was stored and the previous page exists.
    RememberedList remembered;
    if (!stored.empty() && platform::FileExists(files_.Page()))
        ReadRemembered(files_.Page(), records_, channel_.GetName(), remembered);

    IndexChange change;
    MergedFiles merged(channel_, encoding, documentSize, records_.size(), shownCount_, readCount_,
                       index_ ? &change : nullptr);
    AddDocumentItems(items, remembered, merged);
    AddRememberedItems(remembered, merged, index_ ? &change.dropped : nullptr);
    remembered.Page().Close(); // every text is read: the old page is not held while replaced
    if (!WriteFiles(merged.FinishPage(), merged.State()))
        return kFailed;
    if (index_) {
        change.channelId = static_cast<int32_t>(channel_.GetId());
        // Without remembered items the earlier ones are not known here: all are gone.
        change.replaceAll = remembered.Items().empty();
        index_->Merged(std::move(change));
    }

    // A channel's first page brings what it has; only later pages bring new items.
    newCount_ = stored.empty() ? 0 : merged.Added();
    // The first build date is kept only once its page exists.
    if (stored.empty())
        channel_.SetLastBuildDate(buildDate);
    channel_.SetCounts(shownCount_ - readCount_, shownCount_);
    return kWritten;
}

bool ChannelUpdater::WriteFiles(const std::string& page, const std::string& state) {
    // The page first (refused while an item action holds it), then the state file.
    const std::wstring pagePath = files_.Page();
    platform::File pageLock;
    const bool pageExists = platform::PathExists(pagePath);
    if ((pageExists &&
         !pageLock.Open(pagePath, platform::File::kRead | platform::File::kExclusive)) ||
        !platform::ReplaceFilesContent({{pagePath, &page}, {files_.State(), &state}},
                                       /*flush=*/false)) {
        const std::wstring name = channel_.GetName();
        LogPrintf(L"Failed to create channel file for channel %s", name.c_str());
        failure_ = "page not writable";
        return false;
    }
    // Both old files are now unnamed: freeing them need not hold up the update.
    pageLock.CloseReplaced();
    stateFile_.CloseReplaced();
    return true;
}
