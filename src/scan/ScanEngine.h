#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

#include "controls/GridTypes.h"
#include "scan/EntryIndex.h"
#include "scan/EventRecord.h"
#include "scan/MapStrToLoginObj.h"
#include "scan/MatrixLayout.h"
#include "scan/ScannerControl.h"
#include "scan/UserListReport.h"

class AppSettings;
class Clock;
class CommandLauncher;
class GridModel;
class GridView;
class HistoryLog;
class MatrixPresenter;
class Prompter;

// The scanner's copies of the settings it works with.
struct ScanSettings {
    QString broker;
    QString adminUserId;
    QString adminPassword;  // plain
    quint32 interval = 10;  // seconds
    UserListReport::Filters filters;

    static ScanSettings Load(const AppSettings& settings);
    bool HasCredentials() const {
        return !broker.isEmpty() && !adminUserId.isEmpty() && !adminPassword.isEmpty();
    }
};

// The status texts of the monitor window that the scanner keeps.
enum class ScanStatus {
    SessionCount,     // 4002
    Scanner,          // 4009: "\nScanning" or "Scanner\nPaused"
    DatabaseUsers,    // 4010
    WatchedPid,       // 4030: pid, then " \tLog Level " and the level
    WatchedUser,      // 4033
    WatchedMachine,   // 4035
    WatchedDateTime,  // 4037
    WatchCaption,     // 4039
};

// The login matrix and its scan cycle. Every interval it runs the users-listing tool, reads
// its report into the scan map, removes departed sessions and rebuilds the matrix in login
// order into the grid's cell model; every change goes through ApplyEvent, which also writes
// the history log. It runs without a window: it links no widgets, a view (the grid control)
// shows the model and is asked only through GridView, the presenter plays the effects, the
// monitor window shows its status texts and forwards commands, and tests drive it directly.
class ScanEngine : public QObject, public ScannerControl {
    Q_OBJECT
public:
    // The user's address (empty when none is known), or nothing when the lookup got no
    // answer in time: the cycle then looks up no more addresses.
    using AddressLookup = std::function<std::optional<QString>(const QString& userName)>;
    using AlertHook = std::function<void(int tries)>;

    static constexpr const char* kQuslistCommand = "quslist";
    static constexpr int kBlinkPeriodMs = 500;
    // A departing session blinks this often, each blink on and off for this long.
    static constexpr int kDepartingBlinks = 2;
    static constexpr int kDepartingBlinkMs = 200;

    // The matrix is written into `matrix`; `view` shows it (none without a display).
    ScanEngine(GridModel& matrix, GridView* view, CommandLauncher& launcher, HistoryLog& history,
               const Clock& clock, Prompter& prompter, QString workingDirectory,
               QObject* parent = nullptr);
    ~ScanEngine() override;

    // Collaborators
    void SetPresenter(MatrixPresenter* presenter) { m_presenter = presenter; }
    void SetAddressLookup(AddressLookup lookup) { m_lookup = std::move(lookup); }
    void SetAlertHook(AlertHook hook) { m_alertHook = std::move(hook); }
    void SetSettings(const ScanSettings& settings) { m_settings = settings; }
    const ScanSettings& Settings() const { return m_settings; }

    // Scanner control
    void PauseScanner() override;
    int RunScanCycle() override;
    void ResumeScanner(quint32 seconds);
    // Around a command that waits for the user: the scanner paused and the blinks stopped
    // (their entries left highlighted); afterwards the blinks go on and a scan runs.
    void SuspendForCommand();
    void EndSuspension();
    void StartScanning();
    void On();
    void Off();
    bool ScanEnabled() const { return m_scanEnabled; }
    bool Scanning() const { return m_scanTimer.isActive(); }

    // While a command of the window runs, the timers do nothing, the grid's included.
    class CommandScope {
    public:
        explicit CommandScope(ScanEngine& e);
        ~CommandScope();
        CommandScope(const CommandScope&) = delete;
        CommandScope& operator=(const CommandScope&) = delete;

    private:
        ScanEngine& m_engine;
    };
    bool Busy() const { return m_busy > 0; }

    // The matrix
    int ApplyEvent(const QString& eventText);
    bool FindSessionEntry(const QString& pid, const QString& machine, int& row, int& col);
    bool FindEntryByPid(const QString& pid, int& row, int& col);
    // Whether the look-up indices hold exactly the entries the grid shows, as indexing the
    // grid afresh would.
    bool IndexMatchesGrid() const;
    void MarkStaleIfOld(const QString& datetime, QString& status) const;
    void ResetMatrixGrid();
    int EntryCursor() const { return m_entryCursor; }
    const CMapStrToLoginObj& MatrixMap() const { return m_matrixMap; }
    CMapStrToLoginObj& MatrixMap() { return m_matrixMap; }
    const CMapStrToLoginObj& ScanMap() const { return m_scanMap; }

