#pragma once

#include "mail/EmailSettingsDlg.h"

class QRadioButton;

// The common part of the two broadcast settings dialogs: the list is kept sorted by
// address, added and imported rows start checked, Delete asks first, and the SelectAll
// switch checks or clears every row.
class CEmailBroadcastSetDlg : public CEmailSettingsDlg {
    Q_OBJECT
public:
    // On when every row is checked (an empty list too). Set after opening and after an
    // import; single rows changing their box leave it alone.
    bool SelectAllOn() const;

    void ImportRecipients();

protected:
    CEmailBroadcastSetDlg(const Layout& layout, const EmailDialogServices& services,
                          QWidget* parent);

    void AfterAdd(int row) override;
    void OnDelete() override;

private:
    void RefreshSelectAll();
    void OnSelectAll(bool on);

    QRadioButton* m_selectAll = nullptr;
};
