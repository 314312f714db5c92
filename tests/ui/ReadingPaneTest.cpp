#include "../engine/FeedFixtures.h"
#include "FrameTest.h"
#include "HostContainer.h"
#include "HostTexts.h"
#include "LogCapture.h"
#include "TestHttpServer.h"
#include "engine/ChannelUpdater.h"
#include "search/SearchIndex.h"
#include "ui/IEFrame.h"
#include "ui/IETabCtrl.h"
#include "ui/IEView.h"
#include "ui/ItemViewList.h"
#include "ui/MainFrame.h"

#include <atomic>
#include <httplib.h>
#include <mutex>
#include <optional>
#include <webkit2/webkit2.h>
#include <wx/combobox.h>
#include <wx/srchctrl.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

namespace {

// Markup that runs script or reaches local files in a page that lets it; its beacons name
// `beacon`.
std::string HostileMarkup(const std::string& beacon, const std::string& localFile,
                          const std::string& webPage) {
    return "<img src=x onerror=\"fetch('" + beacon + "?img')\"><script>fetch('" + beacon +
           "?script')</script><svg><script>fetch('" + beacon +
           "?svg')</script></svg><iframe src=\"javascript:fetch('" + beacon +
           "?frame')\"></iframe><object data=\"" + beacon +
           "?object\"></object><meta http-equiv=refresh content=\"0;url=" + beacon +
           "?refresh\"><a id=evil href=\"javascript:fetch('" + beacon +
           "?link')\">evil</a><img id=local1 src=\"" + localFile +
           "\"><img id=local2 src=\"file://" + localFile +
           "\"><a id=up href=\"../../../../../../etc/passwd\">up</a><a id=web href=\"" + webPage +
           "\">web</a>";
}

// A reader whose message boxes are answered by the stand-in, with a loopback server for its
// feeds, its web pages and the beacons of hostile markup.
class PaneTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        FakeMessageBoxes();
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
        server.Serve("/web.html",
                     "<html><head><title>A web page</title></head><body>web</body>"
                     "</html>",
                     "text/html");
        server.Get("/beacon.*", [this](const httplib::Request& request, httplib::Response&) {
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
    // The reader with channels a (3 items) and b (2 items), both updated.
    void StartPane() {
        AddEnglishTexts(container);
        Start(&container);
        pane = frame->ReadingPane();
        a = AddUpdated("a", "/a.xml", 3);
        b = AddUpdated("b", "/b.xml", 2);
        g = std::to_string(a->GetGroupId());
        c = std::to_string(a->GetId());
    }
    // A channel added while the reader runs, once its first update is done.
    CChannel* AddUpdated(const char* name, const std::string& path, uint32_t items) {
        CChannel* added = model->AddChannel(nullptr, platform::Utf8ToWide(name), L"",
                                            platform::Utf8ToWide(server.Url(path)));
        frame->Updates()->UpdateSelected(added);
        EXPECT_TRUE(PumpUntil(
            [&] { return added->GetTotalCount() == items && !added->IsUpdating(); }, 10000));
        return added;
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
    bool Loaded(CIEView* view, const std::string& tail) {
        const std::string done = "document.readyState == 'complete' && "
                                 "location.href.split('?')[0].endsWith('" +
                                 tail + "')";
        return PumpUntil([&] { return Script(view, done) == "true"; }, 20000);
    }
    // Waits for a load after `loads` documents, and until it is complete.
    bool LoadedAgain(CIEView* view, int loads) {
        return PumpUntil([&] { return view->DocumentsLoaded() > loads; }, 10000) &&
               Loaded(view, ".html");
    }
    bool Reload(CIEView* view) {
        const int loads = view->DocumentsLoaded();
        view->ReloadKeepingScroll();
        return LoadedAgain(view, loads);
    }
    // A script's result as text ("error" when it threw), evaluated by the browser itself (as
    // no page's own script is) in the page's own world, where a page's content runs when it
    // may, or in the world of the reader's page script ("tessavin").
    std::string Script(CIEView* view, const std::string& script, const char* world = nullptr) {
        auto* result = new std::optional<std::string>;
        webkit_web_view_evaluate_javascript(
            WEBKIT_WEB_VIEW(view->WebView()->GetNativeBackend()), script.c_str(), -1, world,
            nullptr, nullptr,
            [](GObject* source, GAsyncResult* res, gpointer data) {
                JSCValue* value = webkit_web_view_evaluate_javascript_finish(
                    WEBKIT_WEB_VIEW(source), res, nullptr);
                auto* result = static_cast<std::optional<std::string>*>(data);
                *result = value ? "" : "error";
                if (value && !jsc_value_is_undefined(value)) {
                    char* text = jsc_value_to_string(value);
                    *result = text;
                    g_free(text);
                }
                if (value)
                    g_object_unref(value);
            },
            result);
        if (!PumpUntil([result] { return result->has_value(); }, 10000)) {
            ADD_FAILURE() << "no result: " << script;
            return "timed out"; // the result is left to the late callback
        }
        const std::string text = **result;
        delete result;
        return text;
    }
    // Clicks the middle of the element with the mouse, as the reader does.
    void ClickOn(CIEView* view, const std::string& id) {
        const std::string box = Script(
            view, "var e = document.getElementById('" + id +
                      "'); e.scrollIntoView({block: 'center'}); var r = e.getBoundingClientRect();"
                      " Math.round(r.left + r.width / 2) + ' ' + Math.round(r.top + r.height / 2)");
        int x = 0, y = 0;
        ASSERT_EQ(sscanf(box.c_str(), "%d %d", &x, &y), 2) << box;
        ClickAt(view->WebView()->ClientToScreen(wxPoint(x, y)));
    }
    // Posts calls as the reader's page script does, with the given load token.
    void Post(CIEView* view, const std::string& token, const std::vector<std::string>& calls) {
        std::string script = "var h = window.webkit.messageHandlers.tessavin;";
        for (const std::string& call : calls)
            script += "h.postMessage('" + token + " 0 0 - " + call + "');";
        Script(view, script + "'posted'", "tessavin");
    }
    // The calls of a's page for item `n`.
    std::string Flag(int n) {
        return "javascript:go_flag(" + g + "," + c + "," + std::to_string(n) + ")";
    }
    std::string TitleOf(int n, const std::string& link) {
        return "javascript:go_read(\\'025212A0\\'," + g + "," + c + "," + std::to_string(n) +
               ",\\'" + link + "\\')";
    }
    std::string Titles() {
        std::string out;
        for (size_t i = 0; i < pane->Tabs()->GetPageCount(); ++i)
            out += pane->Tabs()->GetPageText(i).ToStdString() + "|";
        return out;
    }
    std::string Tree(CChannel* channel) {
        return view->GetItemText(view->ItemOf(CatalogueModel::NodeOf(channel))).ToStdString();
    }
    std::string Page(CChannel* channel) {
        return ReadFileBytes(platform::WideToUtf8(model->FilesOf(channel).Page()));
    }
    std::string State(CChannel* channel) {
        return ReadFileBytes(platform::WideToUtf8(model->FilesOf(channel).State()));
    }
    std::string Beacons() {
        std::lock_guard<std::mutex> lock(beaconMutex);
        return beacons;
    }

    TestHttpServer server;
    HostContainer container;
    std::string localFile;
    std::mutex beaconMutex;
    std::string beacons;
    CIEFrame* pane = nullptr;
    CChannel* a = nullptr;
    CChannel* b = nullptr;
    std::string g, c;
};

} // namespace

TEST_F(PaneTest, TabsOpenAfterTheSelectedOneUpToTwentyAndAtLeastOneStays) {
    // A tab shows at most twelve characters of a title.
    EXPECT_EQ(CIEFrame::TabTitle(L"exactly12chr"), L"exactly12chr");
    EXPECT_EQ(CIEFrame::TabTitle(L"thirteen char"), L"thirteen cha...");
    EXPECT_EQ(CIEFrame::TabTitle(L"频道频道频道频道频道频道频"), L"频道频道频道频道频道频道...");
    StartPane();
    CIETabCtrl* tabs = pane->Tabs();
    // The empty first page has no web view (the browser starts with the first page shown).
    EXPECT_EQ(pane->CurrentPage()->WebView(), nullptr);
    // Channel a takes the empty first page; asked again, its tab is only selected.
    pane->ShowChannelPage(a);
    EXPECT_EQ(tabs->GetPageCount(), 1u);
    EXPECT_TRUE(pane->CurrentPage()->IsChannelView());
    EXPECT_EQ(tabs->GetPageImage(0), CIETabCtrl::kChannelImage);
    pane->ShowChannelPage(b);
    pane->SelectPage(0);
    pane->ShowChannelPage(a);
    EXPECT_EQ(tabs->GetSelection(), 0);
    EXPECT_EQ(pane->OpenChannels(), (std::vector<CChannel*>{a, b}));
    // A new page goes right after the selected tab, not at the end.
    pane->RunCommand(CIEFrame::kNewPage);
    EXPECT_EQ(Titles(), "a|about:blank|b|");
    EXPECT_EQ(tabs->GetSelection(), 1);
    EXPECT_EQ(tabs->GetPageImage(1), CIETabCtrl::kWebImage);
    EXPECT_EQ(pane->AddressBox()->GetValue(), "about:blank");
    pane->RunCommand(CIEFrame::kStop); // nothing to stop on about:blank
    pane->RunCommand(CIEFrame::kRefresh);
    EXPECT_EQ(pane->CurrentPage()->WebView(), nullptr);

    // Up to twenty pages; the twenty-first of every kind shows the limit and adds nothing.
    while (tabs->GetPageCount() < 20)
        pane->RunCommand(CIEFrame::kNewPage);
    EXPECT_EQ(Boxes(), "");
    pane->RunCommand(CIEFrame::kNewPage);
    EXPECT_EQ(Boxes().rfind("At most 20 pages can be open. Close a page first.|Prompt|16|", 0), 0u);
    const std::wstring web = platform::Utf8ToWide(server.Url("/web.html"));
    EXPECT_EQ(pane->OpenPage(L"web", web), 1);
    EXPECT_NE(Boxes(), "");
    CIEPageEvent window(EVT_IE_NEW_WINDOW, pane->CurrentPage()); // as a page asks for one
    window.text = web;
    pane->CurrentPage()->ProcessWindowEvent(window);
    EXPECT_NE(Boxes(), "");
    EXPECT_EQ(tabs->GetPageCount(), 20u);
    pane->ClosePageOfChannel(b);
    EXPECT_EQ(pane->OpenChannels(), (std::vector<CChannel*>{a}));
    pane->RunCommand(CIEFrame::kNewPage);
    pane->ShowChannelPage(b); // the current page is empty: b takes its place
    EXPECT_EQ(tabs->GetPageCount(), 20u);
    EXPECT_EQ(Boxes(), "");
    EXPECT_EQ(pane->CurrentPage()->Channel(), b);

    // Closing the first tab selects the new first one; any other, the one before it.
    pane->SelectPage(0);
    pane->CloseCurrentPage();
    EXPECT_EQ(tabs->GetSelection(), 0);
    EXPECT_EQ(pane->OpenChannels(), (std::vector<CChannel*>{b}));
    pane->SelectPage(5);
    CIEView* before = tabs->PageAt(4);
    pane->CloseCurrentPage();
    EXPECT_EQ(tabs->GetSelection(), 4);
    EXPECT_EQ(pane->CurrentPage(), before);
    // Closing everything (the tab menu's command) or the last page leaves one empty page.
    wxCommandEvent closeAll(wxEVT_MENU, CIETabCtrl::kCloseAllCommand);
    tabs->ProcessWindowEvent(closeAll);
    EXPECT_EQ(Titles(), "about:blank|");
    EXPECT_TRUE(pane->OpenChannels().empty());
    pane->CloseCurrentPage();
    EXPECT_EQ(Titles(), "about:blank|");
    EXPECT_EQ(pane->CurrentPage(), tabs->PageAt(0));
    EXPECT_EQ(pane->AddressBox()->GetValue(), "about:blank");
    // A double click on a tab closes it.
    pane->RunCommand(CIEFrame::kNewPage);
    PumpEvents(100);
    wxPoint onTab;
    for (int x = 2; x < tabs->GetSize().x && onTab == wxPoint(); x += 4)
        for (int y = 2; y < 40 && onTab == wxPoint(); y += 4)
            if (tabs->HitTest(wxPoint(x, y)) == 1)
                onTab = wxPoint(x, y);
    ASSERT_NE(onTab, wxPoint());
    ClickAt(tabs->ClientToScreen(onTab), true);
    ASSERT_TRUE(PumpUntil([&] { return tabs->GetPageCount() == 1; }, 3000));
    EXPECT_EQ(tabs->GetSelection(), 0);
}

TEST_F(PaneTest, ClicksOnAChannelPageChangeItsFilesAndCountsAndNothingElseCan) {
    StartPane();
    CIEView* page = Open(a);
    EXPECT_EQ(Titles(), "a|");
    const std::string bPage = Page(b), bState = State(b);
    // The page's own world has neither the page script nor a way to the reader.
    EXPECT_EQ(Script(page, "typeof go_read + typeof (window.webkit && "
                           "window.webkit.messageHandlers.tessavin)"),
              "undefinedundefined");

    // The read icon of item 1, the flag of item 2, the deletion of item 3: the page's script
    // shows each just as the patched file has it, so nothing is loaded again.
    const std::string token = page->LoadToken();
    Script(page, "document.getElementById('1_read').click()");
    ASSERT_TRUE(PumpUntil([&] { return Tree(a) == "a(2/3)"; }, 5000));
    Script(page, "document.getElementById('2_flag').click()");
    ASSERT_TRUE(PumpUntil(
        [&] { return Page(a).find("id=2_flag src=\"HtmlStyle/flaged.gif") != std::string::npos; },
        5000));
    Script(page, "document.getElementById('3_delete').click()");
    ASSERT_TRUE(PumpUntil([&] { return Tree(a) == "a(1/2)"; }, 5000));
    // (Percent-encoded: the pager's text is Chinese, and a script's result comes back in the
    // process's character set.)
    const char* shown = "encodeURIComponent([document.getElementById('3_contentdiv') === null, "
                        "document.getElementById('1_read').src.indexOf('readed.gif') > 0, "
                        "document.getElementById('2_flag').src.indexOf('flaged.gif') > 0, "
                        "document.getElementsByClassName('pager')[0].textContent].join())";
    const std::string live = Script(page, shown);
    EXPECT_EQ(live.rfind("true%2Ctrue%2Ctrue%2C2%20", 0), 0u) << live; // "... 2 条信息"
    EXPECT_EQ(page->LoadToken(), token);                               // no new load
    // Loaded again from the file, the page looks the same.
    ASSERT_TRUE(Reload(page));
    EXPECT_EQ(Script(page, shown), live);

    // A title with its link: read, and the link opens in a new web page with a cut title.
    Script(page, "document.getElementsByName('2_title')[0].click()");
    ASSERT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageCount() == 2; }, 5000));
    EXPECT_TRUE(PumpUntil([&] { return Tree(a) == "a(0/2)"; }, 5000));
    CIEView* web = pane->CurrentPage();
    EXPECT_FALSE(web->IsChannelView());
    ASSERT_TRUE(Loaded(web, "/web.html"));
    EXPECT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageText(1) == "A web page"; }, 5000));
    // A script link is never opened, whatever it names inside. A link with characters beyond
    // ASCII, posted after it, reaches the reader whole; once its page is open, both were handled.
    const std::string link = server.Url("/web.html");
    Post(page, page->LoadToken(),
         {TitleOf(1, "javascript:alert(1)//" + link), TitleOf(1, link + "?q=%E4%B8%AD")});
    const std::wstring whole = platform::Utf8ToWide(link) + L"?q=\u4e2d";
    ASSERT_TRUE(PumpUntil([&] { return pane->CurrentPage()->Address() == whole; }, 5000));
    EXPECT_EQ(pane->Tabs()->GetPageCount(), 3u);

    // Calls with another load's token, from a web page, or from another channel's page change
    // nothing. A call the files refuse, posted after them, is the sign they were handled: the
    // page is loaded again.
    const std::string aPage = Page(a), aState = State(a);
    EXPECT_EQ(Script(web, "typeof (window.webkit && window.webkit.messageHandlers.tessavin)"),
              "undefined");
    int loads = page->DocumentsLoaded();
    Post(page, "0123456789abcdef0123456789abcdef", {Flag(1)});
    Post(page, page->LoadToken(), {Flag(99)});
    ASSERT_TRUE(LoadedAgain(page, loads));
    CIEView* other = Open(b);
    loads = other->DocumentsLoaded();
    Post(other, other->LoadToken(), {"javascript:go_delete(" + g + "," + c + ",1)"});
    ASSERT_TRUE(LoadedAgain(other, loads));
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
    StartPane();
    CChannel* many = AddUpdated("long", "/long.xml", 30);
    CIEView* page = Open(many);
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
    int loads = page->DocumentsLoaded();
    Script(page, "document.getElementById('2_read').click()");
    ASSERT_TRUE(LoadedAgain(page, loads));
    EXPECT_EQ(State(many), state);
    EXPECT_EQ(Script(page, "document.getElementsByName('2_title')[0].textContent"), "T1");
    // An update that writes the page shows it again at once, where the reader had scrolled.
    Script(page, "window.scrollTo(0, 240)");
    PumpEvents(700); // the page tells where the reader is
    first = -1;
    loads = page->DocumentsLoaded();
    frame->Updates()->UpdateSelected(many);
    ASSERT_TRUE(LoadedAgain(page, loads));
    EXPECT_EQ(Script(page, "document.getElementsByName('1_title')[0].textContent"), "T-1");
    EXPECT_EQ(Script(page, "String(window.scrollY)"), "240");
    // Now the same click is taken.
    Script(page, "document.getElementById('2_read').click()");
    EXPECT_TRUE(PumpUntil(
        [&] {
            const std::string lines = State(many);
            return lines.substr(lines.find('\n') + 1, 4) == "F100";
        },
        5000));
}