    // Failure counting
    void CountScanFailure();
    int ContigFailCount() const { return m_contigFailCount; }
    void ResetContigFailCount() { m_contigFailCount = 0; }
    void SetContigFailLimit(int limit) { m_contigFailLimit = limit; }
    int ContigFailLimit() const { return m_contigFailLimit; }

    // Status texts
    QString Status(ScanStatus which) const { return m_status.value(which); }
    void SetStatus(ScanStatus which, const QString& text);

    // Debug-logging interplay: the watch is set by the debug-logging controller.
    void SetTraceActive(bool active) { m_traceActive = active; }
    // The debug-logging placeholder entry: one applied with pid "0000" outside a rebuild.
    // A session the report lists with that pid is an ordinary one.
    bool IsPlaceholder(const QString& key) const { return m_placeholders.contains(key); }
    bool TraceActive() const { return m_traceActive; }
    void SetLogLevel(const QString& level) { m_logLevel = level; }
    QString LogLevel() const { return m_logLevel; }
    CCellID WatchedEntry() const { return {m_watchedRow, m_watchedCol}; }
    void SetWatchedEntry(int row, int col) {
        m_watchedRow = row;
        m_watchedCol = col;
    }
    CCellID ErrorEntry() const { return {m_errorRow, m_errorCol}; }
    void SetErrorEntry(int row, int col) {
        m_errorRow = row;
        m_errorCol = col;
    }
    bool ErrorBlinkActive() const { return m_errorBlinkActive; }

    // Blink timers (2: watched entry, 3: failure entries)
    void StartWatchBlink();
    void StopWatchBlink(bool leaveHighlighted);
    void StartErrorBlink();
    void StopErrorBlink(bool leaveHighlighted);
    bool WatchBlinkRunning() const { return m_watchTimer.isActive(); }
    bool ErrorBlinkRunning() const { return m_errorTimer.isActive(); }
    void BlinkTracedEntry();
    void BlinkErrorEntries();

    // The pid of the current users-listing run and today as YYYYMMDD, from the last report.
    QString OwnSessionPid() const { return m_ownSessionPid; }
    int TodayNumber() const { return m_todayNumber; }

signals:
    void StatusChanged(ScanStatus which, const QString& text);
    // ON shown pressed while scanning, OFF while paused.
    void ScannerStateChanged(bool scanning);
    // Broker, user id or password missing, or no interval: the settings must be filled in.
    void SettingsNeeded();
    // One per scan that either compared a report (answered, with the session count shown) or
    // counted a failure. A failure is told before the alert it may raise.
    void ScanCounted(bool answered, int sessions);
    // The report named the number of active users defined in the Broker's database.
    void ActiveUsersRead(const QString& count);
    // A cycle that ran has ended: how long it took, and the sessions it showed anew and took
    // off (failure entries and the debug-logging placeholder are not sessions).
    void CycleEnded(double seconds, int added, int removed);

private:
    friend class CommandScope;

