#include "reader/ItemAction.h"
#include "../engine/FeedFixtures.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "catalogue/Channel.h"
#include "engine/ChannelUpdater.h"
#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

namespace {

// The fixture opens links itself: it records "title address" and answers openResult.
class ItemActionTest : public ::testing::Test, public ILinkOpener {
protected:
    int OpenPage(const std::wstring& title, const std::wstring& address) override {
        opened.push_back(title + L" " + address);
        return openResult;
    }
    void SetUp() override {
        UseAppDirectory(app);
        MakeFolders(app / "data");
        channel.SetId(5);
        channel.SetGroupId(2);
        channel.SetFileStem(L"rss5");
    }
    void Write(const std::vector<FeedItem>& items, const std::string& date = "d") {
        ChannelUpdater updater(channel, folder(), nullptr);
        ASSERT_TRUE(updater.LoadState());
        ASSERT_EQ(updater.Process(FeedXml(items, date)), ChannelUpdater::kWritten);
    }
    // A click on a page link "javascript:<call>".
    bool Click(const std::string& call, const std::string* itemLink = nullptr) {
        return ItemAction::OnNavigate(platform::Utf8ToWide("javascript:" + call), channel, folder(),
                                      &view, this, itemLink);
    }
    std::wstring folder() { return app.WPath() + L"data"; }
    std::string Page() { return ReadFileBytes(app / "data/rss5.html"); }
    std::string State() { return ReadFileBytes(app / "data/rss5.flg"); }
    bool PageHas(const std::string& text) { return Page().find(text) != std::string::npos; }
    // The marks of every state file line, blank-separated.
    std::string Marks() {
        std::string marks, state = State();
        for (size_t at = 0; at < state.size(); at = state.find('\n', at) + 1)
            marks += (marks.empty() ? "" : " ") + state.substr(at, 4);
        return marks;
    }
    // The messages posted to the view as "message:wParam", each naming the channel.
    std::string Posted() {
        std::string out;
        for (const platform::PostedMessage& m : view.Drain()) {
            EXPECT_EQ(m.lParam, reinterpret_cast<platform::LParam>(&channel));
            out += std::to_string(m.message) + ":" + std::to_string(m.wParam) + " ";
        }
        return out;
    }

    TempDir app;
    LogCapture log{app.Path()};
    CChannel channel;
    platform::MessageQueue view;
    std::vector<std::wstring> opened;
    int openResult = 1;
};

} // namespace

// A parsed call as "action group channel item carriesLink link".
std::string Parsed(const std::string& address) {
    const ItemCall c = ItemAction::Parse(address);
    return std::to_string(c.action) + " " + std::to_string(c.groupId) + " " +
           std::to_string(c.channelId) + " " + std::to_string(c.item) + " " +
           std::to_string(c.carriesLink) + " " + c.link;
}

TEST(ItemCallParse, OnlyTheExactFormsTheWriterEmits) {
    EXPECT_EQ(Parsed("javascript:go_read('025212A0',2,5,12,'http://a/b?c=1')"),
              "1 2 5 12 1 http://a/b?c=1");
    EXPECT_EQ(Parsed("javascript:go_read('025212A0',0,7,3,'')"), "1 0 7 3 0 ");
    EXPECT_EQ(Parsed("javascript:go_read('025212A0',0,7,3,'https://s/\\u4E2D\\x2F\\'')"),
              "1 0 7 3 1 https://s/\xE4\xB8\xAD/'");
    EXPECT_EQ(Parsed("javascript:go_flag(-1,7,1000)"), "2 -1 7 1000 0 "); // all the digits
    EXPECT_EQ(Parsed("javascript:go_delete(0%2C7,1234)"), "3 0 7 1234 0 ");
    for (const char* bad :
         {"javascript:go_reader('025212A0',0,7,3,'')", "javascript:go_read('X',0,7,3,'')",
          "javascript:go_flag(0,7)", "javascript:go_flag(0,7,3);alert(1)",
          "javascript:go_delete(0,7,0)", "javascript:go_delete(0,7,x)", "go_flag(0,7,3)",
          "javascript:go_read('025212A0',0,7,3,'x'", "javascript:go_flagged(0,7,3)",
          "javascript:go_flag(0,,3)"})
        EXPECT_EQ(Parsed(bad), "0 0 0 0 0 ") << bad;
}

