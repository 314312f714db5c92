#pragma once

#include <string>
#include <vector>

struct CatalogueNode;

// Writes the catalogue as an OPML 2.0 document in UTF-8 that other readers and this one
// both read fully: groups as enclosing outlines (text, title, kind "nkPath"), channels as
// self-closing outlines (type "rss", text, title, xmlUrl, kind "nkFeed", interval,
// itemMax, description).
class OpmlExport {
public:
    static std::string Write(const std::vector<CatalogueNode*>& topLevel);
    // The text as an attribute value: markup characters and line ends as references,
    // other control characters (which XML cannot carry) dropped.
    static std::string Escape(const std::string& text);
};