TEST_F(PaneTest, AChannelPageRunsNoScriptOfItsOwnAndLoadsNoLocalFile) {
    server.Serve("/hostile.xml",
                 FeedXml({{"Title <img src=x onerror=fetch('" + server.Url("/beacon?t") + "') ",
                           server.Url("/1"), "d", "", ""},
                          {"Harmless <!--", server.Url("/2"),
                           "&lt;a title=\"--&gt;&lt;img src=x onerror=fetch('" +
                               server.Url("/beacon?c") + "')&gt;\"&gt;more&lt;/a&gt;",
                           "", ""}}));
    StartPane();
    // The page's files as a page writer without its sanitiser would leave them: the view
    // must stand on its own.
    const std::string page = Page(a);
    const size_t details = page.find("<p>d1</p>");
    ASSERT_NE(details, std::string::npos);
    WriteFileBytes(
        platform::WideToUtf8(model->FilesOf(a).Page()),
        page.substr(0, details) + "<p>" +
            HostileMarkup(server.Url("/beacon/page"), localFile, server.Url("/web.html")) + "</p>" +
            page.substr(details + 9));
    CIEView* view = Open(a);
    EXPECT_EQ(Script(view, "[document.getElementById('local1').naturalWidth, "
                           "document.getElementById('local2').naturalWidth].join()"),
              "0,0");
    for (const char* id : {"evil", "up"})
        Script(view, std::string("document.getElementById('") + id + "').click()");
    // A web link opens in a web page of its own (after the links before it were refused).
    Script(view, "document.getElementById('1_content').classList.add('open')");
    ClickOn(view, "web");
    ASSERT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageCount() == 2; }, 5000));
    EXPECT_TRUE(Loaded(pane->CurrentPage(), "/web.html"));
    EXPECT_EQ(pane->Tabs()->GetPageCount(), 2u);
    EXPECT_EQ(view->ShownFile(), model->FilesOf(a).Page()); // it never left its page
    // The written page of a hostile feed, shown.
    CChannel* hostile = AddUpdated("hostile", "/hostile.xml", 2);
    Open(hostile);
    // The same markup in a web page runs: its beacons do come, after any of the pages above.
    pane->OpenPage(L"hostile", platform::Utf8ToWide(server.Url("/hostile.html")));
    EXPECT_TRUE(PumpUntil([&] { return Beacons().find("?img") != std::string::npos; }, 5000));
    for (const char* beacon : {"/beacon/page", "/beacon?t", "/beacon?c"})
        EXPECT_EQ(Beacons().find(beacon), std::string::npos) << Beacons();
}

