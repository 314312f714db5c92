#include "engine/StopFlags.h"

std::atomic<bool> stopFlag{false};
std::atomic<bool> exitFlag{false};
