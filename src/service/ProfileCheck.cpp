#include "service/ProfileCheck.h"

#include <QDir>
#include <QFileInfo>

#include "app/SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace {

QString Stored(const SettingsStore& store, const SettingDef& def) {
    return store.ReadText(QString::fromLatin1(Setting::kSection), QString::fromLatin1(def.key));
}

}  // namespace

QStringList ProfileCheck::Problems(const SettingsStore& store, const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo file(path);
    if (!file.exists())
        return {QStringLiteral("the profile %1 does not exist (write it with quorvatel "
                               "--write-profile)")
                    .arg(shown)};
    if (!file.isReadable())
        return {QStringLiteral("cannot read the profile %1: permission denied").arg(shown)};
    if (!store.Readable())
        return {QStringLiteral("the profile %1 is not a settings file").arg(shown)};

    QStringList problems;
    QStringList missing;
    for (const SettingDef* def :
         {&Setting::Broker, &Setting::AdminUserId, &Setting::AdminPswd, &Setting::Interval})
        if (Stored(store, *def).isEmpty()) missing << QString::fromLatin1(def->key);
    if (!missing.isEmpty())
        problems << QStringLiteral(
                        "the profile %1 has no %2: a monitor without a window needs "
                        "the Broker, the administrator, the password and the interval")
                        .arg(shown, missing.join(QStringLiteral(", ")));

    // Numbers and switches, where stored, must be what the window would have stored.
    struct Range {
        const SettingDef* def;
        quint32 low;
        quint32 high;
    };
    const Range ranges[] = {
        {&Setting::Interval, 1, 0xFFFFFFFFu},    {&Setting::FilterBlankUserids, 0, 1},
        {&Setting::FilterQuorvatelUserid, 0, 1}, {&Setting::FilterStaleUserids, 0, 1},
        {&Setting::EnableHistoryLogging, 0, 1},  {&Setting::EmailAlertsEnabled, 0, 1},
        {&Setting::EmailRecoveryEnabled, 0, 1},  {&Setting::ContigFailLimit, 0, 0x7FFFFFFF},
        {&Setting::EmailPort, 1, 65535},
    };
    for (const Range& r : ranges) {
        const QString text = Stored(store, *r.def);
        quint32 n = 0;
        if (text.isEmpty() || (SettingsStore::ParseUInt32(text, n) && n >= r.low && n <= r.high))
            continue;
        problems << QStringLiteral("the profile %1 holds %2=%3, not a whole number from %4 to %5")
                        .arg(shown, QString::fromLatin1(r.def->key), text)
                        .arg(r.low)
                        .arg(r.high);
    }
    return problems;
}
