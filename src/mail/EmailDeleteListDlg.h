#pragma once

#include <QDialog>
#include <QStringList>

class CReportCtrl;

// "Delete all these items": lists the selected addresses of a recipient list; OK removes
// those rows.
class CEmailDeleteListDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Delete all these items";

    explicit CEmailDeleteListDlg(CReportCtrl& recipients, QWidget* parent = nullptr);

    QStringList Listed() const { return m_listed; }
    void accept() override;

private:
    CReportCtrl& m_recipients;
    QStringList m_listed;
};
