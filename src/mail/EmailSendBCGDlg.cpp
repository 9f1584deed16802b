#include "mail/EmailSendBCGDlg.h"

#include "app/SettingsKeys.h"
#include "controls/RichEditCtrlEx.h"

CEmailSendBCGDlg::CEmailSendBCGDlg(AppSettings& settings, Prompter& prompter, QWidget* parent)
    : CEmailComposeDlg(settings, prompter, kCaption, parent) {
    AddLineBox("Subject:", "subject", Setting::EmailBCGSubject, kBroadcastSubjectBlank,
               settings.Text(Setting::EmailBCGSubject));
    CRichEditCtrlEx* message = AddMessageBox(Setting::EmailBCGContent, kBroadcastMessageBlank);
    AddButtons();
    // A general message is written anew each time.
    message->setFocus();
}
