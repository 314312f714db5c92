#include "opml/OpmlExport.h"

#include "catalogue/CatalogueNode.h"
#include "catalogue/Channel.h"
#include "catalogue/Group.h"
#include "platform/CodePage.h"

namespace {

std::string Attribute(const char* name, const std::wstring& value) {
    return std::string(" ") + name + "=\"" + OpmlExport::Escape(platform::WideToUtf8(value)) + "\"";
}

void WriteNodes(const std::vector<CatalogueNode*>& nodes, int depth, std::string& out) {
    const std::string indent(static_cast<size_t>(depth) * 2, ' ');
    for (const CatalogueNode* node : nodes) {
        if (node->group) {
            out += indent + "<outline" + Attribute("text", node->group->GetName()) +
                   Attribute("title", node->group->GetName()) + " kind=\"nkPath\"";
            if (node->children.empty()) {
                out += "/>\n";
                continue;
            }
            out += ">\n";
            WriteNodes(node->children, depth + 1, out);
            out += indent + "</outline>\n";
            continue;
        }
        const CChannel* c = node->channel;
        out += indent + "<outline type=\"rss\"" + Attribute("text", c->GetName()) +
               Attribute("title", c->GetName()) + Attribute("xmlUrl", c->GetUrl()) +
               " kind=\"nkFeed\" interval=\"" + std::to_string(c->GetInterval()) + "\" itemMax=\"" +
               std::to_string(c->GetMaxItems()) + "\"" +
               Attribute("description", c->GetDescription()) + "/>\n";
    }
}

} // namespace

std::string OpmlExport::Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
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
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            if (c >= 0x20)
                out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string OpmlExport::Write(const std::vector<CatalogueNode*>& topLevel) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<opml version=\"2.0\">\n"
                      "  <head>\n"
                      "    <title>Tessavin channels</title>\n"
                      "  </head>\n"
                      "  <body>\n";
    WriteNodes(topLevel, 2, out);
    return out + "  </body>\n</opml>\n";
}
