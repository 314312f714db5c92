#include "engine/HtmlSanitizer.h"

#include "engine/WebAddress.h"
#include "platform/CodePage.h"

#include <gumbo.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// Rewriting a rewritten text is expected to give the same text; when it still changes after
// this many rounds the text keeps its words and loses its markup.
const int kMaxRounds = 4;
// Parsing time grows with the square of the nesting depth; a text with more tags than this,
// or nested deeper than kMaxParseDepth (no feed item needs either), keeps its text and
// loses its markup instead.
const size_t kMaxTags = 10000;
const size_t kMaxParseDepth = 1024;
// Elements nested deeper than this are unwrapped: a browser stops nesting at some depth and
// then lets later end tags close the page's own elements.
const size_t kMaxDepth = 64;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsLower(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size())
        return false;
    for (size_t i = 0; i < lower.size(); ++i)
        if (Lower(text[i]) != lower[i])
            return false;
    return true;
}

// ---------------------------------------------------------------------------------------
// The page's own markers, and the classes of bytes the fast path reads by.

struct Marker {
    std::string_view text;
    std::string_view broken;
};

// Each marker gets a character that keeps its meaning in markup (a blank inside a tag, a
// character reference in place of a quote) and that no marker contains.
constexpr Marker kMarkers[] = {
    {"</font>", "</font >"},         {"</SPAN>", "</SPAN >"},
    {"<SPAN class", "<SPAN  class"}, {"<SPAN title", "<SPAN  title"},
    {"<DIV class", "<DIV  class"},   {"<IMG class", "<IMG  class"},
    {"<font class", "<font  class"}, {"footer name=\"", "footer name=&quot;"},
    {"<script>", "<script >"}};
// The one marker without '<'.
constexpr std::string_view kFooterMarker = "footer name=\"";

// The classes of bytes the fast path reads by, one table look-up each.
enum CharClass : unsigned char {
    kLetter = 1,        // ASCII letters
    kDigit = 2,         // ASCII digits
    kNotInValue = 4,    // what a plain quoted value does not hold: < > " '
    kLineBreak = 8,     // what WebAddress::Clean takes out of an address: tab, CR, LF
    kEndsUnquoted = 16, // what ends an unquoted value: blanks, controls and " ' = < > `
    kMarkerSecond = 32, // the second byte of a marker that starts with '<'
    kMarkerThird = 64,  // the third byte of such a marker
};

struct CharClasses {
    unsigned char of[256];
};

constexpr CharClasses MakeCharClasses() {
    CharClasses classes{};
    for (int c = 'a'; c <= 'z'; ++c)
        classes.of[c] |= kLetter;
    for (int c = 'A'; c <= 'Z'; ++c)
        classes.of[c] |= kLetter;
    for (int c = '0'; c <= '9'; ++c)
        classes.of[c] |= kDigit;
    for (unsigned char c : {'<', '>', '"', '\''})
        classes.of[c] |= kNotInValue;
    for (unsigned char c : {'\t', '\n', '\r'})
        classes.of[c] |= kLineBreak;
    for (int c = 0; c <= 0x20; ++c)
        classes.of[c] |= kEndsUnquoted;
    for (unsigned char c : {'"', '\'', '=', '<', '>', '`'})
        classes.of[c] |= kEndsUnquoted;
    for (const Marker& marker : kMarkers) {
        if (marker.text[0] != '<')
            continue;
        classes.of[static_cast<unsigned char>(marker.text[1])] |= kMarkerSecond;
        classes.of[static_cast<unsigned char>(marker.text[2])] |= kMarkerThird;
    }
    return classes;
}

constexpr CharClasses kCharClasses = MakeCharClasses();

bool IsOf(char c, unsigned char classes) {
    return (kCharClasses.of[static_cast<unsigned char>(c)] & classes) != 0;
}

// ---------------------------------------------------------------------------------------
// The list of what stays.

