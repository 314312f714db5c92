#include "engine/PageWriter.h"

#include "engine/FeedDocument.h"
#include "engine/HtmlSanitizer.h"
#include "engine/ItemText.h"
#include "engine/WebAddress.h"
#include "platform/TextSearch.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string_view>

const char* const PageWriter::kEmptyPage =
    "<html><head><link href=\"./HtmlStyle/H20.css\" rel=\"stylesheet\" type=\"text/css\">"
    "<script>var totalNum=0;</script><script language=\"javascript\" "
    "src=\"./HtmlStyle/rss.js\"></script></head><body></body></html>";
const char* const PageWriter::kClosingText =
    "</DIV><script>document.write(init_pagination());</script></body></html>";

namespace {

const char kTotalOpen[] = "<script>var totalNum=";
const char kTotalClose[] = ";</script>";

// Appends a string literal without measuring it at run time.
template <size_t N> void Put(std::string& out, const char (&literal)[N]) {
    out.append(literal, N - 1);
}

void AppendNumber(std::string& out, int64_t n) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, n);
    out.append(digits, static_cast<size_t>(result.ptr - digits));
}

// "G,C,N": the arguments every item call carries.
void AppendIds(std::string& out, int64_t g, int64_t c, uint32_t n) {
    AppendNumber(out, g);
    out.push_back(',');
    AppendNumber(out, c);
    out.push_back(',');
    AppendNumber(out, n);
}

// The first occurrence of needle inside [from, limit), or npos.
size_t FindIn(std::string_view page, const std::string& needle, size_t from, size_t limit) {
    if (from >= limit)
        return std::string::npos;
    return TextSearch::Find(page, needle, from, limit);
}

// The text after `marker` up to `stop`, both inside [from, limit); empty when either is
// missing. markerEnd receives the position after the marker when it is found.
std::string TextAfter(std::string_view page, size_t from, size_t limit, const std::string& marker,
                      const std::string& stop, size_t* markerEnd = nullptr) {
    size_t m = FindIn(page, marker, from, limit);
    if (m == std::string::npos)
        return std::string();
    size_t start = m + marker.size();
    if (markerEnd)
        *markerEnd = start;
    size_t e = FindIn(page, stop, start, limit);
    if (e == std::string::npos)
        return std::string();
    return std::string(page.substr(start, e - start));
}

// An item's texts made inert for a page: the description as a block, the others inline
// (context.inlineText is set for each).
PageItemTexts Inert(const PageItemTexts& texts, HtmlSanitizer::Context& context) {
    PageItemTexts inert;
    context.inlineText = true;
    inert.title = HtmlSanitizer::Sanitize(texts.title, context);
    inert.author = HtmlSanitizer::Sanitize(texts.author, context);
    inert.date = HtmlSanitizer::Sanitize(texts.date, context);
    context.inlineText = false;
    inert.description = HtmlSanitizer::Sanitize(texts.description, context);
    return inert;
}

} // namespace

PageWriter::PageWriter(PageEncoding encoding, size_t expectedSize, const std::string& feedAddress)
    : encoding_(encoding), feedAddress_(feedAddress) {
    body_.reserve(expectedSize);
}

void PageWriter::AppendItem(uint32_t n, int64_t g, int64_t c, const std::string& link,
                            const PageItemTexts& texts, bool read, bool flagged,
                            PageItemTexts* shown) {
    const bool native = encoding_ == PageEncoding::kNative;
    // Feed texts are made inert here, on their one way into a page; their relative
    // addresses are the item's.
    HtmlSanitizer::Context context;
    context.native = native;
    context.base = WebAddress::IsWeb(link) ? link : feedAddress_;
    PageItemTexts inert = Inert(texts, context);
    AppendBlock(n, n, g, c, ItemText::LinkForPage(link, native), inert, read, flagged,
                std::string());
    if (shown)
        *shown = std::move(inert);
}

void PageWriter::AppendViewItem(uint32_t id, uint32_t n, int64_t g, int64_t c,
                                const std::string& linkValue, const PageItemTexts& texts, bool read,
                                bool flagged, const std::string& channelName) {
    // The texts come from channel pages; they are made inert again all the same.
    HtmlSanitizer::Context context;
    context.base = WebAddress::IsWeb(linkValue) ? linkValue : std::string();
    AppendBlock(id, n, g, c, ItemText::ValueForPage(linkValue), Inert(texts, context), read,
                flagged, HtmlSanitizer::Sanitize(FeedDocument::EscapeText(channelName)));
}

