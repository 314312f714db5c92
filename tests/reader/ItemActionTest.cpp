#include "reader/ItemAction.h"
#include "../engine/FeedFixtures.h"
#include "LogCapture.h"
#include "TempDir.h"
#include "catalogue/Channel.h"
#include "engine/ChannelUpdater.h"
#include "platform/MessageQueue.h"

#include <gtest/gtest.h>

namespace {

class RecordingOpener : public ILinkOpener {
public:
    int OpenPage(const std::wstring& title, const std::wstring& address) override {
        titles.push_back(title);
        addresses.push_back(address);
        return result;
    }
    std::vector<std::wstring> titles, addresses;
    int result = 1;
};

class ItemActionTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseAppDirectory(app);
        MakeFolders(app / "data");
        channel.SetId(5);
        channel.SetGroupId(2);
        channel.SetName(L"News");
        channel.SetFileStem(L"rss5");
    }
    void Write(const std::vector<FeedItem>& items, const std::string& date = "d") {
        ChannelUpdater updater(channel, folder(), nullptr);
        ASSERT_TRUE(updater.LoadState());
        ASSERT_EQ(updater.Process(FeedXml(items, date)), ChannelUpdater::kWritten);
    }
    void Click(const std::wstring& call) {
        ItemAction::OnNavigate(call, channel, folder(), &view, &opener);
    }
    std::wstring folder() { return app.WPath() + L"data"; }
    std::string Page() { return ReadFileBytes(app / "data/rss5.html"); }
    std::string State() { return ReadFileBytes(app / "data/rss5.flg"); }
    bool PageHas(const std::string& text) { return Page().find(text) != std::string::npos; }
    std::vector<platform::PostedMessage> Posted() { return view.Drain(); }

    TempDir app;
    LogCapture log{app.Path()};
    CChannel channel;
    platform::MessageQueue view;
    RecordingOpener opener;
};

} // namespace

TEST(ItemCallParse, OnlyTheExactFormsTheWriterEmits) {
    ItemCall c = ItemAction::Parse("javascript:go_read('025212A0',2,5,12,'http://a/b?c=1')");
    EXPECT_EQ(c.action, ItemCall::kRead);
    EXPECT_EQ(c.groupId, 2);
    EXPECT_EQ(c.channelId, 5);
    EXPECT_EQ(c.item, 12u);
    EXPECT_EQ(c.link, "http://a/b?c=1");
    EXPECT_TRUE(c.carriesLink);
    c = ItemAction::Parse("javascript:go_read('025212A0',0,7,3,'')");
    EXPECT_EQ(c.action, ItemCall::kRead);
    EXPECT_FALSE(c.carriesLink);
    EXPECT_TRUE(ItemAction::Parse("javascript:go_read('025212A0',0,7,3,'https://s/')").carriesLink);
    c = ItemAction::Parse("javascript:go_flag(-1,7,1000)");
    EXPECT_EQ(c.action, ItemCall::kFlag);
    EXPECT_EQ(c.groupId, -1);
    EXPECT_EQ(c.item, 1000u); // the whole number, not its first three digits
    EXPECT_EQ(ItemAction::Parse("javascript:go_delete(0,7,1234)").item, 1234u);
    for (const char* bad :
         {"javascript:go_reader('025212A0',0,7,3,'')", "javascript:go_read('X',0,7,3,'')",
          "javascript:go_flag(0,7)", "javascript:go_flag(0,7,3);alert(1)",
          "javascript:go_delete(0,7,0)", "javascript:go_delete(0,7,x)", "go_flag(0,7,3)",
          "javascript:go_read('025212A0',0,7,3,'x'", "javascript:go_flagged(0,7,3)",
          "javascript:go_flag(0,,3)"})
        EXPECT_EQ(ItemAction::Parse(bad).action, ItemCall::kNone) << bad;
}

