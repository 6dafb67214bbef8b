#include "app/DemoServerWiring.h"

#include "app/MainWindow.h"
#include "demo/DemoParameters.h"
#include "demo/DemoServer.h"

#include <QCoreApplication>

namespace velor {

namespace {

const QString kObjectName = QStringLiteral("DemoServer");

} // namespace

void wireDemoServer(MainWindow &w)
{
    const State &st = w.state();
    const std::optional<int> port = demo::demoServerPort(st.ProgramDir, st.sites);
    if (!port) return;
    const auto options = demo::readDemoParameters(st.ProgramDir);
    if (!options) return;
    // A child of the window: it answers from the window's thread, so the window's own page waits
    // are served, and it goes with the window.
    auto *server = new demo::DemoServer(*options, w.services().clock, &w);
    server->setObjectName(kObjectName);
    if (!server->listen(*port)) {
        w.prependMessage(QStringLiteral("デモの相場ページのサーバーを 127.0.0.1:%1 で開始できません（%2）。"
                                        "そのポートで velor demo serve が動いていれば、そこから読みます。\r\n")
                             .arg(*port)
                             .arg(server->errorText()));
        delete server;
        return;
    }
    // No page is answered once the program is ending.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, server, [server] { server->close(); });
}

demo::DemoServer *demoServerOf(MainWindow &w)
{
    // Only wireDemoServer names a child so.
    return static_cast<demo::DemoServer *>(w.findChild<QObject *>(kObjectName, Qt::FindDirectChildrenOnly));
}

} // namespace velor
