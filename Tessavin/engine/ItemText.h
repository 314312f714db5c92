#pragma once

#include "engine/RssDocument.h"

#include <string>

// How item texts of a feed become the texts written into a channel page.
class ItemText {
public:
    static const char* const kInvalidHtml; // "Invalid html tag, can't parse the content"

    // Entity replacement in its fixed order, the tag check, and for a UTF-8 page the
    // round trip through the native code page (lossless: the native page is GB18030).
    static std::string PrepareDescription(const std::string& raw, PageEncoding page);
    // HTML markup (decoded already) for a UTF-8 page: the tag check and, for invalid UTF-8,
    // the round trip through the native code page; no entity replacement.
    static std::string PrepareMarkup(const std::string& html);
    // The entity table applied in order (each row over the whole text before the next).
    static std::string ReplaceEntities(std::string text);
    // Every opened tag closed in order, but for IMG, BR, HR, IFRAME, PARAM and INPUT.
    static bool TagCheck(const std::string& html);
    // An RFC 822 date with "GMT" shown as local "YYYY-MM-DD HH:MM:SS"; other texts as they are.
    static std::string DisplayDate(const std::string& raw);
    // A link without surrounding blanks (space, tab, CR, LF) and without any CR or LF.
    static std::string CleanLink(const std::string& raw);
    // A link as written into the title's go_read('...') call inside its href attribute:
    // after the browser's attribute decoding and percent-decoding, a script string literal
    // whose value is the link (as an attribute holding it would give it). A native page's
    // link is written in ASCII only.
    static std::string LinkForPage(const std::string& link, bool native = false);
    // The same for a link's value (in UTF-8) as LinkValue gives it.
    static std::string ValueForPage(const std::string& value, bool native = false);
    // The files an item carries, as links shown under its text: one paragraph each, its
    // text the type and size ("audio/mpeg, 24.3 MB"). Only http and https addresses are
    // shown, each once.
    static std::string EnclosureLinks(const std::vector<Enclosure>& enclosures);
    // A size in bytes as "812 bytes", "3.4 KB", "24.3 MB" or "1.2 GB" (units of 1024);
    // empty when the text is not a whole number.
    static std::string ShownSize(const std::string& bytes);
    // The value that literal holds: the link as an attribute holding it gives it, in UTF-8.
    static std::string LinkValue(const std::string& link, bool native);
};
