#include "monitor/MonitorTray.h"

#include <QColor>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

namespace {

QColor ConditionColour(TrayState::Condition condition) {
    switch (condition) {
        case TrayState::Condition::Paused:
            return QColor(150, 150, 150);
        case TrayState::Condition::Failing:
            return QColor(210, 40, 40);
        case TrayState::Condition::Answering:
            break;
    }
    return QColor(40, 160, 70);
}

// A disc in the state's colour over a small outline of the login matrix.
QIcon ConditionIcon(TrayState::Condition condition) {
    QIcon icon;
    for (int size : {16, 22, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor colour = ConditionColour(condition);
        p.setPen(QPen(colour.darker(150), qMax(1.0, size / 16.0)));
        p.setBrush(colour);
        const qreal inset = size / 16.0;
        p.drawEllipse(QRectF(inset, inset, size - 2 * inset, size - 2 * inset));
        p.setPen(QPen(QColor(255, 255, 255, 220), qMax(1.0, size / 16.0)));
        const qreal a = size * 0.3;
        const qreal b = size * 0.7;
        for (qreal y : {size * 0.4, size * 0.55, size * 0.7})
            p.drawLine(QPointF(a, y), QPointF(b, y));
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

MonitorTray::MonitorTray(QWidget* window) : m_window(window), m_menu(std::make_unique<QMenu>()) {
    m_icon = new QSystemTrayIcon(this);
    m_menu->addAction(QStringLiteral("Show"), this, &MonitorTray::ShowWindow);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("ON"), this, &MonitorTray::OnRequested);
    m_menu->addAction(QStringLiteral("OFF"), this, &MonitorTray::OffRequested);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Exit"), this, &MonitorTray::ExitRequested);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    ShowWindow();
            });
    Refresh();
    m_icon->show();
}

MonitorTray::~MonitorTray() {
    // The icon goes before the menu it points at.
    delete m_icon;
}

bool MonitorTray::Available() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void MonitorTray::SetBroker(const QString& broker) {
    m_state.SetBroker(broker);
    Refresh();
}

void MonitorTray::SetScanEnabled(bool enabled) {
    m_state.SetScanEnabled(enabled);
    Refresh();
}

void MonitorTray::ScanFailed() {
    m_state.ScanFailed();
    Refresh();
}

void MonitorTray::ScanAnswered(int sessions) {
    const std::optional<TrayState::Notice> notice = m_state.ScanAnswered(sessions);
    Refresh();
    if (notice) Notify(*notice);
}

void MonitorTray::AlertRaised() {
    const TrayState::Notice notice = m_state.AlertRaised();
    Refresh();
    Notify(notice);
}

void MonitorTray::ShowWindow() {
    if (!m_window) return;
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

void MonitorTray::Refresh() {
    const TrayState::Condition condition = m_state.State();
    if (!m_iconSet || condition != m_shown) {
        m_icon->setIcon(ConditionIcon(condition));
        m_shown = condition;
        m_iconSet = true;
    }
    m_icon->setToolTip(m_state.ToolTip());
}

void MonitorTray::Notify(const TrayState::Notice& notice) {
    if (!QSystemTrayIcon::supportsMessages()) return;
    m_icon->showMessage(notice.title, notice.text,
                        notice.warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}
