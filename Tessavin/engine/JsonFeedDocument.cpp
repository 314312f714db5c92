#include "engine/JsonFeedDocument.h"

#include "config/DateTime.h"
#include "config/LogFile.h"
#include "engine/WebAddress.h"
#include "platform/CodePage.h"
#include "platform/Format.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <utility>

namespace {

using Json = nlohmann::json;

const char kVersionPrefix[] = "https://jsonfeed.org/version/1"; // 1 and 1.1

// What a value is read as, by where it stands; kSkip values are not kept.
enum class Shape {
    kSkip,
    kScalar,
    kFeed,
    kItems,
    kItem,
    kAuthors,
    kAuthor,
    kAttachments,
    kAttachment
};

struct Member {
    const char* key;
    Shape shape;
};

// The members read of each object; every other member is passed over unread.
Shape MemberShape(Shape object, const std::string& key) {
    static const Member kFeed[] = {{"version", Shape::kScalar},       {"items", Shape::kItems},
                                   {"home_page_url", Shape::kScalar}, {"icon", Shape::kScalar},
                                   {"favicon", Shape::kScalar},       {"authors", Shape::kAuthors},
                                   {"author", Shape::kAuthor}};
    static const Member kItem[] = {{"id", Shape::kScalar},
                                   {"url", Shape::kScalar},
                                   {"external_url", Shape::kScalar},
                                   {"title", Shape::kScalar},
                                   {"content_html", Shape::kScalar},
                                   {"content_text", Shape::kScalar},
                                   {"summary", Shape::kScalar},
                                   {"date_published", Shape::kScalar},
                                   {"date_modified", Shape::kScalar},
                                   {"authors", Shape::kAuthors},
                                   {"author", Shape::kAuthor},
                                   {"attachments", Shape::kAttachments}};
    static const Member kAuthor[] = {{"name", Shape::kScalar}};
    static const Member kAttachment[] = {
        {"url", Shape::kScalar}, {"mime_type", Shape::kScalar}, {"size_in_bytes", Shape::kScalar}};
    auto find = [&key](const auto& members) {
        for (const Member& m : members)
            if (key == m.key)
                return m.shape;
        return Shape::kSkip;
    };
    switch (object) {
    case Shape::kFeed:
        return find(kFeed);
    case Shape::kItem:
        return find(kItem);
    case Shape::kAuthor:
        return find(kAuthor);
    case Shape::kAttachment:
        return find(kAttachment);
    default:
        return Shape::kSkip;
    }
}

Shape ElementShape(Shape array) {
    switch (array) {
    case Shape::kItems:
        return Shape::kItem;
    case Shape::kAuthors:
        return Shape::kAuthor;
    case Shape::kAttachments:
        return Shape::kAttachment;
    default:
        return Shape::kSkip;
    }
}

bool IsArrayShape(Shape s) {
    return s == Shape::kItems || s == Shape::kAuthors || s == Shape::kAttachments;
}
bool IsObjectShape(Shape s) {
    return s == Shape::kFeed || s == Shape::kItem || s == Shape::kAuthor || s == Shape::kAttachment;
}

// The document as a tree of only the members a feed is read from, each of the type it is
// read as (values of another type are left out), built from the parser's events: the
// parser's own tree builder with a callback searches its parent at each closed object,
// which is quadratic in the number of items. Nesting is refused past kMaxDepth.
class PrunedTree final : public nlohmann::json_sax<Json> {
public:
    // maxItems: how many items are kept; the others are passed over.
    explicit PrunedTree(size_t maxItems) : maxItems_(maxItems) {}

    bool null() override { return Scalar(nullptr); }
    bool boolean(bool value) override { return Scalar(value); }
    bool number_integer(number_integer_t value) override { return Scalar(value); }
    bool number_unsigned(number_unsigned_t value) override { return Scalar(value); }
    bool number_float(number_float_t value, const string_t&) override { return Scalar(value); }
    bool string(string_t& value) override { return Scalar(std::move(value)); }
    bool binary(binary_t&) override { return true; } // not in JSON text
    bool start_object(std::size_t) override { return Open(false); }
    bool start_array(std::size_t) override { return Open(true); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t& key) override {
        const Frame& top = open_.back();
        next_ = top.value ? MemberShape(top.shape, key) : Shape::kSkip;
        key_ = std::move(key);
        return true;
    }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception&) override {
        errorAt_ = position;
        return false;
    }

