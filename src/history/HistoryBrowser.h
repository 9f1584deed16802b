#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "history/HistoryFilter.h"
#include "history/HistorySnapshot.h"

class Clock;
class FileChooser;
class HistoryLoader;
class HistoryTableModel;
class Prompter;
class QCheckBox;
class QDateEdit;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTabWidget;
class QTableView;
class QTimer;

// The history window: every history file of the working directory as sessions (log-on to
// log-off, and the Broker's outages) and as lines, with a text filter, a date range, a tag
// choice and "who was on at" a moment; rows sorted by any column, copied, exported as CSV.
// It stays open beside the monitor (not modal), follows the live file while it is shown and
// keeps what it read when it is closed, so that opening it again reads only what is new.
class HistoryBrowser : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Quorvatel History";
    static constexpr int kFollowMs = 1000;

    HistoryBrowser(const QString& workingDirectory, const Clock& clock, FileChooser& files,
                   Prompter& prompter, QWidget* parent = nullptr);
    ~HistoryBrowser() override;

    // Shows the window (or raises it) and reads what is new.
    void Open();
    void CopySelection();
    void ExportCsv();
    // Sessions and lines from the oldest to the newest day in the history.
    void ShowWholeHistory();

    HistoryTableModel& SessionsModel() { return *m_sessions; }
    HistoryTableModel& EventsModel() { return *m_events; }
    HistoryTableModel& CurrentModel();
    HistoryLoader& Loader() { return *m_loader; }
    QString StatusText() const;
    // Nothing being read and the last snapshot shown.
    bool Idle() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildUi();
    QTableView* MakeView(HistoryTableModel* model, int sortColumn);
    void OnUpdated(std::shared_ptr<const HistorySnapshot> snapshot);
    void OnProgress(qint64 done, qint64 total);
    void OnIdle();
    HistoryCriteria Criteria(bool sessions) const;
    void ApplyCriteria();
    // Brings the view on show up to date; the other one follows when it is shown.
    void SyncShownView();
    void UpdateStatus();
    void Tick();
    int64_t Now() const;

    QString m_directory;
    const Clock& m_clock;
    FileChooser& m_files;
    Prompter& m_prompter;
    HistoryLoader* m_loader;
    HistoryTableModel* m_sessions;
    HistoryTableModel* m_events;
    std::shared_ptr<const HistorySnapshot> m_snapshot;

    QLineEdit* m_filter = nullptr;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QCheckBox* m_tags[4] = {};
    QCheckBox* m_atCheck = nullptr;
    QDateTimeEdit* m_at = nullptr;
    QTabWidget* m_tabs = nullptr;
    QTableView* m_sessionView = nullptr;
    QTableView* m_eventView = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QTimer* m_follow = nullptr;
    QString m_message;               // the outcome of the last export, until the view changes
    bool m_stale[2] = {true, true};  // Sessions, Events: behind the snapshot or the filters
};
