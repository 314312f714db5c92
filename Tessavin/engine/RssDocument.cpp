#include "engine/RssDocument.h"

#include "engine/HtmlSanitizer.h"
#include "platform/CodePage.h"
#include "platform/Format.h"
#include "platform/TextSearch.h"
#include "xml/XmlDocument.h"

#include <cstdint>
#include <cstring>
#include <tuple>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value of attribute `name` among the attributes in [pos, end) of a tag, in double
// or single quotes. False when the attribute is missing or malformed.
bool FindAttribute(const std::string& text, size_t pos, size_t end, const std::string& name,
                   std::string& value) {
    while (pos < end) {
        while (pos < end && IsBlank(text[pos]))
            ++pos;
        size_t nameStart = pos;
        while (pos < end && !IsBlank(text[pos]) && text[pos] != '=' && text[pos] != '>' &&
               text[pos] != '/' && text[pos] != '?')
            ++pos;
        std::string attribute = text.substr(nameStart, pos - nameStart);
        while (pos < end && IsBlank(text[pos]))
            ++pos;
        if (attribute.empty()) {
            ++pos; // a stray '/' or '?'
            continue;
        }
        if (pos >= end || text[pos] != '=')
            continue; // an attribute without a value
        ++pos;
        while (pos < end && IsBlank(text[pos]))
            ++pos;
        if (pos >= end || (text[pos] != '"' && text[pos] != '\''))
            return false;
        char quote = text[pos++];
        size_t close = text.find(quote, pos);
        if (close == std::string::npos || close > end)
            return false;
        if (attribute == name) {
            value = text.substr(pos, close - pos);
            return true;
        }
        pos = close + 1;
    }
    return false;
}

// Text between the first `open` and the first `close` (both from 0); empty when either
// is missing or the close comes before the text.
std::string Between(const std::string& text, const char* open, const char* close) {
    size_t start = text.find(open);
    if (start == std::string::npos)
        return std::string();
    start += std::strlen(open);
    size_t stop = text.find(close);
    if (stop == std::string::npos || stop < start)
        return std::string();
    return text.substr(start, stop - start);
}

// The first occurrence of needle that lies whole inside [from, limit), or npos.
size_t FindIn(const std::string& text, const char* needle, size_t from, size_t limit) {
    if (from >= limit)
        return std::string::npos;
    return TextSearch::Find(text, needle, from, limit);
}

} // namespace

