// Delivery through a notification service on a private session bus: the test starts its own
// dbus-daemon and, on it, a small service that records what it receives. No desktop is needed.
#include "common/DbusNotifier.h"
#include "realtime/AlertCenter.h"
#include "support/TestSupport.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace velor;
using namespace velor::test;

namespace {

// A bus of the test's own: a session-type bus that starts no services by itself.
class PrivateBus {
public:
    PrivateBus()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) return;
        const QString config = m_dir.path() + QStringLiteral("/bus.conf");
        // No <servicedir>: nothing on this bus is started on demand.
        writeFile(config, QStringLiteral("<busconfig>\n"
                                         "  <type>session</type>\n"
                                         "  <listen>unix:dir=%1</listen>\n"
                                         "  <auth>EXTERNAL</auth>\n"
                                         "  <policy context='default'>\n"
                                         "    <allow send_destination='*' eavesdrop='true'/>\n"
                                         "    <allow eavesdrop='true'/>\n"
                                         "    <allow own='*'/>\n"
                                         "  </policy>\n"
                                         "</busconfig>\n")
                              .arg(m_dir.path())
                              .toUtf8());
        m_daemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                                       QStringLiteral("--print-address")});
        // The daemon prints its address once it listens; the wait only guards against a hang.
        while (m_daemon.state() != QProcess::NotRunning && !m_daemon.canReadLine()) m_daemon.waitForReadyRead(30000);
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        for (const QString &name : m_names) QDBusConnection::disconnectFromBus(name);
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    QDBusConnection connect(const QString &name)
    {
        m_names << name;
        return QDBusConnection::connectToBus(address, name);
    }
    QString address;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QStringList m_names;
};

// The test's notification service: answers as a real one does and keeps every call.
class RecordingService final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString app, icon, summary, body;
        QStringList actions;
        QVariantMap hints;
        int width = 0, height = 0, channels = 0;
        QByteArray pixels;
    };
    std::vector<Call> calls;
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &app, uint, const QString &icon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int)
    {
        Call c{app, icon, summary, body, actions, hints, 0, 0, 0, {}};
        if (hints.contains(QStringLiteral("image-data"))) {
            const QDBusArgument arg = hints.value(QStringLiteral("image-data")).value<QDBusArgument>();
            int stride = 0, bits = 0;
            bool alpha = false;
            arg.beginStructure();
            arg >> c.width >> c.height >> stride >> alpha >> bits >> c.channels >> c.pixels;
            arg.endStructure();
        }
        calls.push_back(c);
        return uint(calls.size()) + 40;
    }
    void CloseNotification(uint) {}
};

