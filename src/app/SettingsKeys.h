#pragma once

#include <QList>
#include <QString>

class SettingsStore;

enum class SettingType { Text, Integer };

// One entry of section "Settings". `readDefault` is what a read of an absent (or empty)
// entry gives; `fallback` is the value that takes its place where the program needs one
// (the text a dialog shows for an absent entry, the limit used when none is stored).
struct SettingDef {
    const char* key;
    SettingType type;
    const char* readDefault;  // Integer entries: decimal text
    const char* fallback;     // nullptr: same as readDefault
};

namespace Setting {

inline constexpr const char* kSection = "Settings";

// Broker connection and scanner
inline constexpr SettingDef Broker{"Broker", SettingType::Text, "", nullptr};
inline constexpr SettingDef AdminUserId{"AdminUserId", SettingType::Text, "", nullptr};
inline constexpr SettingDef AdminPswd{"AdminPswd", SettingType::Text, "", nullptr};  // scrambled
inline constexpr SettingDef Interval{"Interval", SettingType::Integer, "10", nullptr};
inline constexpr SettingDef FilterBlankUserids{"FilterBlankUserids", SettingType::Integer, "1", nullptr};
inline constexpr SettingDef FilterQuorvatelUserid{"FilterQuorvatelUserid", SettingType::Integer, "1", nullptr};
inline constexpr SettingDef FilterStaleUserids{"FilterStaleUserids", SettingType::Integer, "0", nullptr};
inline constexpr SettingDef EnableHistoryLogging{"EnableHistoryLogging", SettingType::Integer, "1", nullptr};

// Debug logging
inline constexpr SettingDef LogLevel{"LogLevel", SettingType::Text, "", "5"};
inline constexpr SettingDef TransTypes{"TransTypes", SettingType::Text, "(All)", nullptr};
inline constexpr SettingDef Debug{"Debug", SettingType::Text, "", nullptr};
inline constexpr SettingDef CheckVantraceLog{"CheckVantraceLog", SettingType::Text, "", nullptr};

// Mail: the main window reads alerts as off; the alert settings dialog shows them on.
inline constexpr SettingDef EmailAlertsEnabled{"EmailAlertsEnabled", SettingType::Text, "0", "1"};
// The mail that the Broker answers again after an alert: on unless the stored text is "0".
inline constexpr SettingDef EmailRecoveryEnabled{"EmailRecoveryEnabled", SettingType::Text, "1", nullptr};
inline constexpr SettingDef ContigFailLimit{"ContigFailLimit", SettingType::Text, "", "6"};
inline constexpr SettingDef EmailServer{"EmailServer", SettingType::Text, "", "mail.example.com"};
inline constexpr SettingDef EmailPort{"EmailPort", SettingType::Text, "", "25"};
inline constexpr SettingDef EmailFrom{"EmailFrom", SettingType::Text, "", "quorvatel@example.com"};
inline constexpr SettingDef EmailSubject{"EmailSubject", SettingType::Text, "", "Quorvatel Alert"};
inline constexpr SettingDef EmailContent{"EmailContent", SettingType::Text, "", "Broker Connect Failed. Tries=[TRIES]"};
inline constexpr SettingDef EmailBCDSubject{"EmailBCDSubject", SettingType::Text, "", "Tessamy Broker"};
inline constexpr SettingDef EmailBCDContent{"EmailBCDContent", SettingType::Text, "", "Broker is going down in 5 minutes."};
inline constexpr SettingDef EmailBCGSubject{"EmailBCGSubject", SettingType::Text, "", "Quorvatel Message"};
inline constexpr SettingDef EmailBCGContent{"EmailBCGContent", SettingType::Text, "", nullptr};
// An empty sender of the last user message falls back to "EmailFrom".
inline constexpr SettingDef EmailToUserFrom{"EmailToUserFrom", SettingType::Text, "", nullptr};
inline constexpr SettingDef EmailToUserTo{"EmailToUserTo", SettingType::Text, "", nullptr};
inline constexpr SettingDef EmailToUserSubject{"EmailToUserSubject", SettingType::Text, "", nullptr};
inline constexpr SettingDef EmailToUserContent{"EmailToUserContent", SettingType::Text, "", nullptr};

// Matrix font: an empty description means the default font below.
inline constexpr SettingDef Font_Desc{"Font_Desc", SettingType::Text, "", "-10:0:0:0:400:0:0:0:0:3:2:1:34"};
inline constexpr SettingDef Font_Name{"Font_Name", SettingType::Text, "", "Segoe UI"};

// Find, export and import
inline constexpr SettingDef SearchText{"SearchText", SettingType::Text, "", nullptr};
inline constexpr SettingDef FindString{"FindString", SettingType::Text, "", nullptr};
inline constexpr SettingDef ExportDirectory{"ExportDirectory", SettingType::Text, "", nullptr};
inline constexpr SettingDef ImportDirectory{"ImportDirectory", SettingType::Text, "", "../data"};

// Every entry above, for documentation and tests.
const QList<const SettingDef*>& All();

}  // namespace Setting

// The recipient-list sections.
namespace RecipientSection {
inline constexpr const char* kAlerts = "EMAILLIST";
inline constexpr const char* kBrokerGoingDown = "BCDEMAILLIST";
inline constexpr const char* kGeneralMessage = "BCGEMAILLIST";
}  // namespace RecipientSection

// Typed access to section "Settings" through the table above.
class AppSettings {
public:
    explicit AppSettings(SettingsStore& store) : m_store(store) {}

    // The stored text, or the entry's read default when absent or empty.
    QString Text(const SettingDef& def) const;
    // The stored text, or the entry's fallback when absent or empty.
    QString TextOrFallback(const SettingDef& def) const;
    quint32 Int(const SettingDef& def) const;
    bool Flag(const SettingDef& def) const { return Int(def) != 0; }

    void SetText(const SettingDef& def, const QString& value);
    void SetInt(const SettingDef& def, quint32 value);

    // "AdminPswd" unscrambled, and stored scrambled.
    QString Password() const;
    void SetPassword(const QString& plain);

    SettingsStore& Store() const { return m_store; }

private:
    SettingsStore& m_store;
};
