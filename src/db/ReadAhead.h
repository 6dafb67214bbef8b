#pragma once
// Reading the beginning of every price file on worker threads while the window shows, so that
// the first screen after start finds them in the system's file cache instead of waiting for the
// disk one file at a time. Only reads; a file that is missing or replaced meanwhile is skipped.
#include <QByteArray>
#include <atomic>
#include <thread>
#include <vector>

namespace velor {

struct State;

class PriceReadAhead {
public:
    /// Starts reading the first `bytesEach` bytes of each file, about in the given order:
    /// `workers` threads take every `workers`-th file, so the disk has several reads in hand.
    explicit PriceReadAhead(std::vector<QByteArray> paths, int workers = kWorkers, qint64 bytesEach = kBytesEach);
    /// As stop().
    ~PriceReadAhead();
    PriceReadAhead(const PriceReadAhead &) = delete;
    PriceReadAhead &operator=(const PriceReadAhead &) = delete;

    /// Waits until every file has been read.
    void wait();
    /// Stops after the files in hand (at quit: the list is not worth waiting for).
    void stop();
    /// Files read so far (missing ones are not counted).
    int filesRead() const { return m_read.load(); }

    /// About as much as a screen reads of a file: the header and the newest daily bars.
    static constexpr qint64 kBytesEach = 16384;
    static constexpr int kWorkers = 4;

private:
    void read(std::stop_token stop, int first, int step, qint64 bytesEach);

    const std::vector<QByteArray> m_paths;
    std::atomic<int> m_read{0};
    std::vector<std::jthread> m_workers;
};

/// The price file of every stock of the master, in master order, encoded for the file system.
std::vector<QByteArray> masterPriceFiles(const State &st);

} // namespace velor