TEST_F(ItemActionTest, TitleClickMarksReadOnceAndOpensWebLinksIconsToggle) {
    Write(NumberedItems(1, 2));
    Click("go_read('025212A0',2,5,2,'http://example.com/2')");
    EXPECT_TRUE(PageHas("<IMG class=icon id=2_read src=\"HtmlStyle/readed.gif\""));
    EXPECT_TRUE(PageHas("name=2_title><font class='title_readed'>T2</font>"));
    EXPECT_EQ(opened, std::vector<std::wstring>{L"http://examp... http://example.com/2"});
    // Again on a read item: never toggles back, posts nothing, still opens the link.
    Click("go_read('025212A0',2,5,2,'http://example.com/2')");
    EXPECT_EQ(Marks(), "F000 F100");
    EXPECT_EQ(Posted(), "11902:1 ");
    openResult = 0;
    Click("go_read('025212A0',2,5,1,'https://secure/1')");
    EXPECT_EQ(Marks(), "F100 F100"); // https carries a link too: marked read
    EXPECT_TRUE(log.Contains(L"Failed to create ie view"));
    // The icons toggle the read and flag marks.
    Click("go_read('025212A0',2,5,1,'')");
    EXPECT_TRUE(PageHas("id=1_read src=\"HtmlStyle/unread.gif\""));
    EXPECT_TRUE(PageHas("name=1_title><font class='title_unread'>"));
    Click("go_read('025212A0',2,5,1,'')");
    EXPECT_EQ(Posted(), "11902:1 11902:0 11902:1 ");
    Click("go_flag(2,5,2)");
    EXPECT_EQ(State(), "F100   http://example.com/1\nF110   http://example.com/2\n");
    EXPECT_TRUE(PageHas("id=2_flag src=\"HtmlStyle/flaged.gif\""));
    Click("go_flag(2,5,2)");
    EXPECT_TRUE(PageHas("id=2_flag src=\"HtmlStyle/unflag.gif\""));
    EXPECT_EQ(Posted(), "");
    // Script and local links are never opened, whatever web address they name inside.
    for (const char* link :
         {"javascript:alert(1)//http://x", "file:///etc/passwd?http://x", " http://x", "httpx://x"})
        Click(std::string("go_read('025212A0',2,5,1,'") + link + "')");
    openResult = 1;
    Click("go_read('025212A0',2,5,1,'HTTPS://Secure/2')");
    EXPECT_EQ(opened.size(), 4u);
    EXPECT_EQ(opened.back(), L"HTTPS://Secu... HTTPS://Secure/2");
    // What is opened marks read, whatever its case, and never toggles back; the others toggle.
    Click("go_read('025212A0',2,5,1,'HTTPS://Secure/2')");
    EXPECT_EQ(Marks(), "F100 F100");
}

TEST_F(ItemActionTest, DeletingTheMiddleLastAndOnlyItems) {
    Write(NumberedItems(1, 3));
    const std::string before = Page();
    channel.SetCounts(3, 3);
    // The page is the old one less item 2's block (and the patched total). A second click
    // before the page caught up changes nothing.
    std::string expected = before.substr(0, before.find("<DIV class = gn_stories id=2_")) +
                           before.substr(before.find("<DIV class = gn_stories id=3_"));
    expected.replace(expected.find("totalNum=3;"), 11, "totalNum=2;");
    for (int click = 0; click < 2; ++click) {
        Click("go_delete(2,5,2)");
        EXPECT_EQ(State(), "F000   http://example.com/1\nF001   http://example.com/2\n"
                           "F000   http://example.com/3\n");
        EXPECT_EQ(Page(), expected);
        EXPECT_EQ(Posted(), click == 0 ? "11903:0 " : "");
    }
    channel.SetCounts(2, 2);
    Click("go_read('025212A0',2,5,3,'')");
    Click("go_delete(2,5,3)"); // the last block: the closing text ends the page
    expected = before.substr(0, before.find("<DIV class = gn_stories id=2_")) +
               "</DIV><script>document.write(init_pagination());</script></body></html>";
    EXPECT_EQ(Page(), expected.replace(expected.find("totalNum=3;"), 11, "totalNum=1;"));
    EXPECT_EQ(Posted(), "11902:1 11903:1 "); // it was read
    channel.SetCounts(1, 1);
    Click("go_delete(2,5,1)"); // the only one left
    EXPECT_EQ(Page(), "<html><head><link href=\"./HtmlStyle/H20.css\" rel=\"stylesheet\" "
                      "type=\"text/css\"><script>var totalNum=0;</script><script "
                      "language=\"javascript\" src=\"./HtmlStyle/rss.js\"></script></head><body>"
                      "</body></html>");
    EXPECT_EQ(channel.GetLastBuildDate(), "");
    EXPECT_EQ(Marks(), "F001 F001 F101");
}

