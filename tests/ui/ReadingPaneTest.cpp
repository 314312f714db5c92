#include "../engine/FeedFixtures.h"
#include "FrameTest.h"
#include "HostContainer.h"
#include "HostTexts.h"
#include "PageAudit.h"
#include "TestHttpServer.h"
#include "catalogue/CatalogueModel.h"
#include "engine/ChannelUpdater.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "ui/IEFrame.h"
#include "ui/IETabCtrl.h"
#include "ui/IEView.h"
#include "ui/RssChannelView.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <httplib.h>
#include <mutex>
#include <webkit2/webkit2.h>
#include <wx/combobox.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

namespace {

// Markup that runs script or reaches local files in a page that lets it.
std::string HostileMarkup(const std::string& beacon, const std::string& localFile,
                          const std::string& webPage) {
    return "<img src=x onerror=\"fetch('" + beacon +
           "?img')\">"
           "<script>fetch('" +
           beacon +
           "?script')</script>"
           "<svg><script>fetch('" +
           beacon +
           "?svg')</script></svg>"
           "<iframe src=\"javascript:fetch('" +
           beacon +
           "?frame')\"></iframe>"
           "<object data=\"" +
           beacon +
           "?object\"></object>"
           "<meta http-equiv=refresh content=\"0;url=" +
           beacon +
           "?refresh\">"
           "<a id=evil href=\"javascript:fetch('" +
           beacon +
           "?link')\">evil</a>"
           "<img id=local1 src=\"" +
           localFile + "\"><img id=local2 src=\"file://" + localFile +
           "\"><a id=up href=\"../../../../../../etc/passwd\">up</a>"
           "<a id=web href=\"" +
           webPage + "\">web</a>";
}

// A reader whose message boxes are answered by a stand-in that writes what it showed, with
// a loopback server for its feeds, its web pages and the beacons of hostile markup.
class PaneTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        ASSERT_TRUE(platform::CopyFile(platform::Utf8ToWide(TESSAVIN_TEST_MESSAGEBOX_LIBRARY),
                                       app.WPath() + L"libXMessageBox.so", false));
        boxLog = app / "messagebox.log";
        setenv("TESSAVIN_FAKE_MESSAGEBOX_LOG", boxLog.c_str(), 1);
        // A real image in a local folder (the page's own style images are ones).
        localFile = app / "secret.gif";
        ASSERT_TRUE(platform::CopyFile(
            platform::Utf8ToWide(TESSAVIN_PLUGIN_SOURCE_DIR "/Data/Data/HtmlStyle/flaged.gif"),
            platform::Utf8ToWide(localFile), false));
        // Item links lead to the server's web page.
        server.Get("/a.xml", [this](const httplib::Request&, httplib::Response& response) {
            std::vector<FeedItem> items = NumberedItems(1, 3);
            for (FeedItem& item : items)
                item.link = server.Url("/web.html?") + item.title;
            response.set_content(FeedXml(items), "application/rss+xml");
        });
        server.Serve("/b.xml", FeedXml(NumberedItems(1, 2)));
        server.Get("/web.html", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><head><title>A web page</title></head><body>web</body>"
                                 "</html>",
                                 "text/html");
        });
        server.Get("/beacon", [this](const httplib::Request& request, httplib::Response&) {
            std::lock_guard<std::mutex> lock(beaconMutex);
            beacons += request.target + "|";
        });
        server.Get("/hostile.html", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(HostileMarkup(server.Url("/beacon"), localFile, "/web.html"),
                                 "text/html");
        });
        server.Get("/file.bin", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Content-Disposition", "attachment; filename=\"file.bin\"");
            response.set_content(std::string(4096, 'x'), "application/octet-stream");
        });
        server.Start();
    }
    void TearDown() override {
        FrameTest::TearDown();
        unsetenv("TESSAVIN_FAKE_MESSAGEBOX_LOG");
    }
    // The reader with channels a (3 items) and b (2 items), both updated.
    void Start() {
        {
            CatalogueModel model(nullptr, CatalogueModel::Targets{}, nullptr);
            ASSERT_TRUE(model.Open());
            model.AddChannel(nullptr, L"a", L"", platform::Utf8ToWide(server.Url("/a.xml")));
            model.AddChannel(nullptr, L"b", L"", platform::Utf8ToWide(server.Url("/b.xml")));
        }
        Setting("UpdateState", "1");
        AddEnglishTexts(container);
        frame = Run(&container);
        ASSERT_NE(frame, nullptr);
        pane = frame->ReadingPane();
        model = frame->Model();
        ASSERT_TRUE(PumpUntil(
            [this] {
                return model->RunningJobs() == 0 && !model->UpdateAllRunning() &&
                       model->Channels()[0]->GetTotalCount() == 3 &&
                       model->Channels()[1]->GetTotalCount() == 2;
            },
            20000));
        a = model->Channels()[0].get();
        b = model->Channels()[1].get();
        g = std::to_string(a->GetGroupId());
        c = std::to_string(a->GetId());
    }
    // Shows the channel's page and waits until it is loaded.
    CIEView* Open(CChannel* channel) {
        pane->ShowChannelPage(channel);
        CIEView* view = pane->CurrentPage();
        EXPECT_EQ(view->Channel(), channel);
        EXPECT_TRUE(Loaded(view, ".html"));
        return view;
    }
    // Waits until the page has loaded the address that ends with `tail` (before any query).
    bool Loaded(CIEView* view, const char* tail) {
        return PumpUntil(
            [this, view, tail] {
                std::string state = Script(view, "document.readyState + ' ' + location.href");
                state = state.substr(0, state.find('?'));
                return state.rfind("complete ", 0) == 0 && state.size() >= std::strlen(tail) &&
                       state.compare(state.size() - std::strlen(tail), std::string::npos, tail) ==
                           0;
            },
            20000);
    }
    // A script in the page's own world (where a page's content runs, when it may run).
    std::string Script(CIEView* view, const std::string& script) {
        return Evaluate(view, script, nullptr);
    }
    // A script in the reader's own script world of a channel view.
    std::string InReaderWorld(CIEView* view, const std::string& script) {
        return Evaluate(view, script, "tessavin");
    }
    // The script's result as text ("error: ..." when it threw). Evaluated by the browser
    // itself, as no page's own script is.
    std::string Evaluate(CIEView* view, const std::string& script, const char* world) {
        struct Result {
            bool done = false;
            std::string text;
        };
        auto* result = new Result;
        webkit_web_view_evaluate_javascript(
            WEBKIT_WEB_VIEW(view->WebView()->GetNativeBackend()), script.c_str(), -1, world,
            nullptr, nullptr,
            [](GObject* source, GAsyncResult* res, gpointer data) {
                auto* r = static_cast<Result*>(data);
                GError* error = nullptr;
                JSCValue* value = webkit_web_view_evaluate_javascript_finish(
                    WEBKIT_WEB_VIEW(source), res, &error);
                if (value) {
                    char* text =
                        jsc_value_is_undefined(value) ? nullptr : jsc_value_to_string(value);
                    r->text = text ? text : "";
                    g_free(text);
                    g_object_unref(value);
                } else {
                    r->text = std::string("error: ") + (error ? error->message : "");
                    g_clear_error(&error);
                }
                r->done = true;
            },
            result);
        if (!PumpUntil([result] { return result->done; }, 10000)) {
            ADD_FAILURE() << "no result: " << script;
            return "timed out"; // the result is left to the late callback
        }
        const std::string text = result->text;
        delete result;
        return text;
    }
    // Clicks the middle of the element with the mouse, as the reader does.
    void ClickOn(CIEView* view, const std::string& id) {
        const std::string box = Script(
            view, "var e = document.getElementById('" + id +
                      "'); e.scrollIntoView({block: "
                      "'center'}); var r = e.getBoundingClientRect(); "
                      "Math.round(r.left + r.width / 2) + ' ' + Math.round(r.top + r.height / 2)");
        int x = 0, y = 0;
        ASSERT_EQ(sscanf(box.c_str(), "%d %d", &x, &y), 2) << box;
        wxUIActionSimulator sim;
        sim.MouseMove(view->WebView()->ClientToScreen(wxPoint(x, y)));
        PumpEvents(100);
        sim.MouseClick();
        PumpEvents(100);
    }
    // Posts calls as the reader's page script does, with the given load token.
    void Post(CIEView* view, const std::string& token, const std::vector<std::string>& calls) {
        std::string script = "var h = window.webkit.messageHandlers.tessavin;";
        for (const std::string& call : calls)
            script += "h.postMessage('" + token + " 0 0 - " + call + "');";
        InReaderWorld(view, script + "'posted'");
    }
    std::string Titles() {
        std::string out;
        for (size_t i = 0; i < pane->Tabs()->GetPageCount(); ++i)
            out += pane->Tabs()->GetPageText(i).ToStdString() + "|";
        return out;
    }
    std::string Tree(CChannel* channel) {
        CRssChannelView* tv = frame->ChannelView();
        return tv->GetItemText(tv->ItemOf(CatalogueModel::NodeOf(channel))).ToStdString();
    }
    std::string Page(CChannel* channel) {
        return ReadFileBytes(platform::WideToUtf8(model->PagePath(channel)));
    }
    std::string State(CChannel* channel) {
        return ReadFileBytes(platform::WideToUtf8(model->StatePath(channel)));
    }
    std::string BoxShown() {
        std::string shown = ReadFileBytes(boxLog);
        WriteFileBytes(boxLog, "");
        return shown;
    }
    std::string Beacons() {
        std::lock_guard<std::mutex> lock(beaconMutex);
        return beacons;
    }

    TestHttpServer server;
    HostContainer container;
    std::string boxLog, localFile;
    std::mutex beaconMutex;
    std::string beacons;
    CMainFrame* frame = nullptr;
    CIEFrame* pane = nullptr;
    CatalogueModel* model = nullptr;
    CChannel* a = nullptr;
    CChannel* b = nullptr;
    std::string g, c;
};

} // namespace

