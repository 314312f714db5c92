#pragma once

#include <string>
#include <wx/panel.h>

class CChannel;
class CIEFrame;
class wxWebView;
class wxWebViewEvent;

// One page of the reading pane: a web view showing either a channel's page from the data
// folder (channel set) or a web address. The frame decides what its notifications mean.
class CIEView : public wxPanel {
public:
    // lang: the Lang setting, handed to every document's script before it runs.
    CIEView(CIEFrame* frame, wxWindow* parent, const std::wstring& lang);

    wxWebView* WebView() const { return web_; }
    void SetChannel(CChannel* channel) { channel_ = channel; }
    CChannel* Channel() const { return channel_; }
    void SetAddress(const std::wstring& address) { address_ = address; }
    const std::wstring& Address() const { return address_; }
    void SetTabIndex(int index) { tabIndex_ = index; }
    int TabIndex() const { return tabIndex_; }

    void Navigate(const std::wstring& address);
    // The file the view shows ("" for anything that is not a local file).
    std::wstring ShownFile() const;
    // Loads the shown document again and puts it back where the reader had scrolled.
    void ReloadKeepingScroll();
    // How many documents have finished loading here.
    int DocumentsLoaded() const { return documentsLoaded_; }

private:
    void OnLoaded(wxWebViewEvent& event);

    CIEFrame* frame_;
    wxWebView* web_ = nullptr;
    CChannel* channel_ = nullptr;
    std::wstring address_;
    int tabIndex_ = 0;
    long restoreScroll_ = -1; // a position to go back to once the reload is done
    int documentsLoaded_ = 0;
};
