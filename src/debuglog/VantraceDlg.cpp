#include "debuglog/VantraceDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/SettingsKeys.h"
#include "controls/FormEdit.h"

namespace {

// One name a line, compiled into the program.
constexpr const char* kTypesResource = ":/debuglog/TransactionTypes.txt";
const char* const kLevels[] = {"5", "4", "3", "2", "1"};

QStringList LoadTypes() {
    QStringList types;
    QFile file(QString::fromLatin1(kTypesResource));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QString name = QString::fromUtf8(line).trimmed();
            if (!name.isEmpty()) types.append(name);
        }
    }
    // The resource is part of the program; should it ever be missing, "(ALL)" still works.
    if (types.isEmpty() || types.first() != QLatin1String(CVantraceDlg::kAllTypes))
        types.prepend(QString::fromLatin1(CVantraceDlg::kAllTypes));
    return types;
}

}  // namespace

const QStringList& CVantraceDlg::TransactionTypes() {
    static const QStringList types = LoadTypes();
    return types;
}

int CVantraceDlg::TransTypeIndex(const QStringList& types, const QString& stored) {
    // A value stored with blanks or a tab around it still names its entry.
    QString wanted = stored.trimmed();
    if (wanted.contains(QLatin1String("ALL"))) wanted = QString::fromLatin1(kAllTypes);
    if (wanted.isEmpty()) return 0;
    for (int i = 0; i < types.size(); ++i)
        if (types[i].startsWith(wanted, Qt::CaseInsensitive)) return i;
    return 0;  // an unknown name: log everything rather than send no type at all
}

QString CVantraceDlg::StoredTransType(const QString& chosen) {
    const QString upper = chosen.trimmed().toUpper();
    return upper.contains(QLatin1String("ALL")) ? QString::fromLatin1(kAllTypes) : upper;
}

CVantraceDlg::CVantraceDlg(AppSettings& settings, const QString& machine, const QString& userId,
                           bool active, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_userId(userId), m_machine(machine) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setModal(true);

    m_broker = settings.Text(Setting::Broker);
    m_adminUserId = settings.Text(Setting::AdminUserId);
    m_password = settings.Password();
    m_logLevel = settings.Text(Setting::LogLevel);
    m_transTypes = settings.Text(Setting::TransTypes);
    m_start = !active;

    auto* layout = new QVBoxLayout(this);

    auto* choice = new QGroupBox(this);
    choice->setAccessibleName(QStringLiteral("Vantrace Logging"));  // it has no title
    auto* choiceLayout = new QHBoxLayout(choice);
    m_startRadio = new QRadioButton(QStringLiteral(" Start Vantrace Logging"), choice);
    m_startRadio->setObjectName(QStringLiteral("start"));
    m_stopRadio = new QRadioButton(QStringLiteral(" Stop Vantrace Logging"), choice);
    m_stopRadio->setObjectName(QStringLiteral("stop"));
    choiceLayout->addWidget(m_startRadio);
    choiceLayout->addWidget(m_stopRadio);
    (m_start ? m_startRadio : m_stopRadio)->setChecked(true);
    layout->addWidget(choice);

    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_brokerEdit = AddFormEdit(form, this, "Broker:", "broker", m_broker);
    m_brokerEdit->setEnabled(false);
    m_adminEdit = AddFormEdit(form, this, "Administrator UserId:", "adminUserId", m_adminUserId);
    m_adminEdit->setEnabled(false);
    m_userEdit = AddFormEdit(form, this, "UserId:", "userId", userId);
    m_machineEdit = AddFormEdit(form, this, "MachineName:", "machineName", machine);

    m_levelBox = new QComboBox(this);
    m_levelBox->setObjectName(QStringLiteral("logLevel"));
    // Its label heads a row of two widgets and so names neither.
    m_levelBox->setAccessibleName(QStringLiteral("Logging Level"));
    for (const char* level : kLevels) m_levelBox->addItem(QString::fromLatin1(level));
    m_levelBox->setCurrentIndex(std::max(0, m_levelBox->findText(m_logLevel)));
    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(m_levelBox);
    levelRow->addWidget(new QLabel(QString::fromLatin1(kLevelNote), this));
    levelRow->addStretch();
    form->addRow(QStringLiteral("Logging Level:"), levelRow);

    m_typesBox = new QComboBox(this);
    m_typesBox->setObjectName(QStringLiteral("transTypes"));
    m_typesBox->addItems(TransactionTypes());
    m_typesBox->setCurrentIndex(TransTypeIndex(TransactionTypes(), m_transTypes));
    form->addRow(QStringLiteral("Log Transaction Types:"), m_typesBox);

    // Carried along for the request, never shown.
    m_passwordEdit = new QLineEdit(m_password, this);
    m_passwordEdit->setObjectName(QStringLiteral("password"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->hide();

    auto* note = new QLabel(QString::fromLatin1(kAllClientsNote), this);
    note->setTextFormat(Qt::PlainText);
    layout->addWidget(note);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Commit"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CVantraceDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CVantraceDlg::reject);

    m_userEdit->setFocus();
    m_userEdit->selectAll();
}

void CVantraceDlg::accept() {
    m_broker = m_brokerEdit->text();
    m_adminUserId = m_adminEdit->text();
    m_password = m_passwordEdit->text();
    m_userId = m_userEdit->text().toUpper();
    m_machine = m_machineEdit->text().toUpper();
    m_logLevel = m_levelBox->currentText();
    m_transTypes = StoredTransType(m_typesBox->currentText());
    m_start = m_startRadio->isChecked();

    m_settings.SetText(Setting::LogLevel, m_logLevel);
    m_settings.SetText(Setting::TransTypes, m_transTypes);
    QDialog::accept();
}
