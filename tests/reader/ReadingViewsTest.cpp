#include "../engine/FeedFixtures.h"
#include "CatalogueFixture.h"
#include "PageAudit.h"
#include "catalogue/Channel.h"
#include "engine/ChannelUpdater.h"
#include "platform/File.h"
#include "reader/ItemAction.h"
#include "reader/ReadAll.h"
#include "reader/ViewPage.h"

namespace {

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class ReadingViewsTest : public CatalogueFixture {
protected:
    void SetUp() override {
        CatalogueFixture::SetUp();
        Reopen();
        one = model->Channels()[0].get(); // in the default list's group
        two = model->AddChannel(nullptr, L"Two <b>&", L"", L"http://x/two");
    }
    // The channel's page and state file as an update writes them.
    void Feed(CChannel* channel, const std::vector<FeedItem>& items) {
        ChannelUpdater updater(*channel, model->DataFolder(), nullptr);
        ASSERT_TRUE(updater.LoadState());
        ASSERT_EQ(updater.Process(FeedXml(items, "v1")), ChannelUpdater::kWritten);
    }
    std::string File(CChannel* channel, bool page) {
        const ChannelFiles files = model->FilesOf(channel);
        return ReadFileBytes(platform::WideToUtf8(page ? files.Page() : files.State()));
    }
    bool Act(CChannel* channel, ItemCall::Action action, uint32_t item,
             const std::string* link = nullptr) {
        ItemCall call;
        call.action = action;
        call.channelId = channel->GetId();
        call.item = item;
        return ItemAction::Apply(call, *channel, model->DataFolder(), nullptr, link);
    }
    uint32_t Unread(CChannel* channel) {
        uint32_t unread = 0, total = 0;
        channel->GetCounts(unread, total);
        return unread;
    }

    CChannel* one = nullptr;
    CChannel* two = nullptr;
};

} // namespace

TEST_F(ReadingViewsTest, MarkReadRewritesEachChannelOnceAndRefusesWhatItCannotChange) {
    Feed(one, NumberedItems(1, 3));
    Feed(two, NumberedItems(1, 2));
    ASSERT_TRUE(Act(one, ItemCall::kDelete, 2));
    ASSERT_TRUE(Act(one, ItemCall::kFlag, 3));
    ReadAll::Report report = ReadAll::MarkNode(*model, CatalogueModel::NodeOf(one)->parent);
    EXPECT_EQ(report.marked, 1u);
    EXPECT_EQ(report.channels, 1u);
    // Read marks set, the deleted item's and the flags kept; the page shows every item read.
    EXPECT_EQ(File(one, false), "F100   http://example.com/1\nF001   http://example.com/2\n"
                                "F110   http://example.com/3\n");
    const std::string page = File(one, true);
    EXPECT_EQ(Count(page, "_read src=\"HtmlStyle/readed.gif\""), 2u);
    EXPECT_EQ(Count(page, "unread"), 0u);
    EXPECT_EQ(Count(page, "<font class='title_readed'>"), 2u);
    EXPECT_EQ(Count(page, "flaged.gif"), 1u);
    EXPECT_EQ(Unread(one), 0u);
    EXPECT_EQ(Unread(two), 2u);

    // The whole catalogue: only the channel that had unread items changes; then none does.
    EXPECT_EQ(ReadAll::MarkNode(*model, nullptr).marked, 1u);
    EXPECT_EQ(Unread(two), 0u);
    EXPECT_EQ(ReadAll::MarkNode(*model, nullptr).marked, 0u);

    // Refused while the channel updates or its state file is held: nothing changes.
    ASSERT_TRUE(Act(two, ItemCall::kRead, 1)); // unread again
    const std::string state = File(two, false);
    two->SetUpdating(true);
    report = ReadAll::MarkNode(*model, nullptr);
    ASSERT_EQ(report.refused.size(), 1u);
    EXPECT_EQ(report.refused[0].result, ReadAll::Result::kUpdating);
    two->SetUpdating(false);
    platform::File holder;
    ASSERT_TRUE(holder.Open(model->FilesOf(two).State(),
                            platform::File::kRead | platform::File::kExclusive));
    EXPECT_EQ(ReadAll::MarkChannel(*two, model->DataFolder()), ReadAll::Result::kFailed);
    EXPECT_EQ(File(two, false), state);
}

