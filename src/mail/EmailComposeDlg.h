#pragma once

#include <QDialog>
#include <QList>
#include <QString>

struct SettingDef;
class AppSettings;
class CRichEditCtrlEx;
class Prompter;
class QFormLayout;
class QLineEdit;
class QPushButton;

// What the compose dialogs of the broadcasts and the user message share: boxes bound to
// settings keys, shown with the stored texts, and a Send that stores each box in order and
// stops at the first blank one (its message shown, the focus on it, the boxes after it not
// stored). Close stores nothing.
class CEmailComposeDlg : public QDialog {
    Q_OBJECT
public:
    // The messages of the two broadcast dialogs.
    static constexpr const char* kBroadcastSubjectBlank = "The Subject edit box is blank.";
    static constexpr const char* kBroadcastMessageBlank = "The Message content edit box is blank.";

    QPushButton* SendButton() const { return m_send; }
    QPushButton* CloseButton() const { return m_close; }

    // Send.
    void accept() override;

protected:
    CEmailComposeDlg(AppSettings& settings, Prompter& prompter, const char* caption,
                     QWidget* parent);

    // A one-line box showing `text`; `key` is where Send stores it.
    QLineEdit* AddLineBox(const char* label, const char* name, const SettingDef& key,
                          const char* blankMessage, const QString& text);
    // The multi-line message box (Return breaks the line).
    CRichEditCtrlEx* AddMessageBox(const SettingDef& key, const char* blankMessage);
    // Send (the default button) and Close, below the boxes.
    void AddButtons();

    AppSettings& m_settings;

private:
    struct Box {
        QWidget* widget;
        const SettingDef* key;
        const char* blankMessage;
    };
    static QString BoxText(const QWidget* widget);

    Prompter& m_prompter;
    QFormLayout* m_form = nullptr;
    QList<Box> m_boxes;
    QPushButton* m_send = nullptr;
    QPushButton* m_close = nullptr;
};
