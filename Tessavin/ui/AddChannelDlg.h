#pragma once

#include "engine/FeedFinder.h"
#include "engine/StopToken.h"
#include "ui/RssDialog.h"

#include <functional>
#include <thread>
#include <vector>

class wxCheckBox;
class wxListBox;

// Add channel (11001): name, description, address and the verify box; the reason of a
// refusal in the message line 10310. OK reads the address on a worker (OK disabled, a busy
// cursor): a feed is taken as it is; a web page's only feed is taken in its stead; a page
// naming several shows them in the list 11540 and the one chosen there is taken; a page
// naming none keeps the dialog open. An address that cannot be read is taken as typed,
// unless the verify box asks for it to be read, when the reason shows. With the verify box,
// a feed's address found on a page is read too and must be a feed; the address field shows
// it before the dialog closes.
class CAddChannelDlg : public CRssDialog {
public:
    enum {
        kName = 11500,
        kDescription = 11503,
        kAddress = 11502,
        kVerify = 11501,
        kFeeds = 11540,
        kMessage = 10310
    };
    CAddChannelDlg(wxWindow* parent, IPluginContainer* container,
                   std::function<bool(const std::wstring&)> isAddressUnique);
    ~CAddChannelDlg() override;
    std::wstring Name() const { return Value(kName).ToStdWstring(); }
    std::wstring Description() const { return Value(kDescription).ToStdWstring(); }
    std::wstring Address() const { return Value(kAddress).ToStdWstring(); }
    wxCheckBox* Verify() const { return verify_; }
    wxListBox* Feeds() const { return feeds_; }
    // OK: the checks, then the address is read; true when the dialog may close at once.
    bool Accept() override;
    // The address was read and the dialog closed with OK (ended, when it is modal).
    bool Accepted() const { return accepted_; }
    // An address is being read.
    bool Finding() const { return finding_; }

protected:
    RuleResult Check() override;

private:
    // mustBeFeed: the address was found on a page, and only a feed there is taken.
    void StartFinding(const std::wstring& address, bool mustBeFeed = false);
    // On the UI thread, with what the worker found at that address.
    void Found(const std::wstring& address, bool mustBeFeed, const FeedFinder::Result& result);
    // Takes the feed's address as the channel's when the checks pass.
    void Take(const std::string& url);
    void Close();
    void ShowFeeds(const std::vector<DiscoveredFeed>& feeds);

    std::function<bool(const std::wstring&)> isAddressUnique_;
    wxCheckBox* verify_;
    wxListBox* feeds_;
    std::vector<std::wstring> feedAddresses_; // of the list's lines
    std::thread worker_;
    StopToken stop_;
    bool finding_ = false;
    bool accepted_ = false;
};
