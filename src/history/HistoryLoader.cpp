#include "history/HistoryLoader.h"

#include <QElapsedTimer>
#include <QThread>

#include "history/HistoryReader.h"

namespace {
constexpr qint64 kProgressEveryMs = 40;

bool SameContent(const HistorySnapshot* a, const HistorySnapshot& b) {
    if (!a || a->generation != b.generation || a->eventCount != b.eventCount ||
        a->finishedCount != b.finishedCount || a->notes != b.notes ||
        a->pending.size() != b.pending.size())
        return false;
    for (std::size_t i = 0; i < b.pending.size(); ++i)
        if (a->pending[i].lastEvent != b.pending[i].lastEvent ||
            a->pending[i].ended != b.pending[i].ended)
            return false;
    return true;
}
}  // namespace

HistoryLoader::HistoryLoader(const QString& directory, QObject* parent)
    : QObject(parent),
      m_thread(new QThread),
      m_worker(new QObject),
      m_reader(std::make_unique<HistoryReader>(directory)) {
    m_thread->setObjectName(QStringLiteral("HistoryLoader"));
    m_worker->moveToThread(m_thread);
    m_thread->start(QThread::LowPriority);
}

HistoryLoader::~HistoryLoader() {
    m_stopping = true;
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
}

void HistoryLoader::Refresh() {
    if (m_busy) {
        m_again = true;
        return;
    }
    m_busy = true;
    m_again = false;
    QMetaObject::invokeMethod(
        m_worker, [this] { Run(); }, Qt::QueuedConnection);
}

void HistoryLoader::Run() {
    // On the reader's thread. The loader outlives it (its destructor waits for the thread).
    QElapsedTimer since;
    since.start();
    const HistorySnapshot snap = m_reader->Update([&](qint64 done, qint64 total) {
        if (m_stopping) return false;
        if (since.elapsed() >= kProgressEveryMs) {
            since.restart();
            QMetaObject::invokeMethod(
                this, [this, done, total] { emit Progress(done, total); }, Qt::QueuedConnection);
        }
        return true;
    });
    if (m_stopping) return;
    auto shared = std::make_shared<const HistorySnapshot>(snap);
    QMetaObject::invokeMethod(
        this, [this, shared] { Done(shared); }, Qt::QueuedConnection);
}

void HistoryLoader::Done(std::shared_ptr<const HistorySnapshot> snapshot) {
    m_busy = false;
    if (!SameContent(m_latest.get(), *snapshot)) {
        m_latest = std::move(snapshot);
        emit Updated(m_latest);
    }
    emit Idle();
    if (m_again) Refresh();
}
