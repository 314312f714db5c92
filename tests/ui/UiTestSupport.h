#pragma once

#include <functional>
#include <string>
#include <vector>
#include <wx/defs.h>
#include <wx/gdicmn.h>

class wxEvtHandler;

// Lets the UI thread handle its events for a while.
void PumpEvents(int milliseconds);
// Handles events until done() or the time is up; false on time-out.
bool PumpUntil(const std::function<bool()>& done, int milliseconds);
// Handles events until what was queued for the handler before the call has been handled.
bool Drain(wxEvtHandler* handler);
// Presses a key where the focus is and returns once the key has been handled: a key that
// does nothing (F12) follows it, and that key's release is waited for.
bool PressKey(int code, int modifiers = wxMOD_NONE);
// The mouse as a hand moves it, at points of the screen: a click (two for a double click),
// and a drag that presses at the first point, holds, moves through the others, lingers, calls
// `whileHeld` and releases.
void ClickAt(const wxPoint& at, bool twice = false);
void DragThrough(const std::vector<wxPoint>& path, int lingerMs = 50,
                 const std::function<void()>& whileHeld = nullptr);
