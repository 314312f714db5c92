#include "ui/ReaderWebContext.h"

#include "config/LogFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <map>
#include <webkit2/webkit2.h>

namespace {

const char kScheme[] = "tessavin";
const char kPrefix[] = "tessavin://page/";
const char kPagePolicy[] =
    "default-src 'none'; script-src 'none'; object-src 'none'; frame-src 'none'; "
    "form-action 'none'; base-uri 'none'; img-src http: https: data: tessavin:; "
    "style-src tessavin: 'unsafe-inline'";

std::function<void(const std::wstring&)>& DownloadListener() {
    static std::function<void(const std::wstring&)> listener;
    return listener;
}

// Views and the page files they show (UI thread only).
std::map<WebKitWebView*, std::wstring>& Pages() {
    static std::map<WebKitWebView*, std::wstring> pages;
    return pages;
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring NameOf(const std::wstring& path) {
    const size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The path part of an address of the scheme: percent-decoded, backslashes read as slashes
// (the page names its style sheet "HtmlStyle\H20.css"); empty for anything else.
std::string PathOf(const std::string& address) {
    if (address.compare(0, sizeof kPrefix - 1, kPrefix) != 0)
        return std::string();
    std::string path = address.substr(sizeof kPrefix - 1);
    path = path.substr(0, path.find_first_of("?#"));
    char* decoded = g_uri_unescape_string(path.c_str(), nullptr);
    if (!decoded)
        return std::string();
    path = decoded;
    g_free(decoded);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

// A file of the style folder: "HtmlStyle/" and a plain file name.
bool IsStyleFile(const std::string& path) {
    static const char kStyle[] = "HtmlStyle/";
    if (path.compare(0, sizeof kStyle - 1, kStyle) != 0 || path.size() == sizeof kStyle - 1 ||
        path[sizeof kStyle - 1] == '.')
        return false;
    for (size_t i = sizeof kStyle - 1; i < path.size(); ++i) {
        const char c = path[i];
        if (!g_ascii_isalnum(c) && c != '.' && c != '_' && c != '-')
            return false;
    }
    return true;
}

const char* MimeType(const std::string& path) {
    const std::string extension = path.substr(path.rfind('.') + 1);
    if (extension == "html")
        return "text/html";
    if (extension == "css")
        return "text/css";
    if (extension == "js")
        return "text/javascript";
    if (extension == "gif")
        return "image/gif";
    if (extension == "png")
        return "image/png";
    return "application/octet-stream";
}

void Refuse(WebKitURISchemeRequest* request) {
    GError* error = g_error_new(WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST,
                                "Not a file of this page");
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
}

void OnSchemeRequest(WebKitURISchemeRequest* request, gpointer) {
    WebKitWebView* view = webkit_uri_scheme_request_get_web_view(request);
    auto page = Pages().find(view);
    const std::string path = PathOf(webkit_uri_scheme_request_get_uri(request));
    if (page == Pages().end() || path.empty()) {
        Refuse(request);
        return;
    }
    std::wstring file;
    if (platform::Utf8ToWide(path) == NameOf(page->second))
        file = page->second;
    else if (IsStyleFile(path))
        file = FolderOf(page->second) + platform::Utf8ToWide(path);
    std::string content;
    if (file.empty() || !platform::ReadWholeFile(file, content)) {
        Refuse(request);
        return;
    }
    const gsize size = content.size();
    GBytes* bytes = g_bytes_new(content.data(), size);
    GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
    WebKitURISchemeResponse* response =
        webkit_uri_scheme_response_new(stream, static_cast<gint64>(size));
    webkit_uri_scheme_response_set_content_type(response, MimeType(path));
    if (file == page->second) {
        // The page runs none of its own scripts (inline, handlers, script links: the
        // reader's page script runs in a world of its own) and loads nothing but web and
        // inline images and its style folder.
        SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
        soup_message_headers_append(headers, "Content-Security-Policy", kPagePolicy);
        webkit_uri_scheme_response_set_http_headers(response, headers);
    }
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
    g_object_unref(stream);
    g_bytes_unref(bytes);
}

void OnDownload(WebKitWebContext*, WebKitDownload* download, gpointer) {
    WebKitURIRequest* request = webkit_download_get_request(download);
    const char* uri = request ? webkit_uri_request_get_uri(request) : "";
    const std::wstring address = platform::Utf8ToWide(uri ? uri : "");
    webkit_download_cancel(download);
    LogPrintf(L"Download refused: %s", address.c_str());
    if (DownloadListener())
        DownloadListener()(address);
}

} // namespace

void ReaderWebContext::Prepare(WebKitWebView* view) {
    static WebKitWebContext* prepared = nullptr;
    WebKitWebContext* context = webkit_web_view_get_context(view);
    if (!context || context == prepared)
        return;
    prepared = context;
    webkit_web_context_register_uri_scheme(context, kScheme, OnSchemeRequest, nullptr, nullptr);
    webkit_security_manager_register_uri_scheme_as_display_isolated(
        webkit_web_context_get_security_manager(context), kScheme);
    g_signal_connect(context, "download-started", G_CALLBACK(OnDownload), nullptr);
}

void ReaderWebContext::ServePage(WebKitWebView* view, const std::wstring& pagePath) {
    Pages()[view] = pagePath;
}

void ReaderWebContext::Forget(WebKitWebView* view) {
    Pages().erase(view);
}

std::string ReaderWebContext::PageAddress(const std::wstring& pagePath, unsigned load) {
    char* escaped =
        g_uri_escape_string(platform::WideToUtf8(NameOf(pagePath)).c_str(), nullptr, FALSE);
    std::string address = std::string(kPrefix) + escaped + "?" + std::to_string(load);
    g_free(escaped);
    return address;
}

std::wstring ReaderWebContext::FileOf(WebKitWebView* view, const std::string& address) {
    auto page = Pages().find(view);
    if (page == Pages().end() || platform::Utf8ToWide(PathOf(address)) != NameOf(page->second))
        return std::wstring();
    return page->second;
}

void ReaderWebContext::SetDownloadListener(std::function<void(const std::wstring&)> listener) {
    DownloadListener() = std::move(listener);
}
