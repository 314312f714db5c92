// The UI tests run inside one wx application on a display (Xvfb in CI): the main function
// starts wx, then runs the tests on its UI thread.
#include "UiTestSupport.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/stopwatch.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

namespace {

class TestApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// Notes the release of F12 as it arrives, before any window handles it.
struct F12Up : wxEventFilter {
    F12Up() { wxEvtHandler::AddFilter(this); }
    ~F12Up() override { wxEvtHandler::RemoveFilter(this); }
    int FilterEvent(wxEvent& event) override {
        seen |= event.GetEventType() == wxEVT_KEY_UP &&
                static_cast<wxKeyEvent&>(event).GetKeyCode() == WXK_F12;
        return Event_Skip;
    }
    bool seen = false;
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

bool Drain(wxEvtHandler* handler) {
    bool done = false;
    handler->CallAfter([&done] { done = true; });
    return PumpUntil([&done] { return done; }, 5000);
}

bool PressKey(int code, int modifiers) {
    F12Up mark;
    wxUIActionSimulator keys;
    keys.Char(code, modifiers);
    keys.Char(WXK_F12);
    return PumpUntil([&mark] { return mark.seen; }, 5000);
}

void ClickAt(const wxPoint& at, bool twice) {
    wxUIActionSimulator mouse;
    mouse.MouseMove(at);
    PumpEvents(50);
    if (twice)
        mouse.MouseDblClick();
    else
        mouse.MouseClick();
    PumpEvents(100);
}

void DragThrough(const std::vector<wxPoint>& path, int lingerMs,
                 const std::function<void()>& whileHeld) {
    wxUIActionSimulator mouse;
    mouse.MouseMove(path.front());
    PumpEvents(30);
    mouse.MouseDown();
    PumpEvents(120);
    for (size_t i = 1; i < path.size(); ++i) {
        mouse.MouseMove(path[i]);
        PumpEvents(30);
    }
    PumpEvents(lingerMs);
    if (whileHeld)
        whileHeld();
    mouse.MouseUp();
    PumpEvents(100);
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