TEST(ReadingPane, TabTitlesAreCutAfterTwelveCharacters) {
    EXPECT_EQ(CIEFrame::TabTitle(L"exactly12chr"), L"exactly12chr");
    EXPECT_EQ(CIEFrame::TabTitle(L"thirteen char"), L"thirteen cha...");
    EXPECT_EQ(CIEFrame::TabTitle(L"频道频道频道频道频道频道频"), L"频道频道频道频道频道频道...");
}

TEST_F(PaneTest, TabsOpenAfterTheSelectedOneUpToTwentyAndAtLeastOneStays) {
    Start();
    CIETabCtrl* tabs = pane->Tabs();
    // Channel a takes the empty first page; asked again, its tab is only selected.
    ASSERT_EQ(tabs->GetPageCount(), 1u);
    pane->ShowChannelPage(a);
    EXPECT_EQ(tabs->GetPageCount(), 1u);
    EXPECT_EQ(pane->CurrentPage()->Channel(), a);
    EXPECT_TRUE(pane->CurrentPage()->IsChannelView());
    EXPECT_EQ(tabs->GetPageImage(0), CIETabCtrl::kChannelImage);
    pane->ShowChannelPage(b);
    pane->SelectPage(0);
    pane->ShowChannelPage(a);
    EXPECT_EQ(tabs->GetPageCount(), 2u);
    EXPECT_EQ(tabs->GetSelection(), 0);
    EXPECT_EQ(pane->OpenChannels(), (std::vector<CChannel*>{a, b}));
    // A new page goes right after the selected tab, not at the end.
    pane->RunCommand(CIEFrame::kNewPage);
    EXPECT_EQ(Titles(), "a|about:blank|b|");
    EXPECT_EQ(tabs->GetSelection(), 1);
    EXPECT_EQ(tabs->GetPageImage(1), CIETabCtrl::kWebImage);
    // Stop does nothing on about:blank; the address box shows it.
    EXPECT_EQ(pane->AddressBox()->GetValue(), "about:blank");
    pane->RunCommand(CIEFrame::kStop);

    // Up to twenty pages; the twenty-first of every kind shows the limit and adds nothing.
    while (tabs->GetPageCount() < 20)
        pane->RunCommand(CIEFrame::kNewPage);
    EXPECT_EQ(BoxShown(), "");
    pane->RunCommand(CIEFrame::kNewPage);
    EXPECT_EQ(BoxShown().rfind("At most 20 pages can be open. Close a page first.|Prompt|16|", 0),
              0u);
    EXPECT_EQ(pane->OpenPage(L"http://127.0...", platform::Utf8ToWide(server.Url("/web.html"))), 1);
    EXPECT_NE(BoxShown(), "");
    pane->OnNewWindow(pane->CurrentPage(), platform::Utf8ToWide(server.Url("/web.html")));
    EXPECT_NE(BoxShown(), "");
    pane->ClosePageOfChannel(b);
    EXPECT_EQ(pane->OpenChannels(), (std::vector<CChannel*>{a}));
    pane->RunCommand(CIEFrame::kNewPage);
    pane->ShowChannelPage(b); // the current page is empty: b takes its place
    EXPECT_EQ(tabs->GetPageCount(), 20u);
    EXPECT_EQ(BoxShown(), "");
    EXPECT_EQ(pane->CurrentPage()->Channel(), b);

    // Closing the first tab selects the new first one; any other, the one before it.
    pane->SelectPage(0);
    tabs->CloseCurrentPage();
    EXPECT_EQ(tabs->GetSelection(), 0);
    EXPECT_EQ(pane->OpenChannels(), (std::vector<CChannel*>{b}));
    pane->SelectPage(5);
    CIEView* before = tabs->PageAt(4);
    tabs->CloseCurrentPage();
    EXPECT_EQ(tabs->GetSelection(), 4);
    EXPECT_EQ(pane->CurrentPage(), before);
    for (size_t i = 0; i < tabs->GetPageCount(); ++i)
        EXPECT_EQ(tabs->PageAt(i)->TabIndex(), static_cast<int>(i));
    // Closing everything leaves one empty page.
    tabs->CloseAllPages();
    EXPECT_EQ(Titles(), "about:blank|");
    EXPECT_TRUE(pane->OpenChannels().empty());
    tabs->CloseCurrentPage();
    EXPECT_EQ(Titles(), "about:blank|");
    EXPECT_EQ(pane->CurrentPage(), tabs->PageAt(0));
    // A double click on a tab closes it.
    pane->RunCommand(CIEFrame::kNewPage);
    PumpEvents(100);
    wxPoint onTab;
    for (int x = 2; x < tabs->GetSize().x && onTab == wxPoint(); x += 4)
        for (int y = 2; y < 40 && onTab == wxPoint(); y += 4)
            if (tabs->HitTest(wxPoint(x, y)) == 1)
                onTab = wxPoint(x, y);
    ASSERT_NE(onTab, wxPoint());
    const size_t open = tabs->GetPageCount();
    wxUIActionSimulator sim;
    sim.MouseMove(tabs->ClientToScreen(onTab));
    PumpEvents(50);
    sim.MouseDblClick();
    ASSERT_TRUE(PumpUntil([&] { return tabs->GetPageCount() == open - 1; }, 3000));
    EXPECT_EQ(tabs->GetSelection(), 0);
}

