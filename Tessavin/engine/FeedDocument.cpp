#include "engine/FeedDocument.h"

#include "config/DateTime.h"
#include "config/LogFile.h"
#include "engine/WebAddress.h"
#include "platform/CodePage.h"
#include "platform/Format.h"
#include "xml/XmlDocument.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

namespace {

const char kAtom[] = "http://www.w3.org/2005/Atom";
const char kRdf[] = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
const char kRss1[] = "http://purl.org/rss/1.0/";
const char kRss090[] = "http://my.netscape.com/rdf/simple/0.9/";
const char kDublinCore[] = "http://purl.org/dc/elements/1.1/";
const char kXhtml[] = "http://www.w3.org/1999/xhtml";
const char kMediaRss[] = "http://search.yahoo.com/mrss/";

// The first needle in text[from, limit), or npos: searches never run past the element at
// hand, so reading stays linear in the document.
size_t FindIn(const std::string& text, const char* needle, size_t from, size_t limit) {
    const size_t length = std::strlen(needle);
    if (limit > text.size())
        limit = text.size();
    if (from >= limit || limit - from < length)
        return std::string::npos;
    // The needles are a few bytes and the spans short: each place of the first byte is
    // compared in turn.
    const char* const data = text.data();
    const char* const last = data + limit - length; // where a match can start at the latest
    for (const char* at = data + from; at <= last; ++at) {
        at = static_cast<const char*>(std::memchr(at, needle[0], last - at + 1));
        if (!at)
            break;
        if (std::memcmp(at, needle, length) == 0)
            return static_cast<size_t>(at - data);
    }
    return std::string::npos;
}

// How many of the 8 bytes at p come before the first '&' or '<' among them (8 for none):
// text runs are copied a word at a time.
size_t PlainBytes8(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    // The top bit of each zero byte of v, and no other bit.
    auto zeroBytes = [](uint64_t v) { return ~(((v & kLow7) + kLow7) | v | kLow7); };
    const uint64_t hits =
        zeroBytes(word ^ 0x2626262626262626ULL) | zeroBytes(word ^ 0x3C3C3C3C3C3C3C3CULL);
    if (hits == 0)
        return 8;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return static_cast<size_t>(__builtin_ctzll(hits)) / 8;
#else
    return static_cast<size_t>(__builtin_clzll(hits)) / 8;
#endif
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The parsed document read by record: names split at the prefix and resolved by the
// namespace declarations in scope, texts decoded, markup taken as it stands.
class FeedTree {
public:
    // documentUrl: what relative links are resolved against.
    FeedTree(const CXmlDocument& xml, std::string documentUrl)
        : xml_(xml), text_(xml.Text()), records_(xml.Records()),
          documentUrl_(std::move(documentUrl)), scopeOf_(xml.FreePosition(), kUnknown),
          baseOf_(xml.FreePosition(), kUnknown), names_(xml.FreePosition()) {}

    uint32_t Root() const { return records_[0].firstChild; }
    uint32_t FirstChild(uint32_t r) const { return records_[r].firstChild; }
    uint32_t Next(uint32_t r) const { return records_[r].nextSibling; }
    uint32_t Parent(uint32_t r) const { return records_[r].parent; }

    // Whether the element is {uri}local.
    bool Is(uint32_t r, std::string_view uri, std::string_view local) {
        const Name& name = NameOf(r);
        return name.local == local && *name.uri == uri;
    }
    // The first child {uri}local, or 0.
    uint32_t Child(uint32_t r, std::string_view uri, std::string_view local) {
        for (uint32_t c = FirstChild(r); c != 0; c = Next(c))
            if (Is(c, uri, local))
                return c;
        return 0;
    }
    std::string Attribute(uint32_t r, const char* name) const {
        std::string value;
        xml_.HasAttribute(r, name, value);
        return value;
    }

    // The element's character data: text and CDATA of it and its descendants, references
    // decoded, tags, comments and processing instructions left out.
    std::string Text(uint32_t r) const {
        const ContentRange range = Content(r);
        // Decoding never lengthens the text: it is written into a buffer of the content's
        // size, which is cut to what was written.
        std::string out(range.end - range.begin, '\0');
        char* const first = &out[0];
        char* to = first;
        const char* const from = text_.data();
        size_t i = range.begin;
        while (i < range.end) {
            if (range.end - i >= 8) {
                // All 8 bytes are copied (the buffer has room: it is never ahead of the
                // text), but only those before a reference or markup count.
                const size_t plain = PlainBytes8(from + i);
                std::memcpy(to, from + i, 8);
                to += plain;
                i += plain;
                if (plain == 8)
                    continue;
            }
            const char c = from[i];
            if (c == '&') {
                size_t written = 0;
                i = platform::DecodeXmlReference(from, i, range.end, to, written);
                to += written;
            } else if (c == '<') {
                i = SkipMarkup(i, range.end, to);
            } else {
                *to++ = c;
                ++i;
            }
        }
        out.resize(static_cast<size_t>(to - first));
        return out;
    }
    // The element's content as it stands in the document (for xhtml content).
    std::string Markup(uint32_t r) const {
        const ContentRange range = Content(r);
        return text_.substr(range.begin, range.end - range.begin);
    }

    // The base address of an element: the document's address with every xml:base from the
    // root down to the element applied in turn. Each element's is worked out once, from its
    // parent's: the entries of a feed share the feed's.
    const std::string& BaseOf(uint32_t r) {
        if (r == 0 || r >= baseOf_.size())
            return documentUrl_;
        if (baseOf_[r] == kUnknown) {
            const std::string& outer = BaseOf(Parent(r));
            std::string base;
            if (xml_.HasAttribute(r, "xml:base", base)) {
                bases_.push_back(WebAddress::Resolve(outer, Trim(base)));
                baseOf_[r] = static_cast<int32_t>(bases_.size() - 1);
            } else {
                baseOf_[r] = Parent(r) == 0 ? kNone : baseOf_[Parent(r)];
            }
        }
        return baseOf_[r] == kNone ? documentUrl_ : bases_[static_cast<size_t>(baseOf_[r])];
    }

private:
    static constexpr int32_t kUnknown = -2;
    static constexpr int32_t kNone = -1;

    struct ContentRange {
        size_t begin = 0;
        size_t end = 0;
    };
    struct Name {
        std::string_view local;
        const std::string* uri = nullptr; // null until read
    };
    struct Scope {
        int32_t parent = kNone;
        std::vector<std::pair<std::string, std::string>> declarations; // prefix, URI
    };

    ContentRange Content(uint32_t r) const {
        const CXmlDocument::ElementRecord& e = records_[r];
        ContentRange range;
        range.begin = e.startClose + 1;
        range.end = e.endOpen > e.startClose ? e.endOpen : range.begin; // empty element
        if (range.end > text_.size())
            range.end = text_.size();
        return range;
    }

    // Past the markup at text[lt] ('<'); CDATA content is copied to out, which moves past it.
    size_t SkipMarkup(size_t lt, size_t end, char*& out) const {
        auto past = [&](const char* marker) {
            const size_t at = FindIn(text_, marker, lt, end);
            return at == std::string::npos ? end : at + std::strlen(marker);
        };
        if (text_.compare(lt, 9, "<![CDATA[") == 0) {
            const size_t close = FindIn(text_, "]]>", lt + 9, end);
            const size_t stop = close == std::string::npos ? end : close;
            std::memcpy(out, text_.data() + lt + 9, stop - (lt + 9));
            out += stop - (lt + 9);
            return stop == end ? end : stop + 3;
        }
        if (text_.compare(lt, 4, "<!--") == 0)
            return past("-->");
        if (text_.compare(lt, 2, "<?") == 0)
            return past("?>");
        return past(">");
    }

    // An element's local name and namespace URI, read once per element.
    const Name& NameOf(uint32_t r) {
        Name& name = names_[r < names_.size() ? r : 0];
        if (name.uri)
            return name;
        static const std::string kNoNamespace;
        name.uri = &kNoNamespace;
        size_t first = 0, length = 0;
        if (r == 0 || !xml_.NameRange(r, first, length))
            return name;
        const std::string_view qualified(text_.data() + first, length);
        const size_t colon = qualified.find(':');
        const std::string_view prefix =
            colon == std::string_view::npos ? std::string_view() : qualified.substr(0, colon);
        name.local = colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
        name.uri = &NamespaceOf(r, prefix);
        return name;
    }

    const std::string& NamespaceOf(uint32_t r, std::string_view prefix) {
        static const std::string kXml = "http://www.w3.org/XML/1998/namespace";
        static const std::string kNoUri;
        if (prefix == "xml")
            return kXml;
        for (int32_t s = ScopeOf(r); s != kNone; s = scopes_[static_cast<size_t>(s)].parent)
            for (const auto& declaration : scopes_[static_cast<size_t>(s)].declarations)
                if (declaration.first == prefix)
                    return declaration.second;
        return kNoUri;
    }

    // The innermost scope with declarations that the element sees (its own when it
    // declares any), computed once per element.
    int32_t ScopeOf(uint32_t r) {
        if (r == 0 || r >= scopeOf_.size())
            return kNone;
        if (scopeOf_[r] != kUnknown)
            return scopeOf_[r];
        const int32_t outer = ScopeOf(Parent(r));
        Scope scope;
        scope.parent = outer;
        ReadDeclarations(r, scope.declarations);
        if (scope.declarations.empty()) {
            scopeOf_[r] = outer;
        } else {
            scopes_.push_back(std::move(scope));
            scopeOf_[r] = static_cast<int32_t>(scopes_.size() - 1);
        }
        return scopeOf_[r];
    }

    // The xmlns and xmlns:prefix attributes of the element's start tag.
    void ReadDeclarations(uint32_t r, std::vector<std::pair<std::string, std::string>>& out) const {
        const size_t begin = records_[r].startOpen, end = records_[r].startClose;
        for (size_t at = FindIn(text_, "xmlns", begin, end); at != std::string::npos;
             at = FindIn(text_, "xmlns", at + 5, end)) {
            const char before = text_[at - 1];
            if (before != ' ' && before != '\t' && before != '\n' && before != '\r')
                continue;
            size_t p = at + 5;
            std::string prefix;
            if (text_[p] == ':') {
                size_t nameEnd = p + 1;
                while (nameEnd < end && std::strchr(" \t\r\n=", text_[nameEnd]) == nullptr)
                    ++nameEnd;
                if (nameEnd >= end)
                    continue;
                prefix = text_.substr(p + 1, nameEnd - p - 1);
                p = nameEnd;
            }
            std::string value;
            const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
            if (xml_.HasAttribute(r, attribute.c_str(), value))
                out.emplace_back(prefix, Trim(value));
        }
    }

    const CXmlDocument& xml_;
    const std::string& text_;
    const std::vector<CXmlDocument::ElementRecord>& records_;
    const std::string documentUrl_;
    std::vector<int32_t> scopeOf_;
    std::vector<int32_t> baseOf_;   // into bases_; kNone: the document's address
    std::deque<std::string> bases_; // a deque: callers keep references while it grows
    std::deque<Scope> scopes_;      // a deque: names keep pointers into it while it grows
    std::vector<Name> names_;
};

// The HTML of an Atom text construct (title, summary, content): text escaped, html as it
// reads, xhtml as the markup inside its div. Empty for content kept elsewhere (src) or of
// another media type.
bool AtomText(FeedTree& tree, uint32_t r, std::string& html) {
    if (r == 0)
        return false;
    const std::string type = Trim(tree.Attribute(r, "type"));
    if (!tree.Attribute(r, "src").empty())
        return false;
    if (type == "html" || type == "text/html") {
        html = tree.Text(r);
    } else if (type == "xhtml" || type == "application/xhtml+xml") {
        const uint32_t div = tree.Child(r, kXhtml, "div");
        html = div ? tree.Markup(div) : tree.Markup(r);
    } else if (type.empty() || type == "text" || type.compare(0, 5, "text/") == 0) {
        html = FeedDocument::EscapeText(tree.Text(r));
    } else {
        return false;
    }
    return true;
}

// The item's Media RSS contents (media:content url type fileSize), after its enclosures.
void MediaContents(FeedTree& tree, uint32_t item, std::vector<Enclosure>& out) {
    for (uint32_t c = tree.FirstChild(item); c != 0; c = tree.Next(c))
        if (tree.Is(c, kMediaRss, "content"))
            out.push_back({Trim(tree.Attribute(c, "url")), Trim(tree.Attribute(c, "type")),
                           Trim(tree.Attribute(c, "fileSize"))});
}

// A date element's text as RFC 822 when it is an ISO 8601 date, else as it stands.
std::string DateText(FeedTree& tree, uint32_t r) {
    const std::string text = Trim(tree.Text(r));
    const std::string rfc822 = Rfc822FromIso8601(text);
    return rfc822.empty() ? FeedDocument::EscapeText(text) : rfc822;
}

// ns: the Atom namespace, or "" for a feed that forgot it.
std::string AtomAuthor(FeedTree& tree, uint32_t owner, const char* ns) {
    const uint32_t author = tree.Child(owner, ns, "author");
    const uint32_t name = author ? tree.Child(author, ns, "name") : 0;
    return name ? FeedDocument::EscapeText(Trim(tree.Text(name))) : std::string();
}

// The Atom entries of the feed under the item limit, and the feed's date.
void ReadAtom(FeedTree& tree, uint32_t feed, const char* ns, size_t maxItems,
              std::vector<uint32_t>& entries, std::string& buildDate) {
    if (const uint32_t updated = tree.Child(feed, ns, "updated"))
        buildDate = Trim(tree.Text(updated));
    for (uint32_t entry = tree.FirstChild(feed); entry != 0 && entries.size() < maxItems;
         entry = tree.Next(entry))
        if (tree.Is(entry, ns, "entry"))
            entries.push_back(entry);
}

// The entry's alternate link (a link without rel is one); an entry without any is known by
// its id, so that its marks stay with it.
std::string AtomLink(FeedTree& tree, uint32_t entry, const char* ns) {
    for (uint32_t c = tree.FirstChild(entry); c != 0; c = tree.Next(c)) {
        if (!tree.Is(c, ns, "link"))
            continue;
        const std::string rel = Trim(tree.Attribute(c, "rel"));
        if (rel.empty() || rel == "alternate")
            return WebAddress::Resolve(tree.BaseOf(c), Trim(tree.Attribute(c, "href")));
    }
    const uint32_t id = tree.Child(entry, ns, "id");
    return id ? Trim(tree.Text(id)) : std::string();
}

// The entry's fields but its link; feedAuthor stands in for a missing author.
void AtomTexts(FeedTree& tree, uint32_t entry, const char* ns, const std::string& feedAuthor,
               ItemFields& item) {
    item.title.clear();
    AtomText(tree, tree.Child(entry, ns, "title"), item.title);
    item.title = Trim(item.title);
    item.enclosures.clear();
    for (uint32_t c = tree.FirstChild(entry); c != 0; c = tree.Next(c))
        if (tree.Is(c, ns, "link") && Trim(tree.Attribute(c, "rel")) == "enclosure")
            item.enclosures.push_back(
                {WebAddress::Resolve(tree.BaseOf(c), Trim(tree.Attribute(c, "href"))),
                 Trim(tree.Attribute(c, "type")), Trim(tree.Attribute(c, "length"))});
    MediaContents(tree, entry, item.enclosures);
    item.description.clear();
    if (!AtomText(tree, tree.Child(entry, ns, "content"), item.description))
        AtomText(tree, tree.Child(entry, ns, "summary"), item.description);
    item.author = AtomAuthor(tree, entry, ns);
    if (item.author.empty())
        item.author = feedAuthor;
    uint32_t date = tree.Child(entry, ns, "published");
    if (date == 0)
        date = tree.Child(entry, ns, "updated");
    item.pubDate = date != 0 ? DateText(tree, date) : std::string();
}

// The link of an RSS 1.0 / 0.9x item whose elements are in namespace uri ("" for none).
std::string RssLink(FeedTree& tree, uint32_t r, const char* uri) {
    const uint32_t link = tree.Child(r, uri, "link");
    return link ? Trim(tree.Text(link)) : std::string();
}

std::string RssPubDate(FeedTree& tree, uint32_t r, const char* uri) {
    if (const uint32_t pubDate = tree.Child(r, uri, "pubDate"))
        return FeedDocument::EscapeText(Trim(tree.Text(pubDate)));
    if (const uint32_t date = tree.Child(r, kDublinCore, "date"))
        return DateText(tree, date);
    return std::string();
}

// The fields of an RSS 1.0 / 0.9x item but its link.
void RssTexts(FeedTree& tree, uint32_t r, const char* uri, ItemFields& item) {
    item.enclosures.clear();
    for (uint32_t c = tree.FirstChild(r); c != 0; c = tree.Next(c))
        if (tree.Is(c, uri, "enclosure"))
            item.enclosures.push_back({Trim(tree.Attribute(c, "url")),
                                       Trim(tree.Attribute(c, "type")),
                                       Trim(tree.Attribute(c, "length"))});
    MediaContents(tree, r, item.enclosures);
    const uint32_t title = tree.Child(r, uri, "title");
    item.title = title ? FeedDocument::EscapeText(Trim(tree.Text(title))) : std::string();
    const uint32_t description = tree.Child(r, uri, "description");
    item.description = description ? tree.Text(description) : std::string();
    uint32_t author = tree.Child(r, uri, "author");
    if (author == 0)
        author = tree.Child(r, kDublinCore, "creator");
    item.author = author ? FeedDocument::EscapeText(Trim(tree.Text(author))) : std::string();
    item.pubDate = RssPubDate(tree, r, uri);
}

// The text of element r resolved against its base; empty when r is 0 or has no text.
std::string AddressText(FeedTree& tree, uint32_t r) {
    const std::string text = r ? Trim(tree.Text(r)) : std::string();
    return text.empty() ? text : WebAddress::Resolve(tree.BaseOf(r), text);
}

// An Atom feed's icon (else its logo) and its alternate link (a link without rel is one).
void AtomAddresses(FeedTree& tree, uint32_t feed, const char* ns, std::string& site,
                   std::string& icon) {
    icon = AddressText(tree, tree.Child(feed, ns, "icon"));
    if (icon.empty())
        icon = AddressText(tree, tree.Child(feed, ns, "logo"));
    for (uint32_t c = tree.FirstChild(feed); c != 0; c = tree.Next(c)) {
        const std::string rel = tree.Is(c, ns, "link") ? Trim(tree.Attribute(c, "rel")) : "-";
        const std::string href = Trim(tree.Attribute(c, "href"));
        if ((rel.empty() || rel == "alternate") && !href.empty()) {
            site = WebAddress::Resolve(tree.BaseOf(c), href);
            return;
        }
    }
}

// An RSS 1.0 / 0.9x channel's link and its image's url: the image stands beside the channel
// (RSS 1.0, 0.90) or in it (0.91, 0.92).
void RssAddresses(FeedTree& tree, uint32_t top, uint32_t channel, const char* uri,
                  std::string& site, std::string& icon) {
    site = AddressText(tree, tree.Child(channel, uri, "link"));
    for (uint32_t owner : {top, channel}) {
        const uint32_t image = owner ? tree.Child(owner, uri, "image") : 0;
        icon = AddressText(tree, image ? tree.Child(image, uri, "url") : 0);
        if (!icon.empty())
            return;
    }
}

std::string RootName(const std::string& text) {
    // The first element's name, past the declaration, comments and a document type.
    const size_t at = CXmlDocument::RootStart(text);
    if (at == std::string::npos)
        return std::string();
    const size_t end = text.find_first_of(" \t\r\n/>", at + 1);
    return text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

} // namespace

std::string FeedDocument::EscapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out.push_back(c);
    }
    return out;
}

