#pragma once

// What the parts above the scanner (the alert mail, commands, dialogs) may ask of it.
class ScannerControl {
public:
    virtual ~ScannerControl() = default;
    // Kills the scan timer and shows "Scanner\nPaused".
    virtual void PauseScanner() = 0;
    // One scan now; ends by resuming the scanner. 1 when the report was compared, else 0.
    virtual int RunScanCycle() = 0;
};
