#pragma once
// The daily bars of a list of price files, read and parsed on a worker thread a bounded number
// of files ahead of the one being examined, so that reading overlaps evaluating.
#include "backtest/DailyHistory.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace velor {

class BarReadAhead {
public:
    using Result = std::expected<std::vector<Bar>, DailyReadError>;
    /// An empty path stands for a file that is not wanted (its result is no bars).
    BarReadAhead(std::vector<QString> paths, int32_t oldestNeeded, int olderBars, size_t ahead = 64);
    /// Stops the worker after the file in hand.
    ~BarReadAhead();
    BarReadAhead(const BarReadAhead &) = delete;
    BarReadAhead &operator=(const BarReadAhead &) = delete;

    /// The bars of file i, taken in order (0, 1, 2, ...); waits until the worker has read it.
    Result take(size_t i);

private:
    void run(std::stop_token stop);

    const std::vector<QString> m_paths;
    const int32_t m_oldestNeeded;
    const int m_olderBars;
    const size_t m_ahead;
    std::vector<std::optional<Result>> m_results;
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::atomic<size_t> m_done{0}, m_taken{0};            // files read; files taken
    std::atomic<bool> m_mainWaiting{false}, m_workerWaiting{false};
    std::jthread m_worker;   // last: it starts once everything it uses exists
};

} // namespace velor
