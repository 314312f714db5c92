#include "engine/ChannelUpdater.h"

#include "catalogue/Channel.h"
#include "config/DateTime.h"
#include "config/LogFile.h"
#include "engine/FeedDocument.h"
#include "engine/ItemText.h"
#include "engine/RssDocument.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/MappedFile.h"
#include "platform/MessageTarget.h"

#include <unordered_map>

namespace {

struct RememberedItem {
    StateRecord record;
    PageItemTexts texts;
    bool done = false; // matched by a new item, or written
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

private:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    std::vector<RememberedItem> items_;
    std::vector<size_t> nextSameLink_;
    std::unordered_map<std::string, size_t> firstByLink_;
    std::unordered_map<std::string, size_t> lastByLink_;
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
    bool Next(ItemFields& fields) override {
        if (!document_.NextItem(cursor_, span_))
            return false;
        document_.ReadItem(span_, fields);
        return true;
    }
    void Prepare(ItemFields& fields, PageItemTexts& texts) override {
        texts.title = ToUtf8From(std::move(fields.title), encoding_);
        texts.description = ItemText::PrepareDescription(
            ToUtf8From(std::move(fields.description), encoding_), encoding_.page);
        texts.author = ToUtf8From(std::move(fields.author), encoding_);
        texts.date = ItemText::DisplayDate(ToUtf8From(std::move(fields.pubDate), encoding_));
    }

private:
    const RssDocument& document_;
    const DocumentEncoding encoding_;
    size_t cursor_ = 0;
    ItemSpan span_;
};

// The items of a feed read with the XML reader: UTF-8 HTML already.
class FeedItems : public ChannelUpdater::ItemSource {
public:
    explicit FeedItems(std::vector<ItemFields>& items) : items_(items) {}
    bool Next(ItemFields& fields) override {
        if (next_ >= items_.size())
            return false;
        fields = std::move(items_[next_++]);
        return true;
    }
    void Prepare(ItemFields& fields, PageItemTexts& texts) override {
        // A title in markup that does not pass the tag check shows as text.
        texts.title = ItemText::TagCheck(fields.title) ? std::move(fields.title)
                                                       : FeedDocument::EscapeText(fields.title);
        texts.description = ItemText::PrepareMarkup(fields.description);
        texts.author = std::move(fields.author);
        texts.date = ItemText::DisplayDate(fields.pubDate);
    }

private:
    std::vector<ItemFields>& items_;
    size_t next_ = 0;
};

} // namespace

ChannelUpdater::ChannelUpdater(CChannel& channel, const std::wstring& dataFolder,
                               platform::MessageTarget* frame)
    : channel_(channel), files_(dataFolder, channel), frame_(frame) {}

bool ChannelUpdater::HasPage() const {
    return stateExisted_ && platform::FileExists(files_.Page());
}

void ChannelUpdater::KeepUnchanged() {
    channel_.SetLastUpdated(FormatNow(L"%Y-%m-%d %H:%M:%S"));
}

bool ChannelUpdater::LoadState() {
    using platform::File;
    records_.clear();
    stateExisted_ = false;
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
    if (!stateFile_.Open(path, File::kRead | File::kWrite | File::kExclusive) ||
        !stateFile_.ReadToEnd(content)) {
        stateFile_.Close();
        LogPrintf(L"Failed open flgfile!");
        failure_ = "state file in use or unreadable";
        return false;
    }
    records_ = ItemStateFile::Parse(content);
    stateExisted_ = true;
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
    const RssDocument document(text);
    if (!document.HasSupportedVersion())
        return ProcessOtherFormat(text);
    // A document cut off in transfer must not store its build date: the complete document
    // would then be "unchanged" for ever.
    if (!document.IsComplete())
        return Reject(L"The document of channel %s is incomplete", "incomplete document");
    const std::string buildDate = document.BuildDate();
    if (IsUnchanged(buildDate))
        return kUnchanged;
    RssItems items(document);
    return Merge(items, buildDate, items.Page(), text.size());
}

ChannelUpdater::Result ChannelUpdater::ProcessOtherFormat(const std::string& text) {
    FeedDocument feed;
    switch (feed.Read(text, platform::WideToUtf8(channel_.GetUrl()))) {
    case FeedDocument::Status::kNotAFeed:
        return Reject(L"Invalidate version of RSS for channel %s", "not an RSS or Atom document");
    case FeedDocument::Status::kIncomplete:
        return Reject(L"The document of channel %s is incomplete", "incomplete document");
    case FeedDocument::Status::kRead:
        break;
    }
    if (IsUnchanged(feed.BuildDate()))
        return kUnchanged;
    FeedItems items(feed.Items());
    return Merge(items, feed.BuildDate(), PageEncoding::kUtf8, text.size());
}

