#include "BrokerState.h"

#include <QSet>

#include "SimRandom.h"

namespace {

const char* const kHeader =
    "# Simulated Tessamy Broker, kept by the Quorvatel stand-in tools (tessamy-sim).\n"
    "# Sections hold tab-separated fields; see tools/tessamy-sim/README.md.\n";

struct DamageName {
    Damage::Kind kind;
    const char* name;
};
const DamageName kDamageNames[] = {
    {Damage::CutLines, "cut"},           {Damage::MissingFields, "fields"},
    {Damage::LongLines, "long"},         {Damage::HugeLines, "huge"},
    {Damage::BinaryGarbage, "binary"},   {Damage::DuplicateLines, "duplicate"},
    {Damage::TruncatedFile, "truncate"},
};

struct ConditionText {
    BrokerCondition condition;
    const char* name;
};
const ConditionText kConditions[] = {
    {BrokerCondition::Up, "up"},         {BrokerCondition::Down, "down"},
    {BrokerCondition::Hang, "hang"},     {BrokerCondition::BadCredentials, "badcreds"},
    {BrokerCondition::Broken, "broken"}, {BrokerCondition::Silent, "silent"},
};

bool ParseU64(const QString& text, quint64& out) {
    if (text.isEmpty()) return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9') return false;
    bool ok = false;
    out = text.toULongLong(&ok);
    return ok;
}

QString Line(const QStringList& fields) {
    return fields.join(u'\t') + u'\n';
}

}  // namespace

namespace Damage {

QStringList Names() {
    QStringList names;
    for (const DamageName& d : kDamageNames) names.append(QString::fromLatin1(d.name));
    return names;
}

bool Parse(const QString& text, unsigned& flags) {
    unsigned result = 0;
    const QStringList parts = text.split(u',', Qt::SkipEmptyParts);
    if (parts.isEmpty()) return false;
    for (const QString& raw : parts) {
        const QString part = raw.trimmed().toLower();
        if (part == u"all") {
            result |= kAll;
            continue;
        }
        bool known = false;
        for (const DamageName& d : kDamageNames) {
            if (part == QLatin1String(d.name)) {
                result |= d.kind;
                known = true;
            }
        }
        if (!known) return false;
    }
    flags = result;
    return true;
}

QString Format(unsigned flags) {
    QStringList names;
    for (const DamageName& d : kDamageNames)
        if (flags & d.kind) names.append(QString::fromLatin1(d.name));
    return names.join(u',');
}

}  // namespace Damage

QString ConditionName(BrokerCondition condition) {
    for (const ConditionText& c : kConditions)
        if (c.condition == condition) return QString::fromLatin1(c.name);
    return QStringLiteral("up");
}

bool ParseCondition(const QString& text, BrokerCondition& out) {
    for (const ConditionText& c : kConditions) {
        if (text.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) {
            out = c.condition;
            return true;
        }
    }
    return false;
}

namespace SimText {

bool IsStorable(const QString& value) {
    for (QChar c : value)
        if (c == u'\t' || c == u'\n' || c == u'\r' || c == QChar(0)) return false;
    return true;
}

bool IsValidUserName(const QString& name) {
    if (name.isEmpty() || name.size() > 128) return false;
    for (QChar c : name)
        if (c.isSpace() || c.category() == QChar::Other_Control) return false;
    return true;
}

static bool IsPlainName(const QString& name, qsizetype maxLength) {
    if (name.isEmpty() || name.size() > maxLength) return false;
    for (QChar c : name) {
        const bool ok = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                        (c >= u'0' && c <= u'9') || c == u'_' || c == u'-' || c == u'.';
        if (!ok) return false;
    }
    return true;
}

bool IsValidMachineName(const QString& name) {
    return IsPlainName(name, 64);
}

bool IsValidBrokerName(const QString& name) {
    return IsPlainName(name, 64) && name[0].isLetterOrNumber();
}

QString OneLine(QString text) {
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control) c = u' ';
    return text;
}

QString FormatTime(const QDateTime& t) {
    return t.toString(QString::fromLatin1(BrokerState::kTimeFormat));
}

bool ParseTime(const QString& text, QDateTime& out) {
    const QDateTime t =
        QDateTime::fromString(text.trimmed(), QString::fromLatin1(BrokerState::kTimeFormat));
    if (!t.isValid()) return false;
    out = t;
    return true;
}

bool ParsePid(const QString& text, quint32& out) {
    quint64 value = 0;
    if (!ParseU64(text, value) || value == 0 || value > 0xFFFFFFFFULL) return false;
    out = static_cast<quint32>(value);
    return true;
}

}  // namespace SimText

QByteArray BrokerState::Serialize() const {
    QString text = QString::fromLatin1(kHeader);
    text += QStringLiteral("[broker]\n");
    text += Line({QStringLiteral("name"), name});
    text += Line({QStringLiteral("admin"), admin});
    text += Line({QStringLiteral("password"), password});
    text += Line({QStringLiteral("condition"), ConditionName(condition)});
    text += Line({QStringLiteral("hang-seconds"), QString::number(hangSeconds)});
    text += Line({QStringLiteral("churn"), churn ? QStringLiteral("on") : QStringLiteral("off")});
    text += Line({QStringLiteral("churn-seed"), QString::number(churnSeed)});
    text += Line({QStringLiteral("churn-step"), QString::number(churnStep)});
    text += Line({QStringLiteral("broken-seed"), QString::number(brokenSeed)});
    text += Line({QStringLiteral("broken-step"), QString::number(brokenStep)});
    text += Line({QStringLiteral("damage"), Damage::Format(damage)});
    text += QStringLiteral("[users]\n");
    for (const SimUser& u : users) text += Line({u.name, u.email});
    text += QStringLiteral("[sessions]\n");
    for (const SimSession& s : sessions)
        text += Line({s.user, s.machine, QString::number(s.pid), SimText::FormatTime(s.login)});
    text += QStringLiteral("[vantrace]\n");
    for (const TraceRequest& r : traceLog)
        text += Line({SimText::FormatTime(r.at), r.admin, r.mode, r.level, r.types, r.machine});
    return text.toUtf8();
}

