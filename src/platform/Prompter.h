#pragma once

#include <QString>

class QWidget;

// Message boxes, behind a seam so that tests record what the user would have seen.
class Prompter {
public:
    virtual ~Prompter() = default;
    // Exclamation icon, brought to the foreground, a single OK button.
    virtual void Warning(const QString& text) = 0;
    // Information icon, brought to the foreground.
    virtual void Information(const QString& text) = 0;
    // A plain box without an icon.
    virtual void Plain(const QString& text) = 0;
};

// The real boxes, titled with the program's name and parented to the main window when set.
class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }

    void Warning(const QString& text) override;
    void Information(const QString& text) override;
    void Plain(const QString& text) override;

private:
    QWidget* m_parent;
};
