#include "platform/MessageBoxPrompter.h"

#include <QMessageBox>

#include "platform/SettingsStore.h"

namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& text, bool toFront) {
    QMessageBox box(icon, QString::fromLatin1(SettingsStore::kApplication), text, QMessageBox::Ok,
                    parent);
    if (toFront) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        box.show();
        box.raise();
        box.activateWindow();
    }
    box.exec();
}

}  // namespace

void MessageBoxPrompter::Warning(const QString& text) {
    ShowBox(m_parent, QMessageBox::Warning, text, true);
}

void MessageBoxPrompter::Information(const QString& text) {
    ShowBox(m_parent, QMessageBox::Information, text, true);
}

void MessageBoxPrompter::Plain(const QString& text) {
    ShowBox(m_parent, QMessageBox::NoIcon, text, false);
}

void MessageBoxPrompter::Notice(const QString& text) {
    if (m_notice) return;
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromLatin1(SettingsStore::kApplication),
                                text, QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box->show();
    box->raise();
    m_notice = box;
}
