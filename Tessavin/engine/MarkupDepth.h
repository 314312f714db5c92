#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How deep the elements of an HTML page nest, estimated from its text alone so that the
// parser is never handed more than it can take in time. The estimate never falls below
// what the parser builds: an end tag closes only an element it matches with nothing but
// elements that end by themselves (li, p, td, ...) above it; comments, attribute values
// and the text of script, style, textarea and the like are passed over as the parser
// passes them; where the text could be read two ways (a script that may hide its end tag,
// CDATA, raw-text elements inside svg or math), end tags close nothing from then on: what
// follows is cut sooner, never parsed deeper.
class MarkupDepth {
public:
    // The start of the first n bytes of the page where elements would open deeper than
    // maxDepth or where the maxTags-th start tag begins; n when neither happens.
    static size_t Cut(const std::string& page, size_t n, size_t maxDepth, size_t maxTags);

private:
    MarkupDepth(const std::string& page, size_t n) : page_(page), n_(n) {}
    // Past the tag's attributes and its '>' (n_ when it has none).
    size_t SkipAttributes(size_t pos) const;
    // Past the comment, declaration or processing instruction at pos ('<!' or '<?').
    size_t SkipComment(size_t pos);
    // Past the text of a raw-text element that opened before pos, up to its end tag.
    size_t SkipRawText(size_t pos, std::string_view name);
    void Close(const std::string& name);

    const std::string& page_;
    const size_t n_;
    std::vector<std::string> open_; // lower-case names of the elements counted open
    bool unsure_ = false;           // end tags no longer close anything
};
