#include "history/SessionPairing.h"

#include <algorithm>

#include "scan/HistoryLog.h"
#include "scan/LoginRecord.h"

SessionPairing::SessionPairing(HistoryStore& store)
    : m_store(store),
      m_placeholderPid(store.pids.Intern(kPlaceholderPid)),
      m_errorPid(store.pids.Intern(kErrorPid)),
      m_shutdownUser(store.users.Intern(HistoryLog::kShutdownUser)),
      m_shutdownMachine(store.machines.Intern(HistoryLog::kShutdownMachine)),
      m_failedToRespond(store.machines.Intern(kFailedToRespondText)),
      m_failBrokerConnect(store.machines.Intern(kFailBrokerConnectText)),
      m_invalidCredentials(store.machines.Intern(kInvalidCredentialsText)) {}

void SessionPairing::StartFile(uint32_t nextEvent) {
    m_fileStarted = true;
    m_fileStart = nextEvent;
    m_timeBeforeFile = m_lastTime;
    m_shutdownBeforeFile = m_lastWasShutdown;
}

void SessionPairing::Take(uint32_t index, const HistoryEvent& e) {
    const bool add = e.tag == HistoryTag::Add;
    if (!add && m_inBurst) EndBurst();
    const bool timed = e.flags & HistoryEvent::kOwnTime;
    if (timed && !add && m_fileStarted) {
        // Written on the day the file before ended: not a new day's file, so the monitor
        // started afresh or the history was switched on again.
        m_fileStarted = false;
        if (!m_shutdownBeforeFile && m_timeBeforeFile != HistoryTime::kUnknown &&
            HistoryTime::Day(e.time) == HistoryTime::Day(m_timeBeforeFile))
            Suspend(SessionEnd::HistoryGap, m_timeBeforeFile, true, true, m_fileStart);
    }
    if (timed && !add) m_lastTime = std::max(m_lastTime, e.time);
    m_lastWasShutdown = false;
    switch (e.tag) {
        case HistoryTag::Add:
            TakeAdd(index, e);
            break;
        case HistoryTag::Del:
            TakeDel(index, e);
            break;
        case HistoryTag::Rec:
            TakeRec(index, e);
            break;
        case HistoryTag::Other:
            break;
    }
    // A log-on time is no later than the line that tells it.
    if (timed && add) m_lastTime = std::max(m_lastTime, e.time);
}

void SessionPairing::TakeAdd(uint32_t index, const HistoryEvent& e) {
    // The debug-logging placeholder is not a client session.
    if (e.pid == m_placeholderPid || e.pid == m_errorPid) return;
    if (!m_inBurst) {
        m_inBurst = true;
        m_restartInBurst = false;
        m_burstStart = index;
        m_timeBeforeBurst = m_lastTime;
    }
    // New sessions are listed only once the Broker answers.
    if (m_outage) EndOutage(m_lastTime, SessionEnd::Answered);
    const uint64_t key = Key(e);
    const int64_t start = (e.flags & HistoryEvent::kOwnTime) ? e.time : HistoryTime::kUnknown;

    if (auto open = m_open.find(key); open != m_open.end()) {
        if (open->second.start != start) {
            HistorySession old = open->second;
            old.end = std::max(start == HistoryTime::kUnknown ? m_lastTime : start, old.start);
            old.ended = SessionEnd::NextLogOn;
            m_open.erase(open);
            Finish(old);
        } else if (open->second.firstEvent >= m_burstStart) {
            return;  // the same line twice in one listing
        } else if (!m_restartInBurst) {
            RestartSeen();  // it is now among the suspended ones
        }
    }
    if (auto found = m_suspended.find(key); found != m_suspended.end()) {
        if (found->second.byAdd && found->second.session.start == start) {
            HistorySession s = found->second.session;
            s.ended = SessionEnd::StillOn;
            s.end = HistoryTime::kUnknown;
            s.lastEvent = index;
            m_suspended.erase(found);
            m_open.emplace(key, s);
            return;
        }
        FinishSuspended(key);
    }
    if (m_open.count(key)) return;
    HistorySession s;
    s.start = start;
    s.pid = e.pid;
    s.user = e.user;
    s.machine = e.machine;
    s.firstEvent = s.lastEvent = index;
    s.ended = SessionEnd::StillOn;
    m_open.emplace(key, s);
}

