// Real-time scheduling for the live output's threads, so that a busy machine (more busy
// processes than cores, a disk syncing) never keeps them from refilling the audio buffer in time.
// The process's own right is used where it has one (root, or a real-time limit); else the thread
// asks RealtimeKit over the system D-Bus, as PulseAudio's clients do.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quirelle::stream {

// The ids of this process's threads, in no order.
std::vector<pid_t> ThreadsOfProcess();

// Puts thread `tid` of this process in first-in-first-out real-time scheduling (SCHED_FIFO, not
// inherited by children) at `priority` (1 to 99; RealtimeKit's highest when that is lower).
// Empty when granted, else why not (neither right was there).
std::string MakeThreadRealtime(pid_t tid, int priority);

}  // namespace quirelle::stream
