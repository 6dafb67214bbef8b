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
    m_changed.notify_all();
}

void BarReadAhead::run(std::stop_token stop)
{
    for (size_t i = 0; i < m_paths.size(); ++i) {
        {
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait(lock, stop, [&] { return i < m_taken + m_ahead; })) return;
        }
        Result r = m_paths[i].isEmpty() ? Result() : readDailyBars(m_paths[i], m_oldestNeeded, m_olderBars);
        {
            std::lock_guard lock(m_mutex);
            m_results[i] = std::move(r);
            m_done = i + 1;
        }
        m_changed.notify_all();
    }
}

BarReadAhead::Result BarReadAhead::take(size_t i)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_done > i; });
    Result r = std::move(*m_results[i]);
    m_results[i].reset();
    m_taken = i + 1;
    lock.unlock();
    m_changed.notify_all();
    return r;
}

} // namespace velor