TEST_F(PaneTest, ClicksOnAChannelPageChangeItsFilesAndCountsAndNothingElseCan) {
    Start();
    CIEView* view = Open(a);
    EXPECT_EQ(Titles(), "a|");
    const std::string bPage = Page(b), bState = State(b);
    // The page's own world has neither the page script nor a way to the reader.
    EXPECT_EQ(Script(view, "typeof go_read + typeof (window.webkit && "
                           "window.webkit.messageHandlers.tessavin)"),
              "undefinedundefined");

    // The read icon of item 1, the flag of item 2, the deletion of item 3: the page's script
    // shows each just as the patched file has it, so nothing is loaded again.
    const int loads = view->DocumentsLoaded();
    Script(view, "document.getElementById('1_read').click()");
    ASSERT_TRUE(PumpUntil([&] { return Tree(a) == "a(2/3)"; }, 5000));
    EXPECT_EQ(State(a).substr(0, 4), "F100");
    EXPECT_NE(Page(a).find("id=1_read src=\"HtmlStyle/readed.gif"), std::string::npos);
    Script(view, "document.getElementById('2_flag').click()");
    ASSERT_TRUE(PumpUntil(
        [&] { return Page(a).find("id=2_flag src=\"HtmlStyle/flaged.gif") != std::string::npos; },
        5000));
    Script(view, "document.getElementById('3_delete').click()");
    ASSERT_TRUE(PumpUntil([&] { return Tree(a) == "a(1/2)"; }, 5000));
    EXPECT_EQ(Page(a).find("id=3_contentdiv"), std::string::npos);
    // (Percent-encoded: the pager's text is Chinese, and a script's result comes back in the
    // process's character set.)
    const char* shown = "encodeURIComponent([document.getElementById('3_contentdiv') === null, "
                        "document.getElementById('1_read').src.indexOf('readed.gif') > 0, "
                        "document.getElementById('2_flag').src.indexOf('flaged.gif') > 0, "
                        "document.getElementsByClassName('pager')[0].textContent].join())";
    const std::string live = Script(view, shown);
    EXPECT_EQ(live.rfind("true%2Ctrue%2Ctrue%2C2%20", 0), 0u) << live; // "... 2 条信息"
    EXPECT_EQ(view->DocumentsLoaded(), loads);
    // Loaded again from the file, the page looks the same.
    view->ReloadKeepingScroll();
    ASSERT_TRUE(PumpUntil([&] { return view->DocumentsLoaded() > loads; }, 10000));
    ASSERT_TRUE(Loaded(view, ".html"));
    EXPECT_EQ(Script(view, shown), live);
    // An action the files refuse (an update holds them) is undone on the page: it is loaded
    // again from the unchanged files.
    {
        platform::File held;
        ASSERT_TRUE(
            held.Open(model->StatePath(a), platform::File::kRead | platform::File::kExclusive));
        const std::string before = Page(a);
        const int reloads = view->DocumentsLoaded();
        Script(view, "document.getElementById('1_flag').click()");
        ASSERT_TRUE(PumpUntil([&] { return view->DocumentsLoaded() > reloads; }, 10000));
        ASSERT_TRUE(Loaded(view, ".html"));
        EXPECT_EQ(Page(a), before);
        EXPECT_EQ(Script(view, "document.getElementById('1_flag').src.indexOf('unflag.gif') > 0"),
                  "true");
    }

    // A title with its link: read, and the link opens in a new web page with a cut title.
    Script(view, "document.getElementsByName('2_title')[0].click()");
    ASSERT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageCount() == 2; }, 5000));
    EXPECT_TRUE(PumpUntil([&] { return Tree(a) == "a(0/2)"; }, 5000));
    CIEView* web = pane->CurrentPage();
    EXPECT_FALSE(web->IsChannelView());
    ASSERT_TRUE(Loaded(web, "/web.html"));
    EXPECT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageText(1) == "A web page"; }, 5000));
    // A link with characters beyond ASCII reaches the reader whole; a script link is never
    // opened, whatever it names inside.
    const std::string link = server.Url("/web.html");
    Post(view, view->LoadToken(),
         {"javascript:go_read(\\'025212A0\\'," + g + "," + c + ",1,\\'" + link + "?q=%E4%B8%AD\\')",
          "javascript:go_read(\\'025212A0\\'," + g + "," + c + ",1,\\'javascript:alert(1)//" +
              link + "\\')"});
    ASSERT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageCount() == 3; }, 5000));
    EXPECT_EQ(pane->CurrentPage()->Address(), platform::Utf8ToWide(link) + L"?q=\u4e2d");
    PumpEvents(300);
    EXPECT_EQ(pane->Tabs()->GetPageCount(), 3u);

    // Calls with another load's token, from a web page, or from another channel's page
    // change nothing.
    const std::string aPage = Page(a), aState = State(a);
    Post(view, "0123456789abcdef0123456789abcdef", {"javascript:go_flag(" + g + "," + c + ",1)"});
    EXPECT_EQ(Script(web, "typeof (window.webkit && window.webkit.messageHandlers.tessavin)"),
              "undefined");
    CIEView* other = Open(b);
    Post(other, other->LoadToken(), {"javascript:go_delete(" + g + "," + c + ",1)"});
    PumpEvents(300);
    EXPECT_EQ(Page(a), aPage);
    EXPECT_EQ(State(a), aState);
    EXPECT_EQ(Page(b), bPage);
    EXPECT_EQ(State(b), bState);
    EXPECT_EQ(Tree(a), "a(0/2)");
    EXPECT_EQ(Tree(b), "b(2/2)");
}

