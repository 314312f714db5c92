#pragma once

#include <cstdint>
#include <string>

class CChannel;
class ItemIndex;
namespace platform {
class MessageTarget;
}

// Opens a link in a new page of the reading pane; returns 0 when it cannot.
class ILinkOpener {
public:
    virtual ~ILinkOpener() = default;
    virtual int OpenPage(const std::wstring& title, const std::wstring& address) = 0;
};

// A script call of a channel page, as the page writer emits it.
struct ItemCall {
    enum Action { kNone = 0, kRead = 1, kFlag = 2, kDelete = 3 };
    Action action = kNone;
    int64_t groupId = 0;
    int64_t channelId = 0;
    uint32_t item = 0;        // the item's number = its line in the state file
    std::string link;         // go_read from a title: the item's link
    bool carriesLink = false; // the link is an http or https address
};

// The item actions that a click in a channel page starts: the state file line and the
// page file change on disk, and the channel tree is told how the counts change.
class ItemAction {
public:
    // Accepts only "javascript:go_read('025212A0',G,C,N,'link')", "javascript:go_flag(G,C,N)"
    // and "javascript:go_delete(G,C,N)" (N > 0); anything else is action 0.
    static ItemCall Parse(const std::string& address);

    // A channel page's item call: runs the item action (only for calls whose channel id is
    // the page's channel) and opens a title's web link. itemLink, when given, is the link of
    // the item the page showed at that number: the action is refused when the state file's
    // item there is another one (the page is older than the files). True when the action
    // changed the state file and the page file.
    static bool OnNavigate(const std::wstring& address, CChannel& channel,
                           const std::wstring& dataFolder, platform::MessageTarget* view,
                           ILinkOpener* opener, const std::string* itemLink = nullptr,
                           ItemIndex* index = nullptr);

    // Parses the address and applies its call.
    static bool HandleItemAction(const std::wstring& address, CChannel& channel,
                                 const std::wstring& dataFolder, platform::MessageTarget* view,
                                 const std::string* itemLink = nullptr, ItemIndex* index = nullptr);
    // Changes the item's mark in the state file, then patches the page; true when both
    // changed. Only a call whose channel id is the channel's own is applied. A deleted item
    // leaves the word index (when given).
    static bool Apply(const ItemCall& call, CChannel& channel, const std::wstring& dataFolder,
                      platform::MessageTarget* view, const std::string* itemLink = nullptr,
                      ItemIndex* index = nullptr);

    // Patches the page for one changed item and posts 11902 / 11903 to the view; true when
    // the page file changed.
    static bool UpdatePageForItem(const std::wstring& pagePath, uint32_t item,
                                  ItemCall::Action action, bool carriesLink, char oldReadMark,
                                  char newReadMark, int newState, CChannel& channel,
                                  platform::MessageTarget* view);

    // Sets a read or flag mark's icons (and a read title's class) of the item (its block's
    // number) in the page's bytes, in place; false when the page shows none of them.
    static bool PatchMark(std::string& page, uint32_t item, ItemCall::Action action, int newState);

private:
    // Takes the item's block out of the page, with the total it shows one less (total: the
    // channel's); the page's only item leaves the empty page (wasLast). False when the page
    // has no block for it.
    static bool RemoveItem(std::string& page, uint32_t item, uint32_t total, bool& wasLast);
};
