#pragma once

#include <QMainWindow>
#include <QMap>
#include <QString>
#include <functional>
#include <memory>

#include "app/SettingsKeys.h"
#include "app/TraceLog.h"
#include "debuglog/VantraceController.h"
#include "exec/CommandLauncher.h"
#include "mail/Broadcaster.h"
#include "mail/BrokerAlert.h"
#include "mail/BrokerRecovery.h"
#include "mail/BrokerWatch.h"
#include "mail/EmailAddressLookup.h"
#include "mail/EmailSettings.h"
#include "mail/Mailer.h"
#include "monitor/MatrixPresentation.h"
#include "monitor/RowMenu.h"
#include "platform/SettingsStore.h"
#include "scan/HistoryLog.h"
#include "scan/ScanEngine.h"

class CGridCtrl;
class CReportCtrl;
class CResize;
class Clock;
class FileChooser;
class FontChooser;
class HistoryBrowser;
class MatrixFilter;
class MatrixFilterBar;
class PrinterChooser;
class MatrixDescriptions;
class MonitorTray;
class Prompter;
class QAction;
class QCheckBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class SessionGraph;
struct EmailDialogServices;
struct GridNotify;

// The window's seams. Anything left empty gets the real thing: message boxes, the system
// clock, the file, font and printer set-up dialogs, the user's settings profile, modal
// dialogs run with exec(), and the end of the program through QCoreApplication::exit.
struct QuandrixServices {
    Prompter* prompter = nullptr;
    Clock* clock = nullptr;
    FileChooser* fileChooser = nullptr;
    FontChooser* fontChooser = nullptr;
    PrinterChooser* printerChooser = nullptr;
    QString settingsPath;
    std::function<int(QDialog&)> runDialog;
    std::function<void(int exitCode)> exitProgram;
};

// The monitor's main window: the login matrix, the scanner's controls and status texts, the
// debug-logging status group, the e-mail alert state and the menus. It owns everything that
// outlives one command: the settings, the scanner with its maps and timers, the history log,
// the grid and its presentation, and the mail pieces the broker alert and the broadcasts need.
//
// Every command that can wait (a dialog, a scan cycle) runs with the scanner's timers held
// off (ScanEngine::CommandScope). Closing, by any route, runs one close sequence and then
// ends the program.
class CQuandrixDlg : public QMainWindow {
    Q_OBJECT
public:
    // The program's name is the application name its settings profile is kept under.
    static constexpr const char* kProgramName = SettingsStore::kApplication;
    static constexpr const char* kExportHeader =
        " PID  ,    UserId     ,        Machine          ,   DateTime         ,   Email";
    static constexpr const char* kExportFileName = "ZuDU";
    static constexpr const char* kAlertsEnabledText = "* EMAIL ALERTS ENABLED *";
    static constexpr const char* kAlertsDisabledText = "EMAIL ALERTS DISABLED";

    // Control ids, as the commands and tests name them.
    enum ControlId {
        IDC_GRID = 1009,
        IDC_EXPORT = 4000,
        IDC_HISTORY = 4001,
        IDC_SESSION_COUNT = 4002,
        IDC_ON = 4007,
        IDC_OFF = 4008,
        IDC_STATUS = 4009,
        IDC_DATABASE_USERS = 4010,
        IDC_WATCH_GROUP = 4039,
        IDC_WATCH_PID = 4030,
        IDC_WATCH_USER = 4033,
        IDC_WATCH_MACHINE = 4035,
        IDC_WATCH_DATETIME = 4037,
        IDC_STOP_VANTRACE = 4021,
        IDC_ALERTS = 4043,
    };

    using Services = QuandrixServices;

    // Reads the settings; nothing runs yet. `workingDirectory` is where the tools' files and
    // the history log live (the start-up directory).
    explicit CQuandrixDlg(const QString& workingDirectory, Services services = {},
                          QWidget* parent = nullptr);
    ~CQuandrixDlg() override;

    // Start-up: caption, position, resize rules, status texts, history log, alert settings,
    // then the window is shown and scanning starts with a first cycle.
    void OnInitDialog();

