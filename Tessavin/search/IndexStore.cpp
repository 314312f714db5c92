#include "search/IndexStore.h"

#include "config/LogFile.h"
#include "platform/CodePage.h"
#include "search/IndexText.h"
#include "search/ItemTokenizer.h"

#include <cstdio>
#include <limits>
#include <sqlite3.h>

namespace {

// FTS5's side of ItemTokenizer: query mode for MATCH expressions, document mode otherwise.
class FtsSink : public ItemTokenizer::Sink {
public:
    using TokenFunction = int (*)(void*, int, const char*, int, int, int);
    FtsSink(void* context, TokenFunction token) : context_(context), token_(token) {}
    bool Emit(std::string_view text, size_t start, size_t end, bool colocated, bool) override {
        rc_ = token_(context_, colocated ? FTS5_TOKEN_COLOCATED : 0, text.data(),
                     static_cast<int>(text.size()), static_cast<int>(start), static_cast<int>(end));
        return rc_ == SQLITE_OK;
    }
    int Result() const { return rc_; }

private:
    void* context_;
    TokenFunction token_;
    int rc_ = SQLITE_OK;
};

int CreateTokenizer(void*, const char**, int, Fts5Tokenizer** out) {
    static char instance; // the tokenizer keeps no state
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void DeleteTokenizer(Fts5Tokenizer*) {}

int TokenizeText(Fts5Tokenizer*, void* context, int flags, const char* text, int length,
                 FtsSink::TokenFunction token) {
    FtsSink sink(context, token);
    const auto mode = (flags & FTS5_TOKENIZE_QUERY) ? ItemTokenizer::Mode::kQuery
                                                    : ItemTokenizer::Mode::kDocument;
    ItemTokenizer::Tokenize(std::string_view(text, length > 0 ? static_cast<size_t>(length) : 0),
                            mode, sink);
    return sink.Result();
}

int RegisterTokenizer(sqlite3* db) {
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
        rc = sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    if (!api)
        return rc == SQLITE_OK || rc == SQLITE_ROW ? SQLITE_ERROR : rc;
    static fts5_tokenizer tokenizer = {CreateTokenizer, DeleteTokenizer, TokenizeText};
    return api->xCreateTokenizer(api, "tessavin", nullptr, &tokenizer, nullptr);
}

// Resets a statement and its bindings when the scope ends.
class Reset {
public:
    explicit Reset(sqlite3_stmt* statement) : statement_(statement) {}
    ~Reset() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    Reset(const Reset&) = delete;
    Reset& operator=(const Reset&) = delete;

private:
    sqlite3_stmt* statement_;
};

std::string Column(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(statement, column)))
                : std::string();
}

int BindText(sqlite3_stmt* statement, int index, const std::string& text) {
    return sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_STATIC,
                               SQLITE_UTF8);
}

const char* const kQuerySql =
    "SELECT items.channel, items.link, items.title, items.description, items.author, "
    "items.date FROM fts CROSS JOIN items ON items.id = fts.rowid WHERE fts MATCH ?1 "
    "ORDER BY fts.rowid DESC LIMIT ?2";

} // namespace

int IndexStore::Open(const std::string& path, bool queryOnly) {
    Close();
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (queryOnly ? 0 : SQLITE_OPEN_CREATE);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        LogPrintf(L"Search index: cannot open %s", platform::Utf8ToWide(path).c_str());
        Close();
        return rc;
    }
    // A search runs on the UI thread: it waits a moment for a lock, never seconds.
    sqlite3_busy_timeout(db_, queryOnly ? 250 : 5000);
    rc = RegisterTokenizer(db_);
    if (rc == SQLITE_OK)
        rc = Exec(queryOnly ? "PRAGMA query_only=1"
                            : "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; "
                              "PRAGMA cache_size=-16384");
    if (rc != SQLITE_OK) {
        Fail(rc, "open");
        Close();
    }
    return rc;
}

void IndexStore::Close() {
    for (sqlite3_stmt** s : {&insertItem_, &insertText_, &deleteText_, &findItem_, &deleteItem_,
                             &channelItems_, &deleteChannel_, &query_}) {
        sqlite3_finalize(*s);
        *s = nullptr;
    }
    if (db_)
        sqlite3_close(db_);
    db_ = nullptr;
}

bool IndexStore::Usable() {
    sqlite3_stmt* statement = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        version = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    if (version != kSchemaVersion) {
        LogPrintf(L"Search index: schema version %d, not %d", version, kSchemaVersion);
        return false;
    }
    std::string result;
    int rows = 0;
    if (sqlite3_prepare_v2(db_, "PRAGMA quick_check", -1, &statement, nullptr) == SQLITE_OK)
        while (sqlite3_step(statement) == SQLITE_ROW && rows++ == 0)
            result = Column(statement, 0);
    sqlite3_finalize(statement);
    if (rows != 1 || result != "ok") {
        LogPrintf(L"Search index: quick_check failed: %s", platform::Utf8ToWide(result).c_str());
        return false;
    }
    return true;
}