    const Json& Root() const { return root_; }
    bool TooDeep() const { return tooDeep_; }
    // The number of bytes read when the parse failed.
    size_t ErrorAt() const { return errorAt_; }

private:
    struct Frame {
        Json* value; // null: passed over
        Shape shape;
    };

    // Where the next value goes when it is of the kind its place reads, else null.
    Json* Place(bool container, bool array, Shape& shape) {
        if (open_.empty())
            shape = Shape::kFeed;
        else if (!open_.back().value)
            shape = Shape::kSkip;
        else
            shape = open_.back().value->is_array() ? ElementShape(open_.back().shape) : next_;
        const bool fits = container ? (array ? IsArrayShape(shape) : IsObjectShape(shape))
                                    : shape == Shape::kScalar;
        if (!fits)
            return nullptr;
        if (open_.empty())
            return &root_;
        Json& parent = *open_.back().value;
        if (open_.back().shape == Shape::kItems && parent.size() >= maxItems_)
            return nullptr;
        if (parent.is_array()) {
            parent.push_back(nullptr);
            return &parent.back();
        }
        return &parent[key_];
    }
    template <typename Value> bool Scalar(Value&& value) {
        Shape shape;
        if (Json* at = Place(false, false, shape))
            *at = Json(std::forward<Value>(value));
        return true;
    }
    bool Open(bool array) {
        if (open_.size() >= JsonFeedDocument::kMaxDepth) {
            tooDeep_ = true;
            return false;
        }
        Shape shape;
        Json* at = Place(true, array, shape);
        if (at)
            *at = array ? Json::array() : Json::object();
        open_.push_back({at, at ? shape : Shape::kSkip});
        return true;
    }
    bool Close() {
        open_.pop_back();
        return true;
    }

    const size_t maxItems_;
    Json root_;
    std::vector<Frame> open_;
    Shape next_ = Shape::kSkip; // the shape of the member whose key came last
    std::string key_;
    bool tooDeep_ = false;
    size_t errorAt_ = 0;
};

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// A member's text when it is a string, else empty.
std::string TextOf(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The name of the first author that has one (1.1 authors), else the 1.0 author's name.
std::string AuthorOf(const Json& owner) {
    const auto authors = owner.find("authors");
    if (authors != owner.end())
        for (const Json& author : *authors) {
            const std::string name = Trim(TextOf(author, "name"));
            if (!name.empty())
                return FeedDocument::EscapeText(name);
        }
    const auto author = owner.find("author");
    return author != owner.end() ? FeedDocument::EscapeText(Trim(TextOf(*author, "name")))
                                 : std::string();
}

// The item's address, resolved; without one its id (which a web address is already), so
// that its marks stay with it as an Atom entry's do.
std::string LinkOf(const Json& item, const std::string& documentUrl) {
    for (const char* key : {"url", "external_url"}) {
        const std::string address = Trim(TextOf(item, key));
        if (!address.empty())
            return WebAddress::Resolve(documentUrl, address);
    }
    return Trim(TextOf(item, "id"));
}

// content_html as markup, else content_text, else summary, as escaped text.
std::string DescriptionOf(const Json& item) {
    std::string html = TextOf(item, "content_html");
    if (!html.empty())
        return html;
    for (const char* key : {"content_text", "summary"}) {
        const std::string text = TextOf(item, key);
        if (!text.empty())
            return FeedDocument::EscapeText(text);
    }
    return std::string();
}

// date_published, else date_modified, as RFC 822 in GMT when it is an RFC 3339 date.
std::string DateOf(const Json& item) {
    std::string text = Trim(TextOf(item, "date_published"));
    if (text.empty())
        text = Trim(TextOf(item, "date_modified"));
    const std::string rfc822 = Rfc822FromIso8601(text);
    return rfc822.empty() ? FeedDocument::EscapeText(text) : rfc822;
}

void AttachmentsOf(const Json& item, const std::string& documentUrl, std::vector<Enclosure>& out) {
    const auto attachments = item.find("attachments");
    if (attachments == item.end())
        return;
    for (const Json& a : *attachments) {
        const std::string url = Trim(TextOf(a, "url"));
        if (url.empty())
            continue;
        const auto size = a.find("size_in_bytes");
        out.push_back(
            {WebAddress::Resolve(documentUrl, url), Trim(TextOf(a, "mime_type")),
             size != a.end() && size->is_number_integer() ? size->dump() : std::string()});
    }
}

// A feed's address member as a web address, relative ones resolved; empty for any other
// (and for none: an empty address would stand for the document itself). Blanks, control
// characters, quotes and angle brackets have no place in an address: one holding any is
// none, so that it can be written into a setting or an attribute as it stands.
std::string FeedAddress(const Json& feed, const char* key, const std::string& documentUrl) {
    const std::string address = WebAddress::Clean(TextOf(feed, key));
    if (address.empty())
        return address;
    const std::string resolved = WebAddress::ForPage(documentUrl, address, false);
    for (unsigned char c : resolved)
        if (c <= ' ' || c == 0x7F || c == '"' || c == '\'' || c == '<' || c == '>' || c == '`')
            return std::string();
    return resolved;
}

} // namespace

