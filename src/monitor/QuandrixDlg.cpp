#include "monitor/QuandrixDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSizeGrip>
#include <QTimer>

#include "app/Timestamp.h"
#include "controls/FindTextDlg.h"
#include "controls/GridCtrl.h"
#include "controls/ReportCtrl.h"
#include "controls/Resize.h"
#include "debuglog/AboutDlg.h"
#include "debuglog/SettingsDlg.h"
#include "debuglog/VantraceDlg.h"
#include "exchange/Export.h"
#include "exchange/Import.h"
#include "history/HistoryBrowser.h"
#include "mail/EmailBCDSetDlg.h"
#include "mail/EmailBCGSetDlg.h"
#include "mail/EmailSetDlg.h"
#include "mail/RecipientList.h"
#include "monitor/FontDescription.h"
#include "monitor/MatrixDescriptions.h"
#include "monitor/MatrixFilter.h"
#include "monitor/MatrixFilterBar.h"
#include "monitor/MonitorTray.h"
#include "monitor/SessionGraph.h"
#include "monitor/SnapshotRows.h"
#include "platform/Clock.h"
#include "platform/FileChooser.h"
#include "platform/FontChooser.h"
#include "platform/MessageBoxPrompter.h"
#include "scan/UserListReport.h"

namespace {

// The client area at start-up; it is also the smallest size the window can be dragged to.
constexpr int kClientWidth = 1320;
constexpr int kClientHeight = 620;
constexpr int kScreenX = 50;
constexpr int kScreenY = 20;

// The control column beside the matrix.
constexpr int kColumnWidth = 200;
constexpr int kColumnX = kClientWidth - 8 - kColumnWidth;
constexpr int kHalfWidth = 96;
// The bottom block of the column sits this far above the client's bottom edge.
constexpr int kBottom = kClientHeight - 600;
constexpr int kSecondX = kColumnX + kColumnWidth - kHalfWidth;

// The filter box above the matrix.
constexpr int kFilterBarHeight = 28;

// How often a close request looks again whether the running cycle or command has ended.
constexpr int kCloseRetryMs = 50;

// The program's icon: a small login matrix, three groups of cells with a flashing one.
QPixmap MonitorIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const qreal cell = size / 4.0;
    p.fillRect(QRectF(0, 0, size, cell), QColor(70, 90, 140));
    const QColor light(255, 255, 224);
    const QColor flash(120, 180, 220);
    for (int r = 1; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            p.fillRect(QRectF(c * cell * 4 / 3 + 1, r * cell + 1, cell * 4 / 3 - 2, cell - 2),
                       (r == 2 && c == 1) ? flash : light);
    p.setPen(QColor(70, 90, 140));
    p.drawRect(0, 0, size - 1, size - 1);
    return pixmap;
}

}  // namespace

// ---------------------------------------------------------------- construction

