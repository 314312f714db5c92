// tessavin-host: the stand-in desktop host. It loads <app>Plugins/QuorvelUIPlugin/
// libTessavin.so at run time, hands it a window, the resource module and a plug-in
// container, and forwards its commands.
//
//   tessavin-host [--app-dir DIR] [--lang zh_CN|en] [--ready-file PATH] [--started-file PATH]
#include "AppFolderSetup.h"
#include "HostContainer.h"
#include "HostFrame.h"
#include "HostTexts.h"
#include "PluginEntries.h"
#include "platform/CodePage.h"
#include "platform/ResourceModule.h"

#include <cstdlib>
#include <filesystem>
#include <wx/app.h>
#include <wx/msgdlg.h>

namespace {

// The host draws nothing with OpenGL, but GDK probes it when the display opens, which loads
// the GL driver (for software rendering, a whole compiler with it): tens of megabytes and a
// good part of the start for nothing. Set before GTK starts (unless the user chose), and
// taken back once it has, so that the browser's processes start as they would anyway.
const bool kGlProbeOff = std::getenv("GDK_GL") == nullptr && setenv("GDK_GL", "disable", 0) == 0;

// In a build tree the application folder is laid out on first use: plug-in data, the
// plug-in library and the message-box library next to the host.
bool LayOut(const std::string& app) {
    namespace fs = std::filesystem;
    const std::string plugin = app + "Plugins/QuorvelUIPlugin/";
    if (!fs::exists(plugin + "res") && !InstallPluginFiles(TESSAVIN_PLUGIN_SOURCE_DIR, app))
        return false;
    std::error_code error;
    auto copyNewer = [&error](const std::string& from, const std::string& to) {
        if (fs::exists(from) &&
            (!fs::exists(to) || fs::last_write_time(from) > fs::last_write_time(to)))
            fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    };
    copyNewer(TESSAVIN_PLUGIN_LIBRARY, plugin + "libTessavin.so");
    copyNewer(TESSAVIN_MESSAGEBOX_LIBRARY, app + "libXMessageBox.so");
    return fs::exists(plugin + "libTessavin.so");
}

class HostApp : public wxApp {
public:
    bool OnInit() override {
        if (kGlProbeOff)
            unsetenv("GDK_GL");
        HostLanguage language = HostLanguage::kEnglish;
        const char* locale = std::getenv("LANG");
        if (locale && std::string(locale).rfind("zh", 0) == 0)
            language = HostLanguage::kChinese;
        std::string readyFile, startedFile;
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i].ToStdString();
            const bool hasValue = i + 1 < argc;
            if (a == "--app-dir" && hasValue) {
                std::string dir = std::filesystem::absolute(argv[++i].ToStdString()).string();
                if (dir.back() != '/')
                    dir.push_back('/');
                std::filesystem::create_directories(dir);
                setenv("TESSAVIN_APP_DIR", dir.c_str(), 1);
            } else if (a == "--lang" && hasValue) {
                language = argv[++i].ToStdString().rfind("zh", 0) == 0 ? HostLanguage::kChinese
                                                                       : HostLanguage::kEnglish;
            } else if (a == "--ready-file" && hasValue) {
                readyFile = argv[++i].ToStdString();
            } else if (a == "--started-file" && hasValue) {
                startedFile = argv[++i].ToStdString();
            } else {
                wxMessageBox("usage: tessavin-host [--app-dir DIR] [--lang zh_CN|en] "
                             "[--ready-file PATH] [--started-file PATH]");
                return false;
            }
        }
        const std::string app = platform::WideToUtf8(HostAppFolder());
        if (!LayOut(app)) {
            wxMessageBox(wxString::FromUTF8("Cannot lay out the application folder " + app));
            return false;
        }
        AddHostTexts(container_, language);

        std::string error;
        if (!plugin_.Load(platform::Utf8ToWide(app + "Plugins/QuorvelUIPlugin/libTessavin.so"),
                          error)) {
            wxMessageBox(wxString::FromUTF8(error.c_str()));
            return false;
        }
        resources_ = platform::ResourceModule::Load(
            platform::Utf8ToWide(app + "Plugins/QuorvelUIPlugin/res"));
        auto* frame = new HostFrame(container_, plugin_, resources_.get(), language);
        frame->SetReadyFile(readyFile);
        frame->SetStartedFile(startedFile);
        frame->Show();
        if (!frame->StartReader()) {
            wxMessageBox("The plug-in made no reader window.");
            frame->Destroy();
            return false;
        }
        return true;
    }

private:
    HostContainer container_;
    PluginEntries plugin_;
    std::unique_ptr<platform::ResourceModule> resources_;
};

} // namespace

wxIMPLEMENT_APP(HostApp);
