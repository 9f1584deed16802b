#include "mail/EmailBCGSetDlg.h"

#include "app/SettingsKeys.h"

CEmailBCGSetDlg::CEmailBCGSetDlg(const EmailDialogServices& services, QWidget* parent)
    : CEmailBroadcastSetDlg(
          {kTitle, "These are settings for email broadcasting a General Message.", nullptr,
           "Recipients not necessarily logged in the matrix to receive this email",
           Setting::EmailBCGSubject, Setting::EmailBCGContent, RecipientSection::kGeneralMessage},
          services, parent) {}
