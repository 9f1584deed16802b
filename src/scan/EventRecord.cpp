#include "scan/EventRecord.h"

#include "scan/LoginRecord.h"

namespace {

constexpr int kFieldBuffer = 1023;

QString Join(std::initializer_list<QString> parts) {
    QString out;
    for (const QString& p : parts) out += p;
    return out;
}

}  // namespace

QString DateTimeFromField(const QString& dt) {
    const qsizetype us = dt.indexOf(QLatin1Char('_'));
    // The usual "date_time" with nothing to trim: one copy with the blank put back.
    if (us > 0 && us + 1 < dt.size() && !dt.front().isSpace() && !dt.back().isSpace() &&
        !dt[us - 1].isSpace() && !dt[us + 1].isSpace()) {
        QString out = dt;
        out[us] = QLatin1Char(' ');
        return out;
    }
    const QString date = us < 0 ? dt : dt.left(us);
    const QString time = us < 0 ? QString() : dt.mid(us + 1);
    return date.trimmed() + QLatin1Char(' ') + time.trimmed();
}

namespace EventText {

QString Add(const QString& pid, const QString& name, const QString& machine,
            const QString& datetime, const QString& status) {
    return Join({QStringLiteral("EXE=ADD PID="), pid, QStringLiteral(" NAME="), name,
                 QStringLiteral(" MN="), machine, QStringLiteral(" DT="), datetime,
                 QStringLiteral(" ST="), status});
}

QString Upo(const QString& pid, const QString& name, const QString& machine,
            const QString& datetime, const QString& status) {
    return Join({QStringLiteral("EXE=UPO PID="), pid, QStringLiteral(" NAME="), name,
                 QStringLiteral(" MN="), machine, QStringLiteral(" DT="), datetime,
                 QStringLiteral(" ST="), status});
}

QString Del(const QString& pid, const QString& name, const QString& machine,
            const QString& status) {
    return Join({QStringLiteral("EXE=DEL PID="), pid, QStringLiteral(" NAME="), name,
                 QStringLiteral(" MN="), machine, QStringLiteral(" ST="), status});
}

QString DelPlain(const QString& pid, const QString& name, const QString& machine) {
    return Join({QStringLiteral("EXE=DEL PID="), pid, QStringLiteral(" NAME="), name,
                 QStringLiteral(" MN="), machine});
}

QString AddPlaceholder(const QString& pid, const QString& name, const QString& machine) {
    return Join({QStringLiteral("EXE=ADD PID="), pid, QStringLiteral(" NAME="), name,
                 QStringLiteral(" MN="), machine});
}

QString FailBrokerConnect(const QString& source) {
    return Join({QStringLiteral("EXE=REC PID=Error NAME="), source,
                 QStringLiteral(" MN=Fail Broker Connect")});
}

}  // namespace EventText

bool ExtractField(const QString& key, QChar terminator, const QString& source,
                  QString& destination) {
    destination.clear();
    const qsizetype at = source.indexOf(key);
    if (at < 0) return false;
    const qsizetype start = at + key.size();
    qsizetype end = source.indexOf(terminator, start);
    if (end < 0) end = source.size();
    destination = source.mid(start, qMin<qsizetype>(end - start, kFieldBuffer));
    return true;
}

EventRecord ParseEventRecord(const QString& text, const QString& now) {
    EventRecord e;
    const QChar blank(QLatin1Char(' '));
    ExtractField(QStringLiteral("EXE="), blank, text, e.verb);
    const bool havePid = ExtractField(QStringLiteral("PID="), blank, text, e.pid);
    QString dt;

    if (havePid && e.pid == QLatin1String(kErrorPid)) {
        ExtractField(QStringLiteral("NAME="), blank, text, e.name);
        // A failure text keeps its blanks: it runs to the end of the record.
        ExtractField(QStringLiteral("MN="), QLatin1Char(':'), text, e.machine);
        e.datetime = now;
        return e;
    }
    if (havePid && e.pid == QLatin1String(kPlaceholderPid)) {
        if (!ExtractField(QStringLiteral("NAME="), blank, text, e.name))
            e.name = QStringLiteral("LOGGING");
        ExtractField(QStringLiteral("MN="), blank, text, e.machine);
        e.datetime = ExtractField(QStringLiteral("DT="), blank, text, dt) ? DateTimeFromField(dt)
                                                                          : now;
        return e;
    }
    ExtractField(QStringLiteral("NAME="), blank, text, e.name);
    ExtractField(QStringLiteral("MN="), blank, text, e.machine);
    if (ExtractField(QStringLiteral("DT="), blank, text, dt)) e.datetime = DateTimeFromField(dt);
    ExtractField(QStringLiteral("ST="), blank, text, e.status);
    return e;
}
