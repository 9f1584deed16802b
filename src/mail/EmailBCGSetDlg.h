#pragma once

#include "mail/EmailBroadcastSetDlg.h"

// "Broadcast General Message Email Settings": the server, subject, message and extra recipients of
// the General Message broadcast.
class CEmailBCGSetDlg : public CEmailBroadcastSetDlg {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Broadcast General Message Email Settings";

    explicit CEmailBCGSetDlg(const EmailDialogServices& services, QWidget* parent = nullptr);
};
