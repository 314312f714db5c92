#pragma once

// How one channel's update run ended, as its job reports it once it has finished.
enum class UpdateOutcome { kNotRun, kWritten, kUnchanged, kFailed, kStopped };