enum class Value {
    kText,   // any text
    kNumber, // digits, optionally a percentage
    kWord,   // a letter, then letters, digits and '-'
    kLink,   // http, https or mailto address
    kImage,  // http or https address, or an inline data:image
};

struct AttributeRule {
    std::string_view name; // lower case
    Value value;
};

enum class Kind { kDrop, kUnwrap, kInline, kBlock, kListItem, kDefinition, kTable };

struct ElementRule {
    Kind kind;
    bool isVoid;
    const AttributeRule* attributes = nullptr; // besides title, lang and dir
    size_t attributeCount = 0;

    template <size_t N>
    constexpr ElementRule(Kind k, bool v, const AttributeRule (&list)[N])
        : kind(k), isVoid(v), attributes(list), attributeCount(N) {}
    constexpr ElementRule(Kind k, bool v) : kind(k), isVoid(v) {}
};

constexpr AttributeRule kGlobal[] = {
    {"title", Value::kText}, {"lang", Value::kWord}, {"dir", Value::kWord}};

// The tables are constant-initialised: looking a rule up takes no guard or lock.
const ElementRule& RuleOf(GumboTag tag) {
    static constexpr AttributeRule kAlignedAttributes[] = {{"align", Value::kWord}};
    static constexpr AttributeRule kLinkAttributes[] = {{"href", Value::kLink}};
    static constexpr AttributeRule kRuleAttributes[] = {
        {"width", Value::kNumber}, {"size", Value::kNumber}, {"align", Value::kWord}};
    static constexpr AttributeRule kImageAttributes[] = {
        {"src", Value::kImage},     {"alt", Value::kText},      {"width", Value::kNumber},
        {"height", Value::kNumber}, {"border", Value::kNumber}, {"hspace", Value::kNumber},
        {"vspace", Value::kNumber}, {"align", Value::kWord}};
    static constexpr AttributeRule kOrderedAttributes[] = {{"start", Value::kNumber},
                                                           {"type", Value::kWord}};
    static constexpr AttributeRule kItemAttributes[] = {{"value", Value::kNumber}};
    static constexpr AttributeRule kTableAttributes[] = {
        {"border", Value::kNumber},      {"cellpadding", Value::kNumber},
        {"cellspacing", Value::kNumber}, {"width", Value::kNumber},
        {"align", Value::kWord},         {"summary", Value::kText}};
    static constexpr AttributeRule kRowAttributes[] = {{"align", Value::kWord},
                                                       {"valign", Value::kWord}};
    static constexpr AttributeRule kCellAttributes[] = {
        {"colspan", Value::kNumber}, {"rowspan", Value::kNumber}, {"width", Value::kNumber},
        {"height", Value::kNumber},  {"align", Value::kWord},     {"valign", Value::kWord},
        {"abbr", Value::kText}};
    static constexpr AttributeRule kColumnAttributes[] = {
        {"span", Value::kNumber}, {"width", Value::kNumber}, {"align", Value::kWord}};
    static constexpr ElementRule kDrop{Kind::kDrop, false};
    static constexpr ElementRule kUnwrap{Kind::kUnwrap, false};
    static constexpr ElementRule kInline{Kind::kInline, false};
    static constexpr ElementRule kBlock{Kind::kBlock, false};
    static constexpr ElementRule kAligned{Kind::kBlock, false, kAlignedAttributes};
    static constexpr ElementRule kLink{Kind::kInline, false, kLinkAttributes};
    static constexpr ElementRule kBreak{Kind::kInline, true};
    static constexpr ElementRule kRule{Kind::kBlock, true, kRuleAttributes};
    static constexpr ElementRule kImage{Kind::kInline, true, kImageAttributes};
    static constexpr ElementRule kOrdered{Kind::kBlock, false, kOrderedAttributes};
    static constexpr ElementRule kItem{Kind::kListItem, false, kItemAttributes};
    static constexpr ElementRule kDefinition{Kind::kDefinition, false};
    static constexpr ElementRule kTable{Kind::kTable, false, kTableAttributes};
    static constexpr ElementRule kRow{Kind::kTable, false, kRowAttributes};
    static constexpr ElementRule kCell{Kind::kTable, false, kCellAttributes};
    static constexpr ElementRule kColumn{Kind::kTable, true, kColumnAttributes};
    static constexpr ElementRule kColumns{Kind::kTable, false, kColumnAttributes};
    switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_APPLET:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_DATALIST:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_OPTGROUP:
    case GUMBO_TAG_META:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_MAP:
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_HEAD:
        return kDrop;
    case GUMBO_TAG_A:
        return kLink;
    case GUMBO_TAG_ABBR:
    case GUMBO_TAG_ACRONYM:
    case GUMBO_TAG_B:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_CITE:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_DEL:
    case GUMBO_TAG_DFN:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_I:
    case GUMBO_TAG_INS:
    case GUMBO_TAG_KBD:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_Q:
    case GUMBO_TAG_S:
    case GUMBO_TAG_SAMP:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_TT:
    case GUMBO_TAG_U:
    case GUMBO_TAG_VAR:
        return kInline;
    case GUMBO_TAG_BR:
        return kBreak;
    case GUMBO_TAG_IMG:
        return kImage;
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_UL:
        return kBlock;
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_P:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
        return kAligned;
    case GUMBO_TAG_HR:
        return kRule;
    case GUMBO_TAG_OL:
        return kOrdered;
    case GUMBO_TAG_LI:
        return kItem;
    case GUMBO_TAG_DD:
    case GUMBO_TAG_DT:
        return kDefinition;
    case GUMBO_TAG_TABLE:
        return kTable;
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_TR:
        return kRow;
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        return kCell;
    case GUMBO_TAG_COL:
        return kColumn;
    case GUMBO_TAG_COLGROUP:
        return kColumns;
    default:
        return kUnwrap;
    }
}

