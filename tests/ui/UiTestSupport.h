#pragma once

#include <functional>

// Lets the UI thread handle its events for a while.
void PumpEvents(int milliseconds);
// Handles events until done() or the time is up; false on time-out.
bool PumpUntil(const std::function<bool()>& done, int milliseconds);
