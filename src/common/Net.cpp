#include "common/Net.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

namespace velor {

QString joinAddress(const QString &base, const QString &path)
{
    if (path.isEmpty()) return base;
    if (base.endsWith('/') && path.startsWith('/')) return base + path.mid(1);
    if (!base.endsWith('/') && !path.startsWith('/')) return base + '/' + path;
    return base + path;
}

QString localFilePathOf(const QString &address)
{
    const QUrl url(address);
    QString path = url.toLocalFile();
    if (url.hasQuery()) path += '?' + url.query();   // a stored page may carry its query in its name
    if (address.endsWith('/') || QFileInfo(path).isDir()) path = QFileInfo(path).filePath() + "/index.html";
    return path;
}

std::expected<QByteArray, NetError> fetchLocalFile(const QString &address, const FetchLimits &limits)
{
    QFile f(localFilePathOf(address));
    if (!f.open(QIODevice::ReadOnly))
        return std::unexpected(NetError{address, QStringLiteral("ファイルを開けません"), false, false});
    QByteArray data = f.read(limits.maxBytes + 1);
    if (data.size() > limits.maxBytes)
        return std::unexpected(NetError{address, QStringLiteral("データが大きすぎます"), false, true});
    return data;
}

std::expected<QByteArray, NetError> QtNet::fetch(const QString &address, const FetchLimits &limits)
{
    const QUrl url(address);
    if (url.isLocalFile()) return fetchLocalFile(address, limits);
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return std::unexpected(NetError{address, QStringLiteral("アドレスが正しくありません"), false, false});

    QNetworkAccessManager nam;
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = nam.get(req);
    QByteArray data;
    bool tooLarge = false, timedOut = false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] { timedOut = true; reply->abort(); });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        data += reply->read(limits.maxBytes + 1 - data.size());
        if (data.size() > limits.maxBytes) { tooLarge = true; reply->abort(); }
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    timer.start(limits.timeoutMs);
    // The window keeps handling every event while it waits (a monitor's stop button must work);
    // the commands guard themselves against being re-entered.
    if (!reply->isFinished()) loop.exec();
    if (!tooLarge && !timedOut) data += reply->read(limits.maxBytes + 1 - data.size());
    const auto err = reply->error();
    const QString errText = reply->errorString();
    reply->deleteLater();
    if (timedOut) return std::unexpected(NetError{address, QStringLiteral("応答がありません（時間切れ）"), true, false});
    if (tooLarge || data.size() > limits.maxBytes)
        return std::unexpected(NetError{address, QStringLiteral("データが大きすぎます"), false, true});
    if (err != QNetworkReply::NoError) return std::unexpected(NetError{address, errText, false, false});
    return data;
}

} // namespace velor
