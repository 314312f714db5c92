#pragma once

#include <string>

// The plain text of an item's shown HTML, as the word index reads it: tags dropped (with
// the contents of script and style elements and of comments), character references and the
// common named entities decoded. Tags of inline formatting join what is on both sides;
// any other tag separates words.
class IndexText {
public:
    static std::string FromHtml(const std::string& html);
};
