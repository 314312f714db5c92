#pragma once

#include <atomic>

// Process-wide flags written by the UI thread and read by the update-all walk, the worker
// pool and the downloader: stop all updates; the module is shutting down.
extern std::atomic<bool> stopFlag;
extern std::atomic<bool> exitFlag;
