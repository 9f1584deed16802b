#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

// The filter box above the matrix, with its clear button and the "Showing N of M sessions"
// label beside it. Escape in the box empties it. The text is never stored: a new window
// starts unfiltered.
class MatrixFilterBar : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kPlaceholder = "Filter sessions: user, machine, PID";

    explicit MatrixFilterBar(QWidget* parent = nullptr);

    QString Text() const;
    void SetText(const QString& text);
    // Puts the caret into the box with its text selected, ready to be typed over.
    void FocusFilter();
    // The label while a filter is typed; hidden without one.
    void ShowCounts(bool filtered, int shown, int total);
    QLineEdit* Edit() const { return m_edit; }
    QLabel* CountLabel() const { return m_count; }

signals:
    void TextChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_edit = nullptr;
    QLabel* m_count = nullptr;
};
