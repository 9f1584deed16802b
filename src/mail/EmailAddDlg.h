#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

// "Enter recipient email address": one box; OK hands back the text exactly as typed (an
// empty one too).
class CEmailAddDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Enter recipient email address";

    explicit CEmailAddDlg(QWidget* parent = nullptr);
    QString Address() const;

private:
    QLineEdit* m_address = nullptr;
};
