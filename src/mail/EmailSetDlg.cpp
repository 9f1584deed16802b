#include "mail/EmailSetDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/SettingsKeys.h"
#include "controls/ReportCtrl.h"

CEmailSetDlg::CEmailSetDlg(const EmailDialogServices& services, QWidget* parent)
    : CEmailSettingsDlg(
          {kTitle, nullptr,
           "Email Recipient(s):\nSet checkbox for recipient to receive alert email.", nullptr,
           Setting::EmailSubject, Setting::EmailContent, RecipientSection::kAlerts},
          services, parent) {
    const AppSettings& settings = Services().settings;

    m_alertOptions = new QHBoxLayout;
    TopArea()->addLayout(m_alertOptions);
    m_alertsEnabled = new QCheckBox(QStringLiteral("   Enable send email alerts"), this);
    m_alertsEnabled->setObjectName(QStringLiteral("alertsEnabled"));
    // Absent counts as on here, unlike in the main window: saving writes it explicitly.
    m_alertsEnabled->setChecked(settings.TextOrFallback(Setting::EmailAlertsEnabled) ==
                                QLatin1String("1"));
    m_alertOptions->addWidget(m_alertsEnabled);
    m_recoveryEnabled =
        new QCheckBox(QStringLiteral("   Send email when the Broker answers again"), this);
    m_recoveryEnabled->setObjectName(QStringLiteral("recoveryEnabled"));
    m_recoveryEnabled->setChecked(settings.Text(Setting::EmailRecoveryEnabled) !=
                                  QLatin1String("0"));
    m_alertOptions->addWidget(m_recoveryEnabled);
    m_alertOptions->addStretch(1);

    auto* limitRow = new QHBoxLayout;
    TopArea()->addLayout(limitRow);
    m_limit = new QComboBox(this);
    m_limit->setObjectName(QStringLiteral("contigFailLimit"));
    for (int n = kFirstLimit; n <= kLastLimit; ++n) m_limit->addItem(QString::number(n));
    // A stored value outside the list leaves it without a selection.
    m_limit->setCurrentIndex(m_limit->findText(settings.TextOrFallback(Setting::ContigFailLimit)));
    limitRow->addWidget(m_limit);
    auto* label = new QLabel(QStringLiteral("Send email alert after contiguous fails"), this);
    label->setBuddy(m_limit);
    limitRow->addWidget(label);
    limitRow->addStretch(1);
    // Add and Delete stand at the top beside the list.
    ListButtons()->addStretch(1);
}

void CEmailSetDlg::StoreOwnValues() {
    AppSettings& settings = Services().settings;
    settings.SetText(Setting::EmailAlertsEnabled,
                     m_alertsEnabled->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    settings.SetText(Setting::EmailRecoveryEnabled,
                     m_recoveryEnabled->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    // Without a selection the stored limit stays as it is rather than becoming empty.
    if (m_limit->currentIndex() >= 0)
        settings.SetText(Setting::ContigFailLimit, m_limit->currentText());
}

void CEmailSetDlg::AfterAdd(int) {}

void CEmailSetDlg::OnDelete() {
    Recipients().DeleteAllItems(CReportCtrl::RC_ITEM_SELECTED);
}
