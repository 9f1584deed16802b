#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>

#include "platform/Prompter.h"

class QWidget;

// The real boxes, titled with the program's name and parented to the main window when set.
class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }

    void Warning(const QString& text) override;
    void Information(const QString& text) override;
    void Plain(const QString& text) override;
    void Notice(const QString& text) override;

private:
    QWidget* m_parent;
    QPointer<QMessageBox> m_notice;
};
