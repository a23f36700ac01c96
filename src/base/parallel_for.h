#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <string>

namespace varelo::host {

// Called after each finished item with the number finished so far and the number of items;
// calls come one at a time and `done` counts up by one from 1, whichever thread finished.
using Progress = std::function<void(size_t done, size_t total)>;

// Runs work(i) once for every i in [0, n), handing indices out one at a time to `threads`
// threads (0: one per core; never more than n), the calling thread among them, and returns when
// all are done. Work that should fail one item and not the run catches its own exceptions. An
// exception escaping work(i) stops the handing out of further items; the first one is thrown
// again here once every thread has stopped. Progress is not called for an item that threw.
void ParallelFor(size_t n, unsigned threads, const std::function<void(size_t)>& work,
                 const Progress& progress = {});

// Progress as one line rewritten in place, "\rLABEL: N/M", ended with a newline after the last
// item.
Progress ProgressLine(std::ostream& out, std::string label);

// ProgressLine on standard error when it is a terminal; none when it is not, so that logs and
// pipes get no carriage returns.
Progress TerminalProgress(std::string label);

}  // namespace varelo::host
