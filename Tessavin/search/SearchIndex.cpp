#include "search/SearchIndex.h"

#include "config/LogFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "search/ItemTokenizer.h"

#include <sqlite3.h>
#include <system_error>

namespace {

// The length of the blank at words[i] (ASCII blanks and controls, no-break and ideographic
// spaces); 0 when there is none.
size_t BlankAt(const std::string& words, size_t i) {
    if (static_cast<unsigned char>(words[i]) <= ' ')
        return 1;
    if (words.compare(i, 2, "\xC2\xA0") == 0)
        return 2;
    if (words.compare(i, 3, "\xE3\x80\x80") == 0)
        return 3;
    return 0;
}

// One term as a quoted FTS5 phrase; empty when the tokenizer finds nothing in it.
std::string Phrase(const std::string& term) {
    const std::vector<ItemTokenizer::Token> tokens =
        ItemTokenizer::Tokens(term, ItemTokenizer::Mode::kQuery);
    if (tokens.empty())
        return std::string();
    std::string phrase = "\"";
    for (char c : term) {
        if (c == '"')
            phrase += '"';
        phrase += c;
    }
    phrase += '"';
    // A lone CJK character starts bigrams in the index: it is looked for as a prefix.
    size_t next = 0;
    const ItemTokenizer::Token& last = tokens.back();
    if (last.cjk && ItemTokenizer::Decode(last.text, 0, next) >= 0 && next == last.text.size())
        phrase += " *";
    return phrase;
}

} // namespace

bool SearchIndex::Open(const std::wstring& dataFolder, RebuildSource rebuildSource) {
    std::lock_guard<std::mutex> lock(queueLock_);
    if (running_)
        return false;
    path_ = platform::WideToUtf8(dataFolder) + "/search.db";
    source_ = std::move(rebuildSource);
    stopping_ = false;
    stopRequested_ = false;
    busy_ = true; // opening
    try {
        thread_ = std::thread(&SearchIndex::Run, this);
    } catch (const std::system_error&) {
        LogPrintf(L"Search index: no writer thread");
        busy_ = false;
        return false;
    }
    running_ = true;
    return true;
}

void SearchIndex::Close() {
    {
        std::lock_guard<std::mutex> lock(queryLock_);
        ready_ = false;
        reader_.Close();
    }
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        if (!running_)
            return;
        stopping_ = true;
        stopRequested_ = true;
    }
    wake_.notify_all();
    thread_.join();
    {
        std::lock_guard<std::mutex> lock(queryLock_);
        reader_.Close();
    }
    std::lock_guard<std::mutex> lock(queueLock_);
    running_ = false;
    queue_.clear();
    idle_.notify_all();
}

void SearchIndex::WaitIdle() {
    std::unique_lock<std::mutex> lock(queueLock_);
    idle_.wait(lock, [this] { return !running_ || (queue_.empty() && !busy_ && !rebuildWanted_); });
}

void SearchIndex::Merged(IndexChange change) {
    Enqueue(std::move(change));
}

void SearchIndex::ItemDeleted(int64_t channelId, const std::string& link) {
    IndexChange change;
    change.channelId = channelId;
    change.dropped.push_back(link);
    Enqueue(std::move(change));
}

void SearchIndex::ChannelRemoved(int64_t channelId) {
    IndexChange change;
    change.channelId = channelId;
    change.replaceAll = true; // and nothing added
    Enqueue(std::move(change));
}

void SearchIndex::Enqueue(IndexChange&& change) {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        if (!running_ || stopping_)
            return;
        queue_.push_back(std::move(change));
    }
    wake_.notify_one();
}

void SearchIndex::RequestRebuild() {
    {
        std::lock_guard<std::mutex> lock(queueLock_);
        if (!running_ || stopping_)
            return;
        rebuildWanted_ = true;
    }
    wake_.notify_one();
}

std::string SearchIndex::MatchExpression(const std::string& words, int64_t channelId) {
    std::string terms;
    for (size_t i = 0; i < words.size();) {
        size_t blank = BlankAt(words, i);
        if (blank) {
            i += blank;
            continue;
        }
        size_t end = i;
        while (end < words.size() && !BlankAt(words, end))
            ++end;
        const std::string phrase = Phrase(words.substr(i, end - i));
        if (!phrase.empty())
            terms += (terms.empty() ? "" : " AND ") + phrase;
        i = end;
    }
    if (terms.empty())
        return terms;
    std::string match = "{title body} : (" + terms + ")";
    if (channelId != 0)
        match += " AND chan : \"" + IndexStore::ChannelToken(channelId) + "\"";
    return match;
}

