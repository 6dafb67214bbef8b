#pragma once
// The desktop's notification service (org.freedesktop.Notifications) on a D-Bus connection.
#include "common/Notifier.h"

#include <QDBusConnection>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace velor {

class DbusNotifier final : public QObject, public Notifier {
    Q_OBJECT
public:
    /// Notifies through `bus` (the session bus in the program, a private one in tests), with
    /// `icon` as the notification's image.
    DbusNotifier(const QDBusConnection &bus, const QImage &icon, QObject *parent = nullptr);

    /// Sends the notice with the program's name and icon and a default action; false when no
    /// service answered within the time-out (the window keeps handling its events meanwhile).
    bool notify(const Notice &notice) override;

    /// A click on a notification (its default action): the notice's stock code.
    std::function<void(int code)> onActivated;
    /// How long a call may wait for the service (it may first have to be started).
    int timeoutMs = 5000;

private slots:
    void actionInvoked(uint id, const QString &key);
    void notificationClosed(uint id, uint reason);

private:
    /// The service's capabilities, asked once; nullopt when no service answered.
    std::optional<QStringList> capabilities();

    QDBusConnection m_bus;
    QImage m_icon;
    QHash<uint, int> m_codes;   ///< notification id -> stock code, until it is closed
    std::optional<QStringList> m_capabilities;
};

/// The notifier of the session bus.
std::unique_ptr<DbusNotifier> sessionNotifier(const QImage &icon);

} // namespace velor
