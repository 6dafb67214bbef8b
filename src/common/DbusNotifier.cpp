#include "common/DbusNotifier.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QTimer>
#include <QVariantMap>

namespace velor {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// The "image-data" hint: (iiibiiay) width, height, row stride, alpha, bits per sample,
// channels, RGBA bytes.
QVariant imageHint(const QImage &icon)
{
    const QImage img = icon.convertToFormat(QImage::Format_RGBA8888);
    QDBusArgument arg;
    arg.beginStructure();
    arg << img.width() << img.height() << int(img.bytesPerLine()) << true << 8 << 4
        << QByteArray(reinterpret_cast<const char *>(img.constBits()), img.sizeInBytes());
    arg.endStructure();
    return QVariant::fromValue(arg);
}

QDBusMessage call(const QString &method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

// Sends the call and waits for its answer at most `ms`, letting window events run meanwhile. The
// wait ends on our own timer: a bus or service that never answers cannot hold the program, even
// where the bus library's own time-out does not fire.
QDBusMessage callWithin(const QDBusConnection &bus, const QDBusMessage &m, int ms)
{
    QDBusPendingCallWatcher watcher(bus.asyncCall(m, ms));
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!watcher.isFinished()) return QDBusMessage::createError(QStringLiteral("org.freedesktop.DBus.Error.Timeout"),
                                                               QStringLiteral("no answer"));
    return watcher.reply();
}

} // namespace

DbusNotifier::DbusNotifier(const QDBusConnection &bus, const QImage &icon, QObject *parent)
    : QObject(parent), m_bus(bus), m_icon(icon)
{
    if (!m_bus.isConnected()) return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

std::optional<QStringList> DbusNotifier::capabilities()
{
    if (!m_capabilities) {
        const QDBusMessage r = callWithin(m_bus, call(QStringLiteral("GetCapabilities")), timeoutMs);
        if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) return std::nullopt;
        m_capabilities = r.arguments().first().toStringList();
    }
    return m_capabilities;
}

bool DbusNotifier::notify(const Notice &notice)
{
    if (!m_bus.isConnected()) return false;
    const std::optional<QStringList> caps = capabilities();
    if (!caps) return false;
    // A service that reads the body as markup would swallow "<" and "&" of a stock's name.
    const QString body = caps->contains(QStringLiteral("body-markup")) ? notice.body.toHtmlEscaped() : notice.body;
    QVariantMap hints;
    if (!m_icon.isNull()) hints.insert(QStringLiteral("image-data"), imageHint(m_icon));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("velor"));
    QDBusMessage m = call(QStringLiteral("Notify"));
    m << QStringLiteral("VELOR") << uint(0) << QStringLiteral("velor") << notice.summary << body
      << (notice.code > 0 ? QStringList{QStringLiteral("default"), QStringLiteral("表示")} : QStringList()) << hints
      << int(-1);
    const QDBusMessage r = callWithin(m_bus, m, timeoutMs);
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) {
        m_capabilities.reset();   // the service went away; the next one may differ
        return false;
    }
    if (notice.code > 0) m_codes.insert(r.arguments().first().toUInt(), notice.code);
    return true;
}

void DbusNotifier::actionInvoked(uint id, const QString &key)
{
    const auto it = m_codes.constFind(id);
    if (it == m_codes.constEnd()) return;   // another program's notification
    if (key == QLatin1String("default") && onActivated) onActivated(*it);
}

void DbusNotifier::notificationClosed(uint id, uint) { m_codes.remove(id); }

std::unique_ptr<DbusNotifier> sessionNotifier(const QImage &icon)
{
    return std::make_unique<DbusNotifier>(QDBusConnection::sessionBus(), icon);
}

} // namespace velor