bool ChannelUpdater::IsUnchanged(const std::string& buildDate) const {
    const std::string stored = channel_.GetLastBuildDate();
    return !stored.empty() && stored == buildDate;
}

ChannelUpdater::Result ChannelUpdater::Merge(ItemSource& items, const std::string& buildDate,
                                             PageEncoding encoding, size_t documentSize) {
    const std::string stored = channel_.GetLastBuildDate();
    const std::wstring name = channel_.GetName();
    const std::wstring pagePath = files_.Page();

    // Remembered items: only when a build date was stored and the previous page exists.
    RememberedList remembered;
    if (!stored.empty() && platform::FileExists(pagePath)) {
        platform::MappedFile previous;
        if (!previous.Open(pagePath)) {
            LogPrintf(L"Failed to create channel file for channel %s", name.c_str());
        } else {
            std::map<uint32_t, PageItemTexts> texts = PageWriter::ReadBack(previous.View());
            for (size_t i = 0; i < records_.size(); ++i) {
                RememberedItem item;
                item.record = records_[i];
                auto it = texts.find(static_cast<uint32_t>(i + 1));
                if (it != texts.end())
                    item.texts = std::move(it->second);
                remembered.Add(std::move(item));
            }
        }
    }

    const uint32_t maxItems = channel_.GetMaxItems();
    const int64_t groupId = static_cast<int32_t>(channel_.GetGroupId());
    const int64_t channelId = static_cast<int32_t>(channel_.GetId());
    PageWriter page(encoding, documentSize * 3, platform::WideToUtf8(channel_.GetUrl()));
    std::string state;
    state.reserve(records_.size() * 64 + 4096);
    uint32_t lineNumber = 0; // an item's number on the page is its state line number

    ItemFields fields;
    while (items.Next(fields)) {
        if (++shownCount_ > maxItems) {
            --shownCount_;
            break;
        }
        const std::string link = ItemText::CleanLink(fields.link);
        RememberedItem* known = remembered.Match(link);
        bool read = false, flagged = false;
        PageItemTexts texts;
        if (!known) {
            ItemStateFile::AppendNewItemLine(state, link);
            ++lineNumber;
            items.Prepare(fields, texts);
        } else {
            known->done = true;
            const StateRecord& r = known->record;
            if (r.deletedMark == '1')
                --shownCount_;
            else if (r.readMark == '1')
                ++readCount_;
            ItemStateFile::AppendKnownItemLine(state, r.code, link);
            ++lineNumber;
            if (r.deletedMark == '1')
                continue;
            read = r.readMark != '0';
            flagged = r.flagMark != '0';
            // A remembered item keeps the texts its page showed (already prepared).
            texts = std::move(known->texts);
            texts.date = ItemText::DisplayDate(texts.date);
        }
        page.AppendItem(lineNumber, groupId, channelId, link, texts, read, flagged);
    }

    for (RememberedItem& item : remembered.Items()) {
        if (item.done)
            continue;
        if (++shownCount_ > maxItems) {
            --shownCount_;
            break;
        }
        const StateRecord& r = item.record;
        if (r.deletedMark == '1')
            --shownCount_;
        else if (r.readMark == '1')
            ++readCount_;
        ItemStateFile::AppendKnownItemLine(state, r.code, r.link);
        ++lineNumber;
        if (r.deletedMark == '1')
            continue;
        page.AppendItem(lineNumber, groupId, channelId, r.link, item.texts, r.readMark != '0',
                        r.flagMark != '0');
    }
    const std::string pageBytes = page.Finish(shownCount_);

    // Write the page (refused while an item action holds it), then the state file.
    platform::File pageLock;
    const bool pageExists = platform::PathExists(pagePath);
    if ((pageExists &&
         !pageLock.Open(pagePath, platform::File::kRead | platform::File::kExclusive)) ||
        !platform::ReplaceFilesContent({{pagePath, &pageBytes}, {files_.State(), &state}},
                                       /*flush=*/false)) {
        LogPrintf(L"Failed to create channel file for channel %s", name.c_str());
        failure_ = "page not writable";
        return kFailed;
    }
    pageLock.Close();

    // The first build date is kept only once its page exists.
    if (stored.empty())
        channel_.SetLastBuildDate(buildDate);
    channel_.SetCounts(shownCount_ - readCount_, shownCount_);
    return kWritten;
}
