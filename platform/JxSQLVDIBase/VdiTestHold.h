// VdiTestHold: a test switch of the engine. It holds the threads of a
// statement at a named point of their work (about to queue a block on a
// device, between two chunks of a file being read, at the end of a data
// backup's read, or about to record a database's recovery), so that a test
// can make something happen exactly there (a stop request, the other side
// of the device giving up, another statement's commit) before the statement
// goes on. While no switch is set, a point costs one atomic load.
//
// A held thread goes on when the test releases it or when a statement is
// stopped (AbortOperation, Finalize(true), the engine's release), so a
// statement is never left held behind a caller that gave up on it; a
// statement already stopped is not held. One switch at a time, for every
// statement of the process.
#pragma once

#include <atomic>
#include <cstdint>

enum class VdiTestPoint {
    kBlockPut,       // a block is about to be queued on a device
    kBetweenChunks,  // a backup reader has queued one chunk of a file
    kDataReadEnd,    // a full or differential has read its data and its last LSN, and has not finished its set
    kRecovering,     // a recovery-only statement has read its database's state and is about to write it
};

class VdiTestHold {
public:
    // Holds `count` arrivals at `point`, from the `first` (1-based, counted
    // over every thread from now on).
    VdiTestHold(VdiTestPoint point, unsigned first, unsigned count = 1);
    // Releases what is held and turns the switch off.
    ~VdiTestHold();
    VdiTestHold(const VdiTestHold&) = delete;
    VdiTestHold& operator=(const VdiTestHold&) = delete;

    // Waits until all `count` threads are held; false after `realMs` of real
    // time without (a safety net, not a way to wait).
    bool WaitHeld(int64_t realMs = 60000);
    // Lets the held threads go on; later arrivals pass.
    void Release();
};

// Engine side: a thread of a statement reached `point`; `stop` is the
// statement's stop flag.
void VdiReachTestPoint(VdiTestPoint point, const std::atomic<bool>& stop);
// Engine side: a statement was stopped (its stop flag set, its devices
// aborted); the threads held go on.
void VdiWakeTestHold();