CQuandrixDlg::CQuandrixDlg(const QString& workingDirectory, Services services, QWidget* parent)
    : QMainWindow(parent),
      m_workingDirectory(workingDirectory),
      m_services(std::move(services)),
      m_ownPrompter(m_services.prompter ? nullptr : std::make_unique<MessageBoxPrompter>(this)),
      m_ownClock(m_services.clock ? nullptr : std::make_unique<SystemClock>()),
      m_ownFileChooser(m_services.fileChooser ? nullptr : std::make_unique<DialogFileChooser>()),
      m_ownFontChooser(m_services.fontChooser ? nullptr : std::make_unique<DialogFontChooser>()),
      m_prompter(m_services.prompter ? *m_services.prompter : *m_ownPrompter),
      m_clock(m_services.clock ? *m_services.clock : *m_ownClock),
      m_fileChooser(m_services.fileChooser ? *m_services.fileChooser : *m_ownFileChooser),
      m_fontChooser(m_services.fontChooser ? *m_services.fontChooser : *m_ownFontChooser),
      m_store(m_services.settingsPath.isEmpty()
                  ? std::make_unique<SettingsStore>()
                  : std::make_unique<SettingsStore>(m_services.settingsPath)),
      m_appSettings(*m_store),
      m_watch(std::make_unique<BrokerWatch>(m_appSettings, m_prompter, m_clock, workingDirectory,
                                            this)),
      m_launcher(m_watch->Launcher()),
      m_history(m_watch->History()),
      m_mailer(m_watch->Mail()),
      m_lookup(m_watch->Lookup()) {
    setObjectName(QStringLiteral("QuandrixDlg"));
    const QPixmap icon = MonitorIcon(32);
    setWindowIcon(QIcon(icon));
    setWindowTitle(QString::fromLatin1(kProgramName));

    CreateControls();
    CreateMenus();
    CreateShortcuts();

    m_presentation = std::make_unique<MatrixPresentation>(*m_grid, m_appSettings);
    m_presentation->SetImageList({MonitorIcon(16)});

    m_engine = &m_watch->CreateScanner(m_grid->Model(), m_grid, m_presentation.get());
    m_descriptions = std::make_unique<MatrixDescriptions>(*m_grid, *m_presentation, *m_engine);
    m_grid->SetCellDescriber(
        [this](int row, int col) { return m_descriptions->Describe(row, col); });
    // The filtered view describes the matrix cell it shows.
    m_filter->View().SetCellDescriber([this](int row, int col) {
        const CCellID cell = m_filter->ToMatrix(row, col);
        return cell.row < 0 ? QString() : m_descriptions->Describe(cell.row, cell.col);
    });
    m_watch->SetAlertRaisedHook([this] {
        if (m_tray) m_tray->AlertRaised();
    });
    connect(m_engine, &ScanEngine::ScanCounted, this, &CQuandrixDlg::OnScanCounted);
    CreateTray();
    LoadRecipientList(*m_store, QString::fromLatin1(RecipientSection::kBrokerGoingDown),
                      m_bcdRecipients);
    LoadRecipientList(*m_store, QString::fromLatin1(RecipientSection::kGeneralMessage),
                      m_bcgRecipients);
    m_broadcaster = std::make_unique<Broadcaster>(Broadcaster::Services{
        *m_engine, m_history, m_mailer, m_lookup, m_prompter, m_clock, m_appSettings,
        m_watch->Email(),
        [this](const char* section) -> const CMapStrToEmailObj& {
            return qstrcmp(section, RecipientSection::kBrokerGoingDown) == 0 ? m_bcdRecipients
                                                                             : m_bcgRecipients;
        },
        [this](QDialog& dialog) { return RunDialog(dialog); }, this});

    m_vantrace = std::make_unique<VantraceController>(
        *m_engine, m_launcher, m_history, m_clock, m_prompter, m_appSettings, m_workingDirectory,
        [this](const QString& machine, const QString& userId,
               bool active) -> std::optional<VantraceChoice> {
            CVantraceDlg dialog(m_appSettings, machine, userId, active, this);
            if (RunDialog(dialog) != QDialog::Accepted) return std::nullopt;
            return VantraceChoice{dialog.Start(), dialog.UserId(), dialog.Machine(),
                                  dialog.LogLevel(), dialog.TransTypes()};
        });
    connect(m_vantrace.get(), &VantraceController::StopEnabledChanged, m_stopVantrace,
            &QWidget::setEnabled);

    connect(m_engine, &ScanEngine::StatusChanged, this, &CQuandrixDlg::ShowStatus);
    connect(m_engine, &ScanEngine::ScannerStateChanged, this, &CQuandrixDlg::ShowScannerState);
    // Posted, as the settings command would be: the dialog opens once start-up is over.
    connect(m_engine, &ScanEngine::SettingsNeeded, this, &CQuandrixDlg::OnSettings,
            Qt::QueuedConnection);
    connect(m_grid, &CGridCtrl::Notify, this, &CQuandrixDlg::OnGridNotify);
    connect(m_filterBar, &MatrixFilterBar::TextChanged, m_filter, &MatrixFilter::SetText);
    connect(m_filter, &MatrixFilter::CountsChanged, m_filterBar, &MatrixFilterBar::ShowCounts);
    connect(m_filter, &MatrixFilter::Notify, this, &CQuandrixDlg::OnGridNotify);
    connect(m_filter, &MatrixFilter::ContextMenuRequested, this, &CQuandrixDlg::ShowRowMenu);
    connect(m_engine, &ScanEngine::ScanCounted, m_filter, &MatrixFilter::Refresh);
    m_presentation->SetOverlayMirror(
        [this](int row, int col, GridColour bk, GridColour fg, int durationMs) {
            m_filter->MirrorOverlay(row, col, bk, fg, durationMs);
        });
    m_history.SetStatusHandler(
        [this](const QString& problem, int waiting) { ShowHistoryProblem(problem, waiting); });
    m_grid->SetPrintServices(&m_prompter, m_services.printerChooser);
    connect(m_grid, &CGridCtrl::PrintRequested, this, &CQuandrixDlg::OnFilePrint);
}

CQuandrixDlg::~CQuandrixDlg() {
    // The scanner refers to the grid and the presentation: it goes first.
    m_broadcaster.reset();
    m_vantrace.reset();
    m_tray.reset();
    m_grid->SetCellDescriber({});
    m_filter->View().SetCellDescriber({});
    m_watch.reset();
}

QWidget* CQuandrixDlg::AddControl(int id, QWidget* widget, const QRect& geometry) {
    widget->setGeometry(geometry);
    widget->setObjectName(QStringLiteral("ctl%1").arg(id));
    m_controls.insert(id, widget);
    return widget;
}