TEST_F(PaneTest, AStalePageActsOnNoOtherItemAndAnUpdateShowsThePageAgainWhereTheReaderWas) {
    std::atomic<int> first{1};
    server.Get("/long.xml", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(FeedXml(NumberedItems(first, 30), std::to_string(first.load())),
                             "application/rss+xml");
    });
    Start();
    CChannel* many =
        model->AddChannel(nullptr, L"long", L"", platform::Utf8ToWide(server.Url("/long.xml")));
    ASSERT_TRUE(PumpUntil([&] { return many->GetTotalCount() == 30; }, 10000));
    CIEView* view = Open(many);
    // The files change behind the page's back: a new first item moves every item a line
    // down. A click on the page's item 2 (written for T2) must not change line 2 (now T1):
    // it is refused and the page shown again.
    first = 0;
    {
        ChannelUpdater behind(*many, model->DataFolder(), nullptr);
        ASSERT_TRUE(behind.LoadState());
        ASSERT_EQ(behind.Process(FeedXml(NumberedItems(0, 30), "behind")),
                  ChannelUpdater::kWritten);
    }
    const std::string state = State(many);
    int loads = view->DocumentsLoaded();
    Script(view, "document.getElementById('2_read').click()");
    ASSERT_TRUE(PumpUntil([&] { return view->DocumentsLoaded() > loads; }, 10000));
    ASSERT_TRUE(Loaded(view, ".html"));
    EXPECT_EQ(State(many), state);
    EXPECT_EQ(Script(view, "document.getElementsByName('2_title')[0].textContent"), "T1");
    // An update that writes the page shows it again at once, where the reader had scrolled.
    Script(view, "window.scrollTo(0, 240)");
    PumpEvents(700); // the page tells where the reader is
    first = -1;
    loads = view->DocumentsLoaded();
    model->UpdateSelected(many);
    ASSERT_TRUE(PumpUntil([&] { return view->DocumentsLoaded() > loads; }, 10000));
    ASSERT_TRUE(Loaded(view, ".html"));
    EXPECT_EQ(Script(view, "document.getElementsByName('1_title')[0].textContent"), "T-1");
    EXPECT_EQ(Script(view, "String(window.scrollY)"), "240");
    // Now the same click is taken.
    auto line2 = [&] {
        const std::string lines = State(many);
        return lines.substr(lines.find('\n') + 1, 4);
    };
    Script(view, "document.getElementById('2_read').click()");
    EXPECT_TRUE(PumpUntil([&] { return line2() == "F100"; }, 5000));
}

