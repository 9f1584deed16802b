#pragma once

#include <QDialog>
#include <QIcon>

// The About box: the program's icon, its version and what it does.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "About";
    static constexpr const char* kVersion = "4.01";
    static constexpr const char* kDescription =
        "Realtime Tessamy client Log on/off\nmonitoring with vantrace logging\ninterface.";

    // `icon` is the program's icon; without one the application's window icon is shown.
    explicit CAboutDlg(QWidget* parent = nullptr, const QIcon& icon = QIcon());

    // "Version 4.01"
    static QString VersionText();
};
