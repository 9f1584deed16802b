#include "QusListReport.h"

#include <QByteArrayList>
#include <QSysInfo>

#include "SimRandom.h"

namespace QusListReport {

namespace {

// The Broker's name stays out of the header: a name such as "A------------------" would
// pass there for the separator.
QString Header(const QDateTime& now) {
    return QStringLiteral("Tessamy QUSLIST utility (simulated Broker)\n") +
           QStringLiteral("Listed on ") + SimText::FormatTime(now) + QStringLiteral("\n\n");
}

QByteArray RandomBytes(SimRandom& random, int length) {
    QByteArray bytes;
    bytes.reserve(length);
    for (int i = 0; i < length; ++i) {
        char c = static_cast<char>(random.Below(256));
        if (c == '\n') c = '\0';
        bytes.append(c);
    }
    return bytes;
}

QByteArray Filler(SimRandom& random, qsizetype length) {
    static const QByteArray kPattern = "TCP:01PC999/99999 2099/12/31 23:59:59 ";
    QByteArray filler;
    filler.reserve(length);
    const qsizetype start = static_cast<qsizetype>(random.Below(kPattern.size()));
    while (filler.size() < length) filler.append(kPattern.mid(start));
    filler.truncate(length);
    return filler;
}

// Damage that removes or breaks fields of a session line.
QByteArray WithoutFields(const QByteArray& line, SimRandom& random) {
    const QByteArrayList tokens = line.simplified().split(' ');
    if (tokens.size() < 4) return tokens.value(0);
    switch (random.Below(4)) {
        case 0:  // no client
            return tokens[0] + ' ' + tokens[2] + ' ' + tokens[3];
        case 1:  // no date and time
            return tokens[0] + ' ' + tokens[1];
        case 2: {  // client without its process id
            QByteArray client = tokens[1];
            client.truncate(qMax<qsizetype>(0, client.indexOf('/')));
            return tokens[0] + ' ' + client + ' ' + tokens[2] + ' ' + tokens[3];
        }
        default:  // the user alone
            return tokens[0];
    }
}

QList<QByteArray> DamageLine(const QByteArray& line, unsigned kind, SimRandom& random) {
    switch (kind) {
        case Damage::CutLines:
            return {line.left(
                static_cast<qsizetype>(random.Between(1, qMax<qsizetype>(1, line.size() - 1))))};
        case Damage::MissingFields:
            return {WithoutFields(line, random)};
        case Damage::LongLines:
            // Longer than a 1023-character read: a reader sees it in pieces.
            return {line + ' ' + Filler(random, random.Between(1024, 4000))};
        case Damage::HugeLines:
            return {line + ' ' + Filler(random, random.Between(99000, 101000))};
        case Damage::BinaryGarbage:
            return {RandomBytes(random, static_cast<int>(random.Between(8, 200)))};
        case Damage::DuplicateLines:
            return {line, line};
        default:
            return {line};
    }
}

}  // namespace

QString ClientField(const QString& machine, quint32 pid) {
    return QString::fromLatin1(kClientPrefix) + machine + u'/' + QString::number(pid);
}

QString SessionLine(const QString& user, const QString& machine, quint32 pid,
                    const QDateTime& login) {
    // Wide columns like the real listing; a long value still leaves one blank.
    return user.leftJustified(16) + u' ' + ClientField(machine, pid).leftJustified(28) + u' ' +
           SimText::FormatTime(login);
}

QByteArray Normal(const BrokerState& state, const SimSession& own, const QDateTime& now) {
    QString text = Header(now);
    text += QString::fromLatin1(kUserCountLabel) + QString::number(state.users.size()) +
            QStringLiteral("\n\n");
    text += QStringLiteral("User Id          Client                       Logged on since\n");
    text += QString(72, u'-') + u'\n';
    for (const SimSession& s : state.sessions)
        text += SessionLine(s.user, s.machine, s.pid, s.login) + u'\n';
    text += SessionLine(own.user, own.machine, own.pid, own.login) + u'\n';
    text += QString::fromLatin1(kSuccessLine) + u'\n';
    return text.toUtf8();
}

QByteArray CouldNotConnect(const QString& broker, const QDateTime& now) {
    return (Header(now) + SimText::OneLine(broker) + QStringLiteral(": ") +
            QString::fromLatin1(kCouldNotConnect) + u'\n')
        .toUtf8();
}

QByteArray BadCredentials(const QDateTime& now) {
    return (Header(now) +
            QStringLiteral("ERROR: the Broker refused the administrator user id or password.\n") +
            QStringLiteral("No session list was produced.\n"))
        .toUtf8();
}

QByteArray Damaged(const QByteArray& report, unsigned kinds, SimRandom& random) {
    QList<unsigned> lineKinds;
    for (unsigned k : {Damage::CutLines, Damage::MissingFields, Damage::LongLines,
                       Damage::HugeLines, Damage::BinaryGarbage, Damage::DuplicateLines})
        if (kinds & k) lineKinds.append(k);
    const bool mayTruncate = kinds & Damage::TruncatedFile;
    if (lineKinds.isEmpty() && !mayTruncate) return report;

    QByteArrayList lines = report.split('\n');
    qsizetype first = -1;  // first session line
    qsizetype end = -1;    // the success line
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (first < 0 && lines[i].startsWith("------------------")) first = i + 1;
        if (first >= 0 && lines[i] == kSuccessLine) end = i;
    }
    if (first < 0 || end < first) {
        first = lines.size();
        end = lines.size();
    }

    QByteArrayList out = lines.mid(0, first);
    int done = 0;
    if (!lineKinds.isEmpty()) {
        for (qsizetype i = first; i < end; ++i) {
            if (random.Chance(35)) {
                out += DamageLine(lines[i], lineKinds[random.Below(lineKinds.size())], random);
                ++done;
            } else {
                out.append(lines[i]);
            }
        }
        if (done == 0) {
            // Damage one line for sure: a session line if there is one, else add a line.
            const unsigned kind = lineKinds[random.Below(lineKinds.size())];
            if (end > first) {
                const qsizetype at = first + static_cast<qsizetype>(random.Below(end - first));
                const QByteArrayList damaged = DamageLine(out[at], kind, random);
                out.removeAt(at);
                for (qsizetype j = damaged.size() - 1; j >= 0; --j) out.insert(at, damaged[j]);
            } else {
                out += DamageLine("damaged TCP:01PC000/1 2000/01/01 00:00:00", kind, random);
            }
            ++done;
        }
    }
    out += lines.mid(end);
    QByteArray result = out.join('\n');
    if (mayTruncate && (done == 0 || random.Chance(40)) && result.size() > 2) {
        const qsizetype keep =
            static_cast<qsizetype>(random.Between(result.size() / 3, result.size() - 2));
        result.truncate(keep);
    }
    return result;
}

QString HostMachineName() {
    QString name = QSysInfo::machineHostName().section(u'.', 0, 0);
    for (QChar& c : name) {
        const bool ok = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                        (c >= u'0' && c <= u'9') || c == u'_' || c == u'-';
        if (!ok) c = u'-';
    }
    name = name.left(64).toUpper();
    return name.isEmpty() ? QStringLiteral("LOCALHOST") : name;
}

}  // namespace QusListReport
