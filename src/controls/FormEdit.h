#pragma once

#include <QFormLayout>
#include <QLineEdit>
#include <QString>

// A labelled edit on a settings dialog's form, named so that tests and the dialog find it.
inline QLineEdit* AddFormEdit(QFormLayout* form, QWidget* parent, const char* label,
                              const char* name, const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(name));
    form->addRow(QString::fromLatin1(label), edit);
    return edit;
}