TEST_F(PaneTest, AChannelPageRunsNoScriptOfItsOwnAndLoadsNoLocalFile) {
    Start();
    // The page's files as a page writer without its sanitiser would leave them: the view
    // must stand on its own.
    const std::string page = Page(a);
    const size_t details = page.find("<p>d1</p>");
    ASSERT_NE(details, std::string::npos);
    WriteFileBytes(platform::WideToUtf8(model->PagePath(a)),
                   page.substr(0, details) + "<p>" +
                       HostileMarkup(server.Url("/beacon"), localFile, server.Url("/web.html")) +
                       "</p>" + page.substr(details + 9));
    CIEView* view = Open(a);
    for (const char* id : {"evil", "up"})
        Script(view, std::string("document.getElementById('") + id + "').click()");
    PumpEvents(1500);
    EXPECT_EQ(Script(view, "[document.getElementById('local1').naturalWidth, "
                           "document.getElementById('local2').naturalWidth].join()"),
              "0,0");
    EXPECT_EQ(view->ShownFile(), model->PagePath(a)); // it never left its page
    EXPECT_EQ(pane->Tabs()->GetPageCount(), 1u);
    // A web link opens in a web page of its own.
    Script(view, "document.getElementById('1_content').classList.add('open')");
    ClickOn(view, "web");
    ASSERT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageCount() == 2; }, 5000));
    EXPECT_TRUE(Loaded(pane->CurrentPage(), "/web.html"));
    EXPECT_EQ(view->ShownFile(), model->PagePath(a));
    EXPECT_EQ(Beacons(), "");
    // The same markup in a web page runs: the beacons do count.
    pane->OpenPage(L"hostile", platform::Utf8ToWide(server.Url("/hostile.html")));
    EXPECT_TRUE(PumpUntil([&] { return Beacons().find("?img") != std::string::npos; }, 5000));

    // The written page of a hostile feed keeps its shape, shown or parsed.
    server.Serve("/hostile.xml",
                 FeedXml({{"Title <img src=x onerror=fetch('" + server.Url("/beacon?t") + "') ",
                           server.Url("/1"), "d", "", ""},
                          {"Harmless <!--", server.Url("/2"),
                           "&lt;a title=\"--&gt;&lt;img src=x onerror=fetch('" +
                               server.Url("/beacon?c") + "')&gt;\"&gt;more&lt;/a&gt;",
                           "", ""}}));
    CChannel* hostile = model->AddChannel(nullptr, L"hostile", L"",
                                          platform::Utf8ToWide(server.Url("/hostile.xml")));
    ASSERT_TRUE(PumpUntil([&] { return hostile->GetTotalCount() == 2; }, 10000));
    EXPECT_EQ(AuditPage(Page(hostile), {1, 2}), "");
    const std::string before = Beacons();
    Open(hostile);
    PumpEvents(1000);
    EXPECT_EQ(Beacons(), before);
}

