#pragma once

#include "catalogue/ItemIndex.h"
#include "search/IndexStore.h"
#include "search/SearchHit.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The word index over every channel's items, in <data folder>/search.db (IndexStore).
//
// Threads and locks: Merged, ItemDeleted and ChannelRemoved only move their data into a
// queue under queueLock_, a leaf lock (nothing else is taken while it is held), and wake the
// index's writer thread. That thread alone writes: it opens and checks the database,
// rebuilds it (calling the rebuild source on the writer thread), and applies what is queued
// in batches of transactions. Query runs on the caller's thread with a read connection of
// its own (WAL: it does not wait for the writer) under queryLock_; the writer takes
// queryLock_, holding no other lock, only to close that connection before a rebuild deletes
// the files. A damaged index is logged and rebuilt; meanwhile queries find nothing.
class SearchIndex : public ItemIndex {
public:
    using Emit = std::function<void(IndexChange&&)>;
    // Emits every channel's shown items, replaceAll set, one change per channel.
    using RebuildSource = std::function<void(const Emit& emit)>;

    SearchIndex() = default;
    ~SearchIndex() override { Close(); }
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // Starts the writer thread, which opens <dataFolder>/search.db and rebuilds it from the
    // source when it is missing, of another schema version or damaged. Calls made before
    // Open or after Close are not kept. False when it is open already or no thread starts.
    bool Open(const std::wstring& dataFolder, RebuildSource rebuildSource);
    // Applies what is queued, then ends the writer thread and closes the database.
    void Close();
    // Returns once nothing is queued or being written (opening and rebuilding included).
    void WaitIdle();
    // False while the database is opened or rebuilt, or when it cannot be used.
    bool Ready() const { return ready_; }

    void Merged(IndexChange change) override;
    void ItemDeleted(int64_t channelId, const std::string& link) override;
    void ChannelRemoved(int64_t channelId) override;

    // The items whose title or text holds every blank-separated term (channelId 0: of every
    // channel), newest first, at most limit. Nothing when no term has a letter or character
    // to look for, or while the index is not ready.
    std::vector<SearchHit> Query(const std::string& words, int64_t channelId, size_t limit);
    // The FTS5 expression Query runs: each term a quoted phrase (a term ending in a lone CJK
    // character a prefix phrase), the terms ANDed over title and body, then the channel.
    static std::string MatchExpression(const std::string& words, int64_t channelId);
    // EXPLAIN QUERY PLAN of Query's statement (tests, diagnostics); empty when not ready.
    std::vector<std::string> QueryPlan();

private:
    static const size_t kRowsPerTransaction = 20000;
    static const int kMaxRebuilds = 3; // per Open: past that the index stays off

    void Enqueue(IndexChange&& change);
    void Run();
    void Write(std::deque<IndexChange>& batch);
    // After a failed write: a damaged database is rebuilt, else marked for a rebuild on the
    // next Open (it may miss what the failed transaction held).
    void Recover(int rc);
    void Rebuild();
    void RequestRebuild();

    std::string path_;
    RebuildSource source_;
    std::thread thread_;

    std::mutex queueLock_; // leaf lock: guards the fields down to rebuildWanted_
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<IndexChange> queue_;
    bool running_ = false;
    bool stopping_ = false;
    bool busy_ = false;
    bool rebuildWanted_ = false;

    std::atomic<bool> ready_{false};
    std::atomic<bool> stopRequested_{false};
    IndexStore writer_; // writer thread only
    int rebuilds_ = 0;  // writer thread only

    std::mutex queryLock_; // guards reader_
    IndexStore reader_;
};
