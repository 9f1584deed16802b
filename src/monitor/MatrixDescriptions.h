#pragma once

#include <QString>

class CGridCtrl;
class MatrixPresentation;
class ScanEngine;

// The login matrix's colours told in words, for a screen reader: the grid asks for the
// description of a cell, and gets what the look of the cell's session means (new, logged on
// before today, a failure entry, the watched entry, a find match). Worked out when asked,
// from what the grid, the presentation and the scanner hold, so it costs the scan nothing.
class MatrixDescriptions {
public:
    static constexpr const char* kNew = "New session";
    static constexpr const char* kStale = "Logged on before today";
    static constexpr const char* kFailure = "Failure entry: the Broker did not answer";
    static constexpr const char* kWatched = "Watched entry: debug logging is on";
    static constexpr const char* kFound = "Matches the search";

    MatrixDescriptions(const CGridCtrl& grid, const MatrixPresentation& presentation,
                       const ScanEngine& engine);

    // The meanings of the cell's look, joined by "; "; empty for a plain session, an empty
    // place or a heading.
    QString Describe(int row, int col) const;

private:
    bool IsWatched(int row, int group) const;

    const CGridCtrl& m_grid;
    const MatrixPresentation& m_presentation;
    const ScanEngine& m_engine;
};
