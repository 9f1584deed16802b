#include "debuglog/SettingsDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/SettingsKeys.h"
#include "controls/FormEdit.h"
#include "platform/TextHelpers.h"

namespace {

QCheckBox* AddBox(QVBoxLayout* layout, QWidget* parent, const char* text, const char* name,
                  bool checked) {
    auto* box = new QCheckBox(QString::fromLatin1(text), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    layout->addWidget(box);
    return box;
}

}  // namespace

CSettingsDlg::CSettingsDlg(AppSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setModal(true);

    m_broker = settings.Text(Setting::Broker);
    m_adminUserId = settings.Text(Setting::AdminUserId);
    m_password = settings.Password();
    m_interval = settings.Int(Setting::Interval);
    m_filterBlankUserids = settings.Flag(Setting::FilterBlankUserids);
    m_filterQuorvatelUserid = settings.Flag(Setting::FilterQuorvatelUserid);
    m_filterStaleUserids = settings.Flag(Setting::FilterStaleUserids);

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_brokerEdit = AddFormEdit(form, this, "Broker:", "broker", m_broker);
    m_userEdit = AddFormEdit(form, this, "Administrator User ID:", "adminUserId", m_adminUserId);
    m_passwordEdit = AddFormEdit(form, this, "Password:", "password", m_password);
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_intervalEdit = AddFormEdit(form, this, "Scanning Interval (secs):", "interval",
                                 QString::number(m_interval));
    m_intervalEdit->setMaximumWidth(
        m_intervalEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 16);

    m_blankBox = AddBox(layout, this, "  Filter out rows with blank userids", "filterBlankUserids",
                        m_filterBlankUserids);
    m_ownBox = AddBox(layout, this, "  Filter out this Quorvatel userid", "filterQuorvatelUserid",
                      m_filterQuorvatelUserid);
    m_staleBox = AddBox(layout, this, "  Filter out stale userids (with dates < currentdate)",
                        "filterStaleUserids", m_filterStaleUserids);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSettingsDlg::reject);
}

quint32 CSettingsDlg::IntervalFromText(const QString& text) {
    const int n = LeadingInt(text);
    return n > 0 ? static_cast<quint32>(n) : 0u;
}

void CSettingsDlg::accept() {
    m_broker = m_brokerEdit->text();
    m_adminUserId = m_userEdit->text();
    m_password = m_passwordEdit->text();
    m_interval = IntervalFromText(m_intervalEdit->text());
    m_filterBlankUserids = m_blankBox->isChecked();
    m_filterQuorvatelUserid = m_ownBox->isChecked();
    m_filterStaleUserids = m_staleBox->isChecked();

    m_settings.SetText(Setting::Broker, m_broker);
    m_settings.SetText(Setting::AdminUserId, m_adminUserId);
    m_settings.SetPassword(m_password);
    m_settings.SetInt(Setting::Interval, m_interval);
    m_settings.SetInt(Setting::FilterBlankUserids, m_filterBlankUserids ? 1 : 0);
    m_settings.SetInt(Setting::FilterQuorvatelUserid, m_filterQuorvatelUserid ? 1 : 0);
    m_settings.SetInt(Setting::FilterStaleUserids, m_filterStaleUserids ? 1 : 0);
    QDialog::accept();
}