// The rule of a kept attribute of the element, or null.
const AttributeRule* AttributeOf(const ElementRule& element, std::string_view name) {
    for (const AttributeRule& rule : kGlobal)
        if (EqualsLower(name, rule.name))
            return &rule;
    for (size_t i = 0; i < element.attributeCount; ++i)
        if (EqualsLower(name, element.attributes[i].name))
            return &element.attributes[i];
    return nullptr;
}

bool IsInlineImage(const std::string& value) {
    std::string head;
    for (char c : value.substr(0, 20))
        head.push_back(Lower(c));
    for (const char* type :
         {"data:image/png", "data:image/gif", "data:image/jpeg", "data:image/webp"}) {
        const size_t n = std::strlen(type);
        if (head.compare(0, n, type) == 0 && head.size() > n && (head[n] == ';' || head[n] == ','))
            return true;
    }
    return false;
}

// Digits, at most six, optionally followed by '%'.
bool IsNumber(std::string_view value) {
    size_t digits = 0;
    while (digits < value.size() && std::isdigit(static_cast<unsigned char>(value[digits])))
        ++digits;
    return digits > 0 && digits <= 6 &&
           (digits == value.size() || (digits + 1 == value.size() && value.back() == '%'));
}

// A letter, then letters, digits and '-': at most 32 in all.
bool IsWord(std::string_view value) {
    if (value.empty() || value.size() > 32 || !std::isalpha(static_cast<unsigned char>(value[0])))
        return false;
    for (char c : value)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
            return false;
    return true;
}