TEST_F(ItemActionTest, NumbersStayInStepWithStateLinesAfterADeletion) {
    Write(NumberedItems(1, 4), "one");
    channel.SetCounts(4, 4);
    Click("go_delete(2,5,2)");
    Write(NumberedItems(1, 5), "two"); // rewritten: ids 1, 3, 4, 5, 6
    Click("go_flag(2,5,4)");
    EXPECT_EQ(Marks(), "F000 F001 F000 F010 F000");
    EXPECT_TRUE(PageHas("id=4_flag src=\"HtmlStyle/flaged.gif\""));
    EXPECT_TRUE(PageHas("name=4_title><font class='title_unread'>T4</font>"));
}

TEST_F(ItemActionTest, RefusedForAPageOlderThanItsFilesWhileAnUpdateRunsAndOtherCalls) {
    std::vector<FeedItem> items = NumberedItems(1, 3);
    items[2].link = "http://example.com/3?a=1&amp;b=2";
    Write(items, "one");
    // The feed gets a new first item: every item moves one line down.
    items.insert(items.begin(), NumberedItems(0, 0)[0]);
    Write(items, "two");
    const std::string page = Page(), state = State();
    // The old page's item 2 was link 2, its item 3 link 3: those lines now hold 1 and 2.
    const std::string l1 = "http://example.com/1", l2 = "http://example.com/2",
                      l3 = "http://example.com/3?a=1&b=2";
    EXPECT_FALSE(Click("go_read('025212A0',2,5,2,'')", &l2));
    EXPECT_FALSE(Click("go_delete(2,5,3)", &l3));
    EXPECT_FALSE(Click("go_flag(2,5,1)", &l1));
    {
        ChannelUpdater running(channel, folder(), nullptr);
        ASSERT_TRUE(running.LoadState());
        EXPECT_FALSE(Click("go_read('025212A0',2,5,1,'')"));
        EXPECT_TRUE(log.Contains(L"Failed open flgfile!"));
    }
    ItemCall otherChannel = ItemAction::Parse("javascript:go_flag(2,5,1)");
    otherChannel.channelId = 6; // a typed call for another channel
    EXPECT_FALSE(ItemAction::Apply(otherChannel, channel, folder(), &view));
    for (const char* call : {"go_flag(2,5,9)", "go_flagX(2,5,1)", "go_delete(2,5,1,2)"})
        EXPECT_FALSE(Click(call)) << call;
    EXPECT_EQ(Page(), page);
    EXPECT_EQ(State(), state);
    EXPECT_EQ(Posted(), "");
    // Calls from the page as it is now are taken; a link is named as the page's attribute
    // gives it.
    EXPECT_TRUE(Click("go_read('025212A0',2,5,2,'')", &l1));
    EXPECT_TRUE(Click("go_flag(2,5,4)", &l3));
    EXPECT_EQ(State(), "F000   http://example.com/0\nF100   http://example.com/1\n"
                       "F000   http://example.com/2\nF010   http://example.com/3?a=1&amp;b=2\n");
}

TEST_F(ItemActionTest, ItemOneThousand) {
    channel.SetMaxItems(1000);
    Write(NumberedItems(1, 1000));
    Click("go_flag(2,5,1000)");
    EXPECT_TRUE(PageHas("id=1000_flag src=\"HtmlStyle/flaged.gif\""));
    EXPECT_TRUE(PageHas("id=100_flag src=\"HtmlStyle/unflag.gif\""));
    EXPECT_EQ(State().substr(State().size() - 31), "F010   http://example.com/1000\n");
}
