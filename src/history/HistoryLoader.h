#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

#include "history/HistorySnapshot.h"

class HistoryReader;
class QThread;

// Reads the history on a thread of its own, so that the window (and the monitor's scan
// cycles, which share its thread) never waits for the files. Refresh() asks for what is new;
// progress and each new snapshot come back as signals on the loader's thread.
class HistoryLoader : public QObject {
    Q_OBJECT
public:
    explicit HistoryLoader(const QString& directory, QObject* parent = nullptr);
    // Stops a reading under way and waits for the thread.
    ~HistoryLoader() override;

    // A request while a reading runs is taken up once it ends.
    void Refresh();
    bool Busy() const { return m_busy; }
    std::shared_ptr<const HistorySnapshot> Latest() const { return m_latest; }

signals:
    // At most every few dozen milliseconds while the files are read.
    void Progress(qint64 done, qint64 total);
    // Sent only when something changed: new lines, other notes, or a reading afresh.
    void Updated(std::shared_ptr<const HistorySnapshot> snapshot);
    // Every reading ends with this, changed or not.
    void Idle();

private:
    void Run();
    void Done(std::shared_ptr<const HistorySnapshot> snapshot);

    QThread* m_thread;
    QObject* m_worker;                        // lives in m_thread
    std::unique_ptr<HistoryReader> m_reader;  // used only in m_thread
    std::shared_ptr<const HistorySnapshot> m_latest;
    std::atomic_bool m_stopping{false};
    bool m_busy = false;
    bool m_again = false;
};
