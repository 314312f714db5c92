#include "ui/IEView.h"

#include "config/Folders.h"
#include "config/LogFile.h"
#include "engine/WebAddress.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "ui/ReaderWebContext.h"

#include <chrono>
#include <webkit2/webkit2.h>
#include <wx/filename.h>
#include <wx/sizer.h>
#include <wx/webview.h>

wxDEFINE_EVENT(EVT_IE_NEW_WINDOW, CIEPageEvent);
wxDEFINE_EVENT(EVT_IE_PAGE_LANGUAGE, CIEPageEvent);
wxDEFINE_EVENT(EVT_IE_PAGE_CALL, CIEPageEvent);
wxDEFINE_EVENT(EVT_IE_PAGE_CALLS_DONE, CIEPageEvent);

namespace {

// The script world of the reader's page script and the name it posts under.
const char kWorld[] = "tessavin";

// A quoted script string for a value of the settings (digits in practice).
std::string ScriptString(const std::wstring& value) {
    std::string out = "'";
    for (wchar_t c : value)
        if (c >= L'0' && c <= L'9')
            out.push_back(static_cast<char>(c));
    return out + "'";
}

// The reader's page script: the plug-in's copy, else the one beside the page.
const std::string& PageScript(const std::wstring& pageFolder) {
    static std::string script;
    if (script.empty() &&
        !platform::ReadWholeFile(GetPluginDirectory(kPluginName) + L"Data/Data/HtmlStyle/rss.js",
                                 script) &&
        !platform::ReadWholeFile(pageFolder + L"HtmlStyle/rss.js", script))
        LogPrintf(L"The page script rss.js is missing");
    return script;
}

uint64_t NowMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

} // namespace

CIEView::CIEView(wxWindow* parent, bool channelView, bool deferWebView)
    : wxPanel(parent, wxID_ANY), channelView_(channelView) {
    SetSizer(new wxBoxSizer(wxVERTICAL));
    // An empty page shows what an empty web view shows.
    SetBackgroundColour(*wxWHITE);
    if (!deferWebView)
        MakeWebView();
}

bool CIEView::MakeWebView() {
    if (web_)
        return true;
    web_ = wxWebView::New(this, wxID_ANY, wxWebViewDefaultURLStr);
    if (!web_)
        return false; // no browser: the pane finds no web view and discards the page
    GetSizer()->Add(web_, 1, wxEXPAND);
    Layout();
    ReaderWebContext::Prepare(Native());
    // Pages that name no character set of their own are the reader's native pages.
    WebKitSettings* settings = webkit_settings_new_with_settings(
        "default-charset", "GB18030", "javascript-can-open-windows-automatically", FALSE, nullptr);
    webkit_web_view_set_settings(Native(), settings);
    g_object_unref(settings);
    web_->EnableContextMenu(true);
    web_->Bind(wxEVT_WEBVIEW_LOADED, &CIEView::OnLoaded, this);
    // The browser's request for a new view (window.open, a link for a new window) is
    // answered here, never by the web view's own handler, which hands back the requesting
    // view itself and so aborts this browser.
    const guint create = g_signal_lookup("create", WEBKIT_TYPE_WEB_VIEW);
    while (const gulong handler = g_signal_handler_find(Native(), G_SIGNAL_MATCH_ID, create, 0,
                                                        nullptr, nullptr, nullptr))
        g_signal_handler_disconnect(Native(), handler);
    g_signal_connect(Native(), "create", G_CALLBACK(OnCreate), this);
    if (channelView_)
        SetUpChannelView();
    return true;
}

CIEView::~CIEView() {
    if (!web_ || !channelView_)
        return;
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_user_content_manager(Native()), this);
    g_signal_handlers_disconnect_by_data(Native(), this);
    ReaderWebContext::Forget(Native());
}

WebKitWebView* CIEView::Native() const {
    return WEBKIT_WEB_VIEW(web_->GetNativeBackend());
}

void CIEView::SetUpChannelView() {
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(Native());
    g_signal_connect(manager, "script-message-received::tessavin", G_CALLBACK(OnPageMessage), this);
    webkit_user_content_manager_register_script_message_handler_in_world(manager, kWorld, kWorld);
    // After the web view's own handler, which lets every navigation through.
    g_signal_connect(Native(), "decide-policy", G_CALLBACK(OnPolicy), this);
}

void CIEView::Navigate(const std::wstring& address) {
    if (!MakeWebView())
        return;
    if (channelView_) {
        pagePath_ = address;
        LoadPage(0, 0);
        return;
    }
    wxString url(address.c_str());
    // A path typed into the address box is loaded as the file it is.
    if (!address.empty() && address[0] == L'/')
        url = wxFileName::FileNameToURL(wxFileName(url));
    web_->LoadURL(url);
}

