// vsend: sends one mail over SMTP, keeping the command line of the Tessamy mail tool: the
// recipient first, then server, port, sender and subject; the body comes on standard input.
// What happened goes to standard output; the status is 0 only when the server took the mail,
// and 3 when the server did not answer in time, so that a caller can tell a stalled server
// from a refused mail.
#include <curl/curl.h>

#include <QByteArrayList>
#include <QDateTime>
#include <QRandomGenerator>
#include <cstdio>
#include <cstring>

#include "MailMessage.h"
#include "QusListReport.h"
#include "ToolArgs.h"

namespace {

const QString kTool = QStringLiteral("vsend");
const QString kUsage = QStringLiteral(
    "vsend RECIPIENT -m SERVER -p PORT -f FROM -s SUBJECT   (the body on standard input)");
const QString kSummary = QStringLiteral(
    "Sends one plain-text mail over SMTP.\n"
    "Exit status: 0 the server took the mail; 1 it was not sent (server unreachable or\n"
    "refusing, body unreadable); 2 wrong arguments; 3 the server did not answer in time.");
// The server did not answer within the time-outs below.
constexpr int kExitTimedOut = 3;
constexpr long kConnectTimeoutSeconds = 5;
// Below the monitor's 20-second limit, so a slow server ends with our own message.
constexpr long kTotalTimeoutSeconds = 15;
constexpr qsizetype kMaxBodyBytes = 32 * 1024 * 1024;

void Out(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

struct Upload {
    QByteArray data;
    qsizetype sent = 0;
};

size_t ReadBody(char* buffer, size_t size, size_t count, void* user) {
    auto* upload = static_cast<Upload*>(user);
    const qsizetype room = static_cast<qsizetype>(size * count);
    const qsizetype n = qMin(room, upload->data.size() - upload->sent);
    if (n <= 0) return 0;
    std::memcpy(buffer, upload->data.constData() + upload->sent, static_cast<size_t>(n));
    upload->sent += n;
    return static_cast<size_t>(n);
}

// The SMTP conversation, for the log: server replies and our commands, not the mail text.
int Trace(CURL*, curl_infotype type, char* data, size_t size, void*) {
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT) return 0;
    const QByteArray prefix = type == CURLINFO_HEADER_IN ? "< " : "> ";
    const QByteArrayList lines = QByteArray(data, static_cast<qsizetype>(size)).split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty()) Out(prefix + line + '\n');
    }
    return 0;
}

bool ReadStdin(QByteArray& body) {
    char buffer[65536];
    for (;;) {
        const size_t n = std::fread(buffer, 1, sizeof buffer, stdin);
        if (n > 0) body.append(buffer, static_cast<qsizetype>(n));
        if (body.size() > kMaxBodyBytes) return false;
        if (n < sizeof buffer) return !std::ferror(stdin);
    }
}

// An address that could bend the SMTP command it goes into: a line break would end the
// command early and let the rest pass as commands of its own; an angle bracket left in the
// envelope address (the part a "Name <address>" form gives) would close the address and
// append parameters of its own ("NOTIFY=", "ORCPT=").
bool CanBendCommand(const QByteArray& typed) {
    if (typed.contains('\r') || typed.contains('\n') || typed.contains('\0')) return true;
    const QByteArray envelope = MailMessage::EnvelopeAddress(typed);
    return envelope.contains('<') || envelope.contains('>');
}

// A host name or address literal that cannot bend the URL it goes into.
bool IsPlainHost(const QByteArray& host) {
    if (host.isEmpty() || host.size() > 255) return false;
    for (char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F || std::strchr("/?#@\\%[]", c)) return false;
    }
    return true;
}

bool ParsePort(const QByteArray& text, long& port) {
    if (text.isEmpty() || text.size() > 5) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    port = text.toLong();
    return port >= 1 && port <= 65535;
}

}  // namespace

