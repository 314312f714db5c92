// The XML reader on any bytes, then a full walk of what it read: every element entered,
// every attribute asked for.
#include "FuzzSupport.h"
#include "xml/XmlDocument.h"

#include <unistd.h>

namespace {

void Walk(CXmlDocument& doc, int depth, size_t& visited) {
    while (doc.FindNextElement(nullptr)) {
        if (++visited > 1000000)
            std::abort(); // a walk longer than the document: a loop
        doc.GetAttribute(nullptr);
        doc.GetAttribute("xmlUrl");
        if (depth < 300 && doc.EnterElement()) {
            Walk(doc, depth + 1, visited);
            doc.LeaveElement();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CXmlDocument doc;
    if (doc.SetText(Input(data, size))) {
        size_t visited = 0;
        Walk(doc, 0, visited);
    }
    return 0;
}