// Whether the attribute stays, and in `kept` the value it is written with (as the browser
// is to read it). `value` is the attribute's decoded value.
bool Keep(const AttributeRule& rule, const std::string& value,
          const HtmlSanitizer::Context& context, std::string& kept) {
    switch (rule.value) {
    case Value::kText:
        kept = value;
        return true;
    case Value::kNumber:
        kept = value;
        return IsNumber(value);
    case Value::kWord:
        if (!IsWord(value))
            return false;
        kept = value;
        return true;
    case Value::kLink:
        kept = WebAddress::ForPage(context.base, value, true);
        return !kept.empty();
    case Value::kImage:
        kept = WebAddress::Clean(value);
        if (!IsInlineImage(kept))
            kept = WebAddress::ForPage(context.base, value, false);
        return !kept.empty();
    }
    return false;
}

// An attribute value as a plain text holds it, with what its reading found in it.
struct PlainValue {
    std::string_view text;
    bool hasLineBreak = false; // a tab, CR or LF
};

// An address that starts with "http://" or "https://" and holds nothing that Clean strips:
// WebAddress::ForPage gives it back as it stands, for a link and for an image alike.
bool IsWholeWebAddress(const PlainValue& value) {
    const std::string_view text = value.text;
    const bool web = (text.size() >= 7 && text.substr(0, 7) == "http://") ||
                     (text.size() >= 8 && text.substr(0, 8) == "https://");
    return web && static_cast<unsigned char>(text.back()) > 0x20 && !value.hasLineBreak;
}

// Whether Keep keeps the value and writes it just as it stands.
bool KeptAsItStands(const AttributeRule& rule, const PlainValue& value,
                    const HtmlSanitizer::Context& context) {
    switch (rule.value) {
    case Value::kText:
        return true;
    case Value::kNumber:
        return IsNumber(value.text);
    case Value::kWord:
        return IsWord(value.text);
    case Value::kLink:
    case Value::kImage:
        if (IsWholeWebAddress(value))
            return true;
        break;
    }
    std::string kept;
    return Keep(rule, std::string(value.text), context, kept) && kept == value.text;
}

void AppendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\0':
            break;
        default:
            out.push_back(c);
        }
    }
}

// A value that, followed by its closing quote, would hold the author's marker.
bool EndsWithFooterName(std::string_view value) {
    static const std::string_view kTail = "footer name=";
    return value.size() >= kTail.size() && value.substr(value.size() - kTail.size()) == kTail;
}

// ---------------------------------------------------------------------------------------
// The tree path: parse, then write the tree out.

class TreeWriter {
public:
    explicit TreeWriter(const HtmlSanitizer::Context& context) : context_(context) {}

    std::string Write(const GumboNode* root) {
        out_.clear();
        depth_ = 0;
        struct Frame {
            const GumboVector* children;
            unsigned next;
            const char* endTag; // written when the children are done; null when unwrapped
        };
        std::vector<Frame> stack;
        stack.push_back({&root->v.element.children, 0, nullptr});
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next >= frame.children->length) {
                if (frame.endTag) {
                    out_ += "</";
                    out_ += frame.endTag;
                    out_ += '>';
                    --depth_;
                }
                stack.pop_back();
                continue;
            }
            const auto* node = static_cast<const GumboNode*>(frame.children->data[frame.next++]);
            switch (node->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA:
                AppendEscaped(out_, node->v.text.text);
                break;
            case GUMBO_NODE_ELEMENT: {
                const GumboElement& e = node->v.element;
                if (e.tag_namespace != GUMBO_NAMESPACE_HTML)
                    break; // inside svg or math: the whole foreign subtree goes
                const ElementRule& rule = RuleOf(e.tag);
                if (rule.kind == Kind::kDrop)
                    break;
                if (rule.kind == Kind::kUnwrap || (context_.inlineText && e.tag == GUMBO_TAG_A) ||
                    depth_ >= kMaxDepth) {
                    stack.push_back({&e.children, 0, nullptr});
                    break;
                }
                const char* name = gumbo_normalized_tagname(e.tag);
                StartTag(name, e, rule);
                if (rule.isVoid)
                    break;
                // A line feed right after <pre> is dropped by the parser: keep one that is text.
                if (e.tag == GUMBO_TAG_PRE && e.children.length > 0) {
                    const auto* first = static_cast<const GumboNode*>(e.children.data[0]);
                    if ((first->type == GUMBO_NODE_TEXT || first->type == GUMBO_NODE_WHITESPACE) &&
                        first->v.text.text[0] == '\n')
                        out_ += '\n';
                }
                stack.push_back({&e.children, 0, name});
                ++depth_;
                break;
            }
            default:
                break; // comments, templates, documents
            }
        }
        return std::move(out_);
    }

