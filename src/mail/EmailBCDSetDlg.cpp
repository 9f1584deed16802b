#include "mail/EmailBCDSetDlg.h"

#include "app/SettingsKeys.h"

CEmailBCDSetDlg::CEmailBCDSetDlg(const EmailDialogServices& services, QWidget* parent)
    : CEmailBroadcastSetDlg(
          {kTitle, "These are settings for email broadcasting \"Broker Going Down\" message.",
           nullptr, "Recipients not necessarily logged in the matrix to receive this email ",
           Setting::EmailBCDSubject, Setting::EmailBCDContent, RecipientSection::kBrokerGoingDown},
          services, parent) {}
