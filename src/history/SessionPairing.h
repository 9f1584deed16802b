#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "history/HistoryStore.h"

// Pairs each log-on (ADD) with its log-off (DEL) into sessions, and runs of failed scans with
// the Broker's next answer into outages, as the lines come, oldest first. Finished ones go to
// the store; the rest is Pending().
//
// What the files show of the monitor's own life, and what is made of it:
// - a shutdown line ends every session on at that moment, its log-off not known. A session
//   the started monitor lists again with the same log-on time goes on as before;
// - a monitor that starts without a shutdown line (it was killed) is seen when it lists a
//   session that is already on, with the same log-on time: the sessions it does not list in
//   that first listing ended while it was away, at the last time known before;
// - when the history was switched off and on again, the file was archived and started anew
//   on the same day: the sessions on then may have ended meanwhile. They end at the last
//   time known before, unless their DEL line comes later;
// - a DEL without an ADD is a session whose log-on is not in the history.
class SessionPairing {
public:
    explicit SessionPairing(HistoryStore& store);

    // The next event is the first of another file.
    void StartFile(uint32_t nextEvent);
    // One event, already stored at `index`.
    void Take(uint32_t index, const HistoryEvent& e);
    // Sessions still on, sessions whose end may still be learnt, the outage under way; in the
    // order of their first lines.
    std::vector<HistorySession> Pending() const;

private:
    struct Suspended {
        HistorySession session;
        bool byAdd = false;  // a listing of a restarted monitor may still show it on
        bool byDel = false;  // its DEL line may still come
    };

    static uint64_t Key(const HistoryEvent& e) { return (uint64_t(e.machine) << 32) | e.pid; }
    void TakeAdd(uint32_t index, const HistoryEvent& e);
    void TakeDel(uint32_t index, const HistoryEvent& e);
    void TakeRec(uint32_t index, const HistoryEvent& e);
    void EndBurst();
    void RestartSeen();
    // Ends the sessions first seen before event `before` as `how` at `at`, while they may
    // still be found on.
    void Suspend(SessionEnd how, int64_t at, bool byAdd, bool byDel, uint32_t before);
    void EndOutage(int64_t at, SessionEnd how);
    void Finish(HistorySession s);
    void FinishSuspended(uint64_t key);

    HistoryStore& m_store;
    uint32_t m_placeholderPid;
    uint32_t m_errorPid;
    uint32_t m_shutdownUser;
    uint32_t m_shutdownMachine;
    uint32_t m_failedToRespond;
    uint32_t m_failBrokerConnect;
    uint32_t m_invalidCredentials;

    std::unordered_map<uint64_t, HistorySession> m_open;
    std::unordered_map<uint64_t, Suspended> m_suspended;
    std::optional<HistorySession> m_outage;
    int64_t m_lastTime = HistoryTime::kUnknown;

    // A run of ADD lines: one listing's new sessions.
    bool m_inBurst = false;
    bool m_restartInBurst = false;
    uint32_t m_burstStart = 0;
    int64_t m_timeBeforeBurst = HistoryTime::kUnknown;

    // The start of a file, until its first line with a time of writing.
    bool m_fileStarted = false;
    uint32_t m_fileStart = 0;
    int64_t m_timeBeforeFile = HistoryTime::kUnknown;
    bool m_shutdownBeforeFile = false;
    bool m_lastWasShutdown = false;
};
