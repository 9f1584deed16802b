#include "mail/Broadcaster.h"

#include <QDialog>
#include <QHash>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/SettingsKeys.h"
#include "app/Timestamp.h"
#include "mail/EmailAddressLookup.h"
#include "mail/EmailSendBCDDlg.h"
#include "mail/EmailSendBCGDlg.h"
#include "mail/EmailSendToUserDlg.h"
#include "mail/EmailSettings.h"
#include "mail/Mailer.h"
#include "mail/RecipientList.h"
#include "platform/Prompter.h"
#include "scan/HistoryLog.h"
#include "scan/LoginOrder.h"
#include "scan/ScanEngine.h"

namespace {

// Holds the scanner and both blink timers still for one command, and on every way out
// restarts the blinking that was active and runs a scan cycle, which resumes the scanner.
class Suspension {
public:
    explicit Suspension(ScanEngine& engine) : m_scope(engine), m_engine(engine) {
        m_engine.SuspendForCommand();
    }
    ~Suspension() { m_engine.EndSuspension(); }
    Suspension(const Suspension&) = delete;
    Suspension& operator=(const Suspension&) = delete;

private:
    ScanEngine::CommandScope m_scope;
    ScanEngine& m_engine;
};

// The client sessions of the matrix in login order, as the matrix shows them, so that the
// history of a broadcast reads in the same order every time. Failure entries and the
// debug-logging placeholder are no clients and get no mail.
std::vector<LoginRecord> ClientsInLoginOrder(const CMapStrToLoginObj& matrix) {
    struct Entry {
        const QString* key;
        const LoginRecord* rec;
        LoginOrderKey order;
    };
    std::vector<Entry> entries;
    for (const auto& [key, rec] : matrix) {
        if (rec.Pid == QLatin1String(kErrorPid) || rec.Pid == QLatin1String(kPlaceholderPid))
            continue;
        entries.push_back({&key, &rec, LoginOrderKey(rec.DateTime)});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return LoginOrderLess(a.order, *a.key, b.order, *b.key);
    });
    std::vector<LoginRecord> clients;
    clients.reserve(entries.size());
    for (const Entry& e : entries) clients.push_back(*e.rec);
    return clients;
}

bool IsListEntry(const QString& pid, const QString& user, const QString& machine,
                 const QString& target) {
    return pid.isEmpty() && user.isEmpty() && machine.isEmpty() && !target.isEmpty();
}

}  // namespace

struct Broadcaster::Kind {
    const SettingDef& subjectKey;
    const SettingDef& contentKey;
    const char* listSection;
    std::function<std::unique_ptr<QDialog>(Broadcaster&)> makeDialog;
    std::function<QString(const QString& timestamp, const QString& subject)> commandLine;
};

Broadcaster::Broadcaster(Services services) : m_s(std::move(services)) {}

bool Broadcaster::WriteContent(const QString& body) {
    if (m_s.mailer.WriteContentFile(body)) return true;
    m_s.mailer.Warn(QString::fromLatin1(Mailer::kContentWriteFailed));
    return false;
}

void Broadcaster::BroadcastBrokerGoingDown() {
    static const Kind kind{Setting::EmailBCDSubject, Setting::EmailBCDContent,
                           RecipientSection::kBrokerGoingDown,
                           [](Broadcaster& b) {
                               return std::make_unique<CEmailSendBCDDlg>(
                                   b.m_s.settings, b.m_s.prompter, b.m_s.dialogParent);
                           },
                           [](const QString& timestamp, const QString&) {
                               return QString::fromLatin1(kBrokerGoingDownHead) + timestamp +
                                      QString::fromLatin1(kBrokerGoingDownTail);
                           }};
    Broadcast(kind);
}

void Broadcaster::BroadcastGeneralMessage() {
    static const Kind kind{
        Setting::EmailBCGSubject, Setting::EmailBCGContent, RecipientSection::kGeneralMessage,
        [](Broadcaster& b) {
            return std::make_unique<CEmailSendBCGDlg>(b.m_s.settings, b.m_s.prompter,
                                                      b.m_s.dialogParent);
        },
        [](const QString& timestamp, const QString& subject) {
            return QString::fromLatin1(kGeneralMessageHead) + timestamp +
                   QString::fromLatin1(kGeneralMessageTail) + subject + QStringLiteral("\"\n");
        }};
    Broadcast(kind);
}