void CQuandrixDlg::CreateControls() {
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    // The filter box sits directly above the matrix; while it holds text, the filtered view
    // takes the matrix grid's place.
    m_filterBar = new MatrixFilterBar(m_client);
    m_filterBar->setGeometry(8, 6, kColumnX - 20, kFilterBarHeight);
    m_grid = new CGridCtrl(0, 0, 0, 0, m_client);
    AddControl(
        IDC_GRID, m_grid,
        QRect(8, 10 + kFilterBarHeight, kColumnX - 20, kClientHeight - 18 - kFilterBarHeight));
    m_filter =
        new MatrixFilter(*m_grid, m_client, [this](const QString& pid, const QString& machine) {
            return IsFailurePid(pid) || m_engine->IsPlaceholder(LoginRecord::MakeKey(machine, pid));
        });
    m_filter->View().setGeometry(m_grid->geometry());
    m_grid->setAccessibleName(QStringLiteral("Login matrix"));
    m_filter->View().setAccessibleName(QStringLiteral("Login matrix, filtered"));

    // The debug-logging status group. Its labels are siblings laid over it, like every
    // control of the window, so that each one follows the resize rules by itself.
    m_watchGroup = new QGroupBox(m_client);
    AddControl(IDC_WATCH_GROUP, m_watchGroup, QRect(kColumnX, 4, kColumnWidth, 136));
    const int labelIds[] = {IDC_WATCH_PID, IDC_WATCH_USER, IDC_WATCH_MACHINE, IDC_WATCH_DATETIME};
    const ScanStatus labelStatus[] = {ScanStatus::WatchedPid, ScanStatus::WatchedUser,
                                      ScanStatus::WatchedMachine, ScanStatus::WatchedDateTime};
    // Only their place in the group tells what the labels show; a screen reader hears it.
    const char* labelNames[] = {"Watched PID and log level", "Watched user", "Watched machine",
                                "Watched since"};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(m_client);
        label->setTextFormat(Qt::PlainText);
        m_watchLabelNames.insert(label, QString::fromLatin1(labelNames[i]));
        AddControl(labelIds[i], label, QRect(kColumnX + 12, 30 + i * 26, kColumnWidth - 24, 22));
        m_statusControls.insert(labelStatus[i], label);
    }
    m_statusControls.insert(ScanStatus::WatchCaption, m_watchGroup);

    m_status = new QLabel(m_client);
    m_status->setTextFormat(Qt::PlainText);
    m_status->setAlignment(Qt::AlignCenter);
    m_status->setFrameShape(QFrame::StyledPanel);
    QFont statusFont = m_status->font();
    statusFont.setBold(true);
    statusFont.setPointSizeF(statusFont.pointSizeF() * 1.2);
    m_status->setFont(statusFont);
    AddControl(IDC_STATUS, m_status, QRect(kColumnX, 156, kColumnWidth, 52));
    m_statusControls.insert(ScanStatus::Scanner, m_status);

    m_on = new QPushButton(QStringLiteral("ON"), m_client);
    m_off = new QPushButton(QStringLiteral("OFF"), m_client);
    for (QPushButton* b : {m_on, m_off}) b->setCheckable(true);
    AddControl(IDC_ON, m_on, QRect(kColumnX, 216, kHalfWidth, 34));
    AddControl(IDC_OFF, m_off, QRect(kSecondX, 216, kHalfWidth, 34));
    connect(m_on, &QPushButton::clicked, this, &CQuandrixDlg::OnScanOn);
    connect(m_off, &QPushButton::clicked, this, &CQuandrixDlg::OnScanOff);

    m_countLabel = new QLabel(QStringLiteral("Sessions:"), m_client);
    m_countLabel->setGeometry(kColumnX, 266, kColumnWidth - kHalfWidth - 8, 26);
    m_sessionCount = new QLineEdit(m_client);
    m_sessionCount->setReadOnly(true);
    m_sessionCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_sessionCount->setFocusPolicy(Qt::NoFocus);
    m_sessionCount->setAccessibleName(QStringLiteral("Sessions"));
    AddControl(IDC_SESSION_COUNT, m_sessionCount, QRect(kSecondX, 266, kHalfWidth, 26));
    m_statusControls.insert(ScanStatus::SessionCount, m_sessionCount);

    m_databaseUsers = new QLabel(m_client);
    m_databaseUsers->setTextFormat(Qt::PlainText);
    m_databaseUsers->setWordWrap(true);
    m_databaseUsers->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AddControl(IDC_DATABASE_USERS, m_databaseUsers, QRect(kColumnX, 304, kColumnWidth, 44));
    m_statusControls.insert(ScanStatus::DatabaseUsers, m_databaseUsers);

    // The session-count graph fills the column between the Stop Vantrace Logging button and
    // the history box. The history warning, shown only while lines cannot be written, covers
    // its lower part meanwhile.
    m_graph = new SessionGraph(m_client);
    const int graphTop = 392;
    const int graphBottom = kBottom + 496 - 8;
    m_graph->setGeometry(kColumnX, graphTop, kColumnWidth, graphBottom - graphTop);

    m_historyBox = new QCheckBox(QStringLiteral("Enable History Logging"), m_client);
    AddControl(IDC_HISTORY, m_historyBox, QRect(kColumnX, kBottom + 496, kColumnWidth, 24));
    connect(m_historyBox, &QCheckBox::clicked, this, &CQuandrixDlg::OnHistorySwitch);
    // Shown only while history lines cannot be written.
    m_historyProblem = new QLabel(m_client);
    m_historyProblem->setObjectName(QStringLiteral("historyProblem"));
    m_historyProblem->setTextFormat(Qt::PlainText);
    m_historyProblem->setWordWrap(true);
    m_historyProblem->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold"));
    m_historyProblem->setGeometry(kColumnX, kBottom + 452, kColumnWidth, 42);
    m_historyProblem->setAutoFillBackground(true);
    m_historyProblem->hide();

    auto* exportButton = new QPushButton(QStringLiteral("Snapshot Export..."), m_client);
    AddControl(IDC_EXPORT, exportButton, QRect(kColumnX, kBottom + 526, kColumnWidth, 32));
    connect(exportButton, &QPushButton::clicked, this, &CQuandrixDlg::OnExport);

    m_stopVantrace = new QPushButton(QStringLiteral("Stop Vantrace Logging"), m_client);
    m_stopVantrace->setEnabled(false);
    AddControl(IDC_STOP_VANTRACE, m_stopVantrace, QRect(kColumnX, 354, kColumnWidth, 30));
    connect(m_stopVantrace, &QPushButton::clicked, this, &CQuandrixDlg::OnStopVantrace);

    m_alerts = new QLabel(m_client);
    m_alerts->setTextFormat(Qt::PlainText);
    AddControl(IDC_ALERTS, m_alerts, QRect(kColumnX, kBottom + 566, kColumnWidth - 20, 22));

    for (QWidget* label : m_controls) label->raise();
    m_watchGroup->lower();
    m_client->resize(kClientWidth, kClientHeight);
}

