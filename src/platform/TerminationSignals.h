#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal delivered by the event loop, so that a request to
// end the program runs the same close sequence as the window's Exit command instead of
// killing it mid-write. The signal handler only writes a byte into a socket pair (the one
// thing that is safe there); a notifier on the other end emits Received on the main thread.
// A process has at most one instance; on platforms without these signals it does nothing.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // False when the handlers could not be installed (or another instance has them).
    bool Installed() const { return m_installed; }

signals:
    void Received(int signalNumber);

private:
    void OnReadable();

    bool m_installed = false;
    QSocketNotifier* m_notifier = nullptr;
};
