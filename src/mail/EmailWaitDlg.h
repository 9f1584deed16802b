#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class Clock;
class QLabel;
class QProgressBar;
class QPushButton;

// The modeless "Sending Email...." window shown while the mail tool runs. It disables the
// main window for its lifetime, cannot be cancelled, and its bar never moves back.
class CEmailWaitDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Sending Email....";
    static constexpr const char* kStatusPrefix = "Sending Email .... ";
    static constexpr int kMaximum = 100;
    // The pause when the bar reaches its end, so the user sees the send complete.
    static constexpr int kFullPauseMs = 500;

    // Shows the window centred over `mainWindow` (may be null), disables the main window and
    // paints at once, before the caller blocks on the tool.
    CEmailWaitDlg(QWidget* mainWindow, Clock& clock);
    ~CEmailWaitDlg() override;

    // The status line for a send to `recipient`.
    static QString SendingText(const QString& recipient);

    void SetStatusText(const QString& text);
    // 0, anything not beyond the current position, and any call after Close are ignored;
    // values above the maximum count as the maximum, which pauses before returning.
    void SetProgress(int position);
    // Hides the window and gives the main window back its state and the keyboard focus.
    void Close();

    int Position() const { return m_position; }
    QString StatusText() const;
    QProgressBar* ProgressBar() const { return m_bar; }
    QPushButton* CancelButton() const { return m_cancel; }

protected:
    // A send cannot be interrupted: Escape and the close box do nothing.
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;

private:
    void ReclaimFocus(QWidget* now);

    Clock& m_clock;
    QPointer<QWidget> m_mainWindow;
    bool m_mainWindowWasEnabled = true;
    bool m_open = false;
    int m_position = 0;
    QLabel* m_status = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
    QMetaObject::Connection m_focusWatch;
};