TEST_F(PaneTest, PageCallsAreHandledOneAtATimeWithinTheirLimits) {
    Start();
    CIEView* view = Open(a);
    const std::string aPage = Page(a), aState = State(a);
    int loads = view->DocumentsLoaded();
    // Thousands of calls that the files refuse: the first twenty are tried, one at a time,
    // the rest refused at once, and the page is loaded again once.
    InReaderWorld(view, "var h = window.webkit.messageHandlers.tessavin; for (var i = 0; i < "
                        "5000; i++) h.postMessage('" +
                            view->LoadToken() + " 0 0 - javascript:go_flag(" + g + "," + c +
                            ",99)'); 1");
    PumpEvents(2000);
    EXPECT_EQ(view->DocumentsLoaded(), loads + 1);
    EXPECT_EQ(Page(a), aPage);
    EXPECT_EQ(State(a), aState);
    ASSERT_TRUE(Loaded(view, ".html"));
    // Forty title calls that each open a page: the page limit holds and its message shows
    // once.
    loads = view->DocumentsLoaded();
    std::vector<std::string> calls;
    for (int i = 0; i < 40; ++i)
        calls.push_back("javascript:go_read(\\'025212A0\\'," + g + "," + c + ",1,\\'" +
                        server.Url("/web.html?") + std::to_string(i) + "\\')");
    Post(view, view->LoadToken(), calls);
    PumpEvents(3000);
    EXPECT_EQ(pane->Tabs()->GetPageCount(), 20u);
    const std::string shown = BoxShown();
    EXPECT_NE(shown.find("At most 20 pages"), std::string::npos);
    EXPECT_EQ(shown.find("At most 20 pages"), shown.rfind("At most 20 pages")) << shown;
    EXPECT_EQ(State(a).substr(0, 4), "F100");
    // Still answering, and a later click is handled again.
    pane->Tabs()->CloseAllPages();
    view = Open(a);
    Script(view, "document.getElementById('2_flag').click()");
    EXPECT_TRUE(PumpUntil(
        [&] { return Page(a).find("id=2_flag src=\"HtmlStyle/flaged.gif") != std::string::npos; },
        5000));
}

