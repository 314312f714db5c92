#pragma once

namespace platform {

// Closes descriptors of replaced files on a thread of its own. Dropping the last reference
// to a file that was renamed over frees its blocks, and on a file system mounted with
// online discard that waits for the device (milliseconds for a channel page); an update
// need not wait for it. Only descriptors of files no name leads to any more belong here:
// a lock held on such a file guards nothing.
class FileCloser {
public:
    // Takes the descriptor; it is closed soon. With many waiting, it is closed at once, so
    // that a burst of updates never holds many descriptors.
    static void Close(int fd);
};

} // namespace platform