// The parsed document, kept for reading the items on request.
struct FeedDocument::Parsed {
    enum class Format { kAtom, kRss };

    CXmlDocument xml;
    std::optional<FeedTree> tree; // over xml, once parsed
    Format format = Format::kAtom;
    const char* ns = "";    // the namespace of the item's elements
    std::string feedAuthor; // Atom: the author of entries that name none
};

FeedDocument::FeedDocument() = default;
FeedDocument::~FeedDocument() = default;

FeedDocument::Status FeedDocument::Read(const std::string& original, const std::string& documentUrl,
                                        size_t maxItems) {
    parsed_.reset();
    entries_.clear();
    itemsRead_ = false;
    items_.clear();
    buildDate_.clear();
    site_.clear();
    icon_.clear();
    std::string text = original;
    if (!CXmlDocument::ToUtf8(text))
        return Status::kNotAFeed;
    const std::string root = RootName(text);
    const size_t colon = root.find(':');
    const std::string local = colon == std::string::npos ? root : root.substr(colon + 1);
    if (local != "feed" && local != "RDF" && local != "rss")
        return Status::kNotAFeed;
    auto parsed = std::make_unique<Parsed>();
    CXmlDocument& xml = parsed->xml;
    if (!xml.SetText(std::move(text))) {
        if (xml.TooDeep())
            LogPrintf(L"The xml document is nested deeper than %d levels", CXmlDocument::kMaxDepth);
        return Status::kIncomplete;
    }
    FeedTree& tree = parsed->tree.emplace(xml, documentUrl);
    const uint32_t top = tree.Root();
    if (tree.Is(top, kAtom, "feed") ||
        (tree.Is(top, "", "feed") && (tree.Child(top, "", "entry") || tree.Child(top, "", "id") ||
                                      tree.Child(top, "", "title")))) {
        // Without the Atom namespace, a feed that has Atom's children is read as Atom.
        parsed->ns = tree.Is(top, kAtom, "feed") ? kAtom : "";
        ReadAtom(tree, top, parsed->ns, maxItems, entries_, buildDate_);
        parsed->feedAuthor = AtomAuthor(tree, top, parsed->ns);
        AtomAddresses(tree, top, parsed->ns, site_, icon_);
    } else if (tree.Is(top, kRdf, "RDF")) {
        // RSS 1.0, or RSS 0.90 with its own namespace; items stand beside the channel.
        const char* uri = tree.Child(top, kRss1, "channel")     ? kRss1
                          : tree.Child(top, kRss090, "channel") ? kRss090
                                                                : nullptr;
        if (!uri)
            return Status::kNotAFeed;
        parsed->format = Parsed::Format::kRss;
        parsed->ns = uri;
        const uint32_t channel = tree.Child(top, uri, "channel");
        if (const uint32_t date = tree.Child(channel, kDublinCore, "date"))
            buildDate_ = Trim(tree.Text(date));
        RssAddresses(tree, top, channel, uri, site_, icon_);
        for (uint32_t r = tree.FirstChild(top); r != 0 && entries_.size() < maxItems;
             r = tree.Next(r))
            if (tree.Is(r, uri, "item"))
                entries_.push_back(r);
    } else if (tree.Is(top, "", "rss")) {
        const std::string version = Trim(tree.Attribute(top, "version"));
        const uint32_t channel = tree.Child(top, "", "channel");
        if (version.compare(0, 3, "0.9") != 0 || channel == 0)
            return Status::kNotAFeed;
        parsed->format = Parsed::Format::kRss;
        uint32_t date = tree.Child(channel, "", "lastBuildDate");
        if (date == 0)
            date = tree.Child(channel, "", "pubDate");
        if (date != 0)
            buildDate_ = Trim(tree.Text(date));
        RssAddresses(tree, 0, channel, "", site_, icon_);
        // Past the item limit, items are looked at only while the build date is still
        // missing: the first item's date that is not empty stands in for it.
        for (uint32_t r = tree.FirstChild(channel);
             r != 0 && (entries_.size() < maxItems || buildDate_.empty()); r = tree.Next(r)) {
            if (!tree.Is(r, "", "item"))
                continue;
            if (buildDate_.empty())
                buildDate_ = RssPubDate(tree, r, "");
            if (entries_.size() < maxItems)
                entries_.push_back(r);
        }
    } else {
        return Status::kNotAFeed;
    }
    if (buildDate_.empty())
        buildDate_ = platform::FormatA("fnv1a64:%016llx",
                                       static_cast<unsigned long long>(Fnv1a64(original)));
    parsed_ = std::move(parsed);
    return Status::kRead;
}

std::string FeedDocument::ItemLink(size_t index) {
    FeedTree& tree = *parsed_->tree;
    if (parsed_->format == Parsed::Format::kRss)
        return RssLink(tree, entries_[index], parsed_->ns);
    return AtomLink(tree, entries_[index], parsed_->ns);
}

void FeedDocument::ReadItemTexts(size_t index, ItemFields& fields) {
    FeedTree& tree = *parsed_->tree;
    if (parsed_->format == Parsed::Format::kRss)
        RssTexts(tree, entries_[index], parsed_->ns, fields);
    else
        AtomTexts(tree, entries_[index], parsed_->ns, parsed_->feedAuthor, fields);
}

std::vector<ItemFields>& FeedDocument::Items() {
    if (!itemsRead_) {
        itemsRead_ = true;
        items_.resize(entries_.size());
        for (size_t i = 0; i < entries_.size(); ++i) {
            items_[i].link = ItemLink(i);
            ReadItemTexts(i, items_[i]);
        }
    }
    return items_;
}
