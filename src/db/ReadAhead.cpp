#include "db/ReadAhead.h"

#include "db/State.h"

#include <QFile>
#include <cstdio>

namespace velor {

PriceReadAhead::PriceReadAhead(std::vector<QByteArray> paths, int workers, qint64 bytesEach) : m_paths(std::move(paths))
{
    const int n = std::max(workers, 1);
    for (int k = 0; k < n; ++k)
        m_workers.emplace_back([this, k, n, bytesEach](std::stop_token stop) { read(stop, k, n, bytesEach); });
}

PriceReadAhead::~PriceReadAhead() { stop(); }

void PriceReadAhead::stop()
{
    for (std::jthread &t : m_workers) t.request_stop();
    wait();
}

void PriceReadAhead::read(std::stop_token stop, int first, int step, qint64 bytesEach)
{
    std::vector<char> buf(size_t(std::max<qint64>(bytesEach, 1)));
    for (size_t i = size_t(first); i < m_paths.size(); i += size_t(step)) {
        if (stop.stop_requested()) return;
        std::FILE *f = std::fopen(m_paths[i].constData(), "rb");
        if (!f) continue;
        std::setvbuf(f, nullptr, _IONBF, 0);   // one read of the whole block
        (void)std::fread(buf.data(), 1, buf.size(), f);
        std::fclose(f);
        ++m_read;
    }
}

void PriceReadAhead::wait()
{
    for (std::jthread &t : m_workers)
        if (t.joinable()) t.join();
}

std::vector<QByteArray> masterPriceFiles(const State &st)
{
    std::vector<QByteArray> out;
    out.reserve(size_t(std::max<int>(st.StockCount, 0)));
    for (int i = 1; i <= st.StockCount && size_t(i) < st.StockCode.size(); ++i)
        out.push_back(QFile::encodeName(st.priceFilePath(st.StockCode[size_t(i)])));
    return out;
}

} // namespace velor