std::vector<SearchHit> SearchIndex::Query(const std::string& words, int64_t channelId,
                                          size_t limit) {
    std::vector<SearchHit> hits;
    const std::string match = MatchExpression(words, channelId);
    if (match.empty() || limit == 0)
        return hits;
    bool damaged = false;
    {
        std::lock_guard<std::mutex> lock(queryLock_);
        if (!ready_)
            return hits;
        int rc = reader_.IsOpen() ? SQLITE_OK : reader_.Open(path_, true);
        if (rc == SQLITE_OK)
            rc = reader_.Query(match, limit, hits);
        if (rc != SQLITE_OK) {
            hits.clear();
            reader_.Close();
            // Damaged, or its file gone while the reader runs: built again.
            damaged =
                IndexStore::IsCorrupt(rc) || !platform::FileExists(platform::Utf8ToWide(path_));
        }
    }
    if (damaged)
        RequestRebuild();
    return hits;
}

std::vector<std::string> SearchIndex::QueryPlan() {
    std::vector<std::string> plan;
    std::lock_guard<std::mutex> lock(queryLock_);
    if (ready_ && (reader_.IsOpen() || reader_.Open(path_, true) == SQLITE_OK))
        reader_.QueryPlan(plan);
    return plan;
}

void SearchIndex::Run() {
    rebuilds_ = 0;
    try {
        if (platform::FileExists(platform::Utf8ToWide(path_)) &&
            writer_.Open(path_, false) == SQLITE_OK && writer_.Usable()) {
            ready_ = true;
        } else {
            LogPrintf(L"Search index: building %s", platform::Utf8ToWide(path_).c_str());
            Rebuild();
        }
    } catch (...) {
        LogPrintf(L"Search index: opening failed");
    }
    std::unique_lock<std::mutex> lock(queueLock_);
    for (;;) {
        busy_ = false;
        idle_.notify_all();
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty() || rebuildWanted_; });
        if (stopping_ && queue_.empty())
            break;
        std::deque<IndexChange> batch;
        batch.swap(queue_);
        const bool rebuild = rebuildWanted_ && !stopping_;
        rebuildWanted_ = false;
        busy_ = true;
        lock.unlock();
        try {
            if (rebuild)
                Rebuild();
            Write(batch);
        } catch (...) {
            LogPrintf(L"Search index: writing failed");
            Recover(SQLITE_ERROR);
        }
        batch.clear();
        lock.lock();
    }
    busy_ = false;
    idle_.notify_all();
    lock.unlock();
    ready_ = false;
    writer_.Close();
}

void SearchIndex::Write(std::deque<IndexChange>& batch) {
    size_t first = 0; // the first change of the next transaction
    bool retried = false;
    while (first < batch.size() && writer_.IsOpen()) {
        size_t rows = 0, next = first;
        int rc = writer_.Begin();
        while (rc == SQLITE_OK && next < batch.size() && rows < kRowsPerTransaction)
            rc = writer_.Apply(batch[next++], rows);
        if (rc == SQLITE_OK)
            rc = writer_.Commit();
        if (rc == SQLITE_OK) {
            first = next;
            continue;
        }
        const bool again = IndexStore::IsCorrupt(rc) && !retried;
        Recover(rc);
        if (again)
            retried = true; // the rebuilt index takes the same changes once more
        else
            first = next; // lost: Recover marked the index for a rebuild
    }
}

void SearchIndex::Recover(int rc) {
    writer_.Rollback();
    if (IndexStore::IsCorrupt(rc)) {
        LogPrintf(L"Search index: damaged, rebuilding");
        Rebuild();
    } else if (writer_.IsOpen()) {
        writer_.SetVersion(0);
    }
}

void SearchIndex::Rebuild() {
    ready_ = false;
    {
        std::lock_guard<std::mutex> lock(queryLock_);
        reader_.Close();
    }
    writer_.Close();
    IndexStore::RemoveFiles(path_);
    if (rebuilds_++ >= kMaxRebuilds) {
        LogPrintf(L"Search index: damaged again, off until the next start");
        return;
    }
    int rc = writer_.Open(path_, false);
    if (rc == SQLITE_OK)
        rc = writer_.CreateSchema();
    if (rc != SQLITE_OK) {
        LogPrintf(L"Search index: cannot create %s", platform::Utf8ToWide(path_).c_str());
        writer_.Close();
        return;
    }
    size_t rows = 0;
    bool open = false, failed = false;
    const Emit emit = [&](IndexChange&& change) {
        if (failed || stopRequested_)
            return;
        failed = !open && writer_.Begin() != SQLITE_OK;
        open = !failed;
        failed = failed || writer_.Apply(change, rows) != SQLITE_OK;
        if (!failed && rows >= kRowsPerTransaction) {
            rows = 0;
            open = false;
            failed = writer_.Commit() != SQLITE_OK;
        }
    };
    try {
        if (source_)
            source_(emit);
    } catch (...) {
        LogPrintf(L"Search index: the rebuild source failed");
        failed = true;
    }
    if (open && !failed)
        failed = writer_.Commit() != SQLITE_OK;
    if (failed || stopRequested_) {
        // Kept as far as it got; version 0 has it rebuilt on the next Open.
        writer_.Rollback();
        LogPrintf(L"Search index: rebuild incomplete");
    } else if (writer_.SetVersion(IndexStore::kSchemaVersion) == SQLITE_OK) {
        LogPrintf(L"Search index: rebuilt");
    }
    ready_ = true;
}
