#pragma once

#include "mail/EmailBroadcastSetDlg.h"

// "Broadcast Broker Going Down Email Settings": the server, subject, message and extra recipients
// of the "Broker Going Down" broadcast.
class CEmailBCDSetDlg : public CEmailBroadcastSetDlg {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Broadcast Broker Going Down Email Settings";

    explicit CEmailBCDSetDlg(const EmailDialogServices& services, QWidget* parent = nullptr);
};
