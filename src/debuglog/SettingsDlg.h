#pragma once

#include <QDialog>
#include <QString>

class AppSettings;
class QCheckBox;
class QLineEdit;

// "Monitor Settings": the broker connection and the scan options. Opens on the stored
// values; OK stores what is shown (nothing is validated) and Cancel stores nothing. After
// OK the getters hold the values the monitor window takes into its running state.
class CSettingsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Monitor Settings";

    explicit CSettingsDlg(AppSettings& settings, QWidget* parent = nullptr);

    QString Broker() const { return m_broker; }
    QString AdminUserId() const { return m_adminUserId; }
    QString Password() const { return m_password; }  // plain text
    quint32 Interval() const { return m_interval; }
    bool FilterBlankUserids() const { return m_filterBlankUserids; }
    bool FilterQuorvatelUserid() const { return m_filterQuorvatelUserid; }
    bool FilterStaleUserids() const { return m_filterStaleUserids; }

    void accept() override;

    // The interval a text stands for: its leading decimal number; no digits, or a negative
    // number, give 0.
    static quint32 IntervalFromText(const QString& text);

private:
    AppSettings& m_settings;

    QString m_broker;
    QString m_adminUserId;
    QString m_password;
    quint32 m_interval = 0;
    bool m_filterBlankUserids = false;
    bool m_filterQuorvatelUserid = false;
    bool m_filterStaleUserids = false;

    QLineEdit* m_brokerEdit = nullptr;
    QLineEdit* m_userEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QLineEdit* m_intervalEdit = nullptr;
    QCheckBox* m_blankBox = nullptr;
    QCheckBox* m_ownBox = nullptr;
    QCheckBox* m_staleBox = nullptr;
};
