#pragma once

#include "mail/EmailComposeDlg.h"

// Composes a message to one user: sender, recipient, subject and message, stored under
// "EmailToUserFrom", "EmailToUserTo", "EmailToUserSubject" and "EmailToUserContent" by Send.
class CEmailSendToUserDlg : public CEmailComposeDlg {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Send Message to this User";
    static constexpr const char* kFromBlank = "The Message 'From' edit box is blank.";
    static constexpr const char* kToBlank = "The Message 'To' edit box is blank.";
    static constexpr const char* kSubjectBlank = "The Message 'Subject' edit box is blank.";
    static constexpr const char* kContentBlank = "The Message 'Content' edit box is blank.";

    // From shows the last sender, else the common sender; To shows `to`, else the last
    // recipient.
    CEmailSendToUserDlg(AppSettings& settings, Prompter& prompter, const QString& to,
                        QWidget* parent = nullptr);
};
