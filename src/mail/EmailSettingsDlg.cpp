#include "mail/EmailSettingsDlg.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/RecipientListStore.h"
#include "app/SettingsKeys.h"
#include "controls/FormEdit.h"
#include "controls/ReportCtrl.h"
#include "controls/RichEditCtrlEx.h"
#include "mail/EmailAddDlg.h"
#include "mail/Mailer.h"
#include "mail/RecipientList.h"
#include "platform/Prompter.h"
#include "platform/SettingsStore.h"
#include "platform/WaitCursor.h"

CEmailSettingsDlg::CEmailSettingsDlg(const Layout& layout, const EmailDialogServices& services,
                                     QWidget* parent)
    : QDialog(parent),
      m_services(services),
      m_subjectKey(layout.subject),
      m_contentKey(layout.content),
      m_section(QString::fromLatin1(layout.section)) {
    setWindowTitle(QString::fromLatin1(layout.title));
    setModal(true);
    AppSettings& settings = m_services.settings;

    auto* main = new QVBoxLayout(this);
    if (layout.intro) {
        auto* intro = new QLabel(QString::fromLatin1(layout.intro), this);
        intro->setTextFormat(Qt::PlainText);
        main->addWidget(intro);
    }
    m_top = new QVBoxLayout;
    main->addLayout(m_top);

    auto* form = new QFormLayout;
    main->addLayout(form);
    m_server = AddFormEdit(form, this, "Mail Server:", "server",
                           settings.TextOrFallback(Setting::EmailServer));
    m_port = AddFormEdit(form, this, "Port:", "port", settings.TextOrFallback(Setting::EmailPort));
    m_from = AddFormEdit(form, this, "From:", "from", settings.TextOrFallback(Setting::EmailFrom));
    m_subject =
        AddFormEdit(form, this, "Subject:", "subject", settings.TextOrFallback(m_subjectKey));
    for (QLineEdit* box : {m_server, m_port, m_from, m_subject})
        connect(box, &QLineEdit::returnPressed, this, &CEmailSettingsDlg::accept);
    m_content = new CRichEditCtrlEx(this);
    m_content->setObjectName(QStringLiteral("content"));
    m_content->SetText(settings.TextOrFallback(m_contentKey));
    m_content->setMinimumHeight(m_content->fontMetrics().lineSpacing() * 5);
    form->addRow(QStringLiteral("Content:"), m_content);

    // The list and its buttons, under a label or inside a group box.
    auto* listRow = new QHBoxLayout;
    // The list is named after the text above it, which a screen reader does not tie to it.
    QString listName;
    if (layout.groupTitle) {
        listName = QString::fromLatin1(layout.groupTitle);
        auto* group = new QGroupBox(QString::fromLatin1(layout.groupTitle), this);
        group->setLayout(listRow);
        main->addWidget(group, 1);
    } else {
        listName = QString::fromLatin1(layout.listLabel);
        auto* label = new QLabel(listName, this);
        label->setTextFormat(Qt::PlainText);
        main->addWidget(label);
        main->addLayout(listRow, 1);
    }
    m_list = new CReportCtrl(this);
    m_list->setObjectName(QStringLiteral("recipients"));
    // Its first line names it; what follows says how to use it.
    QStringList nameLines = listName.split(QLatin1Char('\n'));
    QString name = nameLines.takeFirst().trimmed();
    if (name.endsWith(QLatin1Char(':'))) name.chop(1);
    m_list->setAccessibleName(name);
    m_list->setAccessibleDescription(nameLines.join(QLatin1Char(' ')).trimmed());
    m_list->SetColumnHeader(QString::fromLatin1(kColumns));
    m_list->SetGridLines(true);
    m_list->SetCheckboxMode(CReportCtrl::RC_CHKBOX_NORMAL);
    m_list->setMinimumSize(320, 140);
    listRow->addWidget(m_list, 1);
    m_listButtons = new QVBoxLayout;
    listRow->addLayout(m_listButtons);
    connect(AddButton(m_listButtons, "Add", "add"), &QPushButton::clicked, this,
            &CEmailSettingsDlg::OnAdd);
    connect(AddButton(m_listButtons, "Delete", "delete"), &QPushButton::clicked, this,
            &CEmailSettingsDlg::OnDelete);

    auto* bottom = new QHBoxLayout;
    main->addLayout(bottom);
    connect(AddButton(bottom, "Send Test Email to Selected Recipient", "test"),
            &QPushButton::clicked, this, &CEmailSettingsDlg::SendTestEmail);
    bottom->addStretch(1);
    connect(AddButton(bottom, "Apply", "apply"), &QPushButton::clicked, this,
            &CEmailSettingsDlg::Apply);
    connect(AddButton(bottom, "Close", "close"), &QPushButton::clicked, this, &QDialog::reject);

    // Each stored recipient at the top of the list, in the map's order.
    CMapStrToEmailObj stored;
    LoadRecipientList(settings.Store(), m_section, stored);
    for (const CEmailObj& recipient : stored) {
        const int row = m_list->InsertItem(0, recipient.Address);
        m_list->SetCheck(row, recipient.IsChecked());
    }
}