void CQuandrixDlg::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Print...\tCtrl+P"), this, &CQuandrixDlg::OnFilePrint);
    file->addAction(QStringLiteral("Print Pre&view..."), this, &CQuandrixDlg::OnPrintPreview);
    file->addAction(QStringLiteral("P&rint Setup..."), this, &CQuandrixDlg::OnPrintSetup);
    file->addSeparator();
    file->addAction(QStringLiteral("&History..."), this, &CQuandrixDlg::OnHistory);
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), this, &CQuandrixDlg::RequestClose);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addAction(QStringLiteral("&Settings..."), this, &CQuandrixDlg::OnSettings);
    edit->addAction(QStringLiteral("VanTrace..."), this, &CQuandrixDlg::OnVantraceMenu);
    QMenu* email = edit->addMenu(QStringLiteral("&Email"));
    email->addAction(QStringLiteral("Broker Alert Settings..."), this,
                     &CQuandrixDlg::OnEmailAlertSettings);
    email->addAction(QStringLiteral("Broadcast Going Down Settings..."), this,
                     &CQuandrixDlg::OnEmailBCDSettings);
    email->addAction(QStringLiteral("Broadcast General Message Settings..."), this,
                     &CQuandrixDlg::OnEmailBCGSettings);
    edit->addSeparator();
    edit->addAction(QStringLiteral("&Change Matrix Font..."), this, &CQuandrixDlg::OnChangeFont);
    edit->addAction(QStringLiteral("&Reset Font"), this, &CQuandrixDlg::OnResetFont);
    // The key is shown from the text; the keyboard table below carries it.
    edit->addAction(QStringLiteral("&Find...\tCtrl+F"), this, &CQuandrixDlg::OnFind);
    edit->addAction(QStringLiteral("Filter Sessions\tCtrl+L"), this,
                    &CQuandrixDlg::OnFilterSessions);

    QMenu* broadcast = menuBar()->addMenu(QStringLiteral("Broadcast"));
    broadcast->addAction(QStringLiteral("Broker Going Down"), this,
                         &CQuandrixDlg::OnBroadcastBrokerGoingDown);
    broadcast->addAction(QStringLiteral("General Message"), this,
                         &CQuandrixDlg::OnBroadcastGeneralMessage);

    // The row menu: both items start disabled; each right-click decides which may be chosen.
    m_rowPopup = new QMenu(this);
    m_rowPopup->setObjectName(QStringLiteral("rowMenu1020"));
    m_vantraceAction = m_rowPopup->addAction(QStringLiteral("Vantrace ..."));
    m_vantraceAction->setEnabled(false);
    connect(m_vantraceAction, &QAction::triggered, this, &CQuandrixDlg::OnVantrace);
    m_sendMessageAction = m_rowPopup->addAction(QStringLiteral("Send Message to this User..."));
    m_sendMessageAction->setEnabled(false);
    connect(m_sendMessageAction, &QAction::triggered, this, &CQuandrixDlg::OnSendMessageToUser);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowRowMenu(m_grid->viewport()->mapToGlobal(pos)); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About ..."), this, &CQuandrixDlg::OnAbout);
}

