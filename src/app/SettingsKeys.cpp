#include "app/SettingsKeys.h"

#include "app/PasswordScrambler.h"
#include "platform/SettingsStore.h"

namespace Setting {

const QList<const SettingDef*>& All() {
    static const QList<const SettingDef*> all{
        &Broker, &AdminUserId, &AdminPswd, &Interval, &FilterBlankUserids,
        &FilterQuorvatelUserid, &FilterStaleUserids, &EnableHistoryLogging, &LogLevel,
        &TransTypes, &Debug, &CheckVantraceLog, &EmailAlertsEnabled, &EmailRecoveryEnabled, &ContigFailLimit,
        &EmailServer, &EmailPort, &EmailFrom, &EmailSubject, &EmailContent, &EmailBCDSubject,
        &EmailBCDContent, &EmailBCGSubject, &EmailBCGContent, &EmailToUserFrom, &EmailToUserTo,
        &EmailToUserSubject, &EmailToUserContent, &Font_Desc, &Font_Name, &SearchText,
        &FindString, &ExportDirectory, &ImportDirectory};
    return all;
}

}  // namespace Setting

QString AppSettings::Text(const SettingDef& def) const {
    return m_store.ReadText(QString::fromLatin1(Setting::kSection), QString::fromLatin1(def.key),
                            QString::fromUtf8(def.readDefault));
}

QString AppSettings::TextOrFallback(const SettingDef& def) const {
    const char* fallback = def.fallback ? def.fallback : def.readDefault;
    return m_store.ReadText(QString::fromLatin1(Setting::kSection), QString::fromLatin1(def.key),
                            QString::fromUtf8(fallback));
}

quint32 AppSettings::Int(const SettingDef& def) const {
    quint32 fallback = 0;
    SettingsStore::ParseUInt32(QString::fromLatin1(def.readDefault), fallback);
    return m_store.ReadInt(QString::fromLatin1(Setting::kSection), QString::fromLatin1(def.key),
                           fallback);
}

void AppSettings::SetText(const SettingDef& def, const QString& value) {
    m_store.WriteText(QString::fromLatin1(Setting::kSection), QString::fromLatin1(def.key), value);
}

void AppSettings::SetInt(const SettingDef& def, quint32 value) {
    m_store.WriteInt(QString::fromLatin1(Setting::kSection), QString::fromLatin1(def.key), value);
}

QString AppSettings::Password() const { return ScramblePassword(Text(Setting::AdminPswd)); }

void AppSettings::SetPassword(const QString& plain) {
    SetText(Setting::AdminPswd, ScramblePassword(plain));
}