void CIEView::LoadPage(long scroll, int pageIndex, bool seekUnread) {
    const std::string& token = calls_.NewLoad();
    const size_t slash = pagePath_.rfind(L'/');
    const std::string source = "(function () {\nvar tessavinLoad = {token: '" + token +
                               "', lang: " + ScriptString(Send(EVT_IE_PAGE_LANGUAGE).text) +
                               ", scroll: " + std::to_string(scroll) +
                               ", page: " + std::to_string(pageIndex) +
                               (seekUnread ? ", seek: 'unread'" : "") + "};\n" +
                               PageScript(pagePath_.substr(0, slash + 1)) + "\n})();";
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(Native());
    webkit_user_content_manager_remove_all_scripts(manager);
    WebKitUserScript* script = webkit_user_script_new_for_world(
        source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, kWorld, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
    ReaderWebContext::ServePage(Native(), pagePath_);
    web_->LoadURL(wxString::FromUTF8(ReaderWebContext::PageAddress(pagePath_, ++loads_)));
}

std::wstring CIEView::ShownFile() const {
    if (!channelView_ || !web_)
        return std::wstring();
    return ReaderWebContext::FileOf(Native(), web_->GetCurrentURL().utf8_str().data());
}

void CIEView::ReloadKeepingScroll() {
    if (channelView_ && !pagePath_.empty())
        LoadPage(calls_.Scroll(), calls_.PageIndex());
    else if (web_)
        web_->Reload();
}

void CIEView::ReloadAtFirstUnread() {
    if (channelView_ && !pagePath_.empty())
        LoadPage(0, 0, true);
}

void CIEView::OnLoaded(wxWebViewEvent& event) {
    ++documentsLoaded_;
    event.Skip(); // on to the pane
}

CIEPageEvent CIEView::Send(wxEventType type, const std::wstring& text, const PageCall* call) {
    CIEPageEvent event(type, this);
    event.text = text;
    event.call = call;
    ProcessWindowEvent(event);
    return event;
}

int CIEView::OnPolicy(void*, void* decision, int type, void* self) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
        type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
        return FALSE;
    auto* view = static_cast<CIEView*>(self);
    auto* policy = static_cast<WebKitPolicyDecision*>(decision);
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(policy));
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    const std::string address = uri ? uri : "";
    // A channel view shows its own page file and nothing else. A link the reader follows
    // that is a web address opens in a web view.
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && !view->pagePath_.empty() &&
        ReaderWebContext::FileOf(view->Native(), address) == view->pagePath_) {
        webkit_policy_decision_use(policy);
        return TRUE;
    }
    webkit_policy_decision_ignore(policy);
    if (webkit_navigation_action_get_navigation_type(action) ==
            WEBKIT_NAVIGATION_TYPE_LINK_CLICKED &&
        WebAddress::IsWeb(address)) {
        const std::wstring link = platform::Utf8ToWide(address);
        view->CallAfter([view, link] { view->Send(EVT_IE_NEW_WINDOW, link); });
    }
    return TRUE;
}

void* CIEView::OnCreate(void*, void* action, void* self) {
    // No view is made: the address opens in a new tab of the reading pane, once the
    // browser's callback has returned.
    auto* view = static_cast<CIEView*>(self);
    WebKitURIRequest* request =
        webkit_navigation_action_get_request(static_cast<WebKitNavigationAction*>(action));
    const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    const std::wstring address = platform::Utf8ToWide(uri ? uri : "");
    view->CallAfter([view, address] { view->Send(EVT_IE_NEW_WINDOW, address); });
    return nullptr;
}

void CIEView::OnPageMessage(void*, void* result, void* self) {
    auto* view = static_cast<CIEView*>(self);
    JSCValue* value =
        webkit_javascript_result_get_js_value(static_cast<WebKitJavascriptResult*>(result));
    if (!jsc_value_is_string(value))
        return;
    char* text = jsc_value_to_string(value);
    const PageCalls::Result received = view->calls_.Receive(text ? text : "", NowMs());
    g_free(text);
    if (received == PageCalls::Result::kQueued || received == PageCalls::Result::kRefused)
        view->ScheduleCalls();
}

void CIEView::ScheduleCalls() {
    if (callScheduled_)
        return;
    callScheduled_ = true;
    CallAfter(&CIEView::RunNextCall);
}

void CIEView::RunNextCall() {
    callScheduled_ = false;
    // Called again from a loop that the call at hand runs (a message box): that call goes
    // on with the queue when it is done.
    if (runningCall_)
        return;
    runningCall_ = true;
    PageCall call;
    if (calls_.Next(call) && !Send(EVT_IE_PAGE_CALL, std::wstring(), &call).applied)
        calls_.Refuse();
    runningCall_ = false;
    if (!calls_.Empty()) {
        ScheduleCalls();
        return;
    }
    // The page shows a change the files refused: it is loaded again, once per load.
    if (calls_.TakeReload())
        ReloadKeepingScroll();
    Send(EVT_IE_PAGE_CALLS_DONE);
}
