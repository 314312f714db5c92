#include "ui/IEView.h"

#include "ui/IEFrame.h"

#include <dlfcn.h>
#include <glib-object.h>
#include <wx/filename.h>
#include <wx/sizer.h>
#include <wx/webview.h>

namespace {

// A quoted script string for a value of the settings (digits in practice).
wxString ScriptString(const std::wstring& value) {
    wxString out = "'";
    for (wchar_t c : value)
        if (c == L'\\' || c == L'\'')
            out << "\\" << wxString(c);
        else if (c >= L' ')
            out << wxString(c);
    return out + "'";
}

} // namespace

CIEView::CIEView(CIEFrame* frame, wxWindow* parent, const std::wstring& lang)
    : wxPanel(parent, wxID_ANY), frame_(frame) {
    web_ = wxWebView::New(this, wxID_ANY, wxWebViewDefaultURLStr);
    if (!web_)
        return; // no browser: the frame finds no web view and discards the page
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(web_, 1, wxEXPAND);
    SetSizer(sizer);
    // Pages that name no character set of their own are the reader's native pages. The
    // browser library is loaded with the web view; its settings are reached through it.
    using GetSettings = GObject* (*)(void*);
    auto getSettings =
        reinterpret_cast<GetSettings>(dlsym(RTLD_DEFAULT, "webkit_web_view_get_settings"));
    if (GObject* settings = getSettings ? getSettings(web_->GetNativeBackend()) : nullptr)
        g_object_set(settings, "default-charset", "GB18030", nullptr);
    // The language of the page's texts, there before the page's script runs (a local file
    // keeps no cookie in this browser).
    web_->AddUserScript("window.tessavinLang = " + ScriptString(lang) + ";",
                        wxWEBVIEW_INJECT_AT_DOCUMENT_START);
    web_->AddScriptMessageHandler("tessavin");
    web_->EnableContextMenu(true);
    web_->Bind(wxEVT_WEBVIEW_SCRIPT_MESSAGE_RECEIVED, [this](wxWebViewEvent& event) {
        // Handled once the browser's callback has returned: the action may open a page.
        const std::wstring call = event.GetString().ToStdWstring();
        CallAfter([this, call] { frame_->OnScriptMessage(this, call); });
    });
    web_->Bind(wxEVT_WEBVIEW_TITLE_CHANGED, [this](wxWebViewEvent& event) {
        frame_->OnTitleChange(this, event.GetString().ToStdWstring());
    });
    web_->Bind(wxEVT_WEBVIEW_LOADED, &CIEView::OnLoaded, this);
    web_->Bind(wxEVT_WEBVIEW_NEWWINDOW, [this](wxWebViewEvent& event) {
        frame_->OnNewWindow(this, event.GetURL().ToStdWstring());
    });
}

void CIEView::Navigate(const std::wstring& address) {
    restoreScroll_ = -1;
    wxString url(address.c_str());
    // A path of the data folder is loaded as the file it is.
    if (!address.empty() && address[0] == L'/')
        url = wxFileName::FileNameToURL(wxFileName(url));
    web_->LoadURL(url);
}

std::wstring CIEView::ShownFile() const {
    const wxString url = web_->GetCurrentURL();
    if (!url.StartsWith("file:"))
        return std::wstring();
    wxString withoutFragment = url.BeforeFirst('#');
    return wxFileName::URLToFileName(withoutFragment).GetFullPath().ToStdWstring();
}

void CIEView::ReloadKeepingScroll() {
    wxString position;
    if (web_->RunScript("window.scrollY", &position) && position.ToLong(&restoreScroll_))
        web_->Reload();
    else {
        restoreScroll_ = -1;
        web_->Reload();
    }
}

void CIEView::OnLoaded(wxWebViewEvent& event) {
    ++documentsLoaded_;
    if (event.GetURL() == web_->GetCurrentURL() && restoreScroll_ >= 0) {
        const long y = restoreScroll_;
        restoreScroll_ = -1;
        web_->RunScript(wxString::Format("window.scrollTo(0, %ld);", y));
    }
    frame_->OnDocumentComplete(this, event.GetURL().ToStdWstring());
}
