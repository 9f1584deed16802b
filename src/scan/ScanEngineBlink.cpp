#include "scan/ScanEngine.h"

#include "controls/GridModel.h"
#include "platform/BlockingWait.h"
#include "scan/MatrixLayout.h"
#include "scan/MatrixPresenter.h"
#include "scan/ScanEngineTexts.h"

// ScanEngine: the blinking of the watched session and of failure entries, and the timers.

using namespace ScanEngineTexts;

// ---------------------------------------------------------------- blinking

void ScanEngine::StartWatchBlink() {
    m_watchTimer.start(kBlinkPeriodMs);
}

void ScanEngine::StartErrorBlink() {
    m_errorTimer.start(kBlinkPeriodMs);
}

void ScanEngine::StopWatchBlink(bool leaveHighlighted) {
    m_watchTimer.stop();
    int row = 0;
    int col = 0;
    bool session = false;
    if (leaveHighlighted && m_presenter && FindWatchedEntry(row, col, session))
        m_presenter->WatchedHighlight(row, col);
}

bool ScanEngine::FindWatchedEntry(int& row, int& col, bool& session) const {
    const QString pid = WatchedPidLabel();
    const QString user = Status(ScanStatus::WatchedUser);
    const QString machine = Status(ScanStatus::WatchedMachine);
    using namespace MatrixLayout;
    for (row = 1; row < m_grid.GetRowCount(); ++row) {
        for (col = 0; col < kColumnCount; col += kGroupWidth) {
            const QString cellPid = CellText(row, col + kPidOffset);
            if (pid == kPlaceholder && cellPid == kPlaceholder) {
                session = false;
                return true;
            }
            if (!machine.isEmpty() && CellText(row, col + kMachineOffset) == machine &&
                CellText(row, col + kUserOffset) == user && cellPid == pid) {
                session = true;
                return true;
            }
        }
    }
    return false;
}

void ScanEngine::StopErrorBlink(bool leaveHighlighted) {
    m_errorTimer.stop();
    if (leaveHighlighted && m_errorBlinkActive && m_presenter)
        m_presenter->ErrorHighlight(m_errorRow, m_errorCol);
}

void ScanEngine::BlinkTracedEntry() {
    int row = 0;
    int col = 0;
    bool session = false;
    if (!FindWatchedEntry(row, col, session)) return;
    if (session) {
        m_watchedRow = row;
        m_watchedCol = col + MatrixLayout::kMachineOffset;
    }
    if (m_presenter) m_presenter->WatchedBlink(row, col);
}

void ScanEngine::BlinkErrorEntries() {
    m_errorBlinkActive = false;
    using namespace MatrixLayout;
    for (int row = 1; row < m_grid.GetRowCount(); ++row)
        for (int col = 0; col < kColumnCount; col += kGroupWidth)
            if (IsFailurePid(CellText(row, col + kPidOffset))) {
                if (m_presenter) m_presenter->ErrorBlink(row, col);
                m_errorBlinkActive = true;
            }
    // Nothing left to blink: no need to wake up twice a second.
    if (!m_errorBlinkActive) m_errorTimer.stop();
}

void ScanEngine::OnScanTimer() {
    if (Busy()) return;
    CommandScope busy(*this);
    BlockingWait::PumpPaint();
    PauseScanner();
    if (m_scanEnabled) RunScanCycle();
    BlockingWait::PumpPaint();
}

void ScanEngine::OnWatchTimer() {
    if (Busy()) return;
    CommandScope busy(*this);
    BlockingWait::PumpPaint();
    if (m_traceActive) BlinkTracedEntry();
    if (m_traceActive && m_watchedRow > 0 && m_grid.GetRowCount() == 1) {
        m_watchedRow = 0;
        m_watchedCol = 0;
    }
    BlockingWait::PumpPaint();
}

void ScanEngine::OnErrorTimer() {
    if (Busy()) return;
    CommandScope busy(*this);
    BlockingWait::PumpPaint();
    BlinkErrorEntries();
    BlockingWait::PumpPaint();
}
