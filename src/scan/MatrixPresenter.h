#pragma once

// How the matrix looks: the grid reset before every rebuild and the colour effects the
// scanner plays. The monitor window provides the real one; tests record the calls. Every
// effect takes the row and the first column of a session's group and never waits: blinks
// and flashes are timed overlays above the cells' stored colours.
class MatrixPresenter {
public:
    virtual ~MatrixPresenter() = default;

    // Empties the grid down to its heading row, with headings, font and options.
    virtual void ResetMatrixGrid() = 0;
    // A scan found the matrix changed and is about to write it: what the last change made
    // new is no longer new.
    virtual void MatrixChangeStarting() {}

    virtual void NewEntryFlash(int row, int col) = 0;
    // Lasting colours of a session dated before today.
    virtual void StaleColours(int row, int col) = 0;
    // One blink of a failure or departing entry.
    virtual void ErrorBlink(int row, int col) = 0;
    // One blink of the session watched by debug logging.
    virtual void WatchedBlink(int row, int col) = 0;
    // Steady marks while the blinking is stopped (Find, settings).
    virtual void WatchedHighlight(int row, int col) = 0;
    virtual void ErrorHighlight(int row, int col) = 0;
    // Lets the blinks just started reach the screen: returns after `ms`, the window painting
    // meanwhile and user input kept out. Without a screen there is nothing to wait for.
    virtual void ShowFor(int ms) { (void)ms; }
};