QPushButton* CEmailSettingsDlg::AddButton(QBoxLayout* layout, const char* text, const char* name) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setObjectName(QString::fromLatin1(name));
    // No button stands in for the others: Enter presses the focused one (below).
    button->setAutoDefault(false);
    layout->addWidget(button);
    return button;
}

int CEmailSettingsDlg::RunDialog(QDialog& dialog) {
    return m_services.runDialog ? m_services.runDialog(dialog) : dialog.exec();
}

void CEmailSettingsDlg::SortByAddress() {
    m_list->SortItems(0, true);
}

void CEmailSettingsDlg::OnAdd() {
    CEmailAddDlg dialog(this);
    if (RunDialog(dialog) != QDialog::Accepted) return;
    AfterAdd(m_list->InsertItem(0, dialog.Address()));
}

QString CEmailSettingsDlg::TestSubject(const QString& subject) {
    if (subject.contains(QLatin1String(kTestMark), Qt::CaseSensitive)) return subject;
    return subject + QLatin1Char(' ') + QLatin1String(kTestMark);
}

void CEmailSettingsDlg::SendTestEmail() {
    WaitCursor wait;
    const QString server = m_server->text();
    const QString port = m_port->text();
    const QString from = m_from->text();
    const QString subject = m_subject->text();
    const QString content = m_content->Text();
    for (const auto& [value, message] :
         {std::pair{&server, kServerBlank}, std::pair{&port, kPortBlank},
          std::pair{&from, kFromBlank}, std::pair{&subject, kSubjectBlank},
          std::pair{&content, kContentBlank}}) {
        if (value->isEmpty()) {
            m_services.prompter.Warning(QString::fromLatin1(message));
            return;
        }
    }
    const QString testSubject = TestSubject(subject);
    bool sent = false;
    Mailer::Command command(m_services.mailer);
    for (int row = 0; row < m_list->GetItemCount(); ++row) {
        if (!m_list->IsItemSelected(row) || !m_list->GetCheck(row)) continue;
        sent = true;
        m_services.mailer.SendEmail(m_list->GetItemText(row, 0), server, port, from, testSubject,
                                    content);
    }
    if (!sent) m_services.prompter.Warning(QString::fromLatin1(kNoneSelected));
}

void CEmailSettingsDlg::Apply() {
    AppSettings& settings = m_services.settings;
    {
        // Every value and the whole list reach the disk in one write of the file.
        const SettingsStore::Batch batch(settings.Store());
        settings.SetText(Setting::EmailServer, m_server->text());
        settings.SetText(Setting::EmailPort, m_port->text());
        settings.SetText(Setting::EmailFrom, m_from->text());
        settings.SetText(m_subjectKey, m_subject->text());
        settings.SetText(m_contentKey, m_content->Text());
        StoreOwnValues();

        QList<RecipientEntry> entries;
        for (int row = 0; row < m_list->GetItemCount(); ++row)
            entries.append({m_list->GetCheck(row) ? 1 : 0, m_list->GetItemText(row, 0)});
        WriteRecipientEntries(settings.Store(), m_section, entries);
    }
    m_services.prompter.Information(QString::fromLatin1(kSaved));
}

void CEmailSettingsDlg::accept() {
    Apply();
    QDialog::accept();
}

void CEmailSettingsDlg::keyPressEvent(QKeyEvent* event) {
    // Enter reaches the dialog from a focused button, which then is pressed; a single-line
    // box has applied and closed already, and the message box keeps Return itself.
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if (button && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

namespace {

// The widgets Tab stops at, in the order `layout` holds them; a widget that takes no focus
// itself (a group box) gives those of its own layout.
void CollectTabStops(QLayout* layout, QList<QWidget*>& out) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QLayout* inner = item->layout()) {
            CollectTabStops(inner, out);
        } else if (QWidget* w = item->widget()) {
            if (w->focusPolicy() & Qt::TabFocus)
                out.append(w);
            else if (w->layout())
                CollectTabStops(w->layout(), out);
        }
    }
}

}  // namespace

void CEmailSettingsDlg::showEvent(QShowEvent* event) {
    // Tab follows the dialog as it reads, top to bottom, from its first control: what a
    // dialog adds above the boxes or beside the list is made after the buttons at the bottom.
    QList<QWidget*> stops;
    CollectTabStops(layout(), stops);
    for (qsizetype i = 1; i < stops.size(); ++i) setTabOrder(stops[i - 1], stops[i]);
    if (!focusWidget() && !stops.isEmpty()) stops.first()->setFocus();
    QDialog::showEvent(event);
}