uint64_t Fnv1a64(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

bool RssDocument::HasSupportedVersion() const {
    // Searched from the first element on: a comment, processing instruction or document
    // type before it may name anything.
    size_t pos = CXmlDocument::RootStart(text_);
    while (pos != std::string::npos && (pos = text_.find("<rss", pos)) != std::string::npos) {
        size_t after = pos + 4;
        if (after < text_.size() &&
            (IsBlank(text_[after]) || text_[after] == '>' || text_[after] == '/')) {
            size_t end = text_.find('>', after);
            if (end == std::string::npos)
                return false;
            std::string version;
            return FindAttribute(text_, after, end, "version", version) && version == "2.0";
        }
        pos = after;
    }
    return false;
}

std::string RssDocument::BuildDate() const {
    std::string date = Between(text_, "<lastBuildDate>", "</lastBuildDate>");
    if (date.empty())
        date = Between(text_, "<pubDate>", "</pubDate>");
    if (date.empty())
        date =
            platform::FormatA("fnv1a64:%016llx", static_cast<unsigned long long>(Fnv1a64(text_)));
    return date;
}

DocumentEncoding RssDocument::Encoding() const {
    DocumentEncoding result;
    size_t pos = 0;
    if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;
    while (pos < text_.size() && IsBlank(text_[pos]))
        ++pos;
    if (text_.compare(pos, 5, "<?xml") != 0 || pos + 5 >= text_.size() || !IsBlank(text_[pos + 5]))
        return result;
    size_t end = text_.find("?>", pos);
    if (end == std::string::npos)
        return result;
    std::string declared;
    if (!FindAttribute(text_, pos + 5, end, "encoding", declared))
        return result;
    result.declared = platform::AsciiLower(declared);
    if (result.declared.find("utf-8") != std::string::npos)
        return result;
    if (result.declared.find("gb2312") != std::string::npos ||
        result.declared.find("gbk") != std::string::npos) {
        result.page = PageEncoding::kNative;
        return result;
    }
    std::string probe;
    result.convertToUtf8 =
        platform::ConvertEncoding(std::string(), result.declared.c_str(), "UTF-8", probe);
    return result;
}

bool RssDocument::IsComplete() const {
    size_t open = text_.find("<channel");
    return open != std::string::npos && text_.find("</channel>", open) != std::string::npos;
}

size_t RssDocument::FindFrom(CachedFind& cache, const char* needle, size_t from) const {
    // The cached answer is the first occurrence at or after cache.from <= from: when it lies
    // at or after from (or there was none), it is also the first at or after from.
    if (cache.from != std::string::npos && cache.from <= from &&
        (cache.found == std::string::npos || cache.found >= from))
        return cache.found;
    cache.from = from;
    cache.found = FindIn(text_, needle, from, text_.size());
    return cache.found;
}

bool RssDocument::NextItem(size_t& cursor, ItemSpan& span) const {
    size_t open = FindFrom(nextOpen_, "<item>", cursor);
    size_t close = FindFrom(nextClose_, "</item>", cursor);
    if (open == std::string::npos || close == std::string::npos)
        return false;
    span.start = open;
    span.end = close;
    cursor = close + 5;
    return true;
}

std::string RssDocument::Field(const ItemSpan& span, const char* open, const char* close) const {
    // Every search stops at the item's end: a tag that lies beyond it counts as missing.
    if (span.end <= span.start)
        return std::string();
    return Extract(span, FindIn(text_, open, span.start, span.end), std::strlen(open),
                   FindIn(text_, close, span.start, span.end));
}

std::string RssDocument::Extract(const ItemSpan& span, size_t tag, size_t openLength,
                                 size_t closeTag) const {
    if (tag == std::string::npos || closeTag == std::string::npos)
        return std::string();
    size_t contentStart = tag + openLength;
    if (contentStart >= closeTag)
        return std::string();
    static const char kCdata[] = "![CDATA[";
    size_t cdata = FindIn(text_, kCdata, contentStart, closeTag);
    if (cdata != std::string::npos) {
        size_t cdataStart = cdata + sizeof kCdata - 1;
        size_t cdataEnd = FindIn(text_, "]]", cdataStart, span.end);
        if (cdataEnd == std::string::npos)
            return std::string();
        return text_.substr(cdataStart, cdataEnd - cdataStart);
    }
    return text_.substr(contentStart, closeTag - contentStart);
}

namespace {

// The fields' tags in ItemTags order; every tag starts with '<'.
struct Tag {
    const char* text;
    size_t length;
};
const Tag kItemTags[] = {{"<link>", 6},     {"</link>", 7},        {"<title>", 7},
                         {"</title>", 8},   {"<description>", 13}, {"</description>", 14},
                         {"<author>", 8},   {"</author>", 9},      {"<pubDate>", 9},
                         {"</pubDate>", 10}};

} // namespace

RssDocument::ItemTags RssDocument::ReadLink(const ItemSpan& span, ItemFields& fields) const {
    // One walk over the item's '<' finds the first occurrence of each tag.
    ItemTags tags;
    const size_t kTags = sizeof kItemTags / sizeof kItemTags[0];
    for (size_t& first : tags.first)
        first = std::string::npos;
    size_t missing = kTags;
    const char* data = text_.data();
    size_t pos = span.start;
    while (missing > 0 && pos < span.end) {
        const void* hit = std::memchr(data + pos, '<', span.end - pos);
        if (!hit)
            break;
        pos = static_cast<size_t>(static_cast<const char*>(hit) - data);
        for (size_t i = 0; i < kTags; ++i) {
            const Tag& tag = kItemTags[i];
            if (tags.first[i] == std::string::npos && span.end - pos >= tag.length &&
                std::memcmp(data + pos, tag.text, tag.length) == 0) {
                tags.first[i] = pos;
                --missing;
                break;
            }
        }
        ++pos;
    }
    fields.link = Extract(span, tags.first[0], kItemTags[0].length, tags.first[1]);
    return tags;
}

void RssDocument::ReadRest(const ItemSpan& span, const ItemTags& tags, ItemFields& fields) const {
    std::string* outputs[] = {&fields.title, &fields.description, &fields.author, &fields.pubDate};
    for (size_t i = 1; i < 5; ++i)
        *outputs[i - 1] =
            Extract(span, tags.first[2 * i], kItemTags[2 * i].length, tags.first[2 * i + 1]);
    ReadEnclosures(span, fields.enclosures);
}

void RssDocument::ReadItem(const ItemSpan& span, ItemFields& fields) const {
    ReadRest(span, ReadLink(span, fields), fields);
}

void RssDocument::ReadEnclosures(const ItemSpan& span, std::vector<Enclosure>& out) const {
    out.clear();
    // <enclosure url type length/> and <media:content url type fileSize/>, in item order.
    struct Form {
        const char* tag;
        const char* size;
        CachedFind& next;
    };
    for (const Form& form : {Form{"<enclosure", "length", nextEnclosure_},
                             Form{"<media:content", "fileSize", nextMedia_}}) {
        const size_t tagLength = std::strlen(form.tag);
        // The document's next such tag, remembered across items: most documents have none.
        size_t at = FindFrom(form.next, form.tag, span.start);
        if (at == std::string::npos || at + tagLength > span.end)
            continue;
        for (; at != std::string::npos; at = FindIn(text_, form.tag, at + tagLength, span.end)) {
            const size_t after = at + tagLength;
            const size_t end = FindIn(text_, ">", after, span.end);
            if (end == std::string::npos)
                break;
            if (!IsBlank(text_[after]) && text_[after] != '/' && text_[after] != '>')
                continue; // another tag that starts so
            Enclosure e;
            if (!FindAttribute(text_, after, end, "url", e.url))
                continue;
            FindAttribute(text_, after, end, "type", e.type);
            FindAttribute(text_, after, end, form.size, e.length);
            for (std::string* value : {&e.url, &e.type, &e.length})
                *value = HtmlSanitizer::AttributeValue(*value);
            out.push_back(std::move(e));
        }
    }
}

void RssDocument::HeadAddresses(std::string& site, std::string& icon) const {
    site.clear();
    icon.clear();
    const size_t channel = text_.find("<channel");
    if (channel == std::string::npos)
        return;
    // Only the head is searched: an item's links and images are not the channel's.
    size_t head = FindIn(text_, "<item", channel, text_.size());
    if (head == std::string::npos)
        head = text_.size();
    // The image and the text input have links of their own: their spans are passed over.
    ItemSpan image, input;
    for (auto [span, open, close] : {std::make_tuple(&image, "<image>", "</image>"),
                                     std::make_tuple(&input, "<textInput>", "</textInput>")}) {
        const size_t at = FindIn(text_, open, channel, head);
        const size_t end = at == std::string::npos ? at : FindIn(text_, close, at, head);
        if (end != std::string::npos)
            *span = ItemSpan{at, end};
    }
    if (image.end > image.start)
        icon = Field(image, "<url>", "</url>");
    for (size_t at = FindIn(text_, "<link>", channel, head); at != std::string::npos;
         at = FindIn(text_, "<link>", at + 6, head)) {
        if ((at > image.start && at < image.end) || (at > input.start && at < input.end))
            continue;
        site = Extract(ItemSpan{channel, head}, at, 6, FindIn(text_, "</link>", at, head));
        break;
    }
    for (std::string* value : {&site, &icon})
        if (!value->empty())
            *value = HtmlSanitizer::AttributeValue(*value);
}