bool BrokerState::Parse(const QByteArray& bytes, BrokerState& out, QString& error) {
    BrokerState state;
    QString section;
    bool sawBroker = false;
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r')) line.chop(1);
        const QString where =
            QStringLiteral("line ") + QString::number(i + 1) + QStringLiteral(": ");
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2);
            if (section != u"broker" && section != u"users" && section != u"sessions" &&
                section != u"vantrace") {
                error = where + QStringLiteral("unknown section ") + line;
                return false;
            }
            sawBroker = sawBroker || section == u"broker";
            continue;
        }
        const QStringList f = line.split(u'\t');
        if (section == u"broker") {
            if (f.size() != 2) {
                error = where + QStringLiteral("expected a key and a value");
                return false;
            }
            const QString& key = f[0];
            const QString& value = f[1];
            bool ok = true;
            if (key == u"name") {
                state.name = value;
            } else if (key == u"admin") {
                state.admin = value;
            } else if (key == u"password") {
                state.password = value;
            } else if (key == u"condition") {
                ok = ParseCondition(value, state.condition);
            } else if (key == u"hang-seconds") {
                quint64 v = 0;
                ok = ParseU64(value, v) && v <= 86400;
                state.hangSeconds = static_cast<int>(v);
            } else if (key == u"churn") {
                ok = value == u"on" || value == u"off";
                state.churn = value == u"on";
            } else if (key == u"churn-seed") {
                ok = ParseU64(value, state.churnSeed);
            } else if (key == u"churn-step") {
                ok = ParseU64(value, state.churnStep);
            } else if (key == u"broken-seed") {
                ok = ParseU64(value, state.brokenSeed);
            } else if (key == u"broken-step") {
                ok = ParseU64(value, state.brokenStep);
            } else if (key == u"damage") {
                ok = Damage::Parse(value, state.damage);
            } else {
                error = where + QStringLiteral("unknown key ") + key;
                return false;
            }
            if (!ok) {
                error = where + QStringLiteral("bad value for ") + key;
                return false;
            }
        } else if (section == u"users") {
            if (f.size() > 2 || !SimText::IsValidUserName(f[0])) {
                error = where + QStringLiteral("expected a user name and an e-mail address");
                return false;
            }
            state.users.append({f[0], f.size() > 1 ? f[1] : QString()});
        } else if (section == u"sessions") {
            SimSession s;
            if (f.size() != 4 || !SimText::IsValidUserName(f[0]) ||
                !SimText::IsValidMachineName(f[1]) || !SimText::ParsePid(f[2], s.pid) ||
                !SimText::ParseTime(f[3], s.login)) {
                error = where + QStringLiteral("expected user, machine, process id, login time");
                return false;
            }
            s.user = f[0];
            s.machine = f[1];
            state.sessions.append(s);
        } else if (section == u"vantrace") {
            TraceRequest r;
            if (f.size() != 6 || !SimText::ParseTime(f[0], r.at)) {
                error = where + QStringLiteral("expected time, admin, mode, level, types, machine");
                return false;
            }
            r.admin = f[1];
            r.mode = f[2];
            r.level = f[3];
            r.types = f[4];
            r.machine = f[5];
            state.traceLog.append(r);
        } else {
            error = where + QStringLiteral("text outside any section");
            return false;
        }
    }
    if (!sawBroker || state.name.isEmpty()) {
        error = QStringLiteral("the [broker] section or its name is missing");
        return false;
    }
    out = std::move(state);
    return true;
}

const SimUser* BrokerState::FindUser(const QString& user) const {
    for (const SimUser& u : users)
        if (u.name == user) return &u;
    for (const SimUser& u : users)
        if (u.name.compare(user, Qt::CaseInsensitive) == 0) return &u;
    return nullptr;
}

bool BrokerState::PidInUse(const QString& machine, quint32 pid) const {
    for (const SimSession& s : sessions)
        if (s.pid == pid && s.machine.compare(machine, Qt::CaseInsensitive) == 0) return true;
    return false;
}

quint32 BrokerState::FreePid(const QString& machine, SimRandom& random) const {
    for (int tries = 0; tries < 1000; ++tries) {
        const quint32 pid = static_cast<quint32>(random.Between(1000, 65535));
        if (!PidInUse(machine, pid)) return pid;
    }
    // A crowded machine: take the first free id above the usual range.
    quint32 pid = 65536;
    while (PidInUse(machine, pid)) ++pid;
    return pid;
}

void BrokerState::LogOn(const QString& user, const QString& machine, quint32 pid,
                        const QDateTime& at) {
    sessions.append({user, machine, pid, at});
}

int BrokerState::LogOffUser(const QString& user) {
    const qsizetype before = sessions.size();
    sessions.removeIf(
        [&](const SimSession& s) { return s.user.compare(user, Qt::CaseInsensitive) == 0; });
    return static_cast<int>(before - sessions.size());
}

bool BrokerState::LogOffSession(const QString& machine, quint32 pid) {
    return sessions.removeIf([&](const SimSession& s) {
        return s.pid == pid && s.machine.compare(machine, Qt::CaseInsensitive) == 0;
    }) > 0;
}
