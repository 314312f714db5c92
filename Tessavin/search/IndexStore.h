#pragma once

#include "catalogue/ItemIndex.h"
#include "search/SearchHit.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// One connection to the word index's database (SQLite; FTS5 with ItemTokenizer as tokenizer
// "tessavin"):
//   items(rowid, channel, link, title, description, author, date): the shown texts, so a
//     search answers without reading pages; unique by (channel, link).
//   fts(title, body, chan): contentless FTS5 over the plain texts (IndexText) of title and
//     description, rowid = the item's rowid. chan holds one token naming the channel, so a
//     search in one channel is an intersection inside FTS5 as well, not a filter on rows.
// Contentless keeps the texts once (items); a row of fts is deleted with the 'delete'
// command and the plain texts computed again from the stored ones.
// Methods return SQLite result codes and log failures. One thread at a time.
class IndexStore {
public:
    // Raised whenever the tables, ItemTokenizer or IndexText change: fts rows are deleted with
    // texts tokenized anew, which must give the tokens they were inserted with.
    static const int kSchemaVersion = 1;

    IndexStore() = default;
    ~IndexStore() { Close(); }
    IndexStore(const IndexStore&) = delete;
    IndexStore& operator=(const IndexStore&) = delete;

    // Opens (creating when missing) the database in WAL mode and registers the tokenizer.
    int Open(const std::string& path, bool queryOnly);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    // True when the database has this schema version and passes quick_check.
    bool Usable();
    // The tables of an empty database (user_version stays 0 until SetVersion).
    int CreateSchema();
    int SetVersion(int version);
    int Begin();
    int Commit();
    void Rollback();

    // The writes; each is idempotent. rows counts the rows written.
    int Apply(const IndexChange& change, size_t& rows);
    int Delete(int64_t channelId, const std::string& link, size_t& rows);
    int RemoveChannel(int64_t channelId, size_t& rows);

    // The items matching an FTS5 expression, highest rowid first.
    int Query(const std::string& match, size_t limit, std::vector<SearchHit>& hits);
    // EXPLAIN QUERY PLAN of Query's statement, one line a step.
    int QueryPlan(std::vector<std::string>& plan);

    // The token of a channel in the chan column.
    static std::string ChannelToken(int64_t channelId);
    static bool IsCorrupt(int rc);
    // Deletes the database with its -wal, -shm and -journal files.
    static void RemoveFiles(const std::string& path);

private:
    int Prepare(sqlite3_stmt*& statement, const char* sql);
    int Exec(const char* sql);
    int Fail(int rc, const char* what);
    int InsertItem(int64_t channelId, const IndexedItem& item, size_t& rows);
    // Deletes the fts row of an item from its stored texts.
    int DeleteText(int64_t rowid, int64_t channelId, const std::string& titleHtml,
                   const std::string& descriptionHtml);

    sqlite3* db_ = nullptr;
    sqlite3_stmt* insertItem_ = nullptr;
    sqlite3_stmt* insertText_ = nullptr;
    sqlite3_stmt* deleteText_ = nullptr;
    sqlite3_stmt* findItem_ = nullptr;
    sqlite3_stmt* deleteItem_ = nullptr;
    sqlite3_stmt* channelItems_ = nullptr;
    sqlite3_stmt* deleteChannel_ = nullptr;
    sqlite3_stmt* query_ = nullptr;
};
