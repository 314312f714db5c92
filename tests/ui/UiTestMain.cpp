// The UI tests run inside one wx application on a display (Xvfb in CI): the main function
// starts wx, then runs the tests on its UI thread.
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

namespace {

class TestApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

} // namespace

void PumpEvents(int milliseconds) {
    wxStopWatch watch;
    do {
        wxTheApp->Yield(true);
        if (wxTheApp->GetMainLoop())
            wxTheApp->GetMainLoop()->YieldFor(wxEVT_CATEGORY_ALL);
        wxMilliSleep(5);
        wxTheApp->ProcessPendingEvents();
    } while (watch.Time() < milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, int milliseconds) {
    wxStopWatch watch;
    while (!done()) {
        if (watch.Time() > milliseconds)
            return false;
        PumpEvents(10);
    }
    return true;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new TestApp());
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        fprintf(stderr, "cannot start wx (is there a display?)\n");
        return 1;
    }
    // A failed wx assertion is a test failure, not a dialog that waits for a click.
    wxSetAssertHandler([](const wxString& file, int line, const wxString& func,
                          const wxString& cond, const wxString& msg) {
        ADD_FAILURE() << "wx assertion " << cond << " (" << msg << ") in " << func << " at " << file
                      << ":" << line;
    });
    wxEventLoop loop;
    wxEventLoopBase::SetActive(&loop);
    const int result = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