int main(int argc, char** argv) {
    const QStringList args = ArgumentsOf(argc, argv);
    if (HelpShown(args, kUsage, kSummary)) return kExitOk;
    // The recipient is always the first argument, whatever it looks like; the options
    // follow in any order. Values are kept as bytes, exactly as typed.
    if (argc < 2) return UsageError(kTool, QStringLiteral("the recipient is missing"), kUsage);
    const QByteArray to = argv[1];
    QByteArray server, portText, from, subject;
    bool haveServer = false, havePort = false, haveFrom = false, haveSubject = false;
    for (int i = 2; i < argc; ++i) {
        const QByteArray option = QByteArray(argv[i]).toLower();
        QByteArray* target = nullptr;
        bool* seen = nullptr;
        if (option == "-m") {
            target = &server;
            seen = &haveServer;
        } else if (option == "-p") {
            target = &portText;
            seen = &havePort;
        } else if (option == "-f") {
            target = &from;
            seen = &haveFrom;
        } else if (option == "-s") {
            target = &subject;
            seen = &haveSubject;
        } else {
            return UsageError(kTool, QStringLiteral("unexpected argument ") + args[i - 1], kUsage);
        }
        if (*seen)
            return UsageError(
                kTool, QStringLiteral("option ") + args[i - 1] + QStringLiteral(" given twice"),
                kUsage);
        if (i + 1 >= argc)
            return UsageError(
                kTool, QStringLiteral("option ") + args[i - 1] + QStringLiteral(" needs a value"),
                kUsage);
        *target = argv[++i];
        *seen = true;
    }
    if (!haveServer || !havePort || !haveFrom || !haveSubject)
        return UsageError(kTool, QStringLiteral("-m, -p, -f and -s are all needed"), kUsage);
    if (to.isEmpty()) return UsageError(kTool, QStringLiteral("the recipient is empty"), kUsage);
    if (CanBendCommand(to) || CanBendCommand(from))
        return UsageError(kTool, QStringLiteral("an address holds a line break, '<' or '>'"),
                          kUsage);
    long port = 0;
    if (!ParsePort(portText, port))
        return UsageError(kTool, QStringLiteral("the port must be a number from 1 to 65535"),
                          kUsage);
    QByteArray host = server;
    if (host.startsWith('[') && host.endsWith(']')) host = host.mid(1, host.size() - 2);
    if (!IsPlainHost(host))
        return UsageError(kTool, QStringLiteral("the server must be a host name or address"),
                          kUsage);
    if (host.contains(':')) host = '[' + host + ']';  // an IPv6 address literal

    QByteArray body;
    if (!ReadStdin(body)) {
        Out("vsend: cannot read the mail body from standard input (or it is over 32 MB); "
            "nothing sent\n");
        return kExitFailed;
    }

    MailMessage::Parts parts;
    parts.from = from;
    parts.to = to;
    parts.subject = subject;
    parts.body = body;
    parts.date = QDateTime::currentDateTime();
    const QByteArray self = QusListReport::HostMachineName().toLower().toLatin1();
    parts.messageId = '<' + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + '.' +
                      QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + '@' + self +
                      ".vsend>";
    Upload upload{MailMessage::Compose(parts), 0};

    const QByteArray where = server + ':' + portText;
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        Out("vsend: cannot start the mail library; nothing sent\n");
        return kExitFailed;
    }
    CURL* curl = curl_easy_init();
    if (!curl) {
        Out("vsend: cannot start the mail library; nothing sent\n");
        return kExitFailed;
    }
    const QByteArray url = "smtp://" + host + ':' + QByteArray::number(port) + '/' + self;
    const QByteArray envelopeFrom = MailMessage::EnvelopeAddress(from);
    const QByteArray envelopeTo = MailMessage::EnvelopeAddress(to);
    curl_slist* recipients = curl_slist_append(nullptr, envelopeTo.constData());
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp");
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, envelopeFrom.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, ReadBody);
    curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload.data.size()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTotalTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, Trace);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);

    Out("Sending mail to " + to + " via " + where + '\n');
    const CURLcode rc = curl_easy_perform(curl);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);
    curl_global_cleanup();
    if (rc != CURLE_OK) {
        const QByteArray why = error[0] ? QByteArray(error) : QByteArray(curl_easy_strerror(rc));
        Out("vsend: mail to " + to + " not sent via " + where + ": " + why + '\n');
        return rc == CURLE_OPERATION_TIMEDOUT ? kExitTimedOut : kExitFailed;
    }
    Out("Mail sent to " + to + " via " + where + '\n');
    return kExitOk;
}
