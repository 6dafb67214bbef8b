#pragma once
// Tells a transfer's progress function how far it has come, and aborts the reply when that
// function asks to stop. Shared by the page and the file transports.
#include "common/Net.h"

#include <QTimer>

namespace velor {

class ProgressWatch {
public:
    ProgressWatch(const FetchLimits &limits, QNetworkReply *reply, QObject *context);
    ProgressWatch(const ProgressWatch &) = delete;
    ProgressWatch &operator=(const ProgressWatch &) = delete;
    /// Reports `received` bytes; false (and the reply aborted) when the caller asked to stop.
    bool report(qint64 received);
    bool cancelled() const { return m_cancelled; }

    static constexpr int kPollMs = 100;

private:
    const FetchLimits &m_limits;
    QNetworkReply *m_reply;
    QTimer m_poll;
    qint64 m_received = 0;
    bool m_cancelled = false;
};

} // namespace velor