    // "%s %s - Broker: %s    - Working Directory: %s"
    static QString Caption(const QString& broker, const QString& workingDirectory);

    // ------------------------------------------------------------ commands
    void OnSettings();
    void OnAbout();
    void OnChangeFont();
    void OnResetFont();
    void OnFind();
    // Edit > "Filter Sessions" (Ctrl+L): the caret into the filter box above the matrix.
    void OnFilterSessions();
    void OnExport();
    // Edit > Email: the alert, "Broker Going Down" and general message settings.
    void OnEmailAlertSettings();
    void OnEmailBCDSettings();
    void OnEmailBCGSettings();
    void OnHistorySwitch(bool enabled);
    void OnScanOn();
    void OnScanOff();
    void OnEditCopy();
    void OnEditCut();
    void OnEditPaste();
    // The row menu's "Vantrace ...", Edit > "VanTrace..." and "Stop Vantrace Logging".
    void OnVantrace();
    void OnVantraceMenu();
    void OnStopVantrace();
    // The row menu at a screen point, with the items the last right-click allows. It stays
    // open on its own (popup, not a modal run).
    void ShowRowMenu(const QPoint& globalPos);
    // Print (57607, Ctrl+P), print preview (1007) and printer set-up (200).
    void OnFilePrint();
    void OnPrintPreview();
    void OnPrintSetup();
    // File > "History...": the history window, made on first use and kept, so that it
    // reads only what is new when it is opened again.
    void OnHistory();
    void OnBroadcastBrokerGoingDown();
    void OnBroadcastGeneralMessage();
    // "Send Message to this User..." of the row menu: the session of the last right-click.
    void OnSendMessageToUser();
    // File > Exit, the close box, SIGTERM and SIGINT. Waits for a running cycle or command
    // to end (a dialog that is open is cancelled), then runs the close sequence and ends
    // the program.
    void RequestClose();

    // ------------------------------------------------------------ state
    bool Initialised() const { return m_initialised; }
    bool Closed() const { return m_closed; }
    // No scan cycle, command or dialog running.
    bool Idle() const;
    ScanEngine& Engine() { return *m_engine; }
    CGridCtrl& Grid() { return *m_grid; }
    MatrixFilterBar& FilterBar() { return *m_filterBar; }
    MatrixFilter& Filter() { return *m_filter; }
    CommandLauncher& Launcher() { return m_launcher; }
    HistoryLog& History() { return m_history; }
    BrokerAlert& Alert() { return m_watch->Alert(); }
    BrokerRecovery& Recovery() { return m_watch->Recovery(); }
    const EmailSettings& Email() const { return m_watch->Email(); }
    BrokerWatch& Watch() { return *m_watch; }
    // The extra recipients of the two broadcasts, as last loaded.
    const CMapStrToEmailObj& BrokerGoingDownRecipients() const { return m_bcdRecipients; }
    const CMapStrToEmailObj& GeneralMessageRecipients() const { return m_bcgRecipients; }
    AppSettings& Settings() { return m_appSettings; }
    QString SearchText() const { return m_searchText; }
    RowMenuState RowMenu() const { return m_rowMenu; }
    WatchedSession Watched() const { return m_vantrace->Session(); }
    QString WatchedKey() const { return m_vantrace->WatchedKey(); }
    void SetWatchedKey(const QString& key) { m_vantrace->SetWatchedKey(key); }
    VantraceController& Vantrace() { return *m_vantrace; }
    // The row menu (1020) and its items: "Vantrace ..." (32777) and "Send Message to this
    // User..." (32793).
    QMenu* RowPopup() const { return m_rowPopup; }
    QAction* VantraceAction() const { return m_vantraceAction; }
    QAction* SendMessageAction() const { return m_sendMessageAction; }
    QWidget* Control(int id) const { return m_controls.value(id); }
    SessionGraph& Graph() { return *m_graph; }
    // Null until File > "History..." was first chosen.
    HistoryBrowser* HistoryWindow() const { return m_historyBrowser; }
    // Null where the desktop has no system tray.
    MonitorTray* Tray() { return m_tray.get(); }
    // The text a control shows (a group box's title for the status group).
    QString ControlText(int id) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void CreateShortcuts();
    void RegisterResizeRules();
    void ShowStatus(ScanStatus which, const QString& text);
    void ShowScannerState(bool scanning);
    void ShowHistoryProblem(const QString& problem, int waitingLines);
    void SyncScannerButtons();
    void OnScanCounted(bool answered, int sessions);
    void CreateTray();
    void OnGridNotify(const GridNotify& notify);
    void OnGridRightClick(int row, int col);
    void OnGridSelChanged(int row, int col);
    void UpdateCaption();
    // After a command that paused the scanner: scanning goes on only if it is wanted.
    void ResumeAfterCommand();
    // Around a command's dialog: the scanner paused and the blinks held steady, then the
    // blinks again and one scan cycle, which resumes scanning.
    void SuspendForCommand();
    void EndSuspension();
    // The main window's e-mail values, the limit the scanner counts to and the alert text.
    void LoadAlertSettings();
    void ShowBroadcastSettings(QDialog& dialog, const char* section, CMapStrToEmailObj& list);
    EmailDialogServices EmailServices();
    int RunDialog(QDialog& dialog);
    void TryClose();
    QWidget* AddControl(int id, QWidget* widget, const QRect& geometry);