bool JsonFeedDocument::LooksLikeJson(const std::string& text) {
    const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const size_t at = text.find_first_not_of(" \t\r\n", start);
    return at != std::string::npos && text[at] == '{';
}

JsonFeedDocument::Status JsonFeedDocument::Read(const std::string& text,
                                                const std::string& documentUrl, size_t maxItems) {
    items_.clear();
    buildDate_.clear();
    homePage_.clear();
    icon_.clear();
    if (!LooksLikeJson(text))
        return Status::kNotAFeed;
    try {
        auto tree = std::make_unique<PrunedTree>(maxItems);
        if (!Json::sax_parse(text, tree.get())) {
            if (tree->TooDeep()) {
                LogPrintf(L"The JSON document is nested deeper than %d levels",
                          static_cast<int>(kMaxDepth));
                return Status::kNotAFeed;
            }
            // An error found only at the end of the text: the document was cut off.
            if (tree->ErrorAt() > text.size())
                return Status::kIncomplete;
            // Bytes that are not UTF-8 (a feed that mixes encodings) are read as U+FFFD, as
            // the XML readers read them, rather than losing the whole feed.
            const std::string repaired = platform::WideToUtf8(platform::Utf8ToWide(text));
            tree = std::make_unique<PrunedTree>(maxItems);
            if (repaired == text || !Json::sax_parse(repaired, tree.get()))
                return Status::kNotAFeed;
        }
        const Json& feed = tree->Root();
        if (!feed.is_object() || TextOf(feed, "version").rfind(kVersionPrefix, 0) != 0 ||
            feed.find("items") == feed.end())
            return Status::kNotAFeed; // (items is kept only when it is an array)
        homePage_ = FeedAddress(feed, "home_page_url", documentUrl);
        icon_ = FeedAddress(feed, "favicon", documentUrl);
        if (icon_.empty())
            icon_ = FeedAddress(feed, "icon", documentUrl);
        const std::string feedAuthor = AuthorOf(feed);
        const Json& items = *feed.find("items");
        items_.reserve(items.size());
        for (const Json& entry : items) {
            ItemFields item;
            item.link = LinkOf(entry, documentUrl);
            item.title = FeedDocument::EscapeText(Trim(TextOf(entry, "title")));
            item.description = DescriptionOf(entry);
            item.author = AuthorOf(entry);
            if (item.author.empty())
                item.author = feedAuthor;
            item.pubDate = DateOf(entry);
            AttachmentsOf(entry, documentUrl, item.enclosures);
            items_.push_back(std::move(item));
        }
    } catch (...) {
        // (Only running out of memory is expected here.)
        items_.clear();
        LogPrintf(L"The JSON document could not be read");
        return Status::kNotAFeed;
    }
    buildDate_ =
        platform::FormatA("fnv1a64:%016llx", static_cast<unsigned long long>(Fnv1a64(text)));
    return Status::kRead;
}
