#pragma once

#include <QDialog>
#include <QString>
#include <functional>

#include "mail/MapStrToEmailObj.h"

class AppSettings;
class CReportCtrl;
class CRichEditCtrlEx;
class Mailer;
class Prompter;
class QBoxLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
struct SettingDef;

// What the e-mail settings dialogs need from their surroundings.
struct EmailDialogServices {
    AppSettings& settings;
    Mailer& mailer;  // test mails
    Prompter& prompter;
    // Runs the small dialogs (address entry, delete confirmation) modally; exec() when empty.
    std::function<int(QDialog&)> runDialog;
    // "Import SS...": fills the list from a snapshot file. The button is disabled without it.
    std::function<void(CReportCtrl&)> importRecipients;
};

// The common part of the three e-mail settings dialogs: the shared mail server, port and
// sender, the dialog's own subject and message, one recipient list with a check box per
// recipient, Add, Delete, the test mail, Apply and Close. The dialog works on its own copy:
// nothing is stored before Apply (or Enter in a single-line box, which applies and closes;
// Enter on a button presses that button).
class CEmailSettingsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kColumns = "Email address, 292;";
    static constexpr const char* kServerBlank = "Email Server is blank!";
    static constexpr const char* kPortBlank = "Email Port is blank!";
    static constexpr const char* kFromBlank = "Email From Address is blank!";
    static constexpr const char* kSubjectBlank = "Email Subject is blank!";
    static constexpr const char* kContentBlank = "Email Content is blank!";
    static constexpr const char* kNoneSelected = "No email recipient selected and checked!";
    static constexpr const char* kSaved = "Data Saved in Registry.";
    static constexpr const char* kTestMark = "TEST";

    CReportCtrl& Recipients() const { return *m_list; }

    // Stores every value and the list, then says so.
    void Apply();
    // Sends the test mail to every row that is both selected and checked.
    void SendTestEmail();
    void accept() override;

    // The test mail's subject: " TEST" appended unless the subject already holds "TEST".
    static QString TestSubject(const QString& subject);

protected:
    struct Layout {
        const char* title;
        const char* intro;       // a line above the boxes; nullptr for none
        const char* listLabel;   // the list's label, or
        const char* groupTitle;  // the title of the group box the list sits in
        const SettingDef& subject;
        const SettingDef& content;
        const char* section;  // the recipient list's section
    };

    CEmailSettingsDlg(const Layout& layout, const EmailDialogServices& services, QWidget* parent);

    // The rows above the mail boxes (below the intro line), for the dialog's own options.
    QVBoxLayout* TopArea() const { return m_top; }
    // The buttons beside the list, after Add and Delete.
    QBoxLayout* ListButtons() const { return m_listButtons; }
    EmailDialogServices& Services() { return m_services; }
    int RunDialog(QDialog& dialog);
    void SortByAddress();

    // The values only one dialog has, stored by Apply before the list.
    virtual void StoreOwnValues() {}
    // A newly added row at the top of the list.
    virtual void AfterAdd(int row) = 0;
    virtual void OnDelete() = 0;

    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnAdd();
    QPushButton* AddButton(QBoxLayout* layout, const char* text, const char* name);

    EmailDialogServices m_services;
    const SettingDef& m_subjectKey;
    const SettingDef& m_contentKey;
    QString m_section;

    QVBoxLayout* m_top = nullptr;
    QBoxLayout* m_listButtons = nullptr;
    QLineEdit* m_server = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_subject = nullptr;
    CRichEditCtrlEx* m_content = nullptr;
    CReportCtrl* m_list = nullptr;
};
