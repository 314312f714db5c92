// The reading pane with a channel page of 1,000 items: the time to open it (until the
// document is complete) and the time of one item action end to end (the page's script call
// → state file, page file and the tree's count changed, the page showing the change, which
// its script shows without loading the page again): a read mark and a deletion.
// Needs a display (run it under Xvfb).
//
//   bench_pane [REPETITIONS]
#include "AppFolderSetup.h"
#include "catalogue/CatalogueModel.h"
#include "config/Config.h"
#include "engine/ChannelUpdater.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/ResourceModule.h"
#include "ui/IEFrame.h"
#include "ui/IETabCtrl.h"
#include "ui/IEView.h"
#include "ui/MainFrame.h"
#include "ui/RssChannelView.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>
#include <webkit2/webkit2.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/webview.h>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

bool Pump(const std::function<bool()>& done, double limitMs = 30000) {
    const auto start = Clock::now();
    while (!done()) {
        if (Milliseconds(start) > limitMs)
            return false;
        wxTheApp->Yield(true);
        wxTheApp->ProcessPendingEvents();
    }
    return true;
}

std::string Feed() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
                      "<title>Bench</title><lastBuildDate>A</lastBuildDate>\n";
    for (int i = 0; i < 1000; ++i) {
        const std::string n = std::to_string(i);
        xml += "<item><title>Item " + n + " title</title><link>http://example.com/news/" + n +
               ".html</link><description>&lt;p&gt;Some text of item " + n +
               " with a &lt;a href=&quot;http://example.com/x&quot;&gt;link&lt;/a&gt;."
               "&lt;/p&gt;</description><author>a" +
               n +
               "@example.com</author><pubDate>Sun, 06 Dec 2026 10:00:00 GMT</pubDate>"
               "</item>\n";
    }
    return xml + "</channel></rss>\n";
}

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// A script in the page's own world, evaluated by the browser (the page itself runs none);
// its result as text.
std::string Evaluate(CIEView* view, const std::string& script) {
    struct Result {
        bool done = false;
        std::string text;
    };
    auto* result = new Result;
    webkit_web_view_evaluate_javascript(
        WEBKIT_WEB_VIEW(view->WebView()->GetNativeBackend()), script.c_str(), -1, nullptr, nullptr,
        nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
            auto* r = static_cast<Result*>(data);
            JSCValue* value =
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), res, nullptr);
            if (value) {
                char* text = jsc_value_to_string(value);
                r->text = text ? text : "";
                g_free(text);
                g_object_unref(value);
            }
            r->done = true;
        },
        result);
    if (!Pump([result] { return result->done; }, 10000))
        return std::string(); // left to the late callback
    const std::string text = result->text;
    delete result;
    return text;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    wxApp::SetInstance(new BenchApp());
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
        return 1;
    wxEventLoop loop;
    wxEventLoopBase::SetActive(&loop);

    const std::string app = std::filesystem::temp_directory_path().string() +
                            "/tessavin-bench-pane-" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(app + "rss/RssUserCfg");
    setenv("TESSAVIN_APP_DIR", app.c_str(), 1);
    InstallPluginFiles(TESSAVIN_PLUGIN_SOURCE_DIR, app);
    std::ofstream(app + "rss/RssUserCfg/Quorvel.ini") << "[Common]\r\nUpdateState=0\r\n";
    CConfig().PrepareDataFolders();
    auto resources = platform::ResourceModule::Load(
        platform::Utf8ToWide(std::string(TESSAVIN_PLUGIN_SOURCE_DIR) + "/res"));
    platform::ResourceModule::SetActive(resources.get());
    std::filesystem::create_directories(app + "userdata/rss/RssUserCfg");
    std::ofstream(app + "userdata/rss/RssUserCfg/userdefinechannel.opml") << "";
    {
        CatalogueModel model(nullptr);
        model.Open();
        CChannel* channel = model.AddChannel(nullptr, L"bench", L"", L"http://127.0.0.1:9/x");
        channel->SetMaxItems(1000);
        ChannelUpdater updater(*channel, model.DataFolder(), nullptr);
        updater.LoadState();
        updater.Process(Feed());
        model.SaveChannels();
    }

    auto* host = new wxFrame(nullptr, wxID_ANY, "bench", wxDefaultPosition, wxSize(1000, 700));
    host->Show();
    auto* frame = new CMainFrame(host, nullptr);
    frame->SetSize(host->GetClientSize());
    Pump([] { return false; }, 500);
    CIEFrame* pane = frame->ReadingPane();
    CChannel* channel = frame->Model()->Channels()[0].get();
    CRssChannelView* tree = frame->ChannelView();
    const wxTreeItemId item = tree->ItemOf(CatalogueModel::NodeOf(channel));
    const std::wstring page = frame->Model()->FilesOf(channel).Page();
    std::vector<double> open, action, deletion;
    bool ok = true;
    // When the view last completed a document of the channel's page.
    bool pageLoaded = false;
    Clock::time_point pageLoadedAt;
    for (int run = 0; run < runs && ok; ++run) {
        pane->CloseAllPages();
        Pump([] { return false; }, 200);
        auto start = Clock::now();
        pane->ShowChannelPage(channel);
        CIEView* view = pane->CurrentPage();
        // A new web view first completes its blank document: the open ends when the load of
        // the page's own address is complete, not with the first load the view counts.
        pageLoaded = false;
        view->Bind(wxEVT_WEBVIEW_LOADED, [view, &page, &pageLoaded,
                                          &pageLoadedAt](wxWebViewEvent& event) {
            event.Skip();
            if (!pageLoaded && view->ShownFile() == page &&
                !webkit_web_view_is_loading(WEBKIT_WEB_VIEW(view->WebView()->GetNativeBackend()))) {
                pageLoaded = true;
                pageLoadedAt = Clock::now();
            }
        });
        ok = Pump([&pageLoaded] { return pageLoaded; });
        open.push_back(std::chrono::duration<double, std::milli>(pageLoadedAt - start).count());
        // The document is the channel's page with its items.
        ok = ok && Evaluate(view, "document.getElementById('" + std::to_string(500 + run) +
                                      "_read') !== null") == "true";
        // Read and unread again, then a deletion.
        for (int k = 0; k < 3 && ok; ++k) {
            const wxString before = tree->GetItemText(item);
            std::string pageBefore;
            platform::ReadWholeFile(page, pageBefore);
            const int loads = view->DocumentsLoaded();
            const int n = 500 + run;
            const char* shown = k == 2 ? "document.getElementById('%d_contentdiv') === null"
                                       : "document.getElementById('%d_read').src.indexOf(%s) > 0";
            const wxString check =
                k == 2 ? wxString::Format(shown, n)
                       : wxString::Format(shown, n, k == 0 ? "'readed.gif'" : "'unread.gif'");
            start = Clock::now();
            // A click on the item's icon, handled by the reader's page script.
            Evaluate(view, "document.getElementById('" + std::to_string(n) +
                               (k == 2 ? "_delete" : "_read") + "').click(); 1");
            ok = Pump([&] {
                std::string pageNow;
                platform::ReadWholeFile(page, pageNow);
                return tree->GetItemText(item) != before && pageNow != pageBefore &&
                       view->DocumentsLoaded() == loads &&
                       Evaluate(view, check.ToStdString()) == "true";
            });
            (k < 2 ? action : deletion).push_back(Milliseconds(start));
        }
    }
    if (ok)
        std::printf("channel page of 1,000 items: open %.1f ms; item action end to end: read "
                    "mark %.1f ms, deletion %.1f ms (medians of %d, %zu, %d)\n",
                    Median(open), Median(action), Median(deletion), runs, action.size(), runs);
    else
        std::printf("the page or the action did not finish\n");
    frame->Destroy();
    host->Destroy();
    Pump([] { return false; }, 200);
    platform::ResourceModule::SetActive(nullptr);
    std::filesystem::remove_all(app);
    wxTheApp->OnExit();
    wxEntryCleanup();
    return ok ? 0 : 1;
}
