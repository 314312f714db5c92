#pragma once

#include <atomic>

// The stop requests of one catalogue's updates, handed to each part that must heed them: the
// user's stop of every update (taken back when updates are asked for again) and the
// shutdown (for good). Written on the UI thread (or by a signal handler: both are lock-free
// stores), read by the update-all walk and the downloads.
class StopToken {
public:
    void Stop() { stop_.store(true); }
    void Resume() { stop_.store(false); }
    void Shutdown() { exit_.store(true); }
    bool Stopped() const { return stop_.load(); }
    bool ShuttingDown() const { return exit_.load(); }
    // Either request: a running update gives up.
    bool Any() const { return Stopped() || ShuttingDown(); }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> exit_{false};
};
