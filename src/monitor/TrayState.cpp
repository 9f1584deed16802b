#include "monitor/TrayState.h"

namespace {
// "1 scan", "6 scans".
QString Count(int n, const char* thing) {
    return QString::number(n) + QLatin1Char(' ') + QString::fromLatin1(thing) +
           (n == 1 ? QString() : QStringLiteral("s"));
}
}  // namespace

void TrayState::ScanFailed() {
    ++m_failures;
}

std::optional<TrayState::Notice> TrayState::ScanAnswered(int sessions) {
    std::optional<Notice> notice;
    if (m_alerted)
        notice = Notice{QString::fromLatin1(kTitle),
                        QStringLiteral("Broker %1 answers again after %2.")
                            .arg(m_broker, Count(m_failures, "failed scan")),
                        false};
    m_sessions = sessions;
    m_sessionsKnown = true;
    m_failures = 0;
    m_alerted = false;
    return notice;
}

TrayState::Notice TrayState::AlertRaised() {
    m_alerted = true;
    return Notice{QString::fromLatin1(kTitle),
                  QStringLiteral("Broker %1 has not answered %2 in a row.")
                      .arg(m_broker, Count(m_failures, "scan")),
                  true};
}

TrayState::Condition TrayState::State() const {
    if (!m_scanEnabled) return Condition::Paused;
    return m_failures > 0 ? Condition::Failing : Condition::Answering;
}

QString TrayState::StateText() const {
    switch (State()) {
        case Condition::Paused:
            return QStringLiteral("Scanner Paused");
        case Condition::Failing:
            return QStringLiteral("Broker not answering (%1)")
                .arg(Count(m_failures, "failed scan"));
        case Condition::Answering:
            break;
    }
    return QStringLiteral("Scanning");
}

QString TrayState::ToolTip() const {
    return QStringLiteral("%1 - Broker: %2\nSessions: %3\n%4")
        .arg(QString::fromLatin1(kTitle), m_broker,
             m_sessionsKnown ? QString::number(m_sessions) : QStringLiteral("unknown"),
             StateText());
}
