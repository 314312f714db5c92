#include "../engine/FeedFixtures.h"
#include "FrameTest.h"
#include "HostContainer.h"
#include "HostTexts.h"
#include "TestHttpServer.h"
#include "catalogue/CatalogueModel.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "ui/IEFrame.h"
#include "ui/IETabCtrl.h"
#include "ui/IEView.h"
#include "ui/RssChannelView.h"

#include <cstdlib>
#include <cstring>
#include <httplib.h>
#include <wx/combobox.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

namespace {

// A reader whose message boxes are answered by a stand-in that writes what it showed.
class PaneTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        ASSERT_TRUE(platform::CopyFile(platform::Utf8ToWide(TESSAVIN_TEST_MESSAGEBOX_LIBRARY),
                                       app.WPath() + L"libXMessageBox.so", false));
        boxLog = app / "messagebox.log";
        setenv("TESSAVIN_FAKE_MESSAGEBOX_LOG", boxLog.c_str(), 1);
        server.Serve("/a.xml", FeedXml(NumberedItems(1, 3)));
        server.Serve("/b.xml", FeedXml(NumberedItems(1, 2)));
        server.Get("/web.html", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><head><title>A web page</title></head><body>web</body>"
                                 "</html>",
                                 "text/html");
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
    }
    // Waits until the page has loaded the address that ends with `tail`.
    bool Loaded(CIEView* view, const char* tail) {
        return PumpUntil(
            [this, view, tail] {
                if (view->WebView()->IsBusy())
                    return false;
                const std::string state = Script(view, "document.readyState + ' ' + location.href");
                return state.rfind("complete ", 0) == 0 && state.size() >= std::strlen(tail) &&
                       state.compare(state.size() - std::strlen(tail), std::string::npos, tail) ==
                           0;
            },
            20000);
    }
    // Runs an item action's script and waits for the page to be loaded again from its file.
    void ActAndReload(CIEView* view, const std::string& script) {
        const int loads = view->DocumentsLoaded();
        Script(view, script);
        EXPECT_TRUE(PumpUntil(
            [view, loads] { return view->DocumentsLoaded() > loads && !view->WebView()->IsBusy(); },
            10000))
            << script;
    }
    std::string Script(CIEView* view, const std::string& script) {
        wxString out;
        EXPECT_TRUE(view->WebView()->RunScript(script, &out)) << script;
        return out.ToStdString();
    }
    std::string Titles() {
        std::string out;
        for (size_t i = 0; i < pane->Tabs()->GetPageCount(); ++i)
            out += pane->Tabs()->GetPageText(i).ToStdString() + "|";
        return out;
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

    TestHttpServer server;
    HostContainer container;
    std::string boxLog;
    CMainFrame* frame = nullptr;
    CIEFrame* pane = nullptr;
    CatalogueModel* model = nullptr;
    CChannel* a = nullptr;
    CChannel* b = nullptr;
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
    // Stop does nothing on about:blank (nothing to check but that nothing breaks); the
    // address box shows it.
    EXPECT_EQ(pane->AddressBox()->GetValue(), "about:blank");
    pane->RunCommand(CIEFrame::kStop);

    // Up to twenty pages; the twenty-first of every kind shows the limit and adds nothing.
    while (tabs->GetPageCount() < 19)
        pane->RunCommand(CIEFrame::kNewPage);
    EXPECT_EQ(BoxShown(), "");
    pane->RunCommand(CIEFrame::kNewPage);
    EXPECT_EQ(tabs->GetPageCount(), 20u);
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
    EXPECT_EQ(BoxShown(), "");
    pane->ShowChannelPage(b); // the current page is empty: b takes it
    EXPECT_EQ(tabs->GetPageCount(), 20u);
    EXPECT_EQ(BoxShown(), "");
    pane->SelectPage(0);
    pane->ShowChannelPage(b); // open already: selected
    EXPECT_EQ(BoxShown(), "");
    EXPECT_EQ(pane->CurrentPage()->Channel(), b);
    EXPECT_EQ(tabs->GetPageCount(), 20u);

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

TEST_F(PaneTest, ItemActionsFromAChannelPageChangeItsFilesAndCountsAndNothingElseCan) {
    Start();
    pane->ShowChannelPage(a);
    CIEView* view = pane->CurrentPage();
    ASSERT_TRUE(Loaded(view, ".html"));
    EXPECT_EQ(Script(view, "typeof go_read"), "function");
    EXPECT_EQ(Titles(), "a|");
    auto tree = [this](CChannel* channel) {
        CRssChannelView* tv = frame->ChannelView();
        return tv->GetItemText(tv->ItemOf(CatalogueModel::NodeOf(channel))).ToStdString();
    };
    const std::string g = std::to_string(a->GetGroupId()), c = std::to_string(a->GetId());
    const std::string bPage = Page(b), bState = State(b);

    // The read icon of item 1, the flag of item 2, the deletion of item 3: the page's script
    // shows each just as the patched file has it, so nothing is loaded again.
    const int loads = view->DocumentsLoaded();
    Script(view, "go_read('025212A0'," + g + "," + c + ",1,'')");
    ASSERT_TRUE(PumpUntil([&] { return tree(a) == "a(2/3)"; }, 5000));
    EXPECT_EQ(State(a).substr(0, 4), "F100");
    EXPECT_NE(Page(a).find("id=1_read src=\"HtmlStyle/readed.gif"), std::string::npos);
    Script(view, "go_flag(" + g + "," + c + ",2)");
    ASSERT_TRUE(PumpUntil(
        [&] { return Page(a).find("id=2_flag src=\"HtmlStyle/flaged.gif") != std::string::npos; },
        5000));
    Script(view, "go_delete(" + g + "," + c + ",3)");
    ASSERT_TRUE(PumpUntil([&] { return tree(a) == "a(1/2)"; }, 5000));
    EXPECT_EQ(Page(a).find("id=3_contentdiv"), std::string::npos);
    // (Percent-encoded: the pager's text is Chinese, and a script's result comes back in the
    // process's character set.)
    const char* shown = "encodeURIComponent([document.getElementById('3_contentdiv') === null, "
                        "document.getElementById('1_read').src.indexOf('readed.gif') > 0, "
                        "document.getElementById('2_flag').src.indexOf('flaged.gif') > 0, "
                        "totalNum, document.getElementsByClassName('pager')[0].textContent]"
                        ".join())";
    const std::string live = Script(view, shown);
    EXPECT_EQ(live.rfind("true%2Ctrue%2Ctrue%2C2%2C2%20", 0), 0u) << live; // "... 2 条信息"
    EXPECT_EQ(view->DocumentsLoaded(), loads);
    // Loaded again from the file, the page looks the same.
    view->WebView()->Reload();
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
        ActAndReload(view, "go_flag(" + g + "," + c + ",1)");
        EXPECT_EQ(Page(a), before);
        EXPECT_EQ(Script(view, "document.getElementById('1_flag').src.indexOf('unflag.gif') > 0"),
                  "true");
    }

    // A title with its link: read, and the link opens in a new page with a cut title.
    const std::string link = server.Url("/web.html");
    Script(view, "go_read('025212A0'," + g + "," + c + ",2,'" + link + "')");
    ASSERT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageCount() == 2; }, 5000));
    EXPECT_TRUE(PumpUntil([&] { return tree(a) == "a(0/2)"; }, 5000));
    CIEView* web = pane->CurrentPage();
    EXPECT_EQ(web->Channel(), nullptr);
    ASSERT_TRUE(Loaded(web, "/web.html"));
    EXPECT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageText(1) == "A web page"; }, 5000));
    // A link with characters beyond ASCII reaches the reader whole.
    Script(view, "go_read('025212A0'," + g + "," + c + ",1,'" + link + "?q=\\u4e2d')");
    ASSERT_TRUE(PumpUntil([&] { return pane->Tabs()->GetPageCount() == 3; }, 5000));
    EXPECT_EQ(pane->CurrentPage()->Address(), platform::Utf8ToWide(link) + L"?q=\u4e2d");
    pane->Tabs()->CloseCurrentPage();
    pane->SelectPage(0);
    // A script link is never opened.
    Script(view, "go_read('025212A0'," + g + "," + c + ",1,'javascript:alert(1)//http://x')");
    PumpEvents(300);
    EXPECT_EQ(pane->Tabs()->GetPageCount(), 2u);

    // The same calls from a web page and from another channel's page change nothing.
    const std::string aPage = Page(a), aState = State(a);
    const std::string post = "window.webkit.messageHandlers.tessavin.postMessage('javascript:";
    Script(web, post + "go_flag(" + g + "," + c + ",1)')");
    Script(web, post + "go_delete(" + g + "," + c + ",1)')");
    pane->ShowChannelPage(b);
    CIEView* other = pane->CurrentPage();
    ASSERT_EQ(other->Channel(), b);
    ASSERT_TRUE(Loaded(other, ".html"));
    Script(other, post + "go_delete(" + g + "," + c + ",1)')");
    PumpEvents(300);
    EXPECT_EQ(Page(a), aPage);
    EXPECT_EQ(State(a), aState);
    EXPECT_EQ(Page(b), bPage);
    EXPECT_EQ(State(b), bState);
    EXPECT_EQ(tree(a), "a(0/2)");
    EXPECT_EQ(tree(b), "b(2/2)");
}