TEST_F(ReadingViewsTest, ViewsGatherEveryChannelNewestFirstInertAndActOnTheItemsOwnChannel) {
    Feed(one, {{"old", "http://a/1", "d", "", "Mon, 04 Dec 2006 08:00:00 +0000"},
               {"undated", "http://a/2", "d", "", ""}});
    Feed(two, {{"&lt;script&gt;alert(1)&lt;/script&gt;&lt;img src=x onerror=alert(2)&gt;new",
                "http://b/1", "&lt;iframe src=http://evil/&gt;", "", "2026-12-06T10:00:00Z"}});
    ASSERT_TRUE(Act(one, ItemCall::kFlag, 2));
    std::vector<ViewEntry> unread = ViewPage::Collect(*model, ViewPage::Kind::kUnread);
    ASSERT_EQ(unread.size(), 3u);
    EXPECT_EQ(unread[0].channel, two);
    EXPECT_EQ(unread[1].shown.item.link, "http://a/1");
    EXPECT_EQ(unread[2].shown.item.link, "http://a/2"); // no date: last
    const std::vector<ViewEntry> flagged = ViewPage::Collect(*model, ViewPage::Kind::kFlagged);
    ASSERT_EQ(flagged.size(), 1u);
    EXPECT_EQ(flagged[0].shown.number, 2u);

    // Read as a browser reads it: blocks numbered by place, nothing that runs or loads.
    const std::string page = ViewPage::Write(unread);
    EXPECT_EQ(AuditPage(page, {1, 2, 3}), "");
    EXPECT_NE(page.find("<SPAN class=channel>Two &lt;b&gt;&amp;</SPAN>"), std::string::npos);
    const std::string c2 = std::to_string(two->GetId());
    EXPECT_NE(page.find("go_flag(0," + c2 + ",1)\"><IMG class=icon id=1_flag"), std::string::npos);

    // An item call from the view acts on the item's own channel, named by the view's link.
    EXPECT_TRUE(Act(one, ItemCall::kRead, 1, &unread[1].shown.linkValue));
    EXPECT_EQ(File(one, false).substr(0, 4), "F100");
    // A view older than the files names another item at that number: refused.
    EXPECT_FALSE(Act(one, ItemCall::kRead, 2, &unread[1].shown.linkValue));

    // Search hits resolve through the state files; a deleted item's hit is left out.
    ASSERT_TRUE(Act(one, ItemCall::kDelete, 2));
    const auto hits = ViewPage::Resolve(*model, {SearchHit{two->GetId(), unread[0].shown.item},
                                                 SearchHit{one->GetId(), unread[2].shown.item},
                                                 SearchHit{99, unread[1].shown.item}});
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].shown.number, 1u);
    EXPECT_FALSE(hits[0].shown.read);

    for (const auto& [date, key] : std::vector<std::pair<std::string, std::string>>{
             {"2026-12-06 10:00:00", "20261206100000"},
             {"Sun, 6 Dec 2026 10:05:07 GMT", "20261206100507"},
             {"06 Dec 2026 10:05 +0800", "20261206100500"},
             {"2026-12-06T10:00Z", "20261206100000"},
             {"2026-12-06", "20261206000000"},
             {"yesterday", ""},
             {"1 Jan 2026,", ""},
             {"Sun,", ""},
             {"Sun, 6 Foo 2026 10:00:00 GMT", ""}})
        EXPECT_EQ(ViewPage::DateKey(date), key) << date;
}
