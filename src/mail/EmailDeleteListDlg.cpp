#include "mail/EmailDeleteListDlg.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/ReportCtrl.h"
#include "mail/EmailSettingsDlg.h"

CEmailDeleteListDlg::CEmailDeleteListDlg(CReportCtrl& recipients, QWidget* parent)
    : QDialog(parent), m_recipients(recipients) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* list = new CReportCtrl(this);
    list->setObjectName(QStringLiteral("listed"));
    list->setAccessibleName(QStringLiteral("Recipients to delete"));
    list->SetColumnHeader(QString::fromLatin1(CEmailSettingsDlg::kColumns));
    list->SetGridLines(true);
    for (int row = 0; row < recipients.GetItemCount(); ++row) {
        if (!recipients.IsItemSelected(row)) continue;
        m_listed.append(recipients.GetItemText(row, 0));
        list->InsertItem(list->GetItemCount(), m_listed.last());
    }
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CEmailDeleteListDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CEmailDeleteListDlg::accept() {
    // The rows listed, and no other: two addresses may differ only in letter case. The
    // dialog is modal, so the selection is still the one it listed.
    m_recipients.DeleteAllItems(CReportCtrl::RC_ITEM_SELECTED);
    QDialog::accept();
}