    int RunUserListTool();
    int ParseUserListReport();
    void RemoveDepartedSessions();
    void RebuildMatrix();
    // Whether the report holds exactly the sessions the grid shows, as the last rebuild
    // left them: the cycle then has nothing to write.
    bool MatrixUnchanged();
    // Where the removal pass would empty the grid: empties it, or, when the grid still holds
    // what the last rebuild wrote, lets the rebuild write over it only what differs.
    void BeginMatrixRebuild();
    void FinishMatrixRebuild();
    int MatrixRowCount() const;
    void SetMatrixRowCount(int rows);
    // The number of the entry at (row, col) in the matrix, and where entry number `n` stands.
    static int EntryPosition(int row, int col) {
        return (row - 1) * MatrixLayout::kGroupsPerRow + col / MatrixLayout::kGroupWidth;
    }
    static EntryIndex::Position PositionOf(int n) {
        return {1 + n / MatrixLayout::kGroupsPerRow,
                n % MatrixLayout::kGroupsPerRow * MatrixLayout::kGroupWidth};
    }
    void SyncMatrixMapFromGrid();
    void SyncEntry(int row, int col);
    // Takes a shown session's record out of the matrix map, noting it for the next layout.
    // The record lives on in the returned node (empty when there was none) until it is dropped.
    CMapStrToLoginObj::Storage::node_type ForgetShown(const QString& key);
    // Notes whether the matrix map holds the scan map's keys, as they are now.
    void NoteStep(bool inStep);
    // Whether it still does, the scan map's keys being at version `scanKeys`.
    bool InStep(quint64 scanKeys) const;
    // Notes a session the next rebuild will mark stale.
    void NoteStaleDue(const LoginRecord& fresh);
    void Apply(const EventRecord& e);
    // True when the entry's stale colours are stored already.
    bool WriteEntry(int row, int col, const EventRecord& e, quint64 indexHash);
    // The stale colours of the entry at (row, col) as its status asks: kept, or taken off
    // where the entry is no longer stale. True when they are stored.
    bool KeepStaleColours(int row, int col, bool stale);
    void WriteCell(int row, int col, const QString& text);
    // The stale colours of a written entry, unless they are stored already.
    void PaintStale(int row, int col, bool alreadyStored);
    // The departing sessions' double blink, before the grid is reset over them.
    void PlayDepartingBlinks();
    // The address of a new session's user, from the cycle's `known` ones or a lookup.
    void LookUpAddress(const QString& key, const QString& reportedUserId, QString& email,
                       QHash<QString, QString>& known);
    // The addresses of the shown sessions' users, by the user id the report spelled.
    void GatherAddresses(QHash<QString, QString>& addresses);
    // Whether the last layout holds every record of the matrix map: the map has lost only
    // the records forgotten since, and gained none.
    bool LayoutHoldsMatrix() const;
    // The indices of the last layout's entries whose records are still shown.
    const std::vector<int>& LiveLayout();
    struct Placed;
    // Brings the indices kept from the last layout to the new `layout`: the hashes of entries
    // written anew or not left in place (`inPlace`, by the last layout's entry numbers) go to
    // their first entry, or out.
    void MoveCarriedIndex(const std::vector<Placed>& layout, const std::vector<char>& inPlace);
    bool FindIndexed(quint64 hash, const QString& pid, const QString& machine, int& row, int& col);
    void NextWritePosition(int& row, int& col);
    void ScrollIntoView(int row, int col);
    void PumpPaintThrottled();
    void IndexEntry(int row, int col, const QString& pid, quint64 hash);
    // An entry's look-up hashes: of "PID/MACHINE" and of "PID".
    struct EntryHashes {
        quint64 entry = 0;
        quint64 pid = 0;
    };
    void IndexEntry(int row, int col, const EntryHashes& hashes);
    // What a layout keeps of a shown record, so that an entry left in place is laid out
    // again without a look at the record.
    struct EntryFacts {
        EntryHashes hashes;  // zero when not known
        bool stale = false;
        bool failure = false;
        bool pidless = false;
    };
    static EntryFacts FactsOf(const LoginRecord& rec);
    void RebuildIndex();
    void IndexGrid(EntryIndex& entries, EntryIndex& pids) const;
    // The entries a rebuild has placed so far.
    int PlacedEntries() const;
    // A look-up while the indices keep the last layout: among the entries written anew, and
    // the last layout's entry of the hash where it has been placed again already.
    template <typename HoldsEntry>
    bool FindCarried(quint64 hash, const HoldsEntry& holdsEntry, int& row, int& col) const;
    void ClearIndex();
    QString CellText(int row, int col) const;
    QString WatchedPidLabel() const;
    // The entry the debug-logging watch points at: the placeholder when all clients are
    // watched, else the session of the watched pid, user and machine (`session` true).
    bool FindWatchedEntry(int& row, int& col, bool& session) const;
    QString ReportPath() const;
    void OnScanTimer();
    void OnWatchTimer();
    void OnErrorTimer();

    GridModel& m_grid;
    GridView* m_view;
    CommandLauncher& m_launcher;
    HistoryLog& m_history;
    const Clock& m_clock;
    Prompter& m_prompter;
    QString m_workingDirectory;
    MatrixPresenter* m_presenter = nullptr;
    AddressLookup m_lookup;
    AlertHook m_alertHook;
    ScanSettings m_settings;

    CMapStrToLoginObj m_scanMap;
    UserListReport::Recall m_recall;  // the last reading of the report into the scan map
    CMapStrToLoginObj m_matrixMap;
    int m_entryCursor = 0;
    bool m_scanEnabled = true;
    bool m_inCycle = false;
    bool m_toolRunning = false;  // the launcher runs the listing tool or a lookup for us
    bool m_lookupsHeld = false;  // a lookup of this cycle timed out, or the window closes
    // Sessions shown without an address because their lookup was skipped or got no answer.
    QSet<QString> m_addressPending;
    QSet<QString> m_placeholders;
    struct Departing {
        int row;
        int col;
    };
    std::vector<Departing> m_departing;
    int m_busy = 0;
    int m_todayNumber = 0;
    QString m_ownSessionPid;
    int m_contigFailCount = 0;
    int m_contigFailLimit = 6;
    int m_cycleAdded = 0;    // sessions shown anew since the last CycleEnded
    int m_cycleRemoved = 0;  // sessions taken off since then

