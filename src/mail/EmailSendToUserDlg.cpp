#include "mail/EmailSendToUserDlg.h"

#include <QLineEdit>

#include "app/SettingsKeys.h"

CEmailSendToUserDlg::CEmailSendToUserDlg(AppSettings& settings, Prompter& prompter,
                                         const QString& to, QWidget* parent)
    : CEmailComposeDlg(settings, prompter, kCaption, parent) {
    QString from = settings.Text(Setting::EmailToUserFrom);
    if (from.isEmpty()) from = settings.Text(Setting::EmailFrom);
    AddLineBox("From:", "from", Setting::EmailToUserFrom, kFromBlank, from);
    AddLineBox("To:", "to", Setting::EmailToUserTo, kToBlank,
               to.isEmpty() ? settings.Text(Setting::EmailToUserTo) : to);
    QLineEdit* subject = AddLineBox("Subject:", "subject", Setting::EmailToUserSubject,
                                    kSubjectBlank, settings.Text(Setting::EmailToUserSubject));
    AddMessageBox(Setting::EmailToUserContent, kContentBlank);
    AddButtons();
    subject->setFocus();
}
