#pragma once

#include <functional>
#include <string>

typedef struct _WebKitWebView WebKitWebView;

// The rules that hold for every web view of the reading pane, set once on their web
// context: channel pages are served under the reader's own scheme ("tessavin://page/"),
// only to the view that shows them and only the page and its style folder, so nothing a
// page refers to can reach a local file; no other scheme may show those addresses; and no
// download ever starts (each one is cancelled and logged).
class ReaderWebContext {
public:
    // Sets the rules on the view's context (once per context).
    static void Prepare(WebKitWebView* view);
    // The view may load this page file (and the HtmlStyle folder beside it) from now on.
    static void ServePage(WebKitWebView* view, const std::wstring& pagePath);
    static void Forget(WebKitWebView* view);
    // The address a page file is shown under: the reader's scheme, its file name, and a
    // load number so that every load reads the file again.
    static std::string PageAddress(const std::wstring& pagePath, unsigned load);
    // The page file address stands for (the one the view was given), or empty.
    static std::wstring FileOf(WebKitWebView* view, const std::string& address);
    // Told the address of every refused download, after the browser's callback (null: none).
    static void SetDownloadListener(std::function<void(const std::wstring&)> listener);
};