private:
    void StartTag(const char* name, const GumboElement& e, const ElementRule& rule) {
        out_ += '<';
        out_ += name;
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            if (a->attr_namespace != GUMBO_ATTR_NAMESPACE_NONE)
                continue;
            const AttributeRule* kept = AttributeOf(rule, a->name);
            if (!kept)
                continue;
            if (!Keep(*kept, a->value, context_, value_))
                continue;
            out_ += ' ';
            out_ += kept->name;
            out_ += "=\"";
            if (EndsWithFooterName(value_)) {
                // With the closing quote it would read as the author's marker.
                AppendEscaped(out_, std::string_view(value_).substr(0, value_.size() - 1));
                out_ += "&#61;";
            } else {
                AppendEscaped(out_, value_);
            }
            out_ += '"';
        }
        out_ += '>';
    }

    const HtmlSanitizer::Context& context_;
    std::string out_;
    std::string value_;
    size_t depth_ = 0; // elements written and open
};

// Parsing a fragment, gumbo 0.10 leaves the document node's quirks mode unset, then reads it
// at a <table> start tag to decide whether an open <p> is closed. Nodes are handed out zeroed,
// so it always reads "no quirks" rather than whatever an earlier allocation left there.
void* AllocateNodesZeroed(void*, size_t size) {
    return size == sizeof(GumboNode) ? std::calloc(1, size) : std::malloc(size);
}

// Options for parsing a text where the page puts it: inside a division of the body.
GumboOptions FragmentOptions() {
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = AllocateNodesZeroed;
    options.fragment_context = GUMBO_TAG_DIV;
    return options;
}

std::string WriteFromTree(const std::string& text, const HtmlSanitizer::Context& context) {
    // Errors are not recorded: the parser copies its whole stack into each one, which takes
    // memory with the square of the nesting depth.
    GumboOptions options = FragmentOptions();
    options.max_errors = 0;
    GumboOutput* output = gumbo_parse_with_options(&options, text.data(), text.size());
    if (!output)
        return std::string();
    std::string out = TreeWriter(context).Write(output->root);
    gumbo_destroy_output(&options, output);
    return out;
}

// Whether one of the markers that start with '<' starts at `lt` (a '<').
bool MarkerAt(std::string_view text, size_t lt) {
    // Most tags differ from every marker in their second or third byte.
    if (text.size() - lt < 3 || !IsOf(text[lt + 1], kMarkerSecond) ||
        !IsOf(text[lt + 2], kMarkerThird))
        return false;
    for (const Marker& marker : kMarkers)
        if (marker.text[0] == '<' && text.compare(lt, marker.text.size(), marker.text) == 0)
            return true;
    return false;
}

// ---------------------------------------------------------------------------------------
// The fast path: markup that the tree path would keep as it stands.

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Names are read as ASCII: a name that goes on with another byte is not plain in any case
// (the byte is neither a blank, '>' nor an attribute), so the locale need not be asked.
bool IsAsciiAlnum(char c) {
    return IsOf(c, kLetter | kDigit);
}

