#include "mail/EmailComposeDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/SettingsKeys.h"
#include "controls/FormEdit.h"
#include "controls/RichEditCtrlEx.h"
#include "platform/Prompter.h"

CEmailComposeDlg::CEmailComposeDlg(AppSettings& settings, Prompter& prompter, const char* caption,
                                   QWidget* parent)
    : QDialog(parent), m_settings(settings), m_prompter(prompter) {
    setWindowTitle(QString::fromLatin1(caption));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    m_form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    layout->addLayout(m_form, 1);
}

QLineEdit* CEmailComposeDlg::AddLineBox(const char* label, const char* name, const SettingDef& key,
                                        const char* blankMessage, const QString& text) {
    QLineEdit* edit = AddFormEdit(m_form, this, label, name, text);
    m_boxes.append({edit, &key, blankMessage});
    return edit;
}

CRichEditCtrlEx* CEmailComposeDlg::AddMessageBox(const SettingDef& key, const char* blankMessage) {
    auto* box = new CRichEditCtrlEx(this);
    box->setObjectName(QStringLiteral("message"));
    // Absent counts as empty here: the compose boxes show no placeholder texts.
    box->SetText(m_settings.Text(key));
    box->setMinimumSize(420, 160);
    m_form->addRow(QStringLiteral("Message:"), box);
    m_boxes.append({box, &key, blankMessage});
    return box;
}

void CEmailComposeDlg::AddButtons() {
    auto* buttons = new QDialogButtonBox(this);
    m_send = buttons->addButton(QStringLiteral("Send"), QDialogButtonBox::AcceptRole);
    m_close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    m_send->setObjectName(QStringLiteral("send"));
    m_close->setObjectName(QStringLiteral("close"));
    m_send->setDefault(true);
    static_cast<QVBoxLayout*>(layout())->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CEmailComposeDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CEmailComposeDlg::reject);
}

QString CEmailComposeDlg::BoxText(const QWidget* widget) {
    if (auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
    return static_cast<const CRichEditCtrlEx*>(widget)->Text();
}

void CEmailComposeDlg::accept() {
    // Each box is stored before it is checked, so a blank one replaces the stored text too.
    for (const Box& box : m_boxes) {
        const QString text = BoxText(box.widget);
        m_settings.SetText(*box.key, text);
        if (text.isEmpty()) {
            m_prompter.Warning(QString::fromLatin1(box.blankMessage));
            box.widget->setFocus();
            return;
        }
    }
    QDialog::accept();
}
