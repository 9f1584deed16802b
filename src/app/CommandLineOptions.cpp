#include "app/CommandLineOptions.h"

#include <QCommandLineParser>

#include "platform/SettingsStore.h"

namespace {

// The options that make up a profile; they are taken only with --write-profile.
const char* const kBroker = "broker";
const char* const kAdmin = "admin";
const char* const kInterval = "interval";
const char* const kPasswordStdin = "password-stdin";
const char* const kAlerts = "email-alerts";
const char* const kAlertLimit = "alert-limit";
const char* const kRecovery = "email-recovery";
const char* const kServer = "email-server";
const char* const kPort = "email-port";
const char* const kFrom = "email-from";
const char* const kSubject = "email-subject";
const char* const kContent = "email-content";
const char* const kTo = "email-to";
const char* const kProfileOptions[] = {kBroker,     kAdmin,    kInterval, kPasswordStdin, kAlerts,
                                       kAlertLimit, kRecovery, kServer,   kPort,          kFrom,
                                       kSubject,    kContent,  kTo};

QString Name(const char* option) {
    return QString::fromLatin1(option);
}

QString Dashed(const char* option) {
    return QStringLiteral("--") + Name(option);
}

struct Reader {
    const QCommandLineParser& parser;
    QString& error;

    bool Set(const char* option) const { return parser.isSet(Name(option)); }

    // A text that must not be empty.
    std::optional<QString> Text(const char* option) const {
        if (!Set(option) || !error.isEmpty()) return std::nullopt;
        const QString value = parser.value(Name(option));
        if (value.isEmpty()) error = Dashed(option) + QStringLiteral(" needs a value");
        return value;
    }

    std::optional<quint32> Number(const char* option, quint32 low, quint32 high) const {
        const std::optional<QString> text = Text(option);
        if (!text) return std::nullopt;
        quint32 n = 0;
        if (!SettingsStore::ParseUInt32(*text, n) || n < low || n > high) {
            error = QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"")
                        .arg(Dashed(option))
                        .arg(low)
                        .arg(high)
                        .arg(*text);
            return std::nullopt;
        }
        return n;
    }

    std::optional<bool> OnOff(const char* option) const {
        const std::optional<QString> text = Text(option);
        if (!text) return std::nullopt;
        if (*text == QLatin1String("on")) return true;
        if (*text == QLatin1String("off")) return false;
        error = QStringLiteral("%1 takes on or off, not \"%2\"").arg(Dashed(option), *text);
        return std::nullopt;
    }
};

}  // namespace

void CommandLineOptions::AddTo(QCommandLineParser& parser) {
    parser.addOptions({
        {QStringLiteral("config"),
         QStringLiteral("Read the settings from FILE, an INI file, instead of the user's "
                        "profile (and write them there)."),
         QStringLiteral("FILE")},
        {QStringLiteral("workdir"),
         QStringLiteral("Work in DIR instead of the current directory: the history log, the "
                        "lock and the Tessamy tools' files live there."),
         QStringLiteral("DIR")},
        {QStringLiteral("headless"),
         QStringLiteral("Run without a window and without a display, as a service: scan, "
                        "write the history log, send the alert and recovery mail; messages go "
                        "to standard error and the trace log. The profile must hold the Broker, "
                        "the administrator, the password and the interval.")},
        {QStringLiteral("metrics-listen"),
         QStringLiteral("Serve Prometheus metrics at http://ADDRESS:PORT/metrics (ADDRESS an "
                        "IPv4 address). There is no authentication: listen on a loopback "
                        "address, or keep the port behind a firewall."),
         QStringLiteral("ADDRESS:PORT")},
        {QStringLiteral("write-profile"),
         QStringLiteral("Write the settings given by the options below into the profile "
                        "(--config FILE, or the user's) and exit. Settings not given stay as "
                        "they are.")},
        {Name(kBroker), QStringLiteral("--write-profile: the Broker."), QStringLiteral("NAME")},
        {Name(kAdmin), QStringLiteral("--write-profile: the administrator's user id."),
         QStringLiteral("USER")},
        {Name(kPasswordStdin),
         QStringLiteral("--write-profile: read the administrator's password from the first "
                        "line of standard input (it is stored scrambled, as the window stores "
                        "it). The password is never taken on the command line.")},
        {Name(kInterval), QStringLiteral("--write-profile: the scanning interval."),
         QStringLiteral("SECONDS")},
        {Name(kAlerts),
         QStringLiteral("--write-profile: alert mail when the Broker stops "
                        "answering, on or off."),
         QStringLiteral("on|off")},
        {Name(kAlertLimit),
         QStringLiteral("--write-profile: failed scans in a row that send the alert mail."),
         QStringLiteral("N")},
        {Name(kRecovery),
         QStringLiteral("--write-profile: mail when the Broker answers again, on or off."),
         QStringLiteral("on|off")},
        {Name(kServer), QStringLiteral("--write-profile: the SMTP server."),
         QStringLiteral("HOST")},
        {Name(kPort), QStringLiteral("--write-profile: the SMTP port."), QStringLiteral("PORT")},
        {Name(kFrom), QStringLiteral("--write-profile: the sender's address."),
         QStringLiteral("ADDRESS")},
        {Name(kSubject), QStringLiteral("--write-profile: the alert mail's subject."),
         QStringLiteral("TEXT")},
        {Name(kContent),
         QStringLiteral("--write-profile: the alert mail's text; [TRIES] becomes the number "
                        "of failed scans."),
         QStringLiteral("TEXT")},
        {Name(kTo),
         QStringLiteral("--write-profile: an alert recipient; repeat it for more. The alert "
                        "list becomes the addresses given."),
         QStringLiteral("ADDRESS")},
    });
}

