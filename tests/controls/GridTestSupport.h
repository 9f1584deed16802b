#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPalette>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <tuple>
#include <vector>

#include "FixedTextMetrics.h"
#include "controls/GridCtrl.h"

// Distinct system colours, so a pixel tells which one painted it.
namespace TestColours {
inline const QColor Text(0, 0, 0);
inline const QColor Base(255, 255, 255);
inline const QColor Button(192, 192, 192);
inline const QColor Dark(128, 128, 128);  // the shadow colour outside the cells
inline const QColor Light(250, 250, 250);
inline const QColor Midlight(200, 200, 200);
inline const QColor Shadow(10, 10, 10);
inline const QColor Highlight(0, 0, 200);
inline const QColor HighlightedText(255, 255, 255);
}  // namespace TestColours

inline QPalette TestPalette() {
    QPalette pal;
    pal.setColor(QPalette::WindowText, TestColours::Text);
    pal.setColor(QPalette::Base, TestColours::Base);
    pal.setColor(QPalette::Button, TestColours::Button);
    pal.setColor(QPalette::Dark, TestColours::Dark);
    pal.setColor(QPalette::Light, TestColours::Light);
    pal.setColor(QPalette::Midlight, TestColours::Midlight);
    pal.setColor(QPalette::Shadow, TestColours::Shadow);
    pal.setColor(QPalette::Highlight, TestColours::Highlight);
    pal.setColor(QPalette::HighlightedText, TestColours::HighlightedText);
    return pal;
}

// A shown grid without a frame: rows x cols cells of 60 x 20 pixels, one fixed row and one
// fixed column, in a viewport of the given size, with fixed text metrics.
inline std::unique_ptr<CGridCtrl> MakeShownGrid(int rows, int cols, int width = 400,
                                                int height = 200) {
    auto grid = std::make_unique<CGridCtrl>();
    grid->setFrameStyle(QFrame::NoFrame);
    grid->setPalette(TestPalette());
    grid->SetTextMetrics(std::make_unique<FixedTextMetrics>());
    grid->SetRowCount(rows);
    grid->SetColumnCount(cols);
    grid->SetFixedRowCount(1);
    grid->SetFixedColumnCount(1);
    for (int r = 0; r < rows; ++r) grid->SetRowHeight(r, 20);
    for (int c = 0; c < cols; ++c) grid->SetColumnWidth(c, 60);
    grid->resize(width, height);
    grid->show();
    QApplication::processEvents();
    grid->ResetScrollBars();
    return grid;
}

inline QImage Snapshot(CGridCtrl& grid) {
    QApplication::processEvents();
    return grid.viewport()->grab().toImage();
}

inline QColor Pixel(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

// What a spy on CGridCtrl::Notify caught, as (code, row, col) in order.
using NotifyCodes = std::vector<std::tuple<int, int, int>>;

inline NotifyCodes Received(const QSignalSpy& spy) {
    NotifyCodes out;
    for (const QList<QVariant>& args : spy) {
        const GridNotify n = args.at(0).value<GridNotify>();
        out.emplace_back(n.code, n.row, n.col);
    }
    return out;
}