TEST_F(PaneTest, AWindowAPageOpensIsATabAndADownloadIsRefusedNeverSaved) {
    server.Get("/opener.html", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<html><body style=\"height:2000px\" onclick=\"window.open("
                             "'/web.html')\">click</body></html>",
                             "text/html");
    });
    Start();
    // A click that opens a window (the browser asks for a new view) gets a tab.
    pane->OpenPage(L"opener", platform::Utf8ToWide(server.Url("/opener.html")));
    CIEView* opener = pane->CurrentPage();
    ASSERT_TRUE(Loaded(opener, "/opener.html"));
    wxUIActionSimulator sim;
    sim.MouseMove(opener->WebView()->ClientToScreen(wxPoint(100, 100)));
    PumpEvents(100);
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageCount() == 3; }, 5000));
    EXPECT_TRUE(Loaded(pane->CurrentPage(), "/web.html"));
    pane->OpenPage(L"file", platform::Utf8ToWide(server.Url("/file.bin")));
    // The reader says so, once for a page that keeps trying.
    ASSERT_TRUE(
        PumpUntil([&] { return platform::FileSize(platform::Utf8ToWide(boxLog)) > 0; }, 10000));
    EXPECT_EQ(BoxShown().rfind("The reader saves no downloads: " + server.Url("/file.bin") +
                                   " was not saved.|Prompt|16|",
                               0),
              0u);
    pane->CurrentPage()->Navigate(platform::Utf8ToWide(server.Url("/file.bin")));
    PumpEvents(1500);
    EXPECT_EQ(BoxShown(), "");
    const char* home = getenv("HOME");
    for (const std::string& folder :
         {std::string(home ? home : "/tmp"), std::string(home ? home : "/tmp") + "/Downloads",
          std::string(g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD) ?: "/tmp")})
        EXPECT_FALSE(platform::FileExists(platform::Utf8ToWide(folder + "/file.bin"))) << folder;
}

TEST_F(PaneTest, NativePagesReadAsGb18030AndTheAddressBoxKeepsItsHistory) {
    Start();
    // A page of the reader's native encoding names no character set.
    WriteFileBytes(platform::WideToUtf8(model->PagePath(b)),
                   "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html;\"></head>"
                   "<body>\xd6\xd0\xce\xc4</body></html>");
    CIEView* view = Open(b);
    // (Text from the page is compared percent-encoded: the script result comes back in the
    // process's character set.)
    EXPECT_EQ(Script(view, "encodeURIComponent(document.body.textContent)"), "%E4%B8%AD%E6%96%87");
    EXPECT_EQ(pane->AddressBox()->GetValue(), "about:blank");

    // Enter on a channel page opens a new page; on a web page it goes there. Each address
    // joins the history once; about:blank never starts it.
    pane->OnAddressEntered(L"about:blank");
    EXPECT_EQ(pane->AddressBox()->GetCount(), 0u);
    EXPECT_EQ(pane->Tabs()->GetPageCount(), 2u);
    const std::wstring web = platform::Utf8ToWide(server.Url("/web.html"));
    pane->OnAddressEntered(web);
    EXPECT_EQ(pane->Tabs()->GetPageCount(), 2u);
    ASSERT_TRUE(Loaded(pane->CurrentPage(), "/web.html"));
    EXPECT_EQ(pane->AddressBox()->GetValue(), web);
    pane->OnAddressEntered(web);
    EXPECT_EQ(pane->AddressBox()->GetCount(), 1u);
    pane->OnAddressEntered(L"about:blank");
    EXPECT_EQ(pane->AddressBox()->GetCount(), 2u);
}