// The tags of names of one and two ASCII letters or digits, as the parser knows them.
struct ShortTags {
    static size_t IndexOf(char c) {
        return c >= 'a' ? c - 'a' : c >= 'A' ? c - 'A' : 26 + (c - '0');
    }
    static size_t IndexOf(std::string_view name) {
        return name.size() == 1 ? IndexOf(name[0]) : 36 + IndexOf(name[0]) * 36 + IndexOf(name[1]);
    }
    ShortTags() {
        const std::string_view symbols = "abcdefghijklmnopqrstuvwxyz0123456789";
        for (char first : symbols) {
            tags[IndexOf(first)] = gumbo_tagn_enum(&first, 1);
            for (char second : symbols) {
                const char name[2] = {first, second};
                tags[IndexOf(std::string_view(name, 2))] = gumbo_tagn_enum(name, 2);
            }
        }
    }
    GumboTag tags[36 + 36 * 36];
};

// The tag of an element name read by IsAsciiAlnum.
GumboTag TagOf(std::string_view name) {
    if (name.empty() || name.size() > 12)
        return GUMBO_TAG_UNKNOWN;
    // The most frequent tags (p, a, b, i, br, em, li, ...) are looked up in a table.
    if (name.size() <= 2) {
        static const ShortTags kShortTags;
        return kShortTags.tags[ShortTags::IndexOf(name)];
    }
    char lower[16];
    for (size_t i = 0; i < name.size(); ++i)
        lower[i] = Lower(name[i]);
    return gumbo_tagn_enum(lower, static_cast<unsigned>(name.size()));
}

// The elements open at a point of a plain text, innermost last.
struct OpenElements {
    GumboTag tags[kMaxDepth];
    size_t size = 0;
};

// Whether `child` may stand in the innermost open element (unknown at the top) without the
// parser moving or closing anything: the description sits in the page's own paragraph and
// a title in its link, so a block never stands in a paragraph or a phrase.
bool MayNest(GumboTag child, const ElementRule& childRule, const OpenElements& open,
             bool inlineText) {
    if (childRule.kind == Kind::kTable || childRule.kind == Kind::kUnwrap ||
        childRule.kind == Kind::kDrop)
        return false;
    if (child == GUMBO_TAG_A && inlineText)
        return false;
    const GumboTag parent = open.size == 0 ? GUMBO_TAG_UNKNOWN : open.tags[open.size - 1];
    if (childRule.kind == Kind::kListItem)
        return parent == GUMBO_TAG_UL || parent == GUMBO_TAG_OL;
    if (childRule.kind == Kind::kDefinition)
        return parent == GUMBO_TAG_DL;
    for (size_t i = 0; i < open.size; ++i) {
        const GumboTag ancestor = open.tags[i];
        if (child == GUMBO_TAG_A && ancestor == GUMBO_TAG_A)
            return false;
        if (childRule.kind == Kind::kInline)
            continue;
        // A block: only in blocks that hold blocks.
        const Kind kind = RuleOf(ancestor).kind;
        if (kind == Kind::kInline || ancestor == GUMBO_TAG_P ||
            (ancestor >= GUMBO_TAG_H1 && ancestor <= GUMBO_TAG_H6) || ancestor == GUMBO_TAG_PRE)
            return false;
    }
    return true;
}

// Reads one attribute value at pos (after '='); false when it is not plain.
bool ReadValue(std::string_view text, size_t& pos, PlainValue& value) {
    const size_t n = text.size();
    if (pos < n && (text[pos] == '"' || text[pos] == '\'')) {
        const size_t close = text.find(text[pos], pos + 1);
        if (close == std::string_view::npos)
            return false;
        value.text = text.substr(pos + 1, close - pos - 1);
        for (char c : value.text) {
            if (!IsOf(c, kNotInValue | kLineBreak))
                continue;
            if (IsOf(c, kNotInValue))
                return false;
            value.hasLineBreak = true;
        }
        pos = close + 1;
        return pos < n && (IsBlank(text[pos]) || text[pos] == '>' || text[pos] == '/');
    }
    // Unquoted: blanks end it, so it holds no line break.
    const size_t start = pos;
    while (pos < n && !IsOf(text[pos], kEndsUnquoted))
        ++pos;
    value.text = text.substr(start, pos - start);
    return !value.text.empty() && pos < n && (IsBlank(text[pos]) || text[pos] == '>');
}

