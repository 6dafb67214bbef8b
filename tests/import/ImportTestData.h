#pragma once
// Small price files written out line by line for the import tests.
#include <QByteArray>
#include <QList>

namespace velor::test {

/// A price file: the header, then each section's lines padded with filler to 300 lines.
inline QByteArray priceText(const QByteArray &header, const QList<QByteArray> &daily, const QList<QByteArray> &weekly,
                            const QList<QByteArray> &monthly)
{
    QByteArray out = header + "\r\n";
    for (const auto *sec : {&daily, &weekly, &monthly}) {
        for (const auto &l : *sec) out += l + "\r\n";
        for (qsizetype i = sec->size(); i < 300; ++i) out += "0,0,0,0,0,0\r\n";
    }
    return out;
}

} // namespace velor::test