// Runs the event loop until `done` holds (or a generous guard against a hang runs out).
template <typename F> bool spinUntil(F done)
{
    QDeadlineTimer guard(30000);
    while (!done() && !guard.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

QImage testIcon()
{
    QImage img(4, 2, QImage::Format_RGBA8888);
    img.fill(QColor(10, 20, 30, 255));
    return img;
}

} // namespace

TEST(AlertDelivery, NoticesReachTheServiceWithTheIconAndAClickShowsTheStock)
{
    coreApp();
    PrivateBus bus;
    if (bus.address.isEmpty()) GTEST_SKIP() << "no dbus-daemon here";
    QDBusConnection service = bus.connect(QStringLiteral("service"));
    RecordingService recorder;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &recorder, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

    DbusNotifier notifier(bus.connect(QStringLiteral("program")), testIcon());
    std::vector<int> shown;
    notifier.onActivated = [&](int code) { shown.push_back(code); };
    ASSERT_TRUE(notifier.notify({QStringLiteral("株価アラート"), QStringLiteral("1301 極洋 3250 が 3200 以上になりました"), 1301}));
    ASSERT_TRUE(notifier.notify({QStringLiteral("S"), QStringLiteral("A&B <x>"), 0}));
    ASSERT_EQ(recorder.calls.size(), 2u);
    const RecordingService::Call &c = recorder.calls[0];
    EXPECT_EQ(c.app, QStringLiteral("VELOR"));
    EXPECT_EQ(c.icon, QStringLiteral("velor"));
    EXPECT_EQ(c.summary, QStringLiteral("株価アラート"));
    EXPECT_EQ(c.body, QStringLiteral("1301 極洋 3250 が 3200 以上になりました"));
    EXPECT_EQ(c.actions, (QStringList{QStringLiteral("default"), QStringLiteral("表示")}));
    EXPECT_EQ(c.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("velor"));
    EXPECT_EQ(c.width, 4);
    EXPECT_EQ(c.height, 2);
    EXPECT_EQ(c.channels, 4);
    EXPECT_EQ(c.pixels.left(4), QByteArray("\x0a\x14\x1e\xff", 4));
    // Without a stock there is nothing to click; a service without markup gets the text as it is.
    EXPECT_TRUE(recorder.calls[1].actions.isEmpty());
    EXPECT_EQ(recorder.calls[1].body, QStringLiteral("A&B <x>"));

    // The user clicks the first notification; a click on someone else's does nothing.
    for (uint id : {uint(99), uint(41)}) {
        QDBusMessage click = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        click << id << QStringLiteral("default");
        ASSERT_TRUE(service.send(click));
    }
    ASSERT_TRUE(spinUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown, std::vector<int>{1301});
}

TEST(AlertDelivery, AServiceThatReadsMarkupGetsTheBodyEscaped)
{
    coreApp();
    PrivateBus bus;
    if (bus.address.isEmpty()) GTEST_SKIP() << "no dbus-daemon here";
    QDBusConnection service = bus.connect(QStringLiteral("service"));
    RecordingService recorder;
    recorder.capabilities << QStringLiteral("body-markup");
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &recorder, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    DbusNotifier notifier(bus.connect(QStringLiteral("program")), QImage());
    ASSERT_TRUE(notifier.notify({QStringLiteral("S"), QStringLiteral("Ｊ&Ｊ <b>\n2行目"), 7203}));
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].body, QStringLiteral("Ｊ&amp;Ｊ &lt;b&gt;\n2行目"));
    EXPECT_FALSE(recorder.calls[0].hints.contains(QStringLiteral("image-data")));
}

TEST(AlertDelivery, WithNoServiceTheAlertGoesToTheMessagePaneWithASound)
{
    coreApp();
    PrivateBus bus;
    if (bus.address.isEmpty()) GTEST_SKIP() << "no dbus-daemon here";
    ProgramFolder pf;
    pf.writeMaster({{1001, QStringLiteral("日経平均"), 1}, {1301, QStringLiteral("極洋"), 1}});
    writeFile(pf.program + QStringLiteral("ALERT.wav"), "RIFF");
    TestEnv env;
    env.clock.set(QDateTime(QDate(2026, 11, 30), QTime(10, 15)));
    DbusNotifier notifier(bus.connect(QStringLiteral("program")), testIcon());
    AlertDelivery delivery(pf.st, env.services, notifier);
    AlertCenter center(pf.st);
    center.prices().set(1301, 3200, 0);
    const auto raised = center.checkPrices({{1301, 3300}});
    ASSERT_EQ(raised.size(), 1u);
    EXPECT_FALSE(delivery.deliver(raised[0]));
    EXPECT_EQ(env.shell.messages(), QStringLiteral("10:15 アラート: 1301 極洋 3300 が 3200 以上になりました\r\n"));
    EXPECT_EQ(env.sound.played, QStringList{pf.program + QStringLiteral("ALERT.wav")});
    EXPECT_TRUE(env.dialogs.shown.empty());

    // No bus at all (no desktop session): the same fallback.
    DbusNotifier nowhere(QDBusConnection(QStringLiteral("no-such-connection")), testIcon());
    EXPECT_FALSE(nowhere.notify({QStringLiteral("S"), QStringLiteral("B"), 1301}));
}

#include "AlertDeliveryTest.moc"
