#pragma once

#include <QString>

// The profile's one-writer guard: a one-byte shared segment that exists while a copy of the
// program (or a headless sync) runs, created under a named semaphore so that two starts at the
// same moment cannot both claim it. The byte is a raise request: 1 asks the holder to come to
// the front. On Unix, where a killed copy's segment stays behind, whether a copy is alive is
// decided by a lock the kernel releases with the process.
class InstanceGuard
{
public:
    enum Claim {
        // This process holds the guard until it ends.
        Claimed,
        // Another live process holds it.
        HeldElsewhere,
        // The segment can be neither attached nor created; nothing guards the profile.
        Unavailable
    };

    // The guard is the user's and the profile's: the keys carry both.
    static QString profileTag();
    static QString semaphoreKey();
    static QString sharedMemoryKey();

    static const int kSemaphoreWaitMs = 5000;
    // Lets tests give up on a stuck semaphore sooner.
    static void setSemaphoreWait(int ms);

    // Claims the guard for this process. When another process holds it, a raise request is
    // left for that process only if askHolderToRaise is set.
    static Claim claim(bool askHolderToRaise);

    // For a holder without a watcher thread: true once when a later start has asked for the
    // window since the last call; the request is cleared.
    static bool takeRaiseRequest();
};