TEST_F(ItemActionTest, TitleClickMarksReadOnceAndOpensTheLink) {
    Write(NumberedItems(1, 2));
    Click(L"javascript:go_read('025212A0',2,5,2,'http://example.com/2')");
    EXPECT_EQ(State(), "F000   http://example.com/1\nF100   http://example.com/2\n");
    EXPECT_TRUE(PageHas("<IMG class=icon id=2_read src=\"HtmlStyle/readed.gif\""));
    EXPECT_TRUE(PageHas("name=2_title><font class='title_readed'>T2</font>"));
    auto posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, 11902u);
    EXPECT_EQ(posted[0].wParam, 1u);
    EXPECT_EQ(posted[0].lParam, reinterpret_cast<platform::LParam>(&channel));
    ASSERT_EQ(opener.addresses.size(), 1u);
    EXPECT_EQ(opener.addresses[0], L"http://example.com/2");
    EXPECT_EQ(opener.titles[0], L"http://examp...");

    // Again on a read item: never toggles back, posts nothing, still opens the link.
    Click(L"javascript:go_read('025212A0',2,5,2,'http://example.com/2')");
    EXPECT_EQ(State(), "F000   http://example.com/1\nF100   http://example.com/2\n");
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(opener.addresses.size(), 2u);
    opener.result = 0;
    Click(L"javascript:go_read('025212A0',2,5,1,'https://secure/1')");
    EXPECT_EQ(State().substr(0, 4), "F100"); // https carries a link too: marked read
    EXPECT_TRUE(log.Contains(L"Failed to create ie view"));
    // Script and local links are never opened, whatever web address they name inside.
    opener.result = 1;
    for (const wchar_t* link : {L"javascript:alert(1)//http://x", L"file:///etc/passwd?http://x",
                                L" http://x", L"httpx://x"})
        Click(std::wstring(L"javascript:go_read('025212A0',2,5,1,'") + link + L"')");
    EXPECT_EQ(opener.addresses.size(), 3u);
    Click(L"javascript:go_read('025212A0',2,5,1,'HTTPS://Secure/2')");
    ASSERT_EQ(opener.addresses.size(), 4u);
    EXPECT_EQ(opener.addresses[3], L"HTTPS://Secure/2");
}

TEST_F(ItemActionTest, IconsToggleReadAndFlag) {
    Write(NumberedItems(1, 2));
    Click(L"javascript:go_read('025212A0',2,5,1,'')");
    EXPECT_EQ(State().substr(0, 4), "F100");
    Click(L"javascript:go_read('025212A0',2,5,1,'')");
    EXPECT_EQ(State().substr(0, 4), "F000");
    EXPECT_TRUE(PageHas("id=1_read src=\"HtmlStyle/unread.gif\""));
    EXPECT_TRUE(PageHas("name=1_title><font class='title_unread'>"));
    auto posted = Posted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].wParam, 1u);
    EXPECT_EQ(posted[1].wParam, 0u);
    EXPECT_TRUE(opener.addresses.empty());

    Click(L"javascript:go_flag(2,5,2)");
    EXPECT_EQ(State(), "F000   http://example.com/1\nF010   http://example.com/2\n");
    EXPECT_TRUE(PageHas("id=2_flag src=\"HtmlStyle/flaged.gif\""));
    Click(L"javascript:go_flag(2,5,2)");
    EXPECT_TRUE(PageHas("id=2_flag src=\"HtmlStyle/unflag.gif\""));
    EXPECT_TRUE(Posted().empty());
}

TEST_F(ItemActionTest, DeletingTheMiddleLastAndOnlyItems) {
    Write(NumberedItems(1, 3));
    const std::string before = Page();
    channel.SetCounts(3, 3);
    Click(L"javascript:go_delete(2,5,2)");
    EXPECT_EQ(State(), "F000   http://example.com/1\nF001   http://example.com/2\n"
                       "F000   http://example.com/3\n");
    std::string page = Page();
    EXPECT_EQ(page.find("id=2_contentdiv"), std::string::npos);
    EXPECT_NE(page.find("<script>var totalNum=2;</script>"), std::string::npos);
    // The page is the old one less item 2's block (and the patched total).
    const size_t b2 = before.find("<DIV class = gn_stories id=2_contentdiv>");
    const size_t b3 = before.find("<DIV class = gn_stories id=3_contentdiv>");
    std::string expected = before.substr(0, b2) + before.substr(b3);
    expected.replace(expected.find("totalNum=3;"), 11, "totalNum=2;");
    EXPECT_EQ(page, expected);
    auto posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, 11903u);
    EXPECT_EQ(posted[0].wParam, 0u);
    // Deleted again (a second click before the page caught up): nothing changes.
    Click(L"javascript:go_delete(2,5,2)");
    EXPECT_EQ(State(), "F000   http://example.com/1\nF001   http://example.com/2\n"
                       "F000   http://example.com/3\n");
    EXPECT_EQ(Page(), expected);
    EXPECT_TRUE(Posted().empty());

    channel.SetCounts(2, 2);
    Click(L"javascript:go_read('025212A0',2,5,3,'')");
    Click(L"javascript:go_delete(2,5,3)"); // the last block: the closing text ends the page
    page = Page();
    const std::string closing =
        "</DIV><script>document.write(init_pagination());</script></body></html>";
    ASSERT_EQ(closing.size(), 71u);
    EXPECT_EQ(page, before.substr(0, b2).replace(before.find("totalNum=3;"), 11, "totalNum=1;") +
                        closing);
    posted = Posted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[1].message, 11903u);
    EXPECT_EQ(posted[1].wParam, 1u); // it was read

    channel.SetCounts(1, 1);
    Click(L"javascript:go_delete(2,5,1)"); // the only one left
    const std::string empty =
        "<html><head><link href=\"./HtmlStyle/H20.css\" rel=\"stylesheet\" type=\"text/css\">"
        "<script>var totalNum=0;</script><script language=\"javascript\" src=\"./HtmlStyle/"
        "rss.js\"></script></head><body></body></html>";
    ASSERT_EQ(empty.size(), 201u);
    EXPECT_EQ(Page(), empty);
    EXPECT_EQ(channel.GetLastBuildDate(), "");
    EXPECT_EQ(State(), "F001   http://example.com/1\nF001   http://example.com/2\n"
                       "F101   http://example.com/3\n");
}

