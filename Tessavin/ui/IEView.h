#pragma once

#include "reader/PageCalls.h"

#include <string>
#include <wx/event.h>
#include <wx/panel.h>

class CChannel;
class wxWebView;
class wxWebViewEvent;
typedef struct _WebKitWebView WebKitWebView;

// What a page needs of the pane that holds it: a command event that goes up from the page's
// view and is handled at once (the pane binds it on the view).
class CIEPageEvent : public wxCommandEvent {
public:
    CIEPageEvent(wxEventType type, wxWindow* view) : wxCommandEvent(type, view->GetId()) {
        SetEventObject(view);
    }
    wxEvent* Clone() const override { return new CIEPageEvent(*this); }

    std::wstring text;              // the address to open, or the language the pane answers
    const PageCall* call = nullptr; // the item call to handle
    bool applied = false;           // the pane's answer: the channel's files changed as shown
};

// A window the page asks for, or a web link a channel page follows (text: its address).
wxDECLARE_EVENT(EVT_IE_NEW_WINDOW, CIEPageEvent);
// Asks the language of a channel page's texts (the pane answers in text).
wxDECLARE_EVENT(EVT_IE_PAGE_LANGUAGE, CIEPageEvent);
// An item call of a channel page's script, one at a time (the pane answers in applied).
wxDECLARE_EVENT(EVT_IE_PAGE_CALL, CIEPageEvent);
// The page's queue of calls is empty.
wxDECLARE_EVENT(EVT_IE_PAGE_CALLS_DONE, CIEPageEvent);

// One page of the reading pane: a web view showing either a channel's page (a channel
// view) or a web address (a web view).
//
// A channel view runs no script of the page's own: scripts in its markup are switched
// off, and the reader's page script (the style folder's rss.js) runs in a script world of
// its own that the page cannot reach. Only that script can post to the reader, with the
// token of the load the reader made; its calls are queued and handled one at a time, never
// inside a browser callback. The view never leaves its page: a link that is a web address
// opens in a web view, anything else is refused. A web view has no way to the reader.
class CIEView : public wxPanel {
public:
    // deferWebView: the web view (and with the first one, the browser's processes) is made
    // only when the page first goes somewhere; an empty page needs none.
    CIEView(wxWindow* parent, bool channelView, bool deferWebView = false);
    ~CIEView() override;

    // Null while a deferred page has gone nowhere, or when there is no browser.
    wxWebView* WebView() const { return web_; }
    // Makes the web view unless made already; false when there is no browser.
    bool MakeWebView();
    bool IsChannelView() const { return channelView_; }
    void SetChannel(CChannel* channel) { channel_ = channel; }
    CChannel* Channel() const { return channel_; }
    // A view across channels (unread, flagged, search results): its kind (-1: none) and the
    // title its tab shows. Its item calls name their own channels.
    void SetItemView(int kind, const std::wstring& title) {
        viewKind_ = kind;
        viewTitle_ = title;
    }
    int ItemViewKind() const { return viewKind_; }
    const std::wstring& ItemViewTitle() const { return viewTitle_; }
    void SetAddress(const std::wstring& address) { address_ = address; }
    const std::wstring& Address() const { return address_; }

    // A web view goes to the address; a channel view shows the page file (a new load).
    void Navigate(const std::wstring& address);
    // The page file a channel view shows ("" when it shows something else).
    std::wstring ShownFile() const;
    // Loads the shown document again; a channel page comes back where the reader was.
    void ReloadKeepingScroll();
    // Loads the channel page again, at its first unread item.
    void ReloadAtFirstUnread();
    // How many documents have finished loading here.
    int DocumentsLoaded() const { return documentsLoaded_; }
    // The token of the channel page's current load (for tests).
    const std::string& LoadToken() const { return calls_.Token(); }

private:
    WebKitWebView* Native() const;
    void SetUpChannelView();
    // seekUnread: the page opens at its first unread item.
    void LoadPage(long scroll, int pageIndex, bool seekUnread = false);
    void OnLoaded(wxWebViewEvent& event);
    // The browser's policy decisions for a channel view: where it may go.
    static int OnPolicy(void* webView, void* decision, int type, void* self);
    // The browser asks for a new view: none is made (see the source).
    static void* OnCreate(void* webView, void* action, void* self);
    // From the page's script, inside the browser's callback: only queued here.
    static void OnPageMessage(void* manager, void* result, void* self);
    void ScheduleCalls();
    void RunNextCall();
    // Sends an event of this view to the pane and hands it back as the pane left it.
    CIEPageEvent Send(wxEventType type, const std::wstring& text = std::wstring(),
                      const PageCall* call = nullptr);

    wxWebView* web_ = nullptr;
    bool channelView_;
    CChannel* channel_ = nullptr;
    int viewKind_ = -1;
    std::wstring viewTitle_;
    std::wstring address_;
    std::wstring pagePath_; // the file a channel view shows
    unsigned loads_ = 0;
    int documentsLoaded_ = 0;
    PageCalls calls_;
    bool callScheduled_ = false;
    bool runningCall_ = false;
};
