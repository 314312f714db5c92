#include "PageAudit.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <string_view>

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool StartsWith(std::string_view text, std::string_view head) {
    return text.substr(0, head.size()) == head;
}

// Reads the decimal number at pos (with an optional '-'), moving pos past it.
bool Number(std::string_view text, size_t& pos, bool sign, uint32_t* value = nullptr) {
    if (sign && pos < text.size() && text[pos] == '-')
        ++pos;
    const size_t start = pos;
    uint64_t v = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])))
        v = v * 10 + static_cast<uint64_t>(text[pos++] - '0');
    if (value)
        *value = static_cast<uint32_t>(v);
    return pos > start && pos - start < 12;
}

bool Expect(std::string_view text, size_t& pos, std::string_view what) {
    if (text.substr(pos, what.size()) != what)
        return false;
    pos += what.size();
    return true;
}

std::string PercentDecoded(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() &&
            std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out.push_back(
                static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// An item call as the page writer writes it: go_read('025212A0',G,C,N,'literal'),
// go_flag(G,C,N) or go_delete(G,C,N), the literal ending where the call does.
bool IsItemCall(std::string_view href, uint32_t& item) {
    const std::string call = PercentDecoded(href);
    std::string_view s(call);
    size_t pos = 0;
    if (!Expect(s, pos, "javascript:"))
        return false;
    const bool read = Expect(s, pos, "go_read('025212A0',");
    if (!read && !Expect(s, pos, "go_flag(") && !Expect(s, pos, "go_delete("))
        return false;
    if (!Number(s, pos, true) || !Expect(s, pos, ",") || !Number(s, pos, true) ||
        !Expect(s, pos, ",") || !Number(s, pos, false, &item))
        return false;
    if (read) {
        if (!Expect(s, pos, ",'"))
            return false;
        for (; pos < s.size() && s[pos] != '\''; ++pos) {
            if (s[pos] == '\n' || s[pos] == '\r')
                return false;
            if (s[pos] == '\\')
                ++pos;
        }
        if (!Expect(s, pos, "'"))
            return false;
    }
    return Expect(s, pos, ")") && pos == s.size();
}

bool IsAllowedScript(std::string_view text) {
    size_t pos = 0;
    if (Expect(text, pos, "var totalNum=") && Number(text, pos, true) && Expect(text, pos, ";"))
        return pos == text.size();
    if (text == "document.write(init_pagination());")
        return true;
    pos = 0;
    return Expect(text, pos, "display_item(document.getElementById(\"") &&
           Number(text, pos, false) && Expect(text, pos, "_contentdiv\"));") && pos == text.size();
}

bool IsAllowedAddress(const GumboElement& e, std::string_view name, std::string_view value) {
    const std::string lower = Lower(value);
    if (StartsWith(lower, "http://") || StartsWith(lower, "https://"))
        return true;
    if (e.tag == GUMBO_TAG_A && name == "href") {
        uint32_t item = 0;
        return StartsWith(lower, "mailto:") || IsItemCall(value, item);
    }
    if (e.tag == GUMBO_TAG_IMG && name == "src") {
        for (const char* type :
             {"data:image/png", "data:image/gif", "data:image/jpeg", "data:image/webp"})
            if (StartsWith(lower, type) && lower.size() > std::strlen(type) &&
                (lower[std::strlen(type)] == ';' || lower[std::strlen(type)] == ','))
                return true;
        for (const char* icon : {"arrowdown", "unread", "readed", "unflag", "flaged", "delete"})
            if (value == std::string("HtmlStyle/") + icon + ".gif")
                return true;
        return false;
    }
    if (e.tag == GUMBO_TAG_LINK && name == "href")
        return value == "HtmlStyle\\H20.css" || value == "./HtmlStyle/H20.css";
    if (e.tag == GUMBO_TAG_SCRIPT && name == "src")
        return value == "./HtmlStyle/rss.js";
    return false;
}

// The item number of a template id "N_<suffix>" (0 when it is not one).
uint32_t ItemOfId(std::string_view id, std::string_view& suffix) {
    size_t pos = 0;
    uint32_t n = 0;
    if (!Number(id, pos, false, &n) || !Expect(id, pos, "_"))
        return 0;
    suffix = id.substr(pos);
    return n;
}

class Auditor {
public:
    explicit Auditor(const std::vector<uint32_t>& items) : items_(items) {}

    std::string Run(const GumboNode* root) {
        Walk(root, 0);
        if (!failure_.empty())
            return failure_;
        if (blocks_ != items_)
            return "the story blocks are not one per item";
        for (uint32_t n : items_)
            for (const char* part : {"title", "read", "flag", "delete"})
                if (inBlock_[n][part] != 1)
                    return "item " + std::to_string(n) + " has not exactly one " + part +
                           " inside its block";
        return std::string();
    }

private:
    void Fail(const std::string& what) {
        if (failure_.empty())
            failure_ = what;
    }

    void Walk(const GumboNode* node, uint32_t block, size_t depth = 0) {
        // A browser stops nesting somewhere past 500 levels; the page stays far below.
        if (depth > 200) {
            Fail("elements nested deeper than 200 levels");
            return;
        }
        if (node->type == GUMBO_NODE_COMMENT) {
            Fail("a comment");
            return;
        }
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE)
            return;
        if (node->type == GUMBO_NODE_CDATA || node->type == GUMBO_NODE_TEMPLATE) {
            Fail("CDATA or a template");
            return;
        }
        const GumboVector* children = &node->v.document.children;
        if (node->type == GUMBO_NODE_ELEMENT) {
            const GumboElement& e = node->v.element;
            block = Element(e, block);
            children = &e.children;
        }
        for (unsigned i = 0; i < children->length; ++i)
            Walk(static_cast<const GumboNode*>(children->data[i]), block, depth + 1);
    }

    // Checks one element; returns the story block it opens or stands in.
    uint32_t Element(const GumboElement& e, uint32_t block) {
        if (e.tag_namespace != GUMBO_NAMESPACE_HTML) {
            Fail("an svg or math element");
            return block;
        }
        static const GumboTag kForbidden[] = {
            GUMBO_TAG_STYLE,    GUMBO_TAG_IFRAME,  GUMBO_TAG_FRAME,    GUMBO_TAG_FRAMESET,
            GUMBO_TAG_OBJECT,   GUMBO_TAG_EMBED,   GUMBO_TAG_APPLET,   GUMBO_TAG_FORM,
            GUMBO_TAG_INPUT,    GUMBO_TAG_BUTTON,  GUMBO_TAG_SELECT,   GUMBO_TAG_TEXTAREA,
            GUMBO_TAG_BASE,     GUMBO_TAG_VIDEO,   GUMBO_TAG_AUDIO,    GUMBO_TAG_SOURCE,
            GUMBO_TAG_NOSCRIPT, GUMBO_TAG_PARAM,   GUMBO_TAG_KEYGEN,   GUMBO_TAG_CANVAS,
            GUMBO_TAG_MAP,      GUMBO_TAG_AREA,    GUMBO_TAG_ISINDEX,  GUMBO_TAG_PLAINTEXT,
            GUMBO_TAG_XMP,      GUMBO_TAG_NOEMBED, GUMBO_TAG_NOFRAMES, GUMBO_TAG_TRACK};
        if (std::find(std::begin(kForbidden), std::end(kForbidden), e.tag) !=
            std::end(kForbidden)) {
            Fail(std::string("a forbidden element: ") + gumbo_normalized_tagname(e.tag));
            return block;
        }
        if (e.tag == GUMBO_TAG_SCRIPT) {
            std::string text;
            for (unsigned i = 0; i < e.children.length; ++i) {
                const auto* child = static_cast<const GumboNode*>(e.children.data[i]);
                if (child->type == GUMBO_NODE_TEXT)
                    text += child->v.text.text;
            }
            const GumboAttribute* src = gumbo_get_attribute(&e.attributes, "src");
            if (src ? !text.empty() : !IsAllowedScript(text))
                Fail("a script that is not the page's own: " + text);
        }
        if (e.tag == GUMBO_TAG_META && !gumbo_get_attribute(&e.attributes, "http-equiv"))
            Fail("a meta element");
        for (unsigned i = 0; i < e.attributes.length; ++i)
            block = Attribute(e, *static_cast<const GumboAttribute*>(e.attributes.data[i]), block);
        return block;
    }

    uint32_t Attribute(const GumboElement& e, const GumboAttribute& a, uint32_t block) {
        const std::string name = a.name;
        const std::string value = a.value;
        if (a.attr_namespace != GUMBO_ATTR_NAMESPACE_NONE) {
            Fail("a namespaced attribute");
        } else if (StartsWith(name, "on")) {
            size_t pos = 0;
            const bool own =
                (name == "onmouseover" && value == "this.style.backgroundColor='#E3E8F2'") ||
                (name == "onmouseout" && value == "this.style.backgroundColor=''") ||
                (name == "onclick" && Expect(value, pos, "open_click(") &&
                 Number(value, pos, false) && Expect(value, pos, ",true)") && pos == value.size());
            if (!own)
                Fail("an event attribute: " + name + "=" + value);
        } else if (name == "href" || name == "src") {
            if (!IsAllowedAddress(e, name, value))
                Fail("an address: " + name + "=" + value);
        } else if (name == "style") {
            if (value != "CURSOR: hand" && value != "FONT-WEIGHT:bold")
                Fail("a style: " + value);
        } else if (name == "http-equiv") {
            if (e.tag != GUMBO_TAG_META || value != "Content-Type")
                Fail("http-equiv");
        } else if (name == "class") {
            static const char* const kClasses[] = {
                "gn_stories", "gn_storytitle", "gn_storydetails", "gn_storyfooter", "icon",
                "sep",        "title_unread",  "title_readed",    "channel"};
            if (std::find_if(std::begin(kClasses), std::end(kClasses),
                             [&](const char* c) { return value == c; }) == std::end(kClasses))
                Fail("a class: " + value);
        } else if (name == "id" || name == "name") {
            std::string_view suffix;
            const uint32_t n = ItemOfId(value, suffix);
            if (name == "id" && value == "contentdiv")
                return block;
            if (n == 0) {
                Fail("an id or name: " + value);
            } else if (suffix == "contentdiv") {
                const GumboAttribute* cls = gumbo_get_attribute(&e.attributes, "class");
                if (block != 0 || !cls || std::string(cls->value) != "gn_stories")
                    Fail("a story block inside another or without its class");
                blocks_.push_back(n);
                return n;
            } else if (n != block) {
                Fail("an item's part outside its block: " + value);
            } else if (name == "id") {
                ++inBlock_[n][std::string(suffix)];
            }
        } else if (name != "title" && name != "alt" && name != "width" && name != "height" &&
                   name != "border" && name != "hspace" && name != "vspace" && name != "align" &&
                   name != "valign" && name != "lang" && name != "dir" && name != "content" &&
                   name != "rel" && name != "type" && name != "language" && name != "colspan" &&
                   name != "rowspan" && name != "cellpadding" && name != "cellspacing" &&
                   name != "summary" && name != "abbr" && name != "start" && name != "value" &&
                   name != "span" && name != "size") {
            Fail("an attribute: " + name);
        }
        return block;
    }

    const std::vector<uint32_t>& items_;
    std::vector<uint32_t> blocks_;
    std::map<uint32_t, std::map<std::string, int>> inBlock_;
    std::string failure_;
};

} // namespace

std::string AuditPage(const std::string& page, const std::vector<uint32_t>& items) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    if (!output)
        return "not parsed";
    std::string result = Auditor(items).Run(output->document);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return result;
}
