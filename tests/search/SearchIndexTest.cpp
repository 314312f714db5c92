#include "search/SearchIndex.h"
#include "TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sqlite3.h>
#include <thread>

namespace {

IndexChange Change(int64_t channel, const std::vector<std::string>& links,
                   const std::string& title = "common", bool replaceAll = false,
                   const std::vector<std::string>& dropped = {}) {
    IndexChange change;
    change.channelId = channel;
    change.replaceAll = replaceAll;
    change.dropped = dropped;
    for (const std::string& link : links)
        change.added.push_back(IndexedItem{link, title + " " + link, "", "", ""});
    return change;
}

std::vector<std::string> Links(const std::vector<SearchHit>& hits) {
    std::vector<std::string> links;
    for (const SearchHit& hit : hits)
        links.push_back(hit.item.link);
    return links;
}

std::multiset<std::string> Keys(const std::vector<SearchHit>& hits) {
    std::multiset<std::string> keys;
    for (const SearchHit& hit : hits)
        keys.insert(std::to_string(hit.channelId) + ":" + hit.item.link);
    return keys;
}

int Exec(const std::string& db, const char* sql) {
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    const int rc = sqlite3_exec(handle, sql, nullptr, nullptr, nullptr);
    sqlite3_close(handle);
    return rc;
}

class SearchIndexTest : public ::testing::Test {
protected:
    void Open(SearchIndex::RebuildSource source = nullptr) {
        ASSERT_TRUE(index.Open(dir.WPath(), std::move(source)));
        index.WaitIdle();
        ASSERT_TRUE(index.Ready());
    }
    std::function<void()> Merge(const IndexChange& change) {
        return [this, change] { index.Merged(change); };
    }
    std::function<void()> Delete(int64_t channel, const std::string& link) {
        return [this, channel, link] { index.ItemDeleted(channel, link); };
    }
    std::function<void()> Remove(int64_t channel) {
        return [this, channel] { index.ChannelRemoved(channel); };
    }
    TempDir dir;
    SearchIndex index;
};

TEST_F(SearchIndexTest, FindsWordsAndCharacters) {
    Open();
    IndexChange one;
    one.channelId = 1;
    one.added = {{"a1", "Breaking <b>News</b>", "<p>北京是中华人民共和国的首都</p>", "Ann", "Mon"},
                 {"a2", "Weather report", "Rain in 上海tomorrow &amp; NEWS later", "", ""}};
    index.Merged(std::move(one));
    index.Merged(IndexChange{2, false, {{"b1", "新闻 digest", "Sports and news", "", ""}}, {}});
    index.WaitIdle();
    const struct {
        std::string words;
        int64_t channel;
        std::vector<std::string> links;
    } cases[] = {
        {"人民", 0, {"a1"}},
        {"首", 0, {"a1"}},
        {"都", 0, {"a1"}},
        {"海", 0, {"a2"}},
        {"中华人民共和国", 0, {"a1"}},
        {"人民共和国的首都", 0, {"a1"}},
        {"北京 首都", 0, {"a1"}},
        {"京首", 0, {}},
        {"news", 0, {"b1", "a1", "a2"}},
        {"NEWS rain", 0, {"a2"}},
        {"News 新闻", 0, {"b1"}},
        {"news", 1, {"a1", "a2"}},
        {"news", 2, {"b1"}},
        {"ann mon", 0, {}},
        {"new", 0, {}},
        {"news\" OR \"weather", 0, {}},
        {"title:news", 0, {}},
        {"NEAR(news rain)", 0, {}},
        {"上海tomorrow", 0, {"a2"}},
        {"海tomorrow", 0, {"a2"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Links(index.Query(c.words, c.channel, 10)), c.links) << c.words;
    const SearchHit hit = index.Query("首都", 0, 10).at(0);
    EXPECT_EQ(hit.channelId, 1);
    EXPECT_EQ(hit.item.title, "Breaking <b>News</b>");
    EXPECT_EQ(hit.item.description, "<p>北京是中华人民共和国的首都</p>");
    EXPECT_EQ(hit.item.author, "Ann");
    EXPECT_EQ(hit.item.date, "Mon");
}

TEST_F(SearchIndexTest, WritesAreIdempotent) {
    Open();
    const struct {
        std::function<void()> step;
        std::string words;
        std::multiset<std::string> keys;
    } steps[] = {
        {Merge(Change(1, {"x1", "x2"})), "common", {"1:x1", "1:x2"}},
        {Merge(Change(1, {"x1", "x3"}, "common again")), "again", {"1:x3"}},
        {Merge(Change(2, {"x1"})), "common", {"1:x1", "1:x2", "1:x3", "2:x1"}},
        {Delete(1, "x2"), "common", {"1:x1", "1:x3", "2:x1"}},
        {Delete(1, "x2"), "common", {"1:x1", "1:x3", "2:x1"}},
        {Delete(1, "none"), "common", {"1:x1", "1:x3", "2:x1"}},
        {Merge(Change(1, {"x4"}, "common", true)), "common", {"1:x4", "2:x1"}},
        {Merge(Change(1, {"x5"}, "common", false, {"x4", "x9"})), "common", {"1:x5", "2:x1"}},
        {Remove(2), "common", {"1:x5"}},
        {Remove(2), "common", {"1:x5"}},
        {Delete(1, "x5"), "x5", {}},
        // Row ids of deleted items come again: their words must have gone with them.
        {Merge(Change(1, {"x6"}, "fresh")), "common", {}},
        {[this] { index.Merged(Change(4, {"x7"})), index.Close(), Open(); }, "x7", {"4:x7"}},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        steps[i].step();
        index.WaitIdle();
        EXPECT_EQ(Keys(index.Query(steps[i].words, 0, 100)), steps[i].keys) << "step " << i;
    }
}

TEST_F(SearchIndexTest, NewestFirstWithinTheLimit) {
    Open();
    index.Merged(Change(1, {"n0", "n1", "n2", "n3", "n4"})); // a document lists newest first
    index.Merged(Change(2, {"m0"}));
    index.WaitIdle();
    EXPECT_EQ(Links(index.Query("common", 0, 100)),
              (std::vector<std::string>{"m0", "n0", "n1", "n2", "n3", "n4"}));
    EXPECT_EQ(Links(index.Query("common", 0, 3)), (std::vector<std::string>{"m0", "n0", "n1"}));
    EXPECT_EQ(Links(index.Query("common", 1, 2)), (std::vector<std::string>{"n0", "n1"}));
    EXPECT_TRUE(index.Query("common", 0, 0).empty());
    // FTS5 yields the rows in order and the items come by their key: no scan, no sorting.
    const std::vector<std::string> plan = index.QueryPlan();
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[0].rfind("SCAN fts VIRTUAL TABLE INDEX", 0), 0u) << plan[0];
    EXPECT_EQ(plan[1], "SEARCH items USING INTEGER PRIMARY KEY (rowid=?)");
}

TEST_F(SearchIndexTest, QueriesWhileTheWriterWorks) {
    Open();
    std::thread merges([&] {
        for (int i = 0; i < 50; ++i)
            index.Merged(Change(i + 1, {"l1", "l2", "l3", "l4", "l5"}, "common 并发"));
    });
    size_t seen = 0;
    for (int i = 0; i < 50; ++i)
        seen = std::max(seen, index.Query("并发 common", 0, 2000).size());
    merges.join();
    index.WaitIdle();
    EXPECT_LE(seen, 250u);
    EXPECT_EQ(index.Query("并发 common", 0, 2000).size(), 250u);
}

TEST_F(SearchIndexTest, RebuildsFromTheSource) {
    int calls = 0;
    const auto source = [&](const SearchIndex::Emit& emit) {
        ++calls;
        emit(Change(3, {"r1"}, "rebuilt 重建", true));
    };
    const std::string db = dir / "search.db";
    const auto overwrite = [&] {
        ASSERT_EQ(Exec(db, "PRAGMA wal_checkpoint(TRUNCATE)"), SQLITE_OK); // all in the file
        WriteFileBytes(db, std::string(ReadFileBytes(db).size(), 'x'));
    };
    const struct {
        const char* name;
        std::function<void()> damage;
        bool whileOpen;
        int calls;
    } cases[] = {
        {"intact", [] {}, false, 0},
        {"missing", [&] { std::remove(db.c_str()); }, false, 1},
        {"garbage", [&] { WriteFileBytes(db, std::string(8192, 'x')); }, false, 1},
        {"cut short", [&] { WriteFileBytes(db, ReadFileBytes(db).substr(0, 4096)); }, false, 1},
        {"other version", [&] { Exec(db, "PRAGMA user_version=99"); }, false, 1},
        {"overwritten while open", overwrite, true, 1},
    };
    Open(source);
    EXPECT_EQ(calls, 1); // no file at first
    for (const auto& c : cases) {
        index.Merged(Change(5, {"kept"}, "rebuilt")); // gone if the index is rebuilt
        c.whileOpen ? index.WaitIdle() : index.Close();
        c.damage();
        calls = 0;
        if (!c.whileOpen)
            Open(source);
        index.Merged(Change(6, {"new"}, "rebuilt")); // applied after a rebuild
        index.WaitIdle();
        EXPECT_EQ(calls, c.calls) << c.name;
        std::multiset<std::string> keys{"3:r1", "6:new"};
        if (!c.calls)
            keys.insert("5:kept");
        EXPECT_EQ(Keys(index.Query("rebuilt", 0, 10)), keys) << c.name;
        EXPECT_EQ(Keys(index.Query("重建", 0, 10)), (std::multiset<std::string>{"3:r1"})) << c.name;
        index.ChannelRemoved(5), index.ChannelRemoved(6);
    }
}

} // namespace