std::optional<CommandLineOptions> CommandLineOptions::Read(const QStringList& arguments,
                                                           QString& error) {
    error.clear();
    QCommandLineParser parser;
    AddTo(parser);
    if (!parser.parse(arguments) && parser.unknownOptionNames().isEmpty()) {
        error = parser.errorText();
        return std::nullopt;
    }
    if (parser.unknownOptionNames().contains(QStringLiteral("password"))) {
        error = QStringLiteral(
            "the password is taken from standard input only (--password-stdin): on the "
            "command line, every user could read it in the process list");
        return std::nullopt;
    }
    const Reader read{parser, error};
    CommandLineOptions o;
    o.configFile = parser.value(QStringLiteral("config"));
    o.workingDirectory = parser.value(QStringLiteral("workdir"));
    o.writeProfile = parser.isSet(QStringLiteral("write-profile"));
    o.headless = parser.isSet(QStringLiteral("headless"));
    for (const char* option : {"config", "workdir"})
        if (parser.isSet(Name(option)) && parser.value(Name(option)).isEmpty())
            error = Dashed(option) + QStringLiteral(" needs a value");
    if (parser.isSet(QStringLiteral("metrics-listen")) && error.isEmpty()) {
        QString why;
        o.metricsListen = ListenAddress::Parse(parser.value(QStringLiteral("metrics-listen")), why);
        if (!o.metricsListen) error = QStringLiteral("--metrics-listen: ") + why;
    }

    ProfileEdits& p = o.profile;
    p.broker = read.Text(kBroker);
    p.adminUserId = read.Text(kAdmin);
    p.interval = read.Number(kInterval, 1, 0xFFFFFFFFu);
    p.alertsEnabled = read.OnOff(kAlerts);
    p.alertLimit = read.Number(kAlertLimit, 0, 0x7FFFFFFF);
    p.recoveryEnabled = read.OnOff(kRecovery);
    p.server = read.Text(kServer);
    p.port = read.Text(kPort);
    if (p.port) read.Number(kPort, 1, 65535);
    p.from = read.Text(kFrom);
    p.subject = read.Text(kSubject);
    p.content = read.Text(kContent);
    if (read.Set(kTo)) {
        p.alertRecipients = parser.values(Name(kTo));
        if (p.alertRecipients->contains(QString()) && error.isEmpty())
            error = Dashed(kTo) + QStringLiteral(" needs a value");
    }
    o.passwordFromStdin = read.Set(kPasswordStdin);
    if (!error.isEmpty()) return std::nullopt;

    bool profileOptions = false;
    for (const char* option : kProfileOptions) profileOptions = profileOptions || read.Set(option);
    if (o.writeProfile) {
        if (o.headless || o.metricsListen || !o.workingDirectory.isEmpty())
            error = QStringLiteral(
                "--write-profile only writes the profile: start the monitor without it");
        else if (!profileOptions)
            error = QStringLiteral(
                "--write-profile needs the settings to write (--broker, --admin, "
                "--password-stdin, --interval, --email-...)");
    } else if (profileOptions) {
        error = QStringLiteral(
            "--broker, --admin, --password-stdin, --interval and the --email "
            "options are taken only with --write-profile");
    }
    if (!error.isEmpty()) return std::nullopt;
    return o;
}
