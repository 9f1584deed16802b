// Writes the monitor's settings for a demonstration: the Broker connection (the password
// stored scrambled, as the monitor stores it) and the scanning interval, in the profile the
// monitor will read ($XDG_CONFIG_HOME/Orvex/Quorvatel.conf).
//
//   demo-profile --broker NAME --admin USER --password PW [--interval SECONDS]

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "app/SettingsKeys.h"
#include "platform/SettingsStore.h"

namespace {

int Usage(const char* why) {
    std::fprintf(stderr,
                 "demo-profile: %s\nusage: demo-profile --broker NAME --admin USER --password PW "
                 "[--interval SECONDS]\n",
                 why);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QString broker, admin, password;
    quint32 interval = 10;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& option = args[i];
        if (i + 1 >= args.size()) return Usage("an option is missing its value");
        const QString value = args[++i];
        if (option == QLatin1String("--broker")) {
            broker = value;
        } else if (option == QLatin1String("--admin")) {
            admin = value;
        } else if (option == QLatin1String("--password")) {
            password = value;
        } else if (option == QLatin1String("--interval")) {
            if (!SettingsStore::ParseUInt32(value, interval) || interval == 0)
                return Usage("the interval must be a whole number of seconds above 0");
        } else {
            return Usage("unknown option");
        }
    }
    if (broker.isEmpty() || admin.isEmpty() || password.isEmpty())
        return Usage("--broker, --admin and --password are required");

    SettingsStore store;
    AppSettings settings(store);
    settings.SetText(Setting::Broker, broker);
    settings.SetText(Setting::AdminUserId, admin);
    settings.SetPassword(password);
    settings.SetInt(Setting::Interval, interval);
    std::printf("%s\n", qPrintable(store.FilePath()));
    return 0;
}