    bool m_traceActive = false;
    QString m_logLevel;
    bool m_errorBlinkActive = false;
    int m_watchedRow = 0, m_watchedCol = 0;
    int m_errorRow = 0, m_errorCol = 0;

    QHash<ScanStatus, QString> m_status;
    QTimer m_scanTimer;   // 1
    QTimer m_watchTimer;  // 2
    QTimer m_errorTimer;  // 3

    // Where each session sits in the grid, to keep look-ups off the grid's cells: the first
    // entry per "PID/MACHINE" and per "PID", both upper-cased. Verified on every hit and
    // rebuilt when the grid's rows were moved (a heading-click sort).
    using Position = EntryIndex::Position;
    EntryIndex m_entryIndex;
    EntryIndex m_pidIndex;
    // While a rebuild goes on from the last layout (`m_indexCarried`), the indices keep the
    // last layout's entries: an entry left in place is not indexed again. The entries written
    // anew meanwhile are found in `m_placedAnew`, and listed in their order until the indices
    // take them at the end of the rebuild.
    bool m_indexCarried = false;
    EntryIndex m_placedAnew;
    struct PlacedAnew {
        EntryIndex::Position at;
        EntryHashes hashes;
    };
    std::vector<PlacedAnew> m_placedAnewList;

    // The indexed position of `hash` when the grid still holds the entry there; the index is
    // rebuilt once when it does not.
    template <typename HoldsEntry>
    bool FindVerified(const EntryIndex& index, quint64 hash, const HoldsEntry& holdsEntry, int& row,
                      int& col);

    struct LooseEntry {
        int row;
        int col;
        QString pid;
        QString machine;
    };
    std::vector<LooseEntry> m_looseEntries;

    // While a rebuild writes thousands of entries, only the last one is scrolled into view.
    bool m_batch = false;
    int m_pendingVisibleRow = -1, m_pendingVisibleCol = -1;
    qint64 m_lastPumpMs = 0;
    unsigned m_pumpCalls = 0;

    // What the last rebuild left in the grid: the grid's change count right after it, the
    // day it marked stale sessions by, its number of entries and its last entry (which
    // every rebuild scrolls into view). A grid changed since (a failure entry, find marks,
    // a click, a font) is emptied and rebuilt as usual.
    bool m_shownValid = false;
    quint64 m_shownChanges = 0;
    int m_shownToday = 0;
    int m_shownEntries = 0;
    int m_shownLastRow = -1, m_shownLastCol = -1;
    // Entries whose stale colours are stored, by position in login order.
    std::vector<bool> m_stalePainted;
    // The last rebuild's layout: every record of the matrix map in login order, with where
    // it was written (-1: not written, the grid showing its session already). Valid for the
    // matrix map as it was then (`m_layoutKeys`), less the records forgotten since.
    struct Placed {
        LoginRecord* rec;
        const QString* key;
        qint64 when;  // the time stamp as a number, -1 for another shape
        int position;
        bool fresh;  // new in that rebuild, so not yet marked stale by the day
        EntryFacts facts;
    };
    std::vector<Placed> m_layout;
    bool m_layoutValid = false;
    quint64 m_layoutKeys = 0;
    int m_layoutToday = 0;
    std::vector<const LoginRecord*> m_forgotten;
    // The indices of the layout's records not forgotten, while `m_liveValid`, for as many
    // forgotten ones as `m_liveForgotten` says.
    std::vector<int> m_live;
    bool m_liveValid = false;
    size_t m_liveForgotten = 0;
    // The matrix map held the scan map's keys, none of them a failure entry or the
    // placeholder, when they had these versions: an unchanged report then needs no
    // comparison, and a changed one is followed through the reading (`m_followReading`).
    bool m_inStep = false;
    quint64 m_stepScanKeys = 0;
    quint64 m_stepMatrixKeys = 0;
    bool m_followReading = false;
    // A session new in the last rebuild is stale by its stored date-time, which only the next
    // rebuild marks.
    bool m_staleDue = false;
    // A rebuild writing over the last one: the rows it has filled so far.
    bool m_reuse = false;
    int m_reuseRows = 0;
};
