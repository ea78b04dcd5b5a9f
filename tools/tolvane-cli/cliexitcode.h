#pragma once

// What tolvane-cli tells the shell: scripts and schedulers tell the cases apart by these.
namespace CliExitCode {
enum Code {
    Success = 0,
    // Something failed; the run lists what.
    Failed = 1,
    Usage = 2,
    NotSignedIn = 3,
    // The program, or another run of this tool, works on the same profile.
    ProfileBusy = 4,
    // Stopped by SIGINT or SIGTERM: 128 + the signal's number, as a shell reports it.
    InterruptedBase = 128
};
}
