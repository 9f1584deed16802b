#pragma once

#include "mail/EmailComposeDlg.h"

// Composes the "Broker Going Down" broadcast: subject and message, stored under
// "EmailBCDSubject" and "EmailBCDContent" by Send.
class CEmailSendBCDDlg : public CEmailComposeDlg {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Send Email Broadcast Broker Going Down";

    CEmailSendBCDDlg(AppSettings& settings, Prompter& prompter, QWidget* parent = nullptr);
};