TEST_F(ItemActionTest, NumbersStayInStepWithStateLinesAfterADeletion) {
    Write(NumberedItems(1, 4), "one");
    channel.SetCounts(4, 4);
    Click(L"javascript:go_delete(2,5,2)");
    Write(NumberedItems(1, 5), "two"); // rewritten: ids 1, 3, 4, 5, 6
    Click(L"javascript:go_flag(2,5,4)");
    EXPECT_EQ(State(), "F000   http://example.com/1\nF001   http://example.com/2\n"
                       "F000   http://example.com/3\nF010   http://example.com/4\n"
                       "F000   http://example.com/5\n");
    EXPECT_TRUE(PageHas("id=4_flag src=\"HtmlStyle/flaged.gif\""));
    EXPECT_TRUE(PageHas("name=4_title><font class='title_unread'>T4</font>"));
}

TEST_F(ItemActionTest, ACallFromAPageOlderThanItsFilesIsRefused) {
    std::vector<FeedItem> items = NumberedItems(1, 3);
    items[2].link = "http://example.com/3?a=1&amp;b=2";
    Write(items, "one");
    // The feed gets a new first item: every item moves one line down.
    items.insert(items.begin(), NumberedItems(0, 0)[0]);
    Write(items, "two");
    const std::string page = Page(), state = State();
    auto act = [this](const std::wstring& call, const std::string& link) {
        return ItemAction::OnNavigate(call, channel, folder(), &view, &opener, &link);
    };
    // The old page's item 2 was link 2, its item 3 link 3: those lines now hold 1 and 2.
    EXPECT_FALSE(act(L"javascript:go_read('025212A0',2,5,2,'')", "http://example.com/2"));
    EXPECT_FALSE(act(L"javascript:go_delete(2,5,3)", "http://example.com/3?a=1&b=2"));
    EXPECT_FALSE(act(L"javascript:go_flag(2,5,1)", "http://example.com/1"));
    EXPECT_EQ(Page(), page);
    EXPECT_EQ(State(), state);
    EXPECT_TRUE(Posted().empty());
    // Calls from the page as it is now are taken; a link is named as the page's attribute
    // gives it.
    EXPECT_TRUE(act(L"javascript:go_read('025212A0',2,5,2,'')", "http://example.com/1"));
    EXPECT_TRUE(act(L"javascript:go_flag(2,5,4)", "http://example.com/3?a=1&b=2"));
    EXPECT_EQ(State(), "F000   http://example.com/0\nF100   http://example.com/1\n"
                       "F000   http://example.com/2\nF010   http://example.com/3?a=1&amp;b=2\n");
}

TEST_F(ItemActionTest, ItemOneThousand) {
    channel.SetMaxItems(1000);
    Write(NumberedItems(1, 1000));
    Click(L"javascript:go_flag(2,5,1000)");
    EXPECT_TRUE(PageHas("id=1000_flag src=\"HtmlStyle/flaged.gif\""));
    EXPECT_TRUE(PageHas("id=100_flag src=\"HtmlStyle/unflag.gif\""));
    EXPECT_EQ(State().substr(State().size() - 31), "F010   http://example.com/1000\n");
}

TEST_F(ItemActionTest, RefusedWhileAnUpdateHoldsTheFilesAndForOtherCalls) {
    Write(NumberedItems(1, 2));
    const std::string page = Page(), state = State();
    {
        ChannelUpdater running(channel, folder(), nullptr);
        ASSERT_TRUE(running.LoadState());
        Click(L"javascript:go_read('025212A0',2,5,1,'')");
        EXPECT_TRUE(log.Contains(L"Failed open flgfile!"));
    }
    for (const wchar_t* call : {L"javascript:go_flag(2,6,1)", // another channel's id
                                L"javascript:go_flag(2,5,9)", // no such line
                                L"javascript:go_flagX(2,5,1)", L"javascript:go_delete(2,5,1,2)"})
        Click(call);
    EXPECT_EQ(Page(), page);
    EXPECT_EQ(State(), state);
    EXPECT_TRUE(Posted().empty());
}
