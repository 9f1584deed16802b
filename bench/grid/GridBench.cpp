// The login matrix at its largest: 10,000 sessions, three per row, four columns each.
//   QT_QPA_PLATFORM=offscreen build/bench/grid/grid_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "controls/FontTextMetrics.h"
#include "controls/GridCtrl.h"

namespace {

constexpr int kSessions = 10000;
constexpr int kColumns = 12;
constexpr int kRows = (kSessions + 2) / 3;  // 3,334 entry rows
constexpr quint32 kEntryFormat = DT_SINGLELINE | DT_VCENTER | DT_LEFT;

QString Field(int session, int field) {
    switch (field) {
        case 0:
            return QString::number(10000 + session * 7);
        case 1:
            return QStringLiteral("user%1").arg(session % 997);
        case 2:
            return QStringLiteral("WS-MACHINE-%1").arg(session % 311);
        default:
            return QStringLiteral("2024/05/%1_%2:%3:00")
                .arg(1 + session % 28, 2, 10, QLatin1Char('0'))
                .arg(session % 24, 2, 10, QLatin1Char('0'))
                .arg(session % 60, 2, 10, QLatin1Char('0'));
    }
}

void SetHeadings(CGridCtrl& grid) {
    static const char* const kHeadings[] = {" PID  ", "    UserId     ",
                                            "        Machine          ", "   DateTime  "};
    for (int c = 0; c < kColumns; ++c)
        grid.SetItemTextAndFormat(0, c, kHeadings[c % 4], DT_WORDBREAK | DT_LEFT);
}

// A grid as the matrix has it: one heading row, 12 columns, list mode, no grid lines.
std::unique_ptr<CGridCtrl> MatrixGrid(bool shown) {
    auto grid = std::make_unique<CGridCtrl>();
    grid->SetListMode(true);
    grid->SetEditable(false);
    grid->SetGridLines(0);
    grid->SetBkColor(0xE0FFFF);
    grid->SetRowCount(1);
    grid->SetColumnCount(kColumns);
    grid->SetFixedRowCount(1);
    SetHeadings(*grid);
    grid->AutoSize();
    if (shown) {
        grid->setFrameStyle(QFrame::NoFrame);
        grid->resize(1200, 600);
        grid->show();
        QApplication::processEvents();
    }
    return grid;
}

void FillAtOnce(CGridCtrl& grid) {
    grid.SetRowCount(kRows + 1);
    for (int s = 0; s < kSessions; ++s)
        for (int f = 0; f < 4; ++f)
            grid.SetItemTextAndFormat(1 + s / 3, (s % 3) * 4 + f, Field(s, f), kEntryFormat);
}

// Bytes the program holds on the heap now (0 where the C library cannot tell).
double HeapBytes() {
#ifdef __GLIBC__
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks) + double(info.hblkhd);
#else
    return 0;
#endif
}

// Filling a prepared grid of 3,334 x 12 cells (texts built outside the timing).
void BM_FillCells(benchmark::State& state) {
    auto grid = MatrixGrid(false);
    std::vector<QString> texts;
    for (int s = 0; s < kSessions; ++s)
        for (int f = 0; f < 4; ++f) texts.push_back(Field(s, f));
    for (auto _ : state) {
        grid->SetRowCount(1);
        grid->SetRowCount(kRows + 1);
        for (int s = 0; s < kSessions; ++s)
            for (int f = 0; f < 4; ++f)
                grid->SetItemTextAndFormat(1 + s / 3, (s % 3) * 4 + f, texts[size_t(s * 4 + f)],
                                           kEntryFormat);
    }
}
BENCHMARK(BM_FillCells)->Unit(benchmark::kMillisecond);

// AutoSize of the filled grid; /1 starts each run with nothing measured yet (the cost after a
// font change), /0 with the widths of earlier runs remembered.
void BM_AutoSize(benchmark::State& state) {
    auto grid = MatrixGrid(false);
    FillAtOnce(*grid);
    for (auto _ : state) {
        if (state.range(0)) {
            state.PauseTiming();
            grid->SetTextMetrics(std::make_unique<FontTextMetrics>());
            state.ResumeTiming();
        }
        grid->AutoSize();
    }
}
BENCHMARK(BM_AutoSize)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_AutoSizeColumns(benchmark::State& state) {
    auto grid = MatrixGrid(false);
    FillAtOnce(*grid);
    for (auto _ : state) grid->AutoSizeColumns();
}
BENCHMARK(BM_AutoSizeColumns)->Unit(benchmark::kMillisecond);

// One full paint of a 1200 x 600 viewport of the filled matrix, scrolled to the middle.
void BM_PaintViewport(benchmark::State& state) {
    auto grid = MatrixGrid(true);
    FillAtOnce(*grid);
    grid->AutoSize();
    grid->EnsureVisible(kRows / 2, 0);
    grid->SetFocusCell(kRows / 2, 1);
    grid->SelectRange(kRows / 2, 0, kRows / 2, kColumns - 1);
    QApplication::processEvents();
    for (auto _ : state) grid->viewport()->repaint();
}
BENCHMARK(BM_PaintViewport)->Unit(benchmark::kMillisecond);

// The scan cycle's rebuild on a shown grid: reset, then grow one row at a time with four
// cell writes per session and the entry scrolled into view. /1 also asks for the row to be
// redrawn, /2 in addition flashes the four cells of every session (all sessions new).
void BM_RowByRowRebuild(benchmark::State& state) {
    auto grid = MatrixGrid(true);
    const bool redrawRows = state.range(0) >= 1;
    const bool flash = state.range(0) >= 2;
    std::vector<QString> texts;
    for (int s = 0; s < kSessions; ++s)
        for (int f = 0; f < 4; ++f) texts.push_back(Field(s, f));
    for (auto _ : state) {
        grid->DeleteAllItems();
        grid->SetRowCount(1);
        grid->SetColumnCount(kColumns);
        grid->SetFixedRowCount(1);
        SetHeadings(*grid);
        int cursor = 0;
        for (int s = 0; s < kSessions; ++s) {
            int row = std::max(1, grid->GetRowCount() - 1);
            if (cursor >= kColumns) {
                cursor = 0;
                ++row;
            }
            grid->SetRowCount(row + 1);
            for (int f = 0; f < 4; ++f)
                grid->SetItemTextAndFormat(row, cursor + f, texts[size_t(s * 4 + f)], kEntryFormat);
            if (flash)
                for (int f = 0; f < 4; ++f)
                    grid->ShowOverlay(row, cursor + f, 0xDCB478, 0xFFFFFF, 100);
            if (redrawRows) grid->RedrawRow(row);
            grid->EnsureVisible(row, cursor);
            cursor += 4;
        }
        QApplication::processEvents();  // the one paint that follows
    }
    state.counters["rows"] = grid->GetRowCount();
}
BENCHMARK(BM_RowByRowRebuild)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_SortByDateTime(benchmark::State& state) {
    auto grid = MatrixGrid(false);
    FillAtOnce(*grid);
    bool ascending = true;
    for (auto _ : state) {
        grid->SortTextItems(3, ascending);
        ascending = !ascending;
    }
}
BENCHMARK(BM_SortByDateTime)->Unit(benchmark::kMillisecond);

// Heap held by the filled 3,334 x 12 grid.
void BM_Memory(benchmark::State& state) {
    for (auto _ : state) {
        const double before = HeapBytes();
        auto grid = MatrixGrid(false);
        FillAtOnce(*grid);
        state.counters["grid_MB"] = (HeapBytes() - before) / (1024.0 * 1024.0);
    }
}
BENCHMARK(BM_Memory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