TEST_F(PaneTest, ADeletionLaysOutThePageAsItsFileWouldShowIt) {
    server.Serve("/many.xml", FeedXml(NumberedItems(1, 25)));
    Start();
    CChannel* many =
        model->AddChannel(nullptr, L"many", L"", platform::Utf8ToWide(server.Url("/many.xml")));
    ASSERT_TRUE(
        PumpUntil([&] { return many->GetTotalCount() == 25 && model->RunningJobs() == 0; }, 10000));
    CIEView* view = Open(many);
    // Twenty items a page: the 21st is on the second page until one before it goes.
    const char* layout = "Array.prototype.map.call(document.querySelectorAll('div.gn_stories'), "
                         "function (b) { return b.classList.contains('hidden') ? 'h' : 's'; })"
                         ".join('') + '|' + encodeURIComponent(Array.prototype.map.call("
                         "document.querySelectorAll('div.pager'), function (p) { return "
                         "p.textContent; }).join('/'))";
    EXPECT_EQ(Script(view, layout).substr(0, 25), std::string(20, 's') + "hhhhh");
    const int loads = view->DocumentsLoaded();
    Script(view, "document.getElementById('5_delete').click()");
    ASSERT_TRUE(PumpUntil([&] { return many->GetTotalCount() == 24; }, 5000));
    const std::string live = Script(view, layout);
    EXPECT_EQ(live.substr(0, 24), std::string(20, 's') + "hhhh");
    EXPECT_EQ(view->DocumentsLoaded(), loads);
    view->ReloadKeepingScroll();
    ASSERT_TRUE(PumpUntil([&] { return view->DocumentsLoaded() > loads; }, 10000));
    ASSERT_TRUE(Loaded(view, ".html"));
    EXPECT_EQ(Script(view, layout), live); // items and pagers as the patched file shows them
    // The second page of items, chosen on the page, stays chosen when the page comes back.
    Script(view, "document.querySelector('div.pager a[data-page=\"1\"]').click()");
    EXPECT_EQ(Script(view, layout).substr(0, 24), std::string(20, 'h') + "ssss");
    PumpEvents(600);
    view->ReloadKeepingScroll();
    ASSERT_TRUE(PumpUntil([&] { return view->DocumentsLoaded() > loads + 1; }, 10000));
    ASSERT_TRUE(Loaded(view, ".html"));
    EXPECT_EQ(Script(view, layout).substr(0, 24), std::string(20, 'h') + "ssss");

    // The page speaks the host's language; a Lang set by hand wins.
    const char* pager = "encodeURIComponent(document.querySelector('div.pager').firstChild.data)";
    EXPECT_EQ(Script(view, pager), "24%20items%20%C2%A0%20");
    AddHostTexts(container, HostLanguage::kChinese);
    view->ReloadKeepingScroll();
    ASSERT_TRUE(PumpUntil([&] { return view->DocumentsLoaded() > loads + 2; }, 10000));
    ASSERT_TRUE(Loaded(view, ".html"));
    EXPECT_EQ(Script(view, pager), "24%20%E6%9D%A1%E4%BF%A1%E6%81%AF%20%C2%A0%20"); // 条信息
    Setting("Lang", "1");
    view->ReloadKeepingScroll();
    ASSERT_TRUE(PumpUntil([&] { return view->DocumentsLoaded() > loads + 3; }, 10000));
    ASSERT_TRUE(Loaded(view, ".html"));
    EXPECT_EQ(Script(view, pager), "24%20items%20%C2%A0%20");
}

TEST_F(PaneTest, AnItemWithoutAuthorOrDateShowsNoStraySeparatorAndAnUntitledPageItsAddress) {
    server.Serve("/plain.xml", FeedXml({{"T", "http://example.com/t", "d", "", ""},
                                        {"U", "http://example.com/u", "d", "Ann", ""}}));
    server.Get("/untitled.html", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<html><body>no title</body></html>", "text/html");
    });
    Start();
    CChannel* plain =
        model->AddChannel(nullptr, L"plain", L"", platform::Utf8ToWide(server.Url("/plain.xml")));
    ASSERT_TRUE(PumpUntil([&] { return plain->GetTotalCount() == 2; }, 10000));
    CIEView* view = Open(plain);
    // The separators shown, item by item.
    EXPECT_EQ(Script(view, "Array.prototype.map.call(document.querySelectorAll('div."
                           "gn_storyfooter'), function (f) { return Array.prototype.filter.call("
                           "f.querySelectorAll('span.sep'), function (s) { return s.offsetParent "
                           "!== null; }).length; }).join()"),
              "0,1");
    const std::wstring address = platform::Utf8ToWide(server.Url("/untitled.html"));
    pane->OpenPage(L"x", address);
    EXPECT_TRUE(PumpUntil(
        [&] { return pane->Tabs()->GetPageText(1).ToStdWstring() == CIEFrame::TabTitle(address); },
        5000));
}