void Broadcaster::Broadcast(const Kind& kind) {
    Suspension suspension(m_s.engine);
    {
        const std::unique_ptr<QDialog> dialog = kind.makeDialog(*this);
        if (m_s.runDialog(*dialog) != QDialog::Accepted) return;
    }
    // What the dialog has just stored.
    const QString subject = m_s.settings.Text(kind.subjectKey);
    const QString content = m_s.settings.Text(kind.contentKey);
    if (!WriteContent(content)) return;
    m_s.history.WriteHistoryLine(kind.commandLine(CurrentTimestamp(m_s.clock), subject));
    Mailer::Command command(m_s.mailer);

    // Each distinct address is mailed once, however many sessions its user has; every
    // session still gets its line, with the outcome of that one mail.
    QHash<QString, bool> mailed;
    for (const LoginRecord& client : ClientsInLoginOrder(m_s.engine.MatrixMap())) {
        if (client.Email.isEmpty()) {
            LogBroadcastFailed(client.Pid, client.UserId, client.Machine, client.UserId);
            continue;
        }
        auto it = mailed.constFind(client.Email);
        if (it == mailed.constEnd())
            it = mailed.insert(
                client.Email, Mailer::Sent(m_s.mailer.SendEmail(client.Email, subject, m_s.email)));
        LogOutcome(client.Pid, client.UserId, client.Machine, client.Email, it.value());
    }

    const CMapStrToEmailObj& list = m_s.recipientList(kind.listSection);
    const QString none;
    for (const CEmailObj& entry : list) {
        if (!entry.IsChecked()) continue;
        if (entry.Address.isEmpty()) {
            LogBroadcastFailed(none, none, none, QString::fromLatin1(kUnknownTarget));
            continue;
        }
        // Compared exactly: an address that differs in letter case is mailed again.
        if (mailed.contains(entry.Address)) continue;
        const bool sent = Mailer::Sent(m_s.mailer.SendEmail(entry.Address, subject, m_s.email));
        LogOutcome(none, none, none, entry.Address, sent);
    }
}

void Broadcaster::SendMessageToUser(const QString& pid, const QString& userId,
                                    const QString& machine) {
    if (userId.isEmpty()) return;
    Suspension suspension(m_s.engine);

    const QString key = LoginRecord::MakeKey(machine, pid);
    LoginRecord record;
    if (!m_s.engine.MatrixMap().Lookup(key, record)) return;
    if (record.Email.isEmpty()) {
        const QString name =
            record.ReportedUserId.isEmpty() ? record.UserId : record.ReportedUserId;
        const QString address = m_s.lookup.AddressOf(name);
        if (address.isEmpty()) {
            m_s.prompter.Warning(QString::fromLatin1(kUnableToRetrieve) + name +
                                 QStringLiteral("'."));
            return;
        }
        // Kept with the session: the next message to it needs no lookup.
        record.Email = address;
        m_s.engine.MatrixMap().SetAt(key, record);
    }

    {
        CEmailSendToUserDlg dialog(m_s.settings, m_s.prompter, record.Email, m_s.dialogParent);
        if (m_s.runDialog(dialog) != QDialog::Accepted) return;
    }
    const QString from = m_s.settings.Text(Setting::EmailToUserFrom);
    const QString to = m_s.settings.Text(Setting::EmailToUserTo);
    const QString subject = m_s.settings.Text(Setting::EmailToUserSubject);
    const QString content = m_s.settings.Text(Setting::EmailToUserContent);
    if (!WriteContent(content)) return;

    m_s.history.WriteHistoryLine(QString::fromLatin1(kUserMessageHead) +
                                 CurrentTimestamp(m_s.clock) +
                                 QString::fromLatin1(kUserMessageTail) + subject +
                                 QStringLiteral("\" ") + to + QLatin1Char('\n'));
    // The mail goes where the dialog and the history say: to the To box, from the From box.
    EmailSettings sender = m_s.email;
    sender.from = from;
    const bool sent = Mailer::Sent(m_s.mailer.SendEmail(to, subject, sender));
    LogOutcome(pid, userId, machine, to, sent);
}

// ---------------------------------------------------------------- history lines

void Broadcaster::LogOutcome(const QString& pid, const QString& user, const QString& machine,
                             const QString& target, bool sent) {
    if (sent)
        LogBroadcastSent(pid, user, machine, target);
    else
        LogBroadcastSendFailed(pid, user, machine, target);
}

void Broadcaster::LogBroadcastSent(const QString& pid, const QString& user, const QString& machine,
                                   const QString& target) {
    const QString tail =
        IsListEntry(pid, user, machine, target)
            ? QStringLiteral("   ") + QString::fromLatin1(kSentTo) + target + QLatin1Char('\n')
            : QStringLiteral("   - ") + target + QLatin1Char(' ') + QString::fromLatin1(kSentTo) +
                  user + QLatin1Char('\n');
    m_s.history.WriteHistoryLine(HistoryLog::SessionLine(QString::fromLatin1(HistoryLog::kRecTag),
                                                         pid, user, machine,
                                                         CurrentTimestamp(m_s.clock), tail));
}

void Broadcaster::LogFailure(const QString& pid, const QString& user, const QString& machine,
                             const QString& target, const char* reason) {
    const QString named = IsListEntry(pid, user, machine, target) ? target : user;
    m_s.history.WriteHistoryLine(HistoryLog::SessionLine(
        QString::fromLatin1(HistoryLog::kRecTag), pid, user, machine, CurrentTimestamp(m_s.clock),
        QStringLiteral("   - ") + target + QLatin1Char(' ') + QString::fromLatin1(kFailedTo) +
            named + QString::fromLatin1(reason) + QLatin1Char('\n')));
}

void Broadcaster::LogBroadcastFailed(const QString& pid, const QString& user,
                                     const QString& machine, const QString& target) {
    LogFailure(pid, user, machine, target, kNoAddress);
}

void Broadcaster::LogBroadcastSendFailed(const QString& pid, const QString& user,
                                         const QString& machine, const QString& target) {
    LogFailure(pid, user, machine, target, kSendFailed);
}
