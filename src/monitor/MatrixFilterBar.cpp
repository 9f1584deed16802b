#include "monitor/MatrixFilterBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

MatrixFilterBar::MatrixFilterBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("matrixFilterBar"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("matrixFilter"));
    m_edit->setPlaceholderText(QString::fromLatin1(kPlaceholder));
    m_edit->setClearButtonEnabled(true);
    // No label names the box; its placeholder is only a hint, and goes once text is typed.
    m_edit->setAccessibleName(QStringLiteral("Filter sessions"));
    m_edit->installEventFilter(this);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("matrixFilterCount"));
    m_count->setTextFormat(Qt::PlainText);
    m_count->hide();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_edit, 1);
    row->addWidget(m_count);
    connect(m_edit, &QLineEdit::textChanged, this, &MatrixFilterBar::TextChanged);
}

QString MatrixFilterBar::Text() const {
    return m_edit->text();
}

void MatrixFilterBar::SetText(const QString& text) {
    m_edit->setText(text);
}

void MatrixFilterBar::FocusFilter() {
    m_edit->setFocus(Qt::ShortcutFocusReason);
    m_edit->selectAll();
}

void MatrixFilterBar::ShowCounts(bool filtered, int shown, int total) {
    m_count->setVisible(filtered);
    if (filtered)
        m_count->setText(QStringLiteral("Showing %1 of %2 sessions").arg(shown).arg(total));
}

bool MatrixFilterBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !m_edit->text().isEmpty()) {
        m_edit->clear();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
