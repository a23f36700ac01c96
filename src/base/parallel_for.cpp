#include "parallel_for.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

namespace varelo::host {

void ParallelFor(size_t n, unsigned threads, const std::function<void(size_t)>& work,
                 const Progress& progress) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<size_t>(threads, std::max<size_t>(1, n)));
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    // Guards done, the progress calls and the first exception: counting under the lock keeps
    // the numbers shown in order, so the line never ends on less than the total.
    std::mutex mutex;
    size_t done = 0;
    std::exception_ptr failure;
    const auto run = [&] {
        for (size_t i = next++; i < n && !stop; i = next++) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!failure) failure = std::current_exception();
                stop = true;
                return;
            }
            const std::lock_guard lock(mutex);
            ++done;
            if (progress) progress(done, n);
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(threads - 1);
    try {
        for (unsigned t = 1; t < threads; ++t) pool.emplace_back(run);
    } catch (...) {
        // No more threads to be had: those started and this one share the items.
    }
    run();
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
}

Progress ProgressLine(std::ostream& out, std::string label) {
    return [&out, label = std::move(label)](size_t done, size_t total) {
        out << '\r' << label << ": " << done << '/' << total << std::flush;
        if (done == total) out << '\n';
    };
}

Progress TerminalProgress(std::string label) {
    if (isatty(STDERR_FILENO) == 0) return {};
    return ProgressLine(std::cerr, std::move(label));
}

}  // namespace varelo::host
