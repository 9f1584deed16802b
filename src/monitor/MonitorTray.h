#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "monitor/TrayState.h"

class QMenu;
class QSystemTrayIcon;
class QWidget;

// The monitor's icon in the desktop's system tray: its colour shows the state, its tooltip
// the Broker, the session count and the state; it raises the window on a click and offers
// Show, ON, OFF and Exit. Create it only where the desktop has a tray.
class MonitorTray : public QObject {
    Q_OBJECT
public:
    explicit MonitorTray(QWidget* window);
    ~MonitorTray() override;

    static bool Available();

    void SetBroker(const QString& broker);
    void SetScanEnabled(bool enabled);
    void ScanFailed();
    void ScanAnswered(int sessions);
    void AlertRaised();

    const TrayState& State() const { return m_state; }

signals:
    void OnRequested();
    void OffRequested();
    void ExitRequested();

private:
    void ShowWindow();
    void Refresh();
    void Notify(const TrayState::Notice& notice);

    QPointer<QWidget> m_window;
    TrayState m_state;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon = nullptr;  // a child of this object
    TrayState::Condition m_shown = TrayState::Condition::Answering;
    bool m_iconSet = false;
};