void PageWriter::AppendBlock(uint32_t id, uint32_t n, int64_t g, int64_t c,
                             const std::string& pageLink, const PageItemTexts& inert, bool read,
                             bool flagged, const std::string& label) {
    // A channel page shows every title as unread until the reader changes it; a view shows
    // the item's mark (label set).
    AppendTitle(body_, id, n, g, c, pageLink, inert.title, read && !label.empty());
    std::string& p = body_;
    Put(p, "<DIV class=gn_storydetails id=");
    AppendNumber(p, id);
    Put(p, "_content><p>");
    p += inert.description;
    Put(p, "</p></DIV>");
    Put(p, "<DIV class=gn_storyfooter id=");
    AppendNumber(p, id);
    Put(p, "_footer name=\"");
    AppendNumber(p, id);
    Put(p, "_footer\">");
    if (!label.empty()) {
        Put(p, "<SPAN class=channel>");
        p += label;
        Put(p, "</SPAN><SPAN class=sep>|</SPAN>");
    }
    p += inert.author;
    Put(p, "<SPAN class=sep>|</SPAN>");
    Put(p, "<SPAN title=\"publish time\">");
    p += inert.date;
    Put(p, "</SPAN><SPAN class=sep>|</SPAN>");
    AppendIcons(p, id, n, g, c, read, flagged);
    // The item's closing script.
    Put(p, "<script>display_item(document.getElementById(\"");
    AppendNumber(p, id);
    Put(p, "_contentdiv\"));</script></DIV>");
}

void PageWriter::AppendTitle(std::string& p, uint32_t id, uint32_t n, int64_t g, int64_t c,
                             const std::string& pageLink, const std::string& title,
                             bool titleRead) {
    Put(p, "<DIV class = gn_stories id=");
    AppendNumber(p, id);
    Put(p, "_contentdiv>");
    Put(p, "<DIV class=gn_storytitle onMouseOver=\"this.style.backgroundColor='#E3E8F2'\""
           "title=\"Click open/close\" style=\"CURSOR: hand\" onclick=");
    Put(p, "open_click(");
    AppendNumber(p, id);
    Put(p, ",true) ");
    Put(p, "onmouseout=\"this.style.backgroundColor=''\">");
    Put(p, "<IMG id=");
    AppendNumber(p, id);
    Put(p, "_open src=\"HtmlStyle/arrowdown.gif\"");
    Put(p, "name=");
    AppendNumber(p, id);
    Put(p, "_open>");
    Put(p, "<A class=gn_storytitle id=");
    AppendNumber(p, id);
    Put(p, "_title title=\"View detail\" style=\"FONT-WEIGHT:bold\" href=\"javascript:");
    Put(p, "go_read('025212A0',");
    AppendIds(p, g, c, n);
    Put(p, ",'");
    p += pageLink;
    Put(p, "')");
    Put(p, "\" name=");
    AppendNumber(p, id);
    Put(p, "_title><font class='title_");
    p += titleRead ? "readed'>" : "unread'>";
    p += title;
    Put(p, "</font></A></DIV>");
}

void PageWriter::AppendIcons(std::string& p, uint32_t id, uint32_t n, int64_t g, int64_t c,
                             bool read, bool flagged) {
    Put(p, "<A class=icon title=read href=\"javascript:");
    Put(p, "go_read('025212A0',");
    AppendIds(p, g, c, n);
    Put(p, ",'')");
    Put(p, "\">");
    Put(p, "<IMG class=icon id=");
    AppendNumber(p, id);
    p += read ? "_read src=\"HtmlStyle/readed.gif\" align=absMiddle>"
              : "_read src=\"HtmlStyle/unread.gif\" align=absMiddle>";
    Put(p, "</A><A class=icon title=flag href=\"javascript:");
    Put(p, "go_flag(");
    AppendIds(p, g, c, n);
    Put(p, ")");
    Put(p, "\">");
    Put(p, "<IMG class=icon id=");
    AppendNumber(p, id);
    p += flagged ? "_flag src=\"HtmlStyle/flaged.gif\" align=absMiddle>"
                 : "_flag src=\"HtmlStyle/unflag.gif\" align=absMiddle>";
    Put(p, "</A><A class=icon title=delete href=\"javascript:");
    Put(p, "go_delete(");
    AppendIds(p, g, c, n);
    Put(p, ")");
    Put(p, "\">");
    Put(p, "<IMG class=icon id=");
    AppendNumber(p, id);
    Put(p, "_delete src=\"HtmlStyle/delete.gif\"align=absMiddle>");
    Put(p, "</A></DIV>");
}

