#include "backtest/BarReadAhead.h"

namespace velor {

BarReadAhead::BarReadAhead(std::vector<QString> paths, int32_t oldestNeeded, int olderBars, size_t ahead)
    : m_paths(std::move(paths)), m_oldestNeeded(oldestNeeded), m_olderBars(olderBars), m_ahead(std::max<size_t>(ahead, 1)),
      m_results(m_paths.size()), m_worker([this](std::stop_token stop) { run(stop); })
{
}

BarReadAhead::~BarReadAhead()
{
    m_worker.request_stop();
    std::lock_guard lock(m_mutex);
    m_changed.notify_all();
}

// Each side sleeps only when it has to wait, and the other wakes it only when it sleeps: a
// file's hand-over is then two atomic stores and two loads, not a lock and a wake-up. Flag and
// counter are sequentially consistent on both sides, so one of them always sees the other's.
void BarReadAhead::run(std::stop_token stop)
{
    for (size_t i = 0; i < m_paths.size(); ++i) {
        if (i >= m_taken.load() + m_ahead) {
            std::unique_lock lock(m_mutex);
            m_workerWaiting = true;
            const bool go = m_changed.wait(lock, stop, [&] { return i < m_taken.load() + m_ahead; });
            m_workerWaiting = false;
            if (!go) return;
        }
        m_results[i] = m_paths[i].isEmpty() ? Result() : readDailyBars(m_paths[i], m_oldestNeeded, m_olderBars);
        m_done.store(i + 1);
        if (m_mainWaiting.load()) {
            std::lock_guard lock(m_mutex);
            m_changed.notify_all();
        }
    }
}

BarReadAhead::Result BarReadAhead::take(size_t i)
{
    if (m_done.load() <= i) {
        std::unique_lock lock(m_mutex);
        m_mainWaiting = true;
        m_changed.wait(lock, [&] { return m_done.load() > i; });
        m_mainWaiting = false;
    }
    Result r = std::move(*m_results[i]);
    m_results[i].reset();
    m_taken.store(i + 1);
    if (m_workerWaiting.load()) {
        std::lock_guard lock(m_mutex);
        m_changed.notify_all();
    }
    return r;
}

} // namespace velor
