#pragma once

#include <string>
#include <string_view>

// Makes feed text inert before it is written into a channel page.
//
// A text that changes is parsed as a browser parses it (an HTML5 parser) and written anew
// from the parse tree: text escaped, only the elements and attributes of a fixed list kept
// (their tags written out whole, every element closed), everything else either dropped with
// its content (script, style, frames, plug-ins, forms' controls, svg, math, media, ...) or
// unwrapped (unknown elements, font, form). Addresses must be http or https (mailto in
// links, data:image in img src); relative ones are resolved against the context's base.
// A field therefore always ends where markup started: no tag, attribute value, comment or
// raw-text element can stay open across the page's own markup.
//
// A text without any markup, or whose markup is already of that kind (kept elements with
// kept attributes and absolute addresses, properly nested and closed), passes byte for
// byte. Sanitising a sanitised text changes nothing. The page's own markers (the texts a
// page is read back by) never occur in the result.
class HtmlSanitizer {
public:
    struct Context {
        // The web address relative addresses resolve against (the item's link, else the
        // feed's); without one they are dropped.
        std::string base;
        // The text is in the native code page (GB18030) rather than UTF-8.
        bool native = false;
        // A title, author or date: its links are unwrapped (a title already is one).
        bool inlineText = false;
    };

    static std::string Sanitize(const std::string& text, const Context& context);
    static std::string Sanitize(const std::string& text) { return Sanitize(text, Context()); }
    // Breaks up the page's marker texts inside feed text (part of Sanitize).
    static std::string BreakMarkers(const std::string& text);
    // The value a browser reads from an attribute whose source text is `text` (character
    // references decoded).
    static std::string AttributeValue(const std::string& text);
    // Text as it may stand in an element or a quoted attribute: &, <, > and " as references
    // (NUL dropped).
    static std::string Escape(std::string_view text);
};
