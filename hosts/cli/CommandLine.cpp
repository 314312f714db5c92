#include "CommandLine.h"

#include "CommandTable.h"
#include "Session.h"
#include "UsageError.h"
#include "config/Folders.h"
#include "config/LogFile.h"
#include "platform/CodePage.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// --app-dir: made absolute and created.
void SetAppFolder(const char* folder) {
    std::string dir = std::filesystem::absolute(folder).lexically_normal().string();
    if (dir.back() != '/')
        dir.push_back('/');
    std::filesystem::create_directories(dir);
    SetAppDirectory(platform::Utf8ToWide(dir));
}

} // namespace

int RunTessavin(int argc, char** argv, std::ostream& out, std::ostream& err) {
    bool log = false;
    try {
        int i = 1;
        for (; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "--app-dir") {
                if (i + 1 >= argc)
                    throw UsageError{"--app-dir needs a folder"};
                SetAppFolder(argv[++i]);
            } else if (a == "--log") {
                log = true;
            } else if (a == "--help" || a == "-h") {
                out << CommandTable::Usage();
                return 0;
            } else {
                break;
            }
        }
        loggingOn = log ? 1 : 0;
        Session session(out, err);
        const int rc = session.Run(std::vector<std::string>(argv + i, argv + argc));
        loggingOn = 0;
        return rc;
    } catch (const UsageError& e) {
        loggingOn = 0;
        err << "tessavin: " << e.message << "\n" << CommandTable::Usage();
        return 2;
    } catch (const std::exception& e) {
        loggingOn = 0;
        err << "tessavin: " << e.what() << "\n";
        return 1;
    }
}