int IndexStore::CreateSchema() {
    return Exec("CREATE TABLE items(id INTEGER PRIMARY KEY, channel INTEGER NOT NULL, "
                "link TEXT NOT NULL, title TEXT NOT NULL, description TEXT NOT NULL, "
                "author TEXT NOT NULL, date TEXT NOT NULL);"
                "CREATE UNIQUE INDEX items_key ON items(channel, link);"
                "CREATE VIRTUAL TABLE fts USING fts5(title, body, chan, content='', "
                "columnsize=0, tokenize='tessavin');");
}

int IndexStore::SetVersion(int version) {
    return Exec(("PRAGMA user_version=" + std::to_string(version)).c_str());
}

int IndexStore::Begin() {
    return Exec("BEGIN");
}

int IndexStore::Commit() {
    return Exec("COMMIT");
}

void IndexStore::Rollback() {
    if (db_ && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

int IndexStore::Apply(const IndexChange& change, size_t& rows) {
    int rc = change.replaceAll ? RemoveChannel(change.channelId, rows) : SQLITE_OK;
    for (size_t i = 0; rc == SQLITE_OK && i < change.dropped.size(); ++i)
        rc = Delete(change.channelId, change.dropped[i], rows);
    // A document lists its newest item first: inserted last, it gets the highest rowid.
    for (auto it = change.added.rbegin(); rc == SQLITE_OK && it != change.added.rend(); ++it)
        rc = InsertItem(change.channelId, *it, rows);
    return rc;
}

int IndexStore::InsertItem(int64_t channelId, const IndexedItem& item, size_t& rows) {
    int rc = Prepare(insertItem_, "INSERT INTO items(channel, link, title, description, author, "
                                  "date) VALUES(?1, ?2, ?3, ?4, ?5, ?6) "
                                  "ON CONFLICT(channel, link) DO NOTHING");
    if (rc != SQLITE_OK)
        return rc;
    {
        Reset reset(insertItem_);
        sqlite3_bind_int64(insertItem_, 1, channelId);
        BindText(insertItem_, 2, item.link);
        BindText(insertItem_, 3, item.title);
        BindText(insertItem_, 4, item.description);
        BindText(insertItem_, 5, item.author);
        BindText(insertItem_, 6, item.date);
        rc = sqlite3_step(insertItem_);
        if (rc != SQLITE_DONE)
            return Fail(rc, "insert item");
    }
    if (sqlite3_changes(db_) == 0)
        return SQLITE_OK; // indexed already
    rc = Prepare(insertText_, "INSERT INTO fts(rowid, title, body, chan) VALUES(?1, ?2, ?3, ?4)");
    if (rc != SQLITE_OK)
        return rc;
    Reset reset(insertText_);
    const std::string title = IndexText::FromHtml(item.title);
    const std::string body = IndexText::FromHtml(item.description);
    const std::string channel = ChannelToken(channelId);
    sqlite3_bind_int64(insertText_, 1, sqlite3_last_insert_rowid(db_));
    BindText(insertText_, 2, title);
    BindText(insertText_, 3, body);
    BindText(insertText_, 4, channel);
    rc = sqlite3_step(insertText_);
    if (rc != SQLITE_DONE)
        return Fail(rc, "insert text");
    ++rows;
    return SQLITE_OK;
}

int IndexStore::DeleteText(int64_t rowid, int64_t channelId, const std::string& titleHtml,
                           const std::string& descriptionHtml) {
    int rc = Prepare(deleteText_, "INSERT INTO fts(fts, rowid, title, body, chan) "
                                  "VALUES('delete', ?1, ?2, ?3, ?4)");
    if (rc != SQLITE_OK)
        return rc;
    Reset reset(deleteText_);
    const std::string title = IndexText::FromHtml(titleHtml);
    const std::string body = IndexText::FromHtml(descriptionHtml);
    const std::string channel = ChannelToken(channelId);
    sqlite3_bind_int64(deleteText_, 1, rowid);
    BindText(deleteText_, 2, title);
    BindText(deleteText_, 3, body);
    BindText(deleteText_, 4, channel);
    rc = sqlite3_step(deleteText_);
    return rc == SQLITE_DONE ? SQLITE_OK : Fail(rc, "delete text");
}

int IndexStore::Delete(int64_t channelId, const std::string& link, size_t& rows) {
    int rc = Prepare(findItem_, "SELECT id, title, description FROM items "
                                "WHERE channel = ?1 AND link = ?2");
    if (rc == SQLITE_OK)
        rc = Prepare(deleteItem_, "DELETE FROM items WHERE id = ?1");
    if (rc != SQLITE_OK)
        return rc;
    int64_t rowid;
    std::string title, description;
    {
        Reset reset(findItem_);
        sqlite3_bind_int64(findItem_, 1, channelId);
        BindText(findItem_, 2, link);
        rc = sqlite3_step(findItem_);
        if (rc == SQLITE_DONE)
            return SQLITE_OK; // not indexed
        if (rc != SQLITE_ROW)
            return Fail(rc, "find item");
        rowid = sqlite3_column_int64(findItem_, 0);
        title = Column(findItem_, 1);
        description = Column(findItem_, 2);
    }
    rc = DeleteText(rowid, channelId, title, description);
    if (rc != SQLITE_OK)
        return rc;
    Reset reset(deleteItem_);
    sqlite3_bind_int64(deleteItem_, 1, rowid);
    rc = sqlite3_step(deleteItem_);
    if (rc != SQLITE_DONE)
        return Fail(rc, "delete item");
    ++rows;
    return SQLITE_OK;
}

int IndexStore::RemoveChannel(int64_t channelId, size_t& rows) {
    int rc = Prepare(channelItems_, "SELECT id, title, description FROM items WHERE channel = ?1");
    if (rc == SQLITE_OK)
        rc = Prepare(deleteChannel_, "DELETE FROM items WHERE channel = ?1");
    if (rc != SQLITE_OK)
        return rc;
    {
        Reset reset(channelItems_);
        sqlite3_bind_int64(channelItems_, 1, channelId);
        while ((rc = sqlite3_step(channelItems_)) == SQLITE_ROW) {
            const int deleted = DeleteText(sqlite3_column_int64(channelItems_, 0), channelId,
                                           Column(channelItems_, 1), Column(channelItems_, 2));
            if (deleted != SQLITE_OK)
                return deleted;
            ++rows;
        }
        if (rc != SQLITE_DONE)
            return Fail(rc, "read channel items");
    }
    Reset reset(deleteChannel_);
    sqlite3_bind_int64(deleteChannel_, 1, channelId);
    rc = sqlite3_step(deleteChannel_);
    return rc == SQLITE_DONE ? SQLITE_OK : Fail(rc, "delete channel items");
}

int IndexStore::Query(const std::string& match, size_t limit, std::vector<SearchHit>& hits) {
    int rc = Prepare(query_, kQuerySql);
    if (rc != SQLITE_OK)
        return rc;
    Reset reset(query_);
    BindText(query_, 1, match);
    const size_t most = static_cast<size_t>(std::numeric_limits<sqlite3_int64>::max());
    sqlite3_bind_int64(query_, 2, static_cast<sqlite3_int64>(limit < most ? limit : most));
    while ((rc = sqlite3_step(query_)) == SQLITE_ROW) {
        SearchHit hit;
        hit.channelId = sqlite3_column_int64(query_, 0);
        hit.item.link = Column(query_, 1);
        hit.item.title = Column(query_, 2);
        hit.item.description = Column(query_, 3);
        hit.item.author = Column(query_, 4);
        hit.item.date = Column(query_, 5);
        hits.push_back(std::move(hit));
    }
    return rc == SQLITE_DONE ? SQLITE_OK : Fail(rc, "query");
}

int IndexStore::QueryPlan(std::vector<std::string>& plan) {
    sqlite3_stmt* statement = nullptr;
    const std::string sql = std::string("EXPLAIN QUERY PLAN ") + kQuerySql;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr);
    while (rc == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        plan.push_back(Column(statement, 3));
    sqlite3_finalize(statement);
    return rc == SQLITE_OK ? rc : Fail(rc, "query plan");
}

std::string IndexStore::ChannelToken(int64_t channelId) {
    return "c" + std::to_string(static_cast<uint64_t>(channelId));
}

bool IndexStore::IsCorrupt(int rc) {
    return (rc & 0xFF) == SQLITE_CORRUPT || (rc & 0xFF) == SQLITE_NOTADB;
}

void IndexStore::RemoveFiles(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::remove((path + suffix).c_str());
}

int IndexStore::Prepare(sqlite3_stmt*& statement, const char* sql) {
    if (statement)
        return SQLITE_OK;
    const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
    return rc == SQLITE_OK ? rc : Fail(rc, "prepare");
}

int IndexStore::Exec(const char* sql) {
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? rc : Fail(rc, sql);
}

int IndexStore::Fail(int rc, const char* what) {
    LogPrintf(L"Search index: %s failed: %s", platform::Utf8ToWide(what).c_str(),
              platform::Utf8ToWide(db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)).c_str());
    return rc;
}