// Reads the attributes of a start tag of `rule`'s element from pos up to its '>' (pos is
// left on it); false when one is not kept as it stands or the tag is not plain.
bool ReadAttributes(std::string_view text, size_t& pos, const ElementRule& rule,
                    const HtmlSanitizer::Context& context, bool& selfClosing) {
    const size_t n = text.size();
    for (;;) {
        while (pos < n && IsBlank(text[pos]))
            ++pos;
        if (pos >= n)
            return false;
        if (text[pos] == '>')
            return true;
        if (text[pos] == '/') {
            if (pos + 1 < n && text[pos + 1] == '>' && rule.isVoid) {
                ++pos;
                selfClosing = true;
                return true;
            }
            return false;
        }
        const size_t start = pos;
        while (pos < n && (IsOf(text[pos], kLetter) || text[pos] == '-'))
            ++pos;
        const AttributeRule* attributeRule = AttributeOf(rule, text.substr(start, pos - start));
        if (!attributeRule || pos >= n || text[pos] != '=')
            return false;
        ++pos;
        PlainValue value;
        if (!ReadValue(text, pos, value) || !KeptAsItStands(*attributeRule, value, context) ||
            EndsWithFooterName(value.text))
            return false;
    }
}

// Whether the text is plain markup. On the way every '<' of a plain text is read as the
// start of a tag, so `marked` also tells whether a marker that starts with '<' stands in it.
bool IsPlainMarkup(std::string_view text, const HtmlSanitizer::Context& context, bool& marked) {
    if (text.find('\0') != std::string_view::npos)
        return false;
    const size_t n = text.size();
    OpenElements open;
    for (size_t pos = text.find('<'); pos != std::string_view::npos; pos = text.find('<', pos)) {
        marked = marked || MarkerAt(text, pos);
        ++pos;
        const bool endTag = pos < n && text[pos] == '/';
        if (endTag)
            ++pos;
        const size_t start = pos;
        while (pos < n && IsAsciiAlnum(text[pos]))
            ++pos;
        const GumboTag tag = TagOf(text.substr(start, pos - start));
        if (tag == GUMBO_TAG_UNKNOWN)
            return false;
        const ElementRule& rule = RuleOf(tag);
        if (endTag) {
            while (pos < n && IsBlank(text[pos]))
                ++pos;
            if (pos >= n || text[pos] != '>' || open.size == 0 || open.tags[open.size - 1] != tag)
                return false;
            --open.size;
            continue;
        }
        if (!MayNest(tag, rule, open, context.inlineText) || open.size >= kMaxDepth)
            return false;
        bool selfClosing = false;
        if (!ReadAttributes(text, pos, rule, context, selfClosing))
            return false;
        ++pos;
        if (!rule.isVoid && !selfClosing)
            open.tags[open.size++] = tag;
    }
    return open.size == 0;
}

// Whether the text is too much for the parser: more start tags ('<' and a letter) than
// kMaxTags, or start tags left open deeper than kMaxParseDepth (counted from the text alone:
// start tags minus end tags, void elements aside).
bool TooMuchMarkup(const std::string& text) {
    size_t tags = 0, depth = 0;
    const size_t n = text.size();
    for (size_t pos = text.find('<'); pos != std::string::npos; pos = text.find('<', pos + 1)) {
        if (pos + 1 < n && text[pos + 1] == '/') {
            depth -= depth > 0 ? 1 : 0;
            continue;
        }
        if (pos + 1 >= n || !std::isalpha(static_cast<unsigned char>(text[pos + 1])))
            continue;
        size_t end = pos + 1;
        while (end < n && std::isalnum(static_cast<unsigned char>(text[end])))
            ++end;
        if (++tags > kMaxTags)
            return true;
        if (!RuleOf(TagOf(std::string_view(text).substr(pos + 1, end - pos - 1))).isVoid &&
            ++depth > kMaxParseDepth)
            return true;
    }
    return false;
}

