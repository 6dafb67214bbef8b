#include "app/FirstRunDialog.h"

#include "app/FirstRun.h"
#include "common/Dialogs.h"
#include "common/Quit.h"
#include "common/Utils.h"
#include "demo/MarketGenerator.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace velor {

FirstRunDialog::FirstRunDialog(const QString &dir, const QString &manualPath, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_dir(QDir::cleanPath(dir)), m_manual(manualPath), m_dialogs(dialogs),
      m_demoStocks(demo::MarketOptions{}.stocks)
{
    setObjectName(QStringLiteral("FirstRunDialog"));
    setWindowTitle(QStringLiteral("VELOR　はじめに"));
    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(QStringLiteral("VELOR へようこそ。\n\n設定・株価データ・登録銘柄を置くプログラムフォルダーがまだありません。\n"
                                           "次のフォルダーに作るか、既にあるプログラムフォルダーを選んで下さい。\n\n　") +
                                QDir::toNativeSeparators(m_dir),
                            this);
    text->setWordWrap(true);
    layout->addWidget(text);
    demoButton = new QPushButton(QStringLiteral("デモ用のプログラムフォルダーを作る（架空の全銘柄の株価で、すぐに試せます）"), this);
    emptyButton = new QPushButton(QStringLiteral("空のプログラムフォルダーを作る（sites.ini に株価データのサイトを書き、最初のダウンロードで集めます）"), this);
    chooseButton = new QPushButton(QStringLiteral("既にあるプログラムフォルダーを選ぶ…"), this);
    quitButton = new QPushButton(QStringLiteral("終了"), this);
    progress = new QProgressBar(this);
    progress->hide();
    for (QWidget *w : {static_cast<QWidget *>(demoButton), static_cast<QWidget *>(emptyButton),
                       static_cast<QWidget *>(chooseButton), static_cast<QWidget *>(progress), static_cast<QWidget *>(quitButton)})
        layout->addWidget(w);
    connect(demoButton, &QPushButton::clicked, this, &FirstRunDialog::makeDemo);
    connect(emptyButton, &QPushButton::clicked, this, &FirstRunDialog::makeEmpty);
    connect(chooseButton, &QPushButton::clicked, this, &FirstRunDialog::chooseExisting);
    connect(quitButton, &QPushButton::clicked, this, &QDialog::reject);
}

void FirstRunDialog::setMissingFolder(const QString &dir)
{
    if (dir.isEmpty()) return;
    auto *gone = new QLabel(missingFolderText(dir) + QStringLiteral("\n別の場所にあれば「既にあるプログラムフォルダーを選ぶ…」で選んで下さい。"), this);
    gone->setObjectName(QStringLiteral("missingFolder"));
    gone->setWordWrap(true);
    gone->setStyleSheet(QStringLiteral("color: #c00000"));
    static_cast<QVBoxLayout *>(layout())->insertWidget(0, gone);
}

void FirstRunDialog::closeEvent(QCloseEvent *e)
{
    // Closed while the demo is written: the program ends (the half-written folder has a name of
    // its own and is thrown away by the next first run).
    if (m_busy) requestQuit();
    QDialog::closeEvent(e);
}

void FirstRunDialog::setBusy(bool busy)
{
    m_busy = busy;
    for (QPushButton *b : {demoButton, emptyButton, chooseButton, quitButton}) b->setEnabled(!busy);
    progress->setVisible(busy);
}

void FirstRunDialog::finish(const QString &dir)
{
    m_result = withTrailingSeparator(QDir(dir).absolutePath());
    accept();
}

void FirstRunDialog::makeDemo()
{
    setBusy(true);
    QElapsedTimer sincePaint;
    sincePaint.start();
    const auto r = writeDemoProgramFolder(m_dir, m_demoStocks, m_manual, [&](int done, int total) {
        progress->setMaximum(std::max(total, 1));
        progress->setValue(std::min(done, std::max(total, 1)));
        // A few repaints a second keep the bar moving without slowing the writing down.
        if (sincePaint.elapsed() >= 50 || done == total) {
            sincePaint.restart();
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    });
    setBusy(false);
    if (quitRequested()) return reject();
    if (!r) {
        m_dialogs.message(r.error(), Icon::Error);
        return;
    }
    finish(m_dir);
}

void FirstRunDialog::makeEmpty()
{
    if (auto r = writeEmptyProgramFolder(m_dir); !r) {
        m_dialogs.message(r.error(), Icon::Error);
        return;
    }
    m_dialogs.message(QStringLiteral("空のプログラムフォルダー ") + QDir::toNativeSeparators(m_dir) +
                          QStringLiteral(" を作りました。\n\nsites.ini の DataSiteUrl に株価データのサイトのアドレスを書いてから、"
                                         "「株価データをまとめて追加（自動）」（F2）で株価を集めて下さい。"),
                      Icon::Information);
    finish(m_dir);
}

void FirstRunDialog::chooseExisting()
{
    const QString ini = m_dialogs.openFile(QStringLiteral("プログラムフォルダーの VELOR.ini を選んで下さい"), QDir::homePath(),
                                           QStringLiteral("VELOR.ini (VELOR.ini);;すべてのファイル (*)"));
    if (ini.isEmpty()) return;
    const QFileInfo file(ini);
    if (file.fileName().compare(QStringLiteral("VELOR.ini"), Qt::CaseInsensitive) != 0 || !file.isFile()) {
        m_dialogs.message(QStringLiteral("プログラムフォルダーの VELOR.ini を選んで下さい。"), Icon::Warning);
        return;
    }
    if (auto r = rememberProgramFolder(file.absolutePath()); !r) {
        m_dialogs.message(r.error(), Icon::Error);
        return;
    }
    finish(file.absolutePath());
}

} // namespace velor
