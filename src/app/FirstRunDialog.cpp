#include "app/FirstRunDialog.h"

#include "app/FirstRun.h"
#include "db/Sites.h"
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
    jquantsButton = new QPushButton(QStringLiteral("J-Quants から株価データベースを作る（取引所の API。キーが要ります）"), this);
    jquantsButton->setObjectName(QStringLiteral("jquantsButton"));
    chooseButton = new QPushButton(QStringLiteral("既にあるプログラムフォルダーを選ぶ…"), this);
    quitButton = new QPushButton(QStringLiteral("終了"), this);
    stopButton = new QPushButton(QStringLiteral("中止"), this);
    stopButton->hide();
    progress = new QProgressBar(this);
    progress->hide();
    status = new QLabel(this);
    status->hide();
    for (QWidget *w : {static_cast<QWidget *>(demoButton), static_cast<QWidget *>(emptyButton), static_cast<QWidget *>(jquantsButton),
                       static_cast<QWidget *>(chooseButton), static_cast<QWidget *>(progress), static_cast<QWidget *>(status),
                       static_cast<QWidget *>(stopButton), static_cast<QWidget *>(quitButton)})
        layout->addWidget(w);
    connect(demoButton, &QPushButton::clicked, this, &FirstRunDialog::makeDemo);
    connect(emptyButton, &QPushButton::clicked, this, &FirstRunDialog::makeEmpty);
    connect(jquantsButton, &QPushButton::clicked, this, &FirstRunDialog::makeJQuants);
    connect(chooseButton, &QPushButton::clicked, this, &FirstRunDialog::chooseExisting);
    connect(stopButton, &QPushButton::clicked, this, [this] { stopWriting(false); });
    connect(quitButton, &QPushButton::clicked, this, [this] {
        if (m_busy) stopWriting(true);
        else QDialog::reject();
    });
}

void FirstRunDialog::stopWriting(bool andQuit)
{
    m_stop = true;
    m_quitAfter = m_quitAfter || andQuit;
    stopButton->setEnabled(false);
    status->setText(QStringLiteral("中止しています…"));
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
    // The dialog closes once the writing has stopped and its folder is gone (makeDemo does it).
    if (m_busy) {
        stopWriting(true);
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

void FirstRunDialog::reject()
{
    if (m_busy) return stopWriting(false);
    QDialog::reject();
}

void FirstRunDialog::setBusy(bool busy)
{
    m_busy = busy;
    // 終了 stays: it stops the writing and ends the program.
    for (QPushButton *b : {demoButton, emptyButton, jquantsButton, chooseButton}) b->setEnabled(!busy);
    stopButton->setEnabled(busy);
    stopButton->setVisible(busy);
    progress->setVisible(busy);
    status->setVisible(true);
    if (busy) status->setText(QStringLiteral("デモ用のフォルダーを作っています…"));
}

void FirstRunDialog::finish(const QString &dir)
{
    m_result = withTrailingSeparator(QDir(dir).absolutePath());
    accept();
}

void FirstRunDialog::makeDemo()
{
    if (m_busy) return;
    m_stop = m_quitAfter = false;
    setBusy(true);
    QElapsedTimer sincePaint;
    sincePaint.start();
    const auto progressShown = [&](int done, int total) {
        progress->setMaximum(std::max(total, 1));
        progress->setValue(std::min(done, std::max(total, 1)));
        if (!m_stop) status->setText(QStringLiteral("デモ用のフォルダーを作っています…（%1 / %2 銘柄）").arg(done).arg(total));
        // A few times a second the window paints and takes clicks (中止, 終了, the close box);
        // the writing asks for a stop before its next stock.
        if (sincePaint.elapsed() >= 50 || done == total) {
            sincePaint.restart();
            QApplication::processEvents();
        }
        if (onProgress) onProgress(done, total);
    };
    const auto r = writeDemoProgramFolder(m_dir, m_demoStocks, m_manual, progressShown,
                                          [this] { return m_stop || quitRequested(); });
    setBusy(false);
    if (quitRequested() || (m_stop && m_quitAfter)) return QDialog::reject();
    if (m_stop) {
        // The choices are offered again: a stop is not an error, so no box.
        status->setText(QStringLiteral("デモ用のフォルダーの作成を中止しました。作りかけのフォルダーは削除しました。"));
        return;
    }
    status->hide();
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

void FirstRunDialog::makeJQuants()
{
    if (auto r = writeEmptyProgramFolder(m_dir); !r) {
        m_dialogs.message(r.error(), Icon::Error);
        return;
    }
    if (auto r = setSitesKeys(QDir(m_dir).filePath(QStringLiteral("sites.ini")), {{QStringLiteral("PriceSource"), QStringLiteral("jquants")}});
        !r) {
        m_dialogs.message(r.error(), Icon::Error);
        return;
    }
    m_dialogs.message(QStringLiteral("J-Quants から株価を取り込むプログラムフォルダー ") + QDir::toNativeSeparators(m_dir) +
                          QStringLiteral(" を作りました。\n\n「ファイル」→「設定…」で J-Quants API キーを保存し、プラン（free、light、standard、premium）を選んでから、"
                                         "「株価データをまとめて追加（自動）」（F2）で株価データベースを作って下さい（最初は約 15 か月分。"
                                         "無料プランでは 1 時間を超えます）。"),
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
