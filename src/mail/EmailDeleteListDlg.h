#pragma once

#include <QDialog>
#include <QStringList>

class CReportCtrl;

// "Delete all these items": lists the selected addresses of a recipient list; OK removes,
// for each of them, the first row of that list holding it (letter case ignored).
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
