#pragma once

#include <QString>
#include <functional>

#include "mail/MapStrToEmailObj.h"

class AppSettings;
class Clock;
class EmailAddressLookup;
class HistoryLog;
class Mailer;
class Prompter;
class QDialog;
class QWidget;
class ScanEngine;
struct EmailSettings;
struct SettingDef;

// The mail the administrator composes: the two broadcasts, which reach every client in the
// matrix and the checked entries of the broadcast's own recipient list, and a message to
// the user of one session. Each command holds the scanner still while it runs (its dialog
// included) and ends with a scan cycle, whichever way it ends.
class Broadcaster {
public:
    // The commands' own history lines; the time stamp starts at the 60th character.
    static constexpr const char* kBrokerGoingDownHead =
        "REC : BROADCAST BROKER GOING DOWN                          ";
    static constexpr const char* kBrokerGoingDownTail = " --> Broadcast \"Broker Going Down\"\n";
    static constexpr const char* kGeneralMessageHead =
        "REC : BROADCAST GENERAL MESSAGE                            ";
    static constexpr const char* kGeneralMessageTail = " --> Broadcast \"";  // subject, "\"\n"
    static constexpr const char* kUserMessageHead =
        "REC : SEND MAIL TO USER MESSAGE                            ";
    static constexpr const char* kUserMessageTail = " --> Sent Mail \"";  // subject, "\" ", to

    // The tails of the per-recipient lines, after the session fields and the time stamp.
    static constexpr const char* kSentTo = "--> Sent Broadcast To: ";
    static constexpr const char* kFailedTo = "--> Broadcast Send Failed to: ";
    static constexpr const char* kNoAddress = " (No EmailAddress)";
    static constexpr const char* kSendFailed = " (Send Failed)";
    // The target named for a checked list entry without an address.
    static constexpr const char* kUnknownTarget = "unknown";

    static constexpr const char* kUnableToRetrieve = "Unable to retrieve email address for '";

    using DialogRunner = std::function<int(QDialog&)>;

    struct Services {
        ScanEngine& engine;
        HistoryLog& history;
        Mailer& mailer;
        EmailAddressLookup& lookup;
        Prompter& prompter;
        const Clock& clock;
        AppSettings& settings;
        // The main window's server, port and sender; read at each send.
        const EmailSettings& email;
        // The window's broadcast recipient lists, as their settings dialogs last left them.
        std::function<const CMapStrToEmailObj&(const char* section)> recipientList;
        // Runs a modal dialog and returns its result; `dialogParent` owns the dialogs.
        DialogRunner runDialog;
        QWidget* dialogParent = nullptr;
    };

    explicit Broadcaster(Services services);

    void BroadcastBrokerGoingDown();
    void BroadcastGeneralMessage();
    // The session chosen in the matrix; nothing happens when no user is chosen.
    void SendMessageToUser(const QString& pid, const QString& userId, const QString& machine);

    // One line per recipient. With PID, user and machine all empty (a list entry), the
    // target alone is named; otherwise the line names the session, its address after the
    // dash and its user after the arrow.
    void LogBroadcastSent(const QString& pid, const QString& user, const QString& machine,
                          const QString& target);
    // A client without an address, or a checked list entry without one.
    void LogBroadcastFailed(const QString& pid, const QString& user, const QString& machine,
                            const QString& target);
    // A recipient whose mail did not go out.
    void LogBroadcastSendFailed(const QString& pid, const QString& user, const QString& machine,
                                const QString& target);

private:
    struct Kind;
    void Broadcast(const Kind& kind);
    void LogFailure(const QString& pid, const QString& user, const QString& machine,
                    const QString& target, const char* reason);
    void LogOutcome(const QString& pid, const QString& user, const QString& machine,
                    const QString& target, bool sent);
    // Writes the content file; a message and false when it cannot be written.
    bool WriteContent(const QString& body);

    Services m_s;
};