void CQuandrixDlg::CreateShortcuts() {
    const auto bind = [this](const QKeySequence& keys, void (CQuandrixDlg::*handler)()) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, handler);
    };
    bind(QKeySequence(Qt::CTRL | Qt::Key_C), &CQuandrixDlg::OnEditCopy);
    bind(QKeySequence(Qt::CTRL | Qt::Key_Insert), &CQuandrixDlg::OnEditCopy);
    bind(QKeySequence(Qt::CTRL | Qt::Key_X), &CQuandrixDlg::OnEditCut);
    bind(QKeySequence(Qt::SHIFT | Qt::Key_Delete), &CQuandrixDlg::OnEditCut);
    bind(QKeySequence(Qt::CTRL | Qt::Key_V), &CQuandrixDlg::OnEditPaste);
    bind(QKeySequence(Qt::SHIFT | Qt::Key_Insert), &CQuandrixDlg::OnEditPaste);
    bind(QKeySequence(Qt::CTRL | Qt::Key_F), &CQuandrixDlg::OnFind);
    bind(QKeySequence(Qt::CTRL | Qt::Key_P), &CQuandrixDlg::OnFilePrint);
    bind(QKeySequence(Qt::CTRL | Qt::Key_L), &CQuandrixDlg::OnFilterSessions);
}

// ---------------------------------------------------------------- start-up

QString CQuandrixDlg::Caption(const QString& broker, const QString& workingDirectory) {
    // One multi-argument arg(): a broker name holding "%1" stays as typed.
    return QStringLiteral("%1 %2 - Broker: %3    - Working Directory: %4")
        .arg(QString::fromLatin1(kProgramName), QString::fromLatin1(CAboutDlg::kVersion), broker,
             QDir::toNativeSeparators(workingDirectory));
}

void CQuandrixDlg::UpdateCaption() {
    setWindowTitle(Caption(m_engine->Settings().broker, m_workingDirectory));
    if (m_tray) m_tray->SetBroker(m_engine->Settings().broker);
}

void CQuandrixDlg::OnInitDialog() {
    if (m_initialised) return;
    UpdateCaption();

    // The client area gets its start-up size, which is then also its smallest one.
    const int menuHeight = menuBar()->sizeHint().height();
    resize(kClientWidth, kClientHeight + menuHeight);
    if (layout()) layout()->activate();
    m_client->resize(kClientWidth, kClientHeight);
    move(kScreenX, kScreenY);
    m_resize = std::make_unique<CResize>(m_client, 0);
    m_resize->Init();
    RegisterResizeRules();

    // The scanner's start-up texts, the session count's "0" among them.
    for (ScanStatus s : m_statusControls.keys()) ShowStatus(s, m_engine->Status(s));
    m_historyBox->setChecked(m_appSettings.Flag(Setting::EnableHistoryLogging));

    m_history.Start(m_historyBox->isChecked());

    LoadAlertSettings();

    // Shown before the first cycle so that a slow Broker never leaves the user without a
    // window.
    show();
    m_grid->setFocus();
    m_watch->StartScanning();
    SyncScannerButtons();
    m_initialised = true;
}

void CQuandrixDlg::RegisterResizeRules() {
    for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it)
        m_resize->SetControlId(it.key(), it.value());

    m_resize->AddControl(IDC_GRID, 0, 0, 1, 1);
    m_resize->AddControl(&m_filter->View(), 0, 0, 1, 1);
    m_resize->AddControl(m_filterBar, 0, 0, 1, 0);
    // The grid option check boxes are not shown; their ids stay registered like any id
    // without a control.
    for (int id : {1126, 1128, 1219, 1318, 1217, 1003, 1215, 1320, 1626, 1322, 1522})
        m_resize->AddControl(id, 1, 0, 1, 0);
    // 200, 1007 and 2 are buttons this window does not show, and 1421 a size grip it
    // does not have: CResize registers its own grip in Init(), and registering that one here
    // as well would add up the factors and move it twice as far as the corner.
    for (int id : std::initializer_list<int>{
             IDC_HISTORY, 200, 1007, 2, IDC_ALERTS, IDC_STATUS, IDC_DATABASE_USERS, IDC_ON, IDC_OFF,
             IDC_SESSION_COUNT, IDC_EXPORT, 1421, IDC_WATCH_GROUP, IDC_WATCH_PID, IDC_WATCH_USER,
             IDC_WATCH_MACHINE, IDC_WATCH_DATETIME, 4021})
        m_resize->AddControl(id, 1, 1, 1, 1);
    m_resize->AddControl(m_countLabel, 1, 1, 1, 1);  // follows its edit
    m_resize->AddControl(m_historyProblem, 1, 1, 1, 1);
    m_resize->AddControl(m_graph, 1, 1, 1, 1);
}