TEST_F(PaneTest, PageCallsAreHandledOneAtATimeWithinTheirLimits) {
    StartPane();
    CIEView* view = Open(a);
    // Forty title calls that each open a page, handled one at a time: the page limit holds
    // and its message shows once. The calls over the rate are refused, so the page is loaded
    // again (once) when the queue is done.
    const int loads = view->DocumentsLoaded();
    std::vector<std::string> calls;
    for (int i = 0; i < 40; ++i)
        calls.push_back(TitleOf(1, server.Url("/web.html?") + std::to_string(i)));
    Post(view, view->LoadToken(), calls);
    ASSERT_TRUE(LoadedAgain(view, loads));
    EXPECT_EQ(view->DocumentsLoaded(), loads + 1);
    EXPECT_EQ(pane->Tabs()->GetPageCount(), 20u);
    const std::string shown = Boxes();
    EXPECT_NE(shown.find("At most 20 pages"), std::string::npos);
    EXPECT_EQ(shown.find("At most 20 pages"), shown.rfind("At most 20 pages")) << shown;
    EXPECT_EQ(State(a).substr(0, 4), "F100");
    // Still answering, and a later click is handled again.
    pane->CloseAllPages();
    view = Open(a);
    Script(view, "document.getElementById('2_flag').click()");
    EXPECT_TRUE(PumpUntil(
        [&] { return Page(a).find("id=2_flag src=\"HtmlStyle/flaged.gif") != std::string::npos; },
        5000));
}