std::string EscapeAllMarkup(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '<')
            out += "&lt;";
        else if (c != '\0')
            out.push_back(c);
    }
    return out;
}

// The tree path on UTF-8 text, repeated until the text no longer changes.
std::string Rewrite(const std::string& text, const HtmlSanitizer::Context& context) {
    if (TooMuchMarkup(text))
        return HtmlSanitizer::BreakMarkers(EscapeAllMarkup(text));
    std::string current = WriteFromTree(text, context);
    for (int round = 0; round < kMaxRounds; ++round) {
        bool marked = false;
        if (current.find('<') == std::string::npos || IsPlainMarkup(current, context, marked))
            return current;
        std::string next = WriteFromTree(current, context);
        if (next == current)
            return current;
        current.swap(next);
    }
    return HtmlSanitizer::BreakMarkers(EscapeAllMarkup(current));
}

} // namespace

std::string HtmlSanitizer::BreakMarkers(const std::string& text) {
    // Most texts hold none: one pass over their '<' tells, without copying them.
    bool found = text.find(kFooterMarker) != std::string::npos;
    for (size_t lt = text.find('<'); !found && lt != std::string::npos; lt = text.find('<', lt + 1))
        found = MarkerAt(text, lt);
    if (!found)
        return text;
    std::string out = text;
    for (const Marker& marker : kMarkers) {
        size_t pos = out.find(marker.text);
        if (pos == std::string::npos)
            continue;
        std::string next;
        next.reserve(out.size() + 16);
        size_t last = 0;
        for (; pos != std::string::npos; pos = out.find(marker.text, last)) {
            next.append(out, last, pos - last);
            next += marker.broken;
            last = pos + marker.text.size();
        }
        next.append(out, last, std::string::npos);
        out.swap(next);
    }
    return out;
}

std::string HtmlSanitizer::Sanitize(const std::string& text, const Context& context) {
    // Without '<' there is no tag and no attribute; only the one marker without '<' can occur.
    if (text.find('<') == std::string::npos)
        return text.find(kFooterMarker) == std::string::npos ? text : BreakMarkers(text);
    // A plain text has been searched for the markers with '<' on the way (BreakMarkers'
    // own search, done once).
    bool marked = false;
    if (IsPlainMarkup(text, context, marked))
        return marked || text.find(kFooterMarker) != std::string::npos ? BreakMarkers(text) : text;
    if (!context.native)
        return Rewrite(text, context);
    // The parser reads UTF-8: a native text is rewritten in UTF-8 and converted back.
    return platform::Utf8ToNative(Rewrite(platform::NativeToUtf8(text), context));
}

std::string HtmlSanitizer::AttributeValue(const std::string& text) {
    std::string source = "<a title=\"";
    for (char c : text) {
        if (c == '"')
            source += "&quot;";
        else
            source.push_back(c);
    }
    source += "\">";
    const GumboOptions options = FragmentOptions();
    GumboOutput* output = gumbo_parse_with_options(&options, source.data(), source.size());
    if (!output)
        return text;
    std::string value = text;
    const GumboNode* root = output->root;
    if (root->type == GUMBO_NODE_ELEMENT && root->v.element.children.length > 0) {
        const auto* a = static_cast<const GumboNode*>(root->v.element.children.data[0]);
        if (a->type == GUMBO_NODE_ELEMENT) {
            const GumboAttribute* title = gumbo_get_attribute(&a->v.element.attributes, "title");
            if (title)
                value = title->value;
        }
    }
    gumbo_destroy_output(&options, output);
    return value;
}

std::string HtmlSanitizer::Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    AppendEscaped(out, text);
    return out;
}
