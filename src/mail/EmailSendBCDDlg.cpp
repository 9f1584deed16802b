#include "mail/EmailSendBCDDlg.h"

#include <QPushButton>

#include "app/SettingsKeys.h"

CEmailSendBCDDlg::CEmailSendBCDDlg(AppSettings& settings, Prompter& prompter, QWidget* parent)
    : CEmailComposeDlg(settings, prompter, kCaption, parent) {
    AddLineBox("Subject:", "subject", Setting::EmailBCDSubject, kBroadcastSubjectBlank,
               settings.Text(Setting::EmailBCDSubject));
    AddMessageBox(Setting::EmailBCDContent, kBroadcastMessageBlank);
    AddButtons();
    // The notice is usually sent as stored: one key press sends it.
    SendButton()->setFocus();
}
