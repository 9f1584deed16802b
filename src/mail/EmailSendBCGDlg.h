#pragma once

#include "mail/EmailComposeDlg.h"

// Composes the general broadcast: subject and message, stored under "EmailBCGSubject" and
// "EmailBCGContent" by Send.
class CEmailSendBCGDlg : public CEmailComposeDlg {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Send Broadcast General Email";

    CEmailSendBCGDlg(AppSettings& settings, Prompter& prompter, QWidget* parent = nullptr);
};
