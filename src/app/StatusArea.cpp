#include "app/StatusArea.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

namespace velor {

StatusArea::StatusArea(QWidget *window) : QStatusBar(window)
{
    setObjectName(QStringLiteral("StatusArea"));
    setSizeGripEnabled(false);
    activity = new QLabel(this);
    activity->setObjectName(QStringLiteral("activity"));
    bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("activityBar"));
    bar->setMaximumWidth(160);
    bar->setTextVisible(false);
    stopButton = new QPushButton(QStringLiteral("中止"), this);
    stopButton->setObjectName(QStringLiteral("activityStop"));
    stopButton->setToolTip(QStringLiteral("ダウンロードを中止します（Esc）"));
    addPermanentWidget(activity, 1);
    addPermanentWidget(bar);
    addPermanentWidget(stopButton);
    for (QWidget *w : {static_cast<QWidget *>(activity), static_cast<QWidget *>(bar), static_cast<QWidget *>(stopButton)})
        w->hide();
    connect(stopButton, &QPushButton::clicked, this, [this] { requestStop(); });
    // Esc stops the work anywhere in the window, but only while there is work to stop.
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    m_escape->setContext(Qt::WindowShortcut);
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, [this] { requestStop(); });
}

void StatusArea::showActivity(const QString &text, int value, int maximum)
{
    if (!m_active) {
        m_active = true;
        m_stop = false;
        stopButton->setEnabled(true);
        m_escape->setEnabled(true);
        for (QWidget *w : {static_cast<QWidget *>(activity), static_cast<QWidget *>(bar), static_cast<QWidget *>(stopButton)})
            w->show();
    }
    activity->setText(text);
    // A maximum of 0 makes the bar a busy indicator, for work whose size is not known yet.
    bar->setMaximum(std::max(maximum, 0));
    bar->setValue(std::clamp(value, 0, std::max(maximum, 0)));
}

void StatusArea::endActivity()
{
    m_active = false;
    m_stop = false;
    m_escape->setEnabled(false);
    activity->clear();
    for (QWidget *w : {static_cast<QWidget *>(activity), static_cast<QWidget *>(bar), static_cast<QWidget *>(stopButton)})
        w->hide();
}

void StatusArea::requestStop()
{
    if (!m_active) return;
    m_stop = true;
    stopButton->setEnabled(false);   // pressed once is enough: the work stops at its next step
    activity->setText(QStringLiteral("中止しています…"));
}

} // namespace velor