    QString m_workingDirectory;
    Services m_services;

    // Owned stand-ins for the seams the caller left empty.
    std::unique_ptr<Prompter> m_ownPrompter;
    std::unique_ptr<Clock> m_ownClock;
    std::unique_ptr<FileChooser> m_ownFileChooser;
    std::unique_ptr<FontChooser> m_ownFontChooser;
    Prompter& m_prompter;
    Clock& m_clock;
    FileChooser& m_fileChooser;
    FontChooser& m_fontChooser;

    std::unique_ptr<SettingsStore> m_store;
    AppSettings m_appSettings;
    // The Broker's scanner, history and mail, as a headless monitor has them; the references
    // below are its parts.
    std::unique_ptr<BrokerWatch> m_watch;
    CommandLauncher& m_launcher;
    HistoryLog& m_history;
    Mailer& m_mailer;
    EmailAddressLookup& m_lookup;

    // Widgets (owned by the window).
    QWidget* m_client = nullptr;
    CGridCtrl* m_grid = nullptr;
    MatrixFilterBar* m_filterBar = nullptr;
    MatrixFilter* m_filter = nullptr;  // owned by the client area, as its view is
    QGroupBox* m_watchGroup = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_on = nullptr;
    QPushButton* m_off = nullptr;
    QLabel* m_countLabel = nullptr;
    QLineEdit* m_sessionCount = nullptr;
    QLabel* m_databaseUsers = nullptr;
    QCheckBox* m_historyBox = nullptr;
    QLabel* m_historyProblem = nullptr;
    QLabel* m_alerts = nullptr;
    QPushButton* m_stopVantrace = nullptr;
    QMenu* m_rowPopup = nullptr;
    QAction* m_vantraceAction = nullptr;
    QAction* m_sendMessageAction = nullptr;
    SessionGraph* m_graph = nullptr;
    HistoryBrowser* m_historyBrowser = nullptr;
    QMap<int, QWidget*> m_controls;
    QMap<ScanStatus, QWidget*> m_statusControls;
    std::unique_ptr<CResize> m_resize;

    std::unique_ptr<MatrixPresentation> m_presentation;
    std::unique_ptr<MatrixDescriptions> m_descriptions;
    QMap<QWidget*, QString> m_watchLabelNames;  // what each debug-logging label shows
    ScanEngine* m_engine = nullptr;             // m_watch's
    CMapStrToEmailObj m_bcdRecipients;
    CMapStrToEmailObj m_bcgRecipients;
    std::unique_ptr<MonitorTray> m_tray;
    std::unique_ptr<VantraceController> m_vantrace;
    std::unique_ptr<Broadcaster> m_broadcaster;

    QString m_searchText;
    RowMenuState m_rowMenu;
    bool m_initialised = false;
    bool m_closeRequested = false;
    bool m_closed = false;
};
