#include "mail/EmailBroadcastSetDlg.h"

#include <QBoxLayout>
#include <QPushButton>
#include <QRadioButton>

#include "controls/ReportCtrl.h"
#include "mail/EmailDeleteListDlg.h"

CEmailBroadcastSetDlg::CEmailBroadcastSetDlg(const Layout& layout,
                                             const EmailDialogServices& services, QWidget* parent)
    : CEmailSettingsDlg(layout, services, parent) {
    auto* import = new QPushButton(QStringLiteral("Import SS..."), this);
    import->setObjectName(QStringLiteral("import"));
    import->setAutoDefault(false);
    import->setEnabled(static_cast<bool>(Services().importRecipients));
    ListButtons()->addWidget(import);
    connect(import, &QPushButton::clicked, this, &CEmailBroadcastSetDlg::ImportRecipients);

    // Drawn as a radio button, it works as an on/off switch.
    m_selectAll = new QRadioButton(QStringLiteral("SelectAll"), this);
    m_selectAll->setObjectName(QStringLiteral("selectAll"));
    m_selectAll->setAutoExclusive(false);
    ListButtons()->addWidget(m_selectAll);
    ListButtons()->addStretch(1);
    connect(m_selectAll, &QRadioButton::clicked, this, &CEmailBroadcastSetDlg::OnSelectAll);

    SortByAddress();
    RefreshSelectAll();
}

bool CEmailBroadcastSetDlg::SelectAllOn() const {
    return m_selectAll->isChecked();
}

void CEmailBroadcastSetDlg::RefreshSelectAll() {
    m_selectAll->setChecked(Recipients().GetItemCount(CReportCtrl::RC_ITEM_UNCHECKED) == 0);
}

void CEmailBroadcastSetDlg::OnSelectAll(bool on) {
    CReportCtrl& list = Recipients();
    for (int row = 0; row < list.GetItemCount(); ++row) list.SetCheck(row, on);
}

void CEmailBroadcastSetDlg::ImportRecipients() {
    if (!Services().importRecipients) return;
    Services().importRecipients(Recipients());
    RefreshSelectAll();
    SortByAddress();
}

void CEmailBroadcastSetDlg::AfterAdd(int row) {
    Recipients().SetCheck(row, true);
    SortByAddress();
}

void CEmailBroadcastSetDlg::OnDelete() {
    if (Recipients().GetItemCount(CReportCtrl::RC_ITEM_SELECTED) == 0) return;
    CEmailDeleteListDlg dialog(Recipients(), this);
    if (RunDialog(dialog) != QDialog::Accepted) return;
    SortByAddress();
}
