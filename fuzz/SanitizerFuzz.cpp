// The sanitiser on any text. Property: its output, parsed as a browser parses it inside a
// channel page, holds no construct that can run script, load a frame or plug-in, or
// submit; sanitising it again changes nothing; and no page marker stands in it.
#include "FuzzSupport.h"
#include "engine/HtmlSanitizer.h"

#include <gumbo.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char kContext[] = "<html><head></head><body><div><img>";

void Check(bool ok, const char* what, const std::string& output) {
    if (ok)
        return;
    fprintf(stderr, "property failed: %s\noutput: %s\n", what, output.c_str());
    std::abort();
}

bool Dangerous(const GumboElement& e) {
    if (e.tag_namespace != GUMBO_NAMESPACE_HTML)
        return true;
    static const GumboTag kTags[] = {
        GUMBO_TAG_SCRIPT,   GUMBO_TAG_STYLE,  GUMBO_TAG_IFRAME,   GUMBO_TAG_FRAME,
        GUMBO_TAG_FRAMESET, GUMBO_TAG_OBJECT, GUMBO_TAG_EMBED,    GUMBO_TAG_APPLET,
        GUMBO_TAG_FORM,     GUMBO_TAG_INPUT,  GUMBO_TAG_BUTTON,   GUMBO_TAG_SELECT,
        GUMBO_TAG_TEXTAREA, GUMBO_TAG_META,   GUMBO_TAG_LINK,     GUMBO_TAG_BASE,
        GUMBO_TAG_SVG,      GUMBO_TAG_MATH,   GUMBO_TAG_NOSCRIPT, GUMBO_TAG_TEMPLATE};
    return std::find(std::begin(kTags), std::end(kTags), e.tag) != std::end(kTags);
}

bool BadAddress(const GumboElement& e, const GumboAttribute& a) {
    static const char* const kUrlNames[] = {"href", "src",        "action", "formaction",
                                            "data", "background", "poster", "srcset"};
    bool isUrl = false;
    for (const char* n : kUrlNames)
        isUrl |= std::strcmp(a.name, n) == 0;
    if (!isUrl)
        return false;
    std::string v;
    for (const char* p = a.value; *p; ++p)
        if (static_cast<unsigned char>(*p) > 0x20)
            v.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(*p))));
    for (const char* scheme : {"javascript:", "vbscript:", "livescript:", "file:"})
        if (v.find(scheme) == 0 ||
            (std::strcmp(a.name, "srcset") == 0 && v.find(scheme) != std::string::npos))
            return true;
    if (v.find("data:") == 0)
        return !(e.tag == GUMBO_TAG_IMG && std::strcmp(a.name, "src") == 0 &&
                 v.find("data:image/svg") != 0);
    return false;
}

void Walk(const GumboNode* node, const char* textStart, const std::string& output) {
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return;
    const GumboElement& e = node->v.element;
    const bool fromText = e.original_tag.length > 0 && e.original_tag.data >= textStart;
    Check(!fromText || !Dangerous(e), "a dangerous element survived", output);
    for (unsigned i = 0; i < e.attributes.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
        if (!a->original_name.data || a->original_name.data < textStart)
            continue;
        Check(std::strncmp(a->name, "on", 2) != 0, "an event attribute survived", output);
        Check(std::strcmp(a->name, "srcdoc") != 0 && std::strcmp(a->name, "http-equiv") != 0,
              "srcdoc or http-equiv survived", output);
        Check(!BadAddress(e, *a), "a script, file or data address survived", output);
    }
    for (unsigned i = 0; i < e.children.length; ++i)
        Walk(static_cast<const GumboNode*>(e.children.data[i]), textStart, output);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input = Input(data, size);
    const std::string output = HtmlSanitizer::Sanitize(input);
    const std::string page = std::string(kContext) + output;
    GumboOutput* parsed = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    Walk(parsed->root, page.data() + sizeof kContext - 1, output);
    gumbo_destroy_output(&kGumboDefaultOptions, parsed);
    Check(HtmlSanitizer::Sanitize(output) == output, "sanitising twice changed the text", output);
    for (const char* marker :
         {"</font>", "</SPAN>", "<SPAN class", "<DIV class", "<IMG class", "footer name=\""})
        Check(output.find(marker) == std::string::npos, "a page marker survived", output);
    return 0;
}