void SessionPairing::TakeDel(uint32_t index, const HistoryEvent& e) {
    if (e.pid == m_errorPid) {
        EndOutage(e.time, SessionEnd::Answered);
        return;
    }
    if (e.pid == m_placeholderPid) return;
    EndOutage(e.time, SessionEnd::Answered);
    const uint64_t key = Key(e);
    HistorySession s;
    if (auto open = m_open.find(key); open != m_open.end()) {
        s = open->second;
        m_open.erase(open);
    } else if (auto found = m_suspended.find(key);
               found != m_suspended.end() && found->second.byDel) {
        s = found->second.session;
        m_suspended.erase(found);
    } else {
        // Its log-on is not in the history.
        s.pid = e.pid;
        s.user = e.user;
        s.machine = e.machine;
        s.firstEvent = index;
    }
    s.end = s.StartKnown() ? std::max(e.time, s.start) : e.time;
    s.ended = SessionEnd::LoggedOff;
    s.lastEvent = index;
    Finish(s);
}

void SessionPairing::TakeRec(uint32_t index, const HistoryEvent& e) {
    if (!(e.flags & HistoryEvent::kOwnTime)) return;
    if (e.pid == m_placeholderPid && e.user == m_shutdownUser && e.machine == m_shutdownMachine) {
        // What an earlier shutdown or gap left waiting can no longer be found on.
        while (!m_suspended.empty()) FinishSuspended(m_suspended.begin()->first);
        Suspend(SessionEnd::ShutDown, e.time, true, false, UINT32_MAX);
        m_lastWasShutdown = true;
        return;
    }
    // A failure entry; the lines about alert mails carry more text after the time.
    if (e.pid != m_errorPid || e.text != 0) return;
    if (e.machine == m_failedToRespond || e.machine == m_failBrokerConnect) {
        if (!m_outage) {
            HistorySession o;
            o.outage = true;
            o.start = e.time;
            o.user = e.user;
            o.machine = e.machine;
            o.firstEvent = index;
            o.ended = SessionEnd::StillOn;
            m_outage = o;
        }
        ++m_outage->failures;
        m_outage->lastEvent = index;
    } else if (e.machine == m_invalidCredentials) {
        EndOutage(e.time, SessionEnd::Answered);  // it answered, if only to refuse the login
    }
}

void SessionPairing::EndBurst() {
    m_inBurst = false;
    // Left by a shutdown or a restart for this listing, and not in it: ended back then.
    std::vector<uint64_t> done;
    for (const auto& [key, s] : m_suspended)
        if (s.byAdd && !s.byDel) done.push_back(key);
    for (const uint64_t key : done) FinishSuspended(key);
}

void SessionPairing::RestartSeen() {
    m_restartInBurst = true;
    m_fileStarted = false;
    // Only the monitor that went away could have written their DEL lines.
    for (auto& [key, s] : m_suspended) s.byDel = false;
    Suspend(SessionEnd::MonitorStopped, m_timeBeforeBurst, true, false, m_burstStart);
}

void SessionPairing::Suspend(SessionEnd how, int64_t at, bool byAdd, bool byDel, uint32_t before) {
    for (auto it = m_open.begin(); it != m_open.end();) {
        if (it->second.firstEvent >= before) {
            ++it;
            continue;
        }
        if (m_suspended.count(it->first)) FinishSuspended(it->first);
        Suspended s{it->second, byAdd, byDel};
        s.session.end = at == HistoryTime::kUnknown ? s.session.start
                        : s.session.StartKnown()    ? std::max(at, s.session.start)
                                                    : at;
        s.session.ended = how;
        m_suspended.emplace(it->first, s);
        it = m_open.erase(it);
    }
    if (m_outage && m_outage->firstEvent < before) EndOutage(at, how);
}

void SessionPairing::EndOutage(int64_t at, SessionEnd how) {
    if (!m_outage) return;
    HistorySession o = *m_outage;
    m_outage.reset();
    o.end = at == HistoryTime::kUnknown ? o.start : std::max(at, o.start);
    o.ended = how;
    Finish(o);
}

void SessionPairing::Finish(HistorySession s) {
    m_store.sessions.PushBack(s);
}

void SessionPairing::FinishSuspended(uint64_t key) {
    const auto found = m_suspended.find(key);
    if (found == m_suspended.end()) return;
    Finish(found->second.session);
    m_suspended.erase(found);
}

std::vector<HistorySession> SessionPairing::Pending() const {
    std::vector<HistorySession> out;
    out.reserve(m_open.size() + m_suspended.size() + 1);
    for (const auto& [key, s] : m_open) out.push_back(s);
    for (const auto& [key, s] : m_suspended) out.push_back(s.session);
    if (m_outage) out.push_back(*m_outage);
    std::sort(out.begin(), out.end(), [](const HistorySession& a, const HistorySession& b) {
        return a.firstEvent < b.firstEvent;
    });
    return out;
}
