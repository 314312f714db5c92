// The OPML import of a local file holding any bytes.
#include "FuzzSupport.h"
#include "catalogue/Channel.h"
#include "catalogue/Group.h"
#include "platform/CodePage.h"
#include "xml/OpmlImport.h"

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = FuzzFolder() + "list.opml";
    WriteBytes(path, Input(data, size));
    COpmlImport importer;
    importer.Import(platform::Utf8ToWide(path), 0, 1, 1);
    return 0;
}