TEST_F(PaneTest, AWindowAPageOpensIsATabAndADownloadIsRefusedNeverSaved) {
    server.Serve("/opener.html",
                 "<html><body style=\"height:2000px\" onclick=\"window.open('/web.html')\">click"
                 "</body></html>",
                 "text/html");
    StartPane();
    LogCapture log(app.Path());
    // A click that opens a window (the browser asks for a new view) gets a tab.
    pane->OpenPage(L"opener", platform::Utf8ToWide(server.Url("/opener.html")));
    CIEView* opener = pane->CurrentPage();
    ASSERT_TRUE(Loaded(opener, "/opener.html"));
    ClickAt(opener->WebView()->ClientToScreen(wxPoint(100, 100)));
    ASSERT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageCount() == 3; }, 5000));
    EXPECT_TRUE(Loaded(pane->CurrentPage(), "/web.html"));
    // A download is refused, and the reader says so, once for a page that keeps trying.
    const std::wstring file = platform::Utf8ToWide(server.Url("/file.bin"));
    pane->OpenPage(L"file", file);
    ASSERT_TRUE(PumpUntil([&] { return log.Count(L"Download refused") == 1; }, 10000));
    ASSERT_TRUE(Drain(pane));
    EXPECT_EQ(Boxes().rfind("The reader saves no downloads: " + server.Url("/file.bin") +
                                " was not saved.|Prompt|16|",
                            0),
              0u);
    pane->CurrentPage()->Navigate(file);
    ASSERT_TRUE(PumpUntil([&] { return log.Count(L"Download refused") == 2; }, 10000));
    ASSERT_TRUE(Drain(pane));
    EXPECT_EQ(Boxes(), "");
    const char* home = getenv("HOME");
    for (const std::string& folder :
         {std::string(home ? home : "/tmp"), std::string(home ? home : "/tmp") + "/Downloads",
          std::string(g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD) ?: "/tmp")})
        EXPECT_FALSE(platform::FileExists(platform::Utf8ToWide(folder + "/file.bin"))) << folder;
}

