#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class CChannel;
class CGroup;
class CXmlDocument;
namespace platform {
class MessageTarget;
}

// What an import left out or changed to meet the channel dialogs' rules.
struct ImportCounts {
    size_t alreadyPresent = 0;      // the address is in the catalogue or earlier in the list
    size_t notHttp = 0;             // no address, or not http (https with AllowHttps)
    size_t addressTooLong = 0;      // an address longer than the dialogs take
    size_t namesCleaned = 0;        // control characters, too long, or only blanks
    size_t descriptionsCleaned = 0; // control characters, or too long
    size_t itemLimitsClamped = 0;   // out of range, or not a number
    size_t intervalsClamped = 0;    // out of range, or not a number
};

// Reads an OPML channel list (a local file, or an "http://" address through the feed
// downloader) as the XML it is and turns its outlines into new group and channel records
// with fresh ids, in document order. The caller takes the records over.
//
// An outline of kind "nkPath" or "nkDOPML" is a group; one with an `xmlUrl`, or of kind
// "nkFeed", is a channel; one without `xmlUrl` that encloses outlines is a group (the
// folders of other readers' lists); anything else (another kind, an empty folder) is
// skipped with what it encloses.
//
// A list gets no further than the channel dialogs: only http addresses (https with
// AllowHttps) of at most DialogRules::kMaxText characters become channels; control
// characters in names and descriptions become blanks and texts are cut to kMaxText; a
// channel without a name takes its address, a group without one gives its outlines to the
// level around it; item limits and intervals are clamped into the dialogs' ranges.
class COpmlImport {
public:
    // frame: where 11904 with 11745 goes when the import fails (may be null).
    explicit COpmlImport(platform::MessageTarget* frame = nullptr);
    virtual ~COpmlImport();

    // Channels whose address this answers false for (already in the catalogue) are left out;
    // so is a second channel with the same address in the list. Ids stay consecutive.
    std::function<bool(const std::wstring& address)> isNewAddress;
    // The id of a catalogue group of that name under that parent (0: none). A group of the
    // list that has one is merged into it rather than made again.
    std::function<uint32_t(uint32_t parentId, const std::wstring& name)> existingGroup;

    // 1 when the document was read, 0 when it is unreadable or not OPML. Top-level groups
    // and channels go under parentGroupId (0: the top level).
    int Import(const std::wstring& path, uint32_t parentGroupId, uint32_t firstGroupId,
               uint32_t firstChannelId);
    std::vector<std::unique_ptr<CChannel>>& Channels() { return channels_; }
    std::vector<std::unique_ptr<CGroup>>& Groups() { return groups_; }
    const ImportCounts& Counts() const { return counts_; }

    // A list's interval or item limit within the dialogs' range: a number outside it gives
    // the nearest bound, 0, negative or unparsable values the default. `changed` (may be
    // null) tells whether that differs from the text.
    static uint32_t IntervalValue(const std::string& text, bool* changed = nullptr);
    static uint32_t ItemMaxValue(const std::string& text, bool* changed = nullptr);

private:
    struct Outline;
    int Fail();
    // Reads the outlines under the current element into `into`.
    void Read(CXmlDocument& document, std::vector<Outline>& into);
    void Emit(const std::vector<Outline>& outlines, uint32_t parentId, uint32_t& groupId,
              uint32_t& channelId);

    platform::MessageTarget* frame_;
    std::unordered_set<std::wstring> seen_; // addresses taken from this list
    bool allowHttps_ = false;
    ImportCounts counts_;
    std::vector<std::unique_ptr<CChannel>> channels_;
    std::vector<std::unique_ptr<CGroup>> groups_;
};