// ---------------------------------------------------------------- status texts

void CQuandrixDlg::ShowStatus(ScanStatus which, const QString& text) {
    QWidget* control = m_statusControls.value(which);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
        // A label's accessible name stands in for its text, so it carries both.
        if (m_watchLabelNames.contains(label))
            label->setAccessibleName(m_watchLabelNames.value(label) + QStringLiteral(": ") +
                                     text.simplified());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(text);
}

void CQuandrixDlg::ShowHistoryProblem(const QString& problem, int waitingLines) {
    m_historyProblem->setVisible(!problem.isEmpty());
    if (problem.isEmpty()) return;
    m_historyProblem->setText(
        QStringLiteral("History log not written: %1 line(s) waiting").arg(waitingLines));
    m_historyProblem->setToolTip(m_history.Path() + QStringLiteral(": ") + problem);
}

void CQuandrixDlg::ShowScannerState(bool scanning) {
    m_on->setChecked(scanning);
    m_off->setChecked(!scanning);
    if (m_tray) m_tray->SetScanEnabled(m_engine->ScanEnabled());
}

void CQuandrixDlg::OnScanCounted(bool answered, int sessions) {
    if (answered) {
        m_graph->AddAnswered(m_clock.Now(), sessions);
        if (m_tray) m_tray->ScanAnswered(sessions);
    } else {
        m_graph->AddFailed(m_clock.Now());
        if (m_tray) m_tray->ScanFailed();
    }
}

void CQuandrixDlg::CreateTray() {
    if (!MonitorTray::Available()) return;
    m_tray = std::make_unique<MonitorTray>(this);
    m_tray->SetBroker(m_engine->Settings().broker);
    // The tray's menu stays reachable while a dialog is open; scanning waits for it to close.
    connect(m_tray.get(), &MonitorTray::OnRequested, this, [this] {
        if (Idle()) OnScanOn();
    });
    connect(m_tray.get(), &MonitorTray::OffRequested, this, [this] {
        if (Idle()) OnScanOff();
    });
    connect(m_tray.get(), &MonitorTray::ExitRequested, this, &CQuandrixDlg::RequestClose);
}

void CQuandrixDlg::SyncScannerButtons() {
    ShowScannerState(m_engine->Scanning());
}

QString CQuandrixDlg::ControlText(int id) const {
    QWidget* control = m_controls.value(id);
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
    return QString();
}

bool CQuandrixDlg::Idle() const {
    return !m_engine->Busy() && !QApplication::activeModalWidget();
}

// ---------------------------------------------------------------- commands

int CQuandrixDlg::RunDialog(QDialog& dialog) {
    return m_services.runDialog ? m_services.runDialog(dialog) : dialog.exec();
}

void CQuandrixDlg::ResumeAfterCommand() {
    if (m_engine->ScanEnabled() && !m_closeRequested)
        m_engine->ResumeScanner(m_engine->Settings().interval);
}

void CQuandrixDlg::SuspendForCommand() {
    m_engine->SuspendForCommand();
}

void CQuandrixDlg::EndSuspension() {
    if (!m_closeRequested) m_engine->EndSuspension();
}

void CQuandrixDlg::LoadAlertSettings() {
    m_watch->LoadAlertSettings();
    m_alerts->setText(QString::fromLatin1(m_watch->Email().alertsEnabled ? kAlertsEnabledText
                                                                         : kAlertsDisabledText));
}

void CQuandrixDlg::OnSettings() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    SuspendForCommand();

    CSettingsDlg dialog(m_appSettings, this);
    if (RunDialog(dialog) == QDialog::Accepted) {
        ScanSettings s = m_engine->Settings();
        const bool brokerChanged = dialog.Broker() != s.broker;
        s.broker = dialog.Broker();
        s.adminUserId = dialog.AdminUserId();
        s.adminPassword = dialog.Password();
        s.interval = dialog.Interval();
        s.filters.blankUserids = dialog.FilterBlankUserids();
        s.filters.ownSession = dialog.FilterQuorvatelUserid();
        s.filters.staleUserids = dialog.FilterStaleUserids();
        m_watch->TakeScanSettings(s);
        if (brokerChanged) UpdateCaption();
    }
    EndSuspension();
}

void CQuandrixDlg::OnAbout() {
    if (m_closeRequested) return;
    // Nothing waits for the About box: scanning and the blinks go on while it is open.
    CAboutDlg dialog(this, windowIcon());
    RunDialog(dialog);
}

