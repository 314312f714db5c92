#pragma once

#include "engine/RssDocument.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The texts of one item as they stand in a written channel page.
struct PageItemTexts {
    std::string title;
    std::string description;
    std::string author;
    std::string date;
};

// The fixed HTML of a channel page, built in memory. Item number N, group G and channel C
// are decimal; texts are inserted as bytes.
class PageWriter {
public:
    static const char* const kEmptyPage;   // the 201-byte page of a channel without items
    static const char* const kClosingText; // the 71-byte end of a page

    // expectedSize: room to reserve for the page. feedAddress: what relative addresses in
    // item texts resolve against when the item's own link is not a web address.
    explicit PageWriter(PageEncoding encoding, size_t expectedSize = 0,
                        const std::string& feedAddress = std::string());

    // shown, when given, receives the texts as the page shows them (made inert).
    void AppendItem(uint32_t number, int64_t groupId, int64_t channelId, const std::string& link,
                    const PageItemTexts& texts, bool read, bool flagged,
                    PageItemTexts* shown = nullptr);
    // An item of a view across channels: element ids by its place `id` on the page, calls
    // naming its own channel and number, the link given as its value (UTF-8), and the
    // channel's name before the author. The page is a UTF-8 page.
    void AppendViewItem(uint32_t id, uint32_t n, int64_t groupId, int64_t channelId,
                        const std::string& linkValue, const PageItemTexts& texts, bool read,
                        bool flagged, const std::string& channelName);
    // The whole page: head with the item total, the items, the closing text.
    std::string Finish(uint32_t shownCount);

    // Replaces every "<script>var totalNum=X;</script>" (X as found after the first
    // "<script>var totalNum=") by the given total.
    static void PatchTotal(std::string& page, long total);
    // Where an item's block of a previous page lies: from after "id=" to the next block.
    struct Block {
        size_t start = 0;
        size_t limit = 0;
        bool Found() const { return limit != 0; }
    };
    // The first block of each item numbered 1..last, by number (index 0 unused; a number
    // the page does not show is not Found).
    static std::vector<Block> FindBlocks(std::string_view page, uint32_t last);
    // The texts item n's block shows.
    static PageItemTexts ReadBlock(std::string_view page, uint32_t n, const Block& block);
    // The texts of the items numbered 1..last that a previous page shows, by number.
    static std::map<uint32_t, PageItemTexts> ReadBack(std::string_view page, uint32_t last);

private:
    // One item's block; element ids by id, calls by n; label: a view's channel name (inert).
    void AppendBlock(uint32_t id, uint32_t n, int64_t g, int64_t c, const std::string& pageLink,
                     const PageItemTexts& inert, bool read, bool flagged, const std::string& label);
    // The story block's opening and its title line (title already made inert).
    static void AppendTitle(std::string& page, uint32_t id, uint32_t n, int64_t g, int64_t c,
                            const std::string& pageLink, const std::string& title, bool titleRead);
    // The read, flag and delete icons of the footer, and its end.
    static void AppendIcons(std::string& page, uint32_t id, uint32_t n, int64_t g, int64_t c,
                            bool read, bool flagged);
    PageEncoding encoding_;
    std::string feedAddress_;
    std::string body_;
};
