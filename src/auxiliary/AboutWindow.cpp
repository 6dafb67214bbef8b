#include "auxiliary/AboutWindow.h"

#include "auxiliary/About.h"
#include "auxiliary/Links.h"
#include "auxiliary/SystemInfo.h"
#include "db/Services.h"
#include "db/State.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace velor {

AboutWindow::AboutWindow(const State &st, Services &sv, QWidget *parent) : QDialog(parent), m_st(st), m_sv(sv)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(aboutCaption());
    setModal(false);
    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(QPixmap::fromImage(velorIcon(64)));
    picIcon->setAlignment(Qt::AlignTop);
    lblTitle = new QLabel(aboutTitleText(), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setWordWrap(true);
    lblTitle->setMinimumWidth(300);
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.1);
    lblTitle->setFont(big);
    lblVersion = new QLabel(aboutVersionText(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("ｼｽﾃﾑ情報(&S)..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdHP = new QPushButton(QStringLiteral("HPへ"), this);
    cmdHP->setObjectName(QStringLiteral("cmdHP"));
    cmdHP->setToolTip(QStringLiteral("HPへジャンプ"));

    auto *grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 2, 1);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1, Qt::AlignTop);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addWidget(cmdHP);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 2, 2, 1);
    grid->setColumnStretch(1, 1);

    connect(cmdOK, &QPushButton::clicked, this, &AboutWindow::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutWindow::cmdSysInfo_Click);
    connect(cmdHP, &QPushButton::clicked, this, &AboutWindow::cmdHP_Click);
}

void AboutWindow::cmdOK_Click() { close(); }

void AboutWindow::cmdSysInfo_Click()
{
    const SystemInfo info = readSystemInfo(m_procRoot, m_st.ProgramDir, m_st.DataDir);
    if (!systemInfoAvailable(info)) {
        m_sv.dialogs.message(QString::fromUtf16(kSysInfoUnavailable));
        return;
    }
    m_sv.dialogs.message(systemInfoText(info), Icon::Information, QStringLiteral("システム情報"));
}

void AboutWindow::cmdHP_Click() { velor::cmdHP_Click(m_st, m_sv); }

} // namespace velor