void CQuandrixDlg::OnChangeFont() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    m_engine->PauseScanner();
    QFont font = m_grid->GetGridFont();
    if (m_fontChooser.ChooseFont(this, font)) {
        m_presentation->AdoptFont(font);
        FontDescription::StoreChosen(m_appSettings, font);
    }
    ResumeAfterCommand();
}

void CQuandrixDlg::OnResetFont() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    m_engine->PauseScanner();
    m_presentation->AdoptFont(m_grid->GetGridFont());
    m_grid->SetGridFont(FontDescription::DefaultFont());
    FontDescription::StoreDefault(m_appSettings);
    m_engine->StartScanning();
}

void CQuandrixDlg::OnFind() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    // The scanner stays paused: the marks last until the user presses ON.
    SuspendForCommand();

    CFindTextDlg dialog(m_appSettings, SearchTextForDialog(m_searchText, m_appSettings), this);
    if (RunDialog(dialog) != QDialog::Accepted) return;
    m_searchText = AcceptSearchText(dialog.FindText(), m_appSettings);
    if (m_searchText.isEmpty()) return;
    const int today = UserListReport::TodayNumberFrom(CurrentTimestamp(m_clock));
    m_presentation->MarkFindMatches(m_searchText, today);
}

void CQuandrixDlg::OnExport() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    m_engine->PauseScanner();
    if (m_grid->GetRowCount() > 1) {
        const CExport::Services services{m_appSettings, m_fileChooser, m_prompter,
                                         m_workingDirectory, this};
        CExport exporter(SnapshotRows(m_engine->MatrixMap()), QString::fromLatin1(kExportHeader),
                         QString::fromLatin1(kExportFileName) + QLatin1String(CExport::kExtension),
                         services);
        exporter.Export();
    }
    ResumeAfterCommand();
}

void CQuandrixDlg::OnFilePrint() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    m_engine->PauseScanner();
    m_grid->Print();
    ResumeAfterCommand();
}

void CQuandrixDlg::OnPrintSetup() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    m_engine->PauseScanner();
    m_grid->PrinterSetup();
    ResumeAfterCommand();
}

// The scanner pauses while the preview lays its pages out, and no longer: a preview left
// open must not silence scanning and alerting. Its pages keep the matrix as it was.
void CQuandrixDlg::OnPrintPreview() {
    if (m_closeRequested) return;
    if (m_grid->IsPreviewActive()) {
        m_grid->PrintPreview();
        return;
    }
    ScanEngine::CommandScope scope(*m_engine);
    m_engine->PauseScanner();
    m_grid->PrintPreview();
    ResumeAfterCommand();
}

EmailDialogServices CQuandrixDlg::EmailServices() {
    return {m_appSettings, m_mailer, m_prompter,
            [this](QDialog& dialog) { return RunDialog(dialog); },
            [this](CReportCtrl& list) {
                CImport(list, {m_appSettings, m_fileChooser, m_prompter, list.window()}).Import();
            }};
}

void CQuandrixDlg::OnEmailAlertSettings() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    SuspendForCommand();
    CEmailSetDlg dialog(EmailServices(), this);
    RunDialog(dialog);
    // A new limit starts the count afresh: a count already past it would never meet it.
    // However the dialog ended, what it stored is what the window now works with.
    const int limitInUse = m_engine->ContigFailLimit();
    const bool limitStored = !m_appSettings.Text(Setting::ContigFailLimit).isEmpty();
    LoadAlertSettings();
    if (limitStored && m_watch->Email().contigFailLimit != limitInUse)
        m_engine->ResetContigFailCount();
    EndSuspension();
}

void CQuandrixDlg::ShowBroadcastSettings(QDialog& dialog, const char* section,
                                         CMapStrToEmailObj& list) {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    SuspendForCommand();
    RunDialog(dialog);
    LoadRecipientList(*m_store, QString::fromLatin1(section), list);
    EndSuspension();
}

void CQuandrixDlg::OnEmailBCDSettings() {
    CEmailBCDSetDlg dialog(EmailServices(), this);
    ShowBroadcastSettings(dialog, RecipientSection::kBrokerGoingDown, m_bcdRecipients);
}

void CQuandrixDlg::OnEmailBCGSettings() {
    CEmailBCGSetDlg dialog(EmailServices(), this);
    ShowBroadcastSettings(dialog, RecipientSection::kGeneralMessage, m_bcgRecipients);
}

void CQuandrixDlg::OnHistorySwitch(bool enabled) {
    if (m_closeRequested) return;
    m_historyBox->setChecked(enabled);
    m_history.SetEnabled(enabled);
    m_appSettings.SetInt(Setting::EnableHistoryLogging, enabled ? 1 : 0);
}

void CQuandrixDlg::OnHistory() {
    if (m_closeRequested) return;
    if (!m_historyBrowser)
        m_historyBrowser =
            new HistoryBrowser(m_workingDirectory, m_clock, m_fileChooser, m_prompter, this);
    m_historyBrowser->Open();
}

