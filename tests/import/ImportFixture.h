#pragma once
// A small market in a temporary program folder, ready for SHUDOU.
#include "common/TextFile.h"
#include "import/DailyImport.h"
#include "import/ImportTestData.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace velor::test {

// The stored example: three trading days, two weeks, two months.
inline QByteArray exampleStock()
{
    return priceText("3,2,2",
                     {"20240105,1520,1545,1511,1530,118300", "20240104,1500,1525,1490,1512,98000",
                      "20231229,1490,1510,1482,1500,75600"},
                     {"20240105,1500,1545,1490,1530,216300", "20231229,1490,1510,1482,1500,75600"},
                     {"20240105,1500,1545,1490,1530,216300", "20231229,1490,1510,1482,1500,75600"});
}

struct Market : ProgramFolder {
    TestEnv env;
    Market(const std::vector<std::tuple<int, QString, int>> &entries = {
               {1001, QStringLiteral("日経平均"), 0}, {1301, QStringLiteral("ABCDEFG"), 1},
               {1302, QStringLiteral("極洋"), 1}, {1303, QStringLiteral("XYZ"), 2}})
    {
        writeMaster(entries);
        for (const auto &e : entries) put(std::get<0>(e), exampleStock());
    }
    void put(int code, const QByteArray &bytes) { writeFile(data + QString::number(code) + ".csv", bytes); }
    QByteArray price(int code) const { return readFile(data + QString::number(code) + ".csv"); }
    void inbox(const QString &name, const QByteArray &bytes) { writeFile(data + "tmp/" + name, bytes); }
    QStringList inboxNames() const { return QDir(data + "tmp").entryList(QDir::Files, QDir::Name); }
    bool run() { return SHUDOU(st, env.services); }
    /// Every file of the data folder by name.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> m;
        for (const QString &n : QDir(data).entryList(QDir::Files)) m[n] = readFile(data + n);
        return m;
    }
};

} // namespace velor::test
