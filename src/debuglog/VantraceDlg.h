#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class AppSettings;
class QComboBox;
class QLineEdit;
class QRadioButton;

// The debug-logging request: start or stop logging for one user on one machine, or for
// every client when both are left blank, with a level and the transaction types to log.
// Opens on the stored level and types; Commit stores them ("LogLevel", "TransTypes") and
// leaves the request in the getters, Cancel stores nothing.
class CVantraceDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle =
        "Vantrace Settings - overrides any current server logging ";
    static constexpr const char* kAllTypes = "(ALL)";
    static constexpr const char* kLevelNote = "Set 4 or above for capturing SQL";
    static constexpr const char* kAllClientsNote =
        "Note: Leaving a blank UserId and MachineName\n"
        "          will perform vantrace logging on ALL clients.";

    // `active`: logging is on now, so Stop is offered first.
    CVantraceDlg(AppSettings& settings, const QString& machine, const QString& userId, bool active,
                 QWidget* parent = nullptr);

    QString Broker() const { return m_broker; }
    QString AdminUserId() const { return m_adminUserId; }
    QString Password() const { return m_password; }  // plain text
    QString UserId() const { return m_userId; }      // upper case
    QString Machine() const { return m_machine; }    // upper case
    QString LogLevel() const { return m_logLevel; }
    QString TransTypes() const { return m_transTypes; }  // as stored: upper case or "(ALL)"
    bool Start() const { return m_start; }

    void accept() override;

    // "(ALL)" and the server's transaction names, in list order.
    static const QStringList& TransactionTypes();
    // The list entry a stored value selects: any value holding "ALL" selects "(ALL)";
    // otherwise the first entry that begins with the value, ignoring case.
    static int TransTypeIndex(const QStringList& types, const QString& stored);
    // What Commit stores for a chosen entry.
    static QString StoredTransType(const QString& chosen);

private:
    AppSettings& m_settings;

    QString m_broker;
    QString m_adminUserId;
    QString m_password;
    QString m_userId;
    QString m_machine;
    QString m_logLevel;
    QString m_transTypes;
    bool m_start = true;

    QRadioButton* m_startRadio = nullptr;
    QRadioButton* m_stopRadio = nullptr;
    QLineEdit* m_brokerEdit = nullptr;
    QLineEdit* m_adminEdit = nullptr;
    QLineEdit* m_userEdit = nullptr;
    QLineEdit* m_machineEdit = nullptr;
    QLineEdit* m_passwordEdit = nullptr;
    QComboBox* m_levelBox = nullptr;
    QComboBox* m_typesBox = nullptr;
};
