#pragma once

#include "mail/EmailSettingsDlg.h"

class QCheckBox;
class QComboBox;
class QHBoxLayout;

// "Email Alerts Setting": the broker alert mail, its switch, after how many contiguous
// failed scans it goes out, and its recipients. Added rows start unchecked and the list
// keeps the order rows were put in; Delete removes the selected rows at once.
class CEmailSetDlg : public CEmailSettingsDlg {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Email Alerts Setting";
    static constexpr int kFirstLimit = 6;
    static constexpr int kLastLimit = 24;

    explicit CEmailSetDlg(const EmailDialogServices& services, QWidget* parent = nullptr);

    // The row holding the alert switch; further alert options go beside it.
    QHBoxLayout* AlertOptions() const { return m_alertOptions; }

protected:
    void StoreOwnValues() override;
    void AfterAdd(int row) override;
    void OnDelete() override;

private:
    QHBoxLayout* m_alertOptions = nullptr;
    QCheckBox* m_alertsEnabled = nullptr;
    QCheckBox* m_recoveryEnabled = nullptr;
    QComboBox* m_limit = nullptr;
};