std::string PageWriter::Finish(uint32_t shownCount) {
    const bool utf8 = encoding_ == PageEncoding::kUtf8;
    std::string head;
    if (utf8)
        head += "\xEF\xBB\xBF";
    head += "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html;";
    head += utf8 ? "charset=utf-8\">" : "\">";
    head += "<link href=\"HtmlStyle\\H20.css\" rel=\"stylesheet\" type=\"text/css\">";
    head += kTotalOpen;
    head += std::to_string(shownCount);
    head += kTotalClose;
    head += "<script language=\"javascript\" src=\"./HtmlStyle/rss.js\"></script>";
    head += "</head><body><script>document.write(init_pagination());</script>"
            "<DIV ID=\"contentdiv\">";
    std::string page;
    page.reserve(head.size() + body_.size() + std::strlen(kClosingText));
    page += head;
    page += body_;
    page += kClosingText;
    body_.clear();
    return page;
}

void PageWriter::PatchTotal(std::string& page, long total) {
    size_t open = page.find(kTotalOpen);
    if (open == std::string::npos)
        return;
    size_t valueStart = open + sizeof kTotalOpen - 1;
    size_t close = page.find(kTotalClose, valueStart);
    if (close == std::string::npos)
        return;
    const std::string old =
        std::string(kTotalOpen) + page.substr(valueStart, close - valueStart) + kTotalClose;
    const std::string replacement = std::string(kTotalOpen) + std::to_string(total) + kTotalClose;
    std::string out;
    out.reserve(page.size() + 16);
    size_t last = 0;
    for (size_t pos = page.find(old); pos != std::string::npos; pos = page.find(old, last)) {
        out.append(page, last, pos - last);
        out += replacement;
        last = pos + old.size();
    }
    out.append(page, last, std::string::npos);
    page.swap(out);
}

std::vector<PageWriter::Block> PageWriter::FindBlocks(std::string_view page, uint32_t last) {
    static const std::string kBlock = "<DIV class = gn_stories id=";
    // No page holds more blocks than this: the table stays as small as the page allows.
    last = static_cast<uint32_t>(std::min<size_t>(last, page.size() / kBlock.size()));
    std::vector<Block> blocks(static_cast<size_t>(last) + 1);
    size_t block = FindIn(page, kBlock, 0, page.size());
    while (block != std::string::npos) {
        const size_t numberStart = block + kBlock.size();
        const size_t next = FindIn(page, kBlock, numberStart, page.size());
        const size_t limit = next == std::string::npos ? page.size() : next;
        uint32_t n = 0;
        auto parsed = std::from_chars(page.data() + numberStart, page.data() + limit, n);
        // An item's first block counts.
        if (parsed.ec == std::errc() && n > 0 && n <= last && !blocks[n].Found())
            blocks[n] = Block{numberStart, limit};
        block = next;
    }
    return blocks;
}

PageItemTexts PageWriter::ReadBlock(std::string_view page, uint32_t n, const Block& block) {
    PageItemTexts texts;
    const std::string m = std::to_string(n);
    const size_t limit = block.limit;
    // The markers stand in this order inside the item's block; each search starts where the
    // previous marker was found.
    size_t titleMarkEnd = 0;
    std::string afterMarker =
        TextAfter(page, block.start, limit, "name=" + m + "_title><font class='title_", "</font>",
                  &titleMarkEnd);
    if (titleMarkEnd == 0)
        return texts;
    size_t close = afterMarker.find("'>");
    texts.title = close == std::string::npos ? std::string() : afterMarker.substr(close + 2);
    size_t detailsEnd = titleMarkEnd;
    texts.description =
        TextAfter(page, titleMarkEnd, limit, "<DIV class=gn_storydetails id=" + m + "_content>",
                  "</DIV><DIV class=gn_storyfooter id=" + m, &detailsEnd);
    // The writer wraps the description in one <p> pair; take it off again so that
    // rewriting a page never nests the pairs deeper.
    std::string& d = texts.description;
    if (d.size() >= 7 && d.compare(0, 3, "<p>") == 0 && d.compare(d.size() - 4, 4, "</p>") == 0) {
        d.erase(d.size() - 4);
        d.erase(0, 3);
    }
    size_t authorEnd = 0;
    texts.author = TextAfter(page, detailsEnd, limit, "footer name=\"" + m + "_footer\">",
                             "<SPAN class=sep>", &authorEnd);
    if (authorEnd != 0)
        texts.date = TextAfter(page, authorEnd, limit, "<SPAN title=\"publish time\">", "</SPAN>");
    else
        texts.author.clear();
    return texts;
}

std::map<uint32_t, PageItemTexts> PageWriter::ReadBack(std::string_view page, uint32_t last) {
    std::map<uint32_t, PageItemTexts> items;
    const std::vector<Block> blocks = FindBlocks(page, last);
    for (uint32_t n = 1; n < blocks.size(); ++n)
        if (blocks[n].Found())
            items.emplace(n, ReadBlock(page, n, blocks[n]));
    return items;
}