TEST_F(PaneTest, NativePagesReadAsGb18030AndTheAddressBoxKeepsItsHistory) {
    server.Serve("/untitled.html", "<html><body>no title</body></html>", "text/html");
    StartPane();
    // A page of the reader's native encoding names no character set.
    WriteFileBytes(platform::WideToUtf8(model->FilesOf(b).Page()),
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
    // A web page without a title of its own is named by its address.
    const std::wstring untitled = platform::Utf8ToWide(server.Url("/untitled.html"));
    pane->OpenPage(L"x", untitled);
    const size_t tab = static_cast<size_t>(pane->Tabs()->GetSelection());
    EXPECT_TRUE(PumpUntil(
        [&] { return pane->Tabs()->GetPageText(tab) == CIEFrame::TabTitle(untitled); }, 5000));
}

TEST_F(PaneTest, ThePageScriptLaysOutItemsInTheHostsLanguage) {
    server.Serve("/many.xml", FeedXml(NumberedItems(1, 25)));
    server.Serve("/plain.xml", FeedXml({{"T", "http://example.com/t", "d", "", ""},
                                        {"U", "http://example.com/u", "d", "Ann", ""}}));
    StartPane();
    // An item without author or date shows no stray separator.
    CIEView* view = Open(AddUpdated("plain", "/plain.xml", 2));
    EXPECT_EQ(Script(view, "Array.prototype.map.call(document.querySelectorAll('div."
                           "gn_storyfooter'), function (f) { return Array.prototype.filter.call("
                           "f.querySelectorAll('span.sep'), function (s) { return s.offsetParent "
                           "!== null; }).length; }).join()"),
              "0,1");
    CChannel* many = AddUpdated("many", "/many.xml", 25);
    view = Open(many);
    // Twenty items a page: the 21st is on the second page until one before it goes.
    const char* layout = "Array.prototype.map.call(document.querySelectorAll('div.gn_stories'), "
                         "function (b) { return b.classList.contains('hidden') ? 'h' : 's'; })"
                         ".join('') + '|' + encodeURIComponent(Array.prototype.map.call("
                         "document.querySelectorAll('div.pager'), function (p) { return "
                         "p.textContent; }).join('/'))";
    EXPECT_EQ(Script(view, layout).substr(0, 25), std::string(20, 's') + "hhhhh");
    const std::string token = view->LoadToken();
    Script(view, "document.getElementById('5_delete').click()");
    ASSERT_TRUE(PumpUntil([&] { return many->GetTotalCount() == 24; }, 5000));
    const std::string live = Script(view, layout);
    EXPECT_EQ(live.substr(0, 24), std::string(20, 's') + "hhhh");
    EXPECT_EQ(view->LoadToken(), token); // no new load
    ASSERT_TRUE(Reload(view));
    EXPECT_EQ(Script(view, layout), live); // items and pagers as the patched file shows them
    // The second page of items, chosen on the page, stays chosen when the page comes back.
    Script(view, "document.querySelector('div.pager a[data-page=\"1\"]').click()");
    EXPECT_EQ(Script(view, layout).substr(0, 24), std::string(20, 'h') + "ssss");
    PumpEvents(600); // the page tells where the reader is
    ASSERT_TRUE(Reload(view));
    EXPECT_EQ(Script(view, layout).substr(0, 24), std::string(20, 'h') + "ssss");

    // The page speaks the host's language; a Lang set by hand wins.
    const char* pager = "encodeURIComponent(document.querySelector('div.pager').firstChild.data)";
    EXPECT_EQ(Script(view, pager), "24%20items%20%C2%A0%20");
    AddHostTexts(container, HostLanguage::kChinese);
    ASSERT_TRUE(Reload(view));
    EXPECT_EQ(Script(view, pager), "24%20%E6%9D%A1%E4%BF%A1%E6%81%AF%20%C2%A0%20"); // 条信息
    Setting("Lang", "1");
    ASSERT_TRUE(Reload(view));
    EXPECT_EQ(Script(view, pager), "24%20items%20%C2%A0%20");
}

TEST_F(PaneTest, ViewsSearchMarkReadAndNextUnreadActOnTheItemsOwnChannels) {
    StartPane();
    CItemViewList* list = frame->ViewList();
    // A click on an entry above the tree opens its view; the page shows the call's channel.
    auto openEntry = [&](CItemViewList::Entry entry, int kind) {
        wxRect row;
        list->GetBoundingRect(list->ItemOf(entry), row);
        ClickAt(list->ClientToScreen(row.GetPosition() + wxPoint(30, row.height / 2)));
        EXPECT_TRUE(PumpUntil([&] { return pane->CurrentPage()->ItemViewKind() == kind; }, 5000));
        EXPECT_TRUE(Loaded(pane->CurrentPage(), ".html"));
        return pane->CurrentPage();
    };
    auto blocks = [&](CIEView* page) {
        return Script(page, "document.querySelectorAll('div.gn_stories').length");
    };
    CIEView* unread = openEntry(CItemViewList::kUnread, 0);
    EXPECT_EQ(blocks(unread), "5");
    EXPECT_EQ(pane->Tabs()->GetPageText(pane->Tabs()->GetSelection()), "Unread");
    // Block 1 is a's item 1 (no dates: tree order): its flag goes to a's files.
    ClickOn(unread, "1_flag");
    ASSERT_TRUE(PumpUntil([&] { return State(a).compare(0, 4, "F010") == 0; }, 5000));
    CIEView* flagged = openEntry(CItemViewList::kFlagged, 1);
    EXPECT_EQ(blocks(flagged), "1");
    // Unflagged elsewhere: the view's flag, which still shows it flagged, changes nothing and
    // the view is written anew.
    ItemCall unflag;
    unflag.action = ItemCall::kFlag;
    unflag.channelId = a->GetId();
    unflag.item = 1;
    ASSERT_TRUE(ItemAction::Apply(unflag, *a, model->DataFolder(), nullptr));
    const int loads = flagged->DocumentsLoaded();
    ClickOn(flagged, "1_flag");
    ASSERT_TRUE(LoadedAgain(flagged, loads));
    EXPECT_EQ(blocks(flagged), "0");
    EXPECT_EQ(State(a).compare(0, 4, "F000"), 0);

    // The search box: the words of both channels' second items.
    frame->Index()->WaitIdle();
    wxSearchCtrl* box = pane->SearchBox();
    ClickAt(box->ClientToScreen(wxPoint(box->GetSize().x / 2, box->GetSize().y / 2)));
    PumpEvents(100);
    wxUIActionSimulator sim;
    sim.Text("t2");
    sim.Char(WXK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return pane->CurrentPage()->ItemViewKind() == 2; }, 5000));
    CIEView* found = pane->CurrentPage();
    ASSERT_TRUE(Loaded(found, ".html"));
    EXPECT_EQ(blocks(found), "2");
    ClickOn(found, "2_read");
    ASSERT_TRUE(PumpUntil([&] { return Tree(a) == "a(2/3)" || Tree(b) == "b(1/2)"; }, 5000));

    // Ctrl+Shift+A on the tree: every item of the selected channel read.
    view->SelectItem(view->ItemOf(CatalogueModel::NodeOf(a)));
    view->SetFocus();
    PumpEvents(100);
    sim.Char('A', wxMOD_CONTROL | wxMOD_SHIFT);
    ASSERT_TRUE(PumpUntil([&] { return Tree(a) == "a(0/3)"; }, 5000));
    EXPECT_EQ(State(a).find("F0"), std::string::npos);

    // N on a's page, which has nothing unread: b's page, at its first unread item (b's first
    // is read when the search marked it).
    CIEView* page = Open(a);
    ClickOn(page, "1_open");
    sim.Char('n');
    ASSERT_TRUE(PumpUntil([&] { return pane->CurrentPage()->Channel() == b; }, 5000));
    EXPECT_TRUE(Loaded(pane->CurrentPage(), ".html"));
    EXPECT_EQ(Tree(a), "a(0/3)"); // reaching items marks nothing
}