void CQuandrixDlg::OnScanOn() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    m_engine->On();
    SyncScannerButtons();
}

void CQuandrixDlg::OnScanOff() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    m_engine->Off();
    SyncScannerButtons();
}

void CQuandrixDlg::OnEditCopy() {
    // What is selected where the user sees it: in the filtered view while a filter is typed.
    CGridCtrl& shown = m_filter->Active() ? m_filter->View() : *m_grid;
    if (shown.CanCopy()) shown.OnEditCopy();
}

void CQuandrixDlg::OnEditCut() {
    if (m_grid->CanCut()) m_grid->OnEditCut();
}

void CQuandrixDlg::OnEditPaste() {
    if (m_grid->CanPaste()) m_grid->OnEditPaste();
}

void CQuandrixDlg::OnBroadcastBrokerGoingDown() {
    if (m_closeRequested) return;
    m_broadcaster->BroadcastBrokerGoingDown();
}

void CQuandrixDlg::OnBroadcastGeneralMessage() {
    if (m_closeRequested) return;
    m_broadcaster->BroadcastGeneralMessage();
}

void CQuandrixDlg::OnSendMessageToUser() {
    if (m_closeRequested || !m_rowMenu.sendMessage) return;
    m_rowPopup->hide();
    const WatchedSession chosen = Watched();
    m_broadcaster->SendMessageToUser(chosen.pid, chosen.userId, chosen.machine);
}

// ---------------------------------------------------------------- the grid's notifications

void CQuandrixDlg::OnGridNotify(const GridNotify& notify) {
    if (notify.code == NM_RCLICK)
        OnGridRightClick(notify.row, notify.col);
    else if (notify.code == GVN_SELCHANGED)
        OnGridSelChanged(notify.row, notify.col);
}

void CQuandrixDlg::OnGridRightClick(int row, int col) {
    RightClick click;
    click.row = row;
    click.col = col;
    click.rowCount = m_grid->GetRowCount();
    click.cellText = [this](int r, int c) { return m_grid->GetItemText(r, c); };
    click.traceActive = m_engine->TraceActive();
    click.watchedKey = m_vantrace->WatchedKey();
    click.watched = m_vantrace->Session();
    const RightClickOutcome out = RightClickOnCell(click);
    m_rowMenu = out.menu;
    m_vantrace->Session() = out.watched;
    if (out.clearWatchedKey) m_vantrace->SetWatchedKey(QString());
    m_engine->SetWatchedEntry(out.position.row, out.position.col);
}

void CQuandrixDlg::ShowRowMenu(const QPoint& globalPos) {
    m_vantraceAction->setEnabled(m_rowMenu.vantrace);
    m_sendMessageAction->setEnabled(m_rowMenu.sendMessage);
    m_rowPopup->popup(globalPos);
}

void CQuandrixDlg::OnVantrace() {
    if (m_closeRequested || !m_rowMenu.vantrace) return;
    m_rowPopup->hide();
    ScanEngine::CommandScope scope(*m_engine);
    m_vantrace->Open();
}

void CQuandrixDlg::OnVantraceMenu() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    m_vantrace->OpenFromMenu();
}

void CQuandrixDlg::OnStopVantrace() {
    if (m_closeRequested) return;
    ScanEngine::CommandScope scope(*m_engine);
    m_vantrace->Stop();
    m_engine->RunScanCycle();
}

void CQuandrixDlg::OnFilterSessions() {
    m_filterBar->FocusFilter();
}

void CQuandrixDlg::OnGridSelChanged(int row, int col) {
    const QString text = m_grid->GetItemText(row, col);
    if (!text.isEmpty()) m_searchText = text;
    if (!m_engine->TraceActive()) m_engine->SetWatchedEntry(row, col);
}

// ---------------------------------------------------------------- closing

void CQuandrixDlg::closeEvent(QCloseEvent* event) {
    // The window never closes by itself: the close sequence ends the program.
    event->ignore();
    RequestClose();
}

void CQuandrixDlg::RequestClose() {
    if (m_closed) return;
    if (!m_closeRequested) {
        m_closeRequested = true;
        // Nothing starts another cycle from here on; one that runs goes to its end.
        m_engine->Off();
    }
    TryClose();
}

void CQuandrixDlg::TryClose() {
    if (m_closed) return;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
    if (m_engine->Busy() || QApplication::activeModalWidget()) {
        QTimer::singleShot(kCloseRetryMs, this, &CQuandrixDlg::TryClose);
        return;
    }
    m_closed = true;
    m_watch->Close([this] { m_vantrace->StopAtExit(); });
    if (m_services.exitProgram)
        m_services.exitProgram(0);
    else
        QCoreApplication::exit(0);
}
