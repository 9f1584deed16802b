#include "mail/EmailWaitDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "platform/BlockingWait.h"
#include "platform/Clock.h"

CEmailWaitDlg::CEmailWaitDlg(QWidget* mainWindow, Clock& clock)
    : QDialog(mainWindow), m_clock(clock), m_mainWindow(mainWindow) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setModal(false);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    m_status = new QLabel(this);
    m_status->setMinimumWidth(320);
    m_status->setTextFormat(Qt::PlainText);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, kMaximum);
    m_bar->setValue(0);
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setEnabled(false);
    m_cancel->setVisible(false);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(m_status, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignRight);

    if (m_mainWindow) {
        m_mainWindowWasEnabled = m_mainWindow->isEnabled();
        m_mainWindow->setEnabled(false);
        // Disabling a window disables its child windows too; this one stays live.
        setEnabled(true);
    }
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this,
                           [this](QWidget*, QWidget* now) { ReclaimFocus(now); });

    m_open = true;
    show();
    raise();
    activateWindow();
    BlockingWait::PumpPaint();
}

CEmailWaitDlg::~CEmailWaitDlg() {
    Close();
}

QString CEmailWaitDlg::SendingText(const QString& recipient) {
    return QString::fromLatin1(kStatusPrefix) + recipient;
}

void CEmailWaitDlg::SetStatusText(const QString& text) {
    if (!m_open) return;
    m_status->setText(text);
}

QString CEmailWaitDlg::StatusText() const {
    return m_status->text();
}

void CEmailWaitDlg::SetProgress(int position) {
    if (!m_open || position == 0) return;
    if (position > kMaximum) position = kMaximum;
    if (position <= m_position) return;
    m_position = position;
    m_bar->setValue(position);
    if (position == kMaximum) m_clock.Sleep(kFullPauseMs);
}

void CEmailWaitDlg::Close() {
    if (!m_open) return;
    m_open = false;
    disconnect(m_focusWatch);
    hide();
    if (m_mainWindow) {
        m_mainWindow->setEnabled(m_mainWindowWasEnabled);
        m_mainWindow->activateWindow();
        m_mainWindow->setFocus(Qt::OtherFocusReason);
    }
}

void CEmailWaitDlg::closeEvent(QCloseEvent* event) {
    if (m_open) event->ignore();
}

void CEmailWaitDlg::ReclaimFocus(QWidget* now) {
    if (!m_open || !now || now->window() == this) return;
    // A message box or modal dialog shown meanwhile (the launcher's own message, a settings
    // dialog underneath) keeps its focus; fighting it would trap the user.
    if (QApplication::activeModalWidget()) return;
    activateWindow();
}