TEST_F(PaneTest, NativePagesReadAsGb18030AndTheAddressBoxKeepsItsHistory) {
    Start();
    // A page of the reader's native encoding names no character set.
    WriteFileBytes(platform::WideToUtf8(model->PagePath(b)),
                   "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html;\"></head>"
                   "<body>\xd6\xd0\xce\xc4</body></html>");
    pane->ShowChannelPage(b);
    CIEView* view = pane->CurrentPage();
    ASSERT_TRUE(Loaded(view, ".html"));
    // (Text from the page is compared percent-encoded: the script result comes back in the
    // process's character set.)
    EXPECT_EQ(Script(view, "encodeURIComponent(document.body.textContent)"), "%E4%B8%AD%E6%96%87");
    EXPECT_EQ(pane->AddressBox()->GetValue(), "about:blank");
    EXPECT_EQ(Script(view, "window.tessavinLang"), "0");

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
    pane->ShowChannelPage(many);
    CIEView* view = pane->CurrentPage();
    ASSERT_TRUE(Loaded(view, ".html"));
    // Twenty items a page: the 21st is on the second page until one before it goes.
    const char* layout = "Array.prototype.map.call(document.querySelectorAll('div.gn_stories'), "
                         "function (b) { return b.classList.contains('hidden') ? 'h' : 's'; })"
                         ".join('') + '|' + encodeURIComponent(Array.prototype.map.call("
                         "document.querySelectorAll('div.pager'), function (p) { return "
                         "p.textContent; }).join('/'))";
    EXPECT_EQ(Script(view, layout).substr(0, 25), std::string(20, 's') + "hhhhh");
    const int loads = view->DocumentsLoaded();
    Script(view, "go_delete(" + std::to_string(many->GetGroupId()) + "," +
                     std::to_string(many->GetId()) + ",5)");
    ASSERT_TRUE(PumpUntil([&] { return many->GetTotalCount() == 24; }, 5000));
    const std::string live = Script(view, layout);
    EXPECT_EQ(live.substr(0, 24), std::string(20, 's') + "hhhh");
    EXPECT_EQ(view->DocumentsLoaded(), loads);
    view->WebView()->Reload();
    ASSERT_TRUE(PumpUntil([&] { return view->DocumentsLoaded() > loads; }, 10000));
    ASSERT_TRUE(Loaded(view, ".html"));
    EXPECT_EQ(Script(view, layout), live); // items and pagers as the patched file shows them
}
