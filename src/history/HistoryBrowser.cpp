#include "history/HistoryBrowser.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "history/HistoryLoader.h"
#include "history/HistoryReader.h"
#include "history/HistoryTableModel.h"
#include "history/HistoryText.h"
#include "platform/Clock.h"
#include "platform/FileChooser.h"
#include "platform/Prompter.h"
#include "platform/WaitCursor.h"

namespace {
const QString kDateFormat = QStringLiteral("yyyy/MM/dd");
const QString kDateTimeFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");
constexpr int kProgressSteps = 1000;

QString Count(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}

// What the user picked in a view, by the first line of each row: a new line in the live file
// rebuilds the rows, and a session still on moves when it ends.
struct Picked {
    std::vector<bool> lines;
    int64_t current = -1;
    int currentColumn = 0;
};

Picked TakePicked(const QTableView& view, const HistoryTableModel& model) {
    Picked picked;
    for (const QItemSelectionRange& range : view.selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const uint32_t line = model.FirstLine(row);
            if (picked.lines.size() <= line) picked.lines.resize(std::size_t(line) + 1);
            picked.lines[line] = true;
        }
    const QModelIndex current = view.currentIndex();
    if (current.isValid()) {
        picked.current = model.FirstLine(current.row());
        picked.currentColumn = current.column();
    }
    return picked;
}

void RestorePicked(QTableView& view, const HistoryTableModel& model, const Picked& picked) {
    if (picked.lines.empty() && picked.current < 0) return;
    QItemSelection selection;
    QModelIndex current;
    const int rows = model.rowCount();
    const int lastColumn = model.columnCount() - 1;
    int runStart = -1;  // the first row of a run of picked rows
    for (int row = 0; row <= rows; ++row) {
        const uint32_t line = row < rows ? model.FirstLine(row) : 0;
        const bool in = row < rows && line < picked.lines.size() && picked.lines[line];
        if (row < rows && int64_t(line) == picked.current)
            current = model.index(row, picked.currentColumn);
        if (in && runStart < 0) runStart = row;
        if (!in && runStart >= 0) {
            selection.select(model.index(runStart, 0), model.index(row - 1, lastColumn));
            runStart = -1;
        }
    }
    QItemSelectionModel* selected = view.selectionModel();
    if (current.isValid()) selected->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    selected->select(selection, QItemSelectionModel::ClearAndSelect);
}
}  // namespace

HistoryBrowser::HistoryBrowser(const QString& workingDirectory, const Clock& clock,
                               FileChooser& files, Prompter& prompter, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_directory(workingDirectory),
      m_clock(clock),
      m_files(files),
      m_prompter(prompter),
      m_loader(new HistoryLoader(workingDirectory, this)),
      m_sessions(new HistoryTableModel(HistoryTableModel::Kind::Sessions, this)),
      m_events(new HistoryTableModel(HistoryTableModel::Kind::Events, this)) {
    setObjectName(QStringLiteral("HistoryBrowser"));
    setWindowTitle(QStringLiteral("%1 - %2").arg(QString::fromLatin1(kTitle), workingDirectory));
    BuildUi();
    connect(m_loader, &HistoryLoader::Updated, this, &HistoryBrowser::OnUpdated);
    connect(m_loader, &HistoryLoader::Progress, this, &HistoryBrowser::OnProgress);
    connect(m_loader, &HistoryLoader::Idle, this, &HistoryBrowser::OnIdle);
    m_follow = new QTimer(this);
    m_follow->setInterval(kFollowMs);
    connect(m_follow, &QTimer::timeout, this, &HistoryBrowser::Tick);
    ApplyCriteria();
    resize(1100, 640);
}

HistoryBrowser::~HistoryBrowser() = default;

int64_t HistoryBrowser::Now() const {
    return HistoryTime::FromDateTime(m_clock.Now());
}

void HistoryBrowser::BuildUi() {
    auto* top = new QHBoxLayout;
    m_filter = new QLineEdit;
    m_filter->setObjectName(QStringLiteral("historyFilter"));
    m_filter->setPlaceholderText(QStringLiteral("Filter: words, each found in some column"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setAccessibleName(QStringLiteral("Filter"));  // it has no label
    top->addWidget(m_filter, 1);
    const QDate today = m_clock.Now().date();
    m_from = new QDateEdit(today);
    m_to = new QDateEdit(today);
    m_from->setObjectName(QStringLiteral("historyFrom"));
    m_to->setObjectName(QStringLiteral("historyTo"));
    for (QDateEdit* edit : {m_from, m_to}) {
        edit->setDisplayFormat(kDateFormat);
        edit->setCalendarPopup(true);
    }
    // A label names its buddy for a screen reader.
    auto* fromLabel = new QLabel(QStringLiteral("From"));
    fromLabel->setBuddy(m_from);
    auto* toLabel = new QLabel(QStringLiteral("To"));
    toLabel->setBuddy(m_to);
    top->addWidget(fromLabel);
    top->addWidget(m_from);
    top->addWidget(toLabel);
    top->addWidget(m_to);
    auto* todayButton = new QPushButton(QStringLiteral("Today"));
    auto* whole = new QPushButton(QStringLiteral("All Days"));
    whole->setObjectName(QStringLiteral("historyAllDays"));
    top->addWidget(todayButton);
    top->addWidget(whole);
    const char* tagNames[4] = {"ADD", "DEL", "REC", "Other"};
    for (int t = 0; t < 4; ++t) {
        m_tags[t] = new QCheckBox(QString::fromLatin1(tagNames[t]));
        m_tags[t]->setObjectName(
            QStringLiteral("historyTag%1").arg(QString::fromLatin1(tagNames[t])));
        m_tags[t]->setChecked(true);
        top->addWidget(m_tags[t]);
    }

    auto* second = new QHBoxLayout;
    m_atCheck = new QCheckBox(QStringLiteral("Who was on at"));
    m_atCheck->setObjectName(QStringLiteral("historyAtCheck"));
    m_at = new QDateTimeEdit(m_clock.Now());
    m_at->setObjectName(QStringLiteral("historyAt"));
    m_at->setDisplayFormat(kDateTimeFormat);
    m_at->setCalendarPopup(true);
    m_at->setAccessibleName(
        QStringLiteral("Who was on at"));  // the check box beside it names only itself
    second->addWidget(m_atCheck);
    second->addWidget(m_at);
    second->addStretch(1);
    auto* copy = new QPushButton(QStringLiteral("Copy"));
    auto* exportCsv = new QPushButton(QStringLiteral("Export CSV..."));
    exportCsv->setObjectName(QStringLiteral("historyExport"));
    second->addWidget(copy);
    second->addWidget(exportCsv);

    m_tabs = new QTabWidget;
    m_sessionView = MakeView(m_sessions, HistoryText::LoggedOn);
    m_sessionView->setObjectName(QStringLiteral("historySessions"));
    m_sessionView->setAccessibleName(QStringLiteral("Sessions"));
    m_eventView = MakeView(m_events, HistoryText::Source);
    m_eventView->setObjectName(QStringLiteral("historyEvents"));
    m_eventView->setAccessibleName(QStringLiteral("Events"));
    m_tabs->addTab(m_sessionView, QStringLiteral("Sessions"));
    m_tabs->addTab(m_eventView, QStringLiteral("Events"));
    const int sessionWidths[] = {150, 140, 70, 140, 140, 130};
    for (int c = 0; c < 6; ++c) m_sessionView->setColumnWidth(c, sessionWidths[c]);
    const int eventWidths[] = {140, 40, 70, 150, 150, 300};
    for (int c = 0; c < 6; ++c) m_eventView->setColumnWidth(c, eventWidths[c]);

    auto* bottom = new QHBoxLayout;
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("historyStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("historyProgress"));
    m_progress->setRange(0, kProgressSteps);
    m_progress->setMaximumWidth(220);
    m_progress->hide();
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_progress);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(second);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(bottom);

    connect(m_filter, &QLineEdit::textChanged, this, &HistoryBrowser::ApplyCriteria);
    connect(m_from, &QDateEdit::dateChanged, this, &HistoryBrowser::ApplyCriteria);
    connect(m_to, &QDateEdit::dateChanged, this, &HistoryBrowser::ApplyCriteria);
    for (QCheckBox* box : m_tags)
        connect(box, &QCheckBox::toggled, this, &HistoryBrowser::ApplyCriteria);
    connect(m_atCheck, &QCheckBox::toggled, this, &HistoryBrowser::ApplyCriteria);
    connect(m_at, &QDateTimeEdit::dateTimeChanged, this, [this] {
        if (m_atCheck->isChecked()) ApplyCriteria();
    });
    connect(todayButton, &QPushButton::clicked, this, [this] {
        const QDate day = m_clock.Now().date();
        m_from->setDate(day);
        m_to->setDate(day);
    });
    connect(whole, &QPushButton::clicked, this, &HistoryBrowser::ShowWholeHistory);
    connect(copy, &QPushButton::clicked, this, &HistoryBrowser::CopySelection);
    connect(exportCsv, &QPushButton::clicked, this, &HistoryBrowser::ExportCsv);
    connect(m_tabs, &QTabWidget::currentChanged, this, &HistoryBrowser::SyncShownView);
}

QTableView* HistoryBrowser::MakeView(HistoryTableModel* model, int sortColumn) {
    auto* view = new QTableView;
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setWordWrap(false);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->hide();
    // Fixed row heights: a million rows scroll without being measured.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setSortIndicator(sortColumn, Qt::AscendingOrder);
    view->setSortingEnabled(true);
    auto* copy = new QAction(QStringLiteral("&Copy"), view);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &HistoryBrowser::CopySelection);
    auto* exportCsv = new QAction(QStringLiteral("&Export CSV..."), view);
    connect(exportCsv, &QAction::triggered, this, &HistoryBrowser::ExportCsv);
    view->addAction(copy);
    view->addAction(exportCsv);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    return view;
}

HistoryTableModel& HistoryBrowser::CurrentModel() {
    return m_tabs->currentIndex() == 1 ? *m_events : *m_sessions;
}

bool HistoryBrowser::Idle() const {
    return !m_loader->Busy() && m_snapshot == m_loader->Latest();
}

void HistoryBrowser::Open() {
    show();
    raise();
    activateWindow();
    m_loader->Refresh();
}

void HistoryBrowser::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_follow->start();
}

void HistoryBrowser::hideEvent(QHideEvent* event) {
    m_follow->stop();
    QWidget::hideEvent(event);
}

void HistoryBrowser::Tick() {
    const int64_t now = Now();
    m_sessions->SetNow(now);
    m_events->SetNow(now);
    if (!m_loader->Busy()) m_loader->Refresh();
}

HistoryCriteria HistoryBrowser::Criteria(bool sessions) const {
    HistoryCriteria c;
    c.text = m_filter->text();
    c.from = HistoryTime::FromDate(std::min(m_from->date(), m_to->date()));
    c.to =
        HistoryTime::FromDate(std::max(m_from->date(), m_to->date())) + HistoryTime::kSecondsPerDay;
    for (int t = 0; t < 4; ++t) c.tags[std::size_t(t)] = m_tags[t]->isChecked();
    // The moment picked stands in for the range, for sessions.
    if (sessions && m_atCheck->isChecked()) c.at = HistoryTime::FromDateTime(m_at->dateTime());
    return c;
}

void HistoryBrowser::ApplyCriteria() {
    m_message.clear();
    m_stale[0] = m_stale[1] = true;
    SyncShownView();
}

void HistoryBrowser::OnUpdated(std::shared_ptr<const HistorySnapshot> snapshot) {
    m_stale[0] = m_stale[1] = true;
    m_snapshot = std::move(snapshot);
    SyncShownView();
}

void HistoryBrowser::SyncShownView() {
    const int shown = m_tabs->currentIndex() == 1 ? 1 : 0;
    if (m_stale[shown] && m_snapshot) {
        m_stale[shown] = false;
        HistoryTableModel* model = shown ? m_events : m_sessions;
        QTableView* view = shown ? m_eventView : m_sessionView;
        QScrollBar* bar = view->verticalScrollBar();
        // New lines keep the place the user scrolled to, or the end of the list.
        const bool sameRows =
            model->Snapshot() && model->Snapshot()->generation == m_snapshot->generation;
        const int scrolled = bar->value();
        const bool atEnd = scrolled > 0 && scrolled == bar->maximum();
        const Picked picked = sameRows ? TakePicked(*view, *model) : Picked();
        model->SetNow(Now());
        model->Show(m_snapshot, Criteria(!shown));
        RestorePicked(*view, *model, picked);
        if (sameRows) bar->setValue(atEnd ? bar->maximum() : scrolled);
    }
    UpdateStatus();
}

void HistoryBrowser::OnProgress(qint64 done, qint64 total) {
    if (total <= 0) return;
    m_progress->setValue(int(std::min<qint64>(kProgressSteps, done * kProgressSteps / total)));
    m_progress->show();
    UpdateStatus();
}

void HistoryBrowser::OnIdle() {
    m_progress->hide();
    UpdateStatus();
}

QString HistoryBrowser::StatusText() const {
    return m_status->text();
}

void HistoryBrowser::UpdateStatus() {
    QStringList parts;
    if (m_loader->Busy() && m_progress->isVisible()) {
        parts.append(QStringLiteral("Reading the history files..."));
    } else {
        const HistoryTableModel& model = m_tabs->currentIndex() == 1 ? *m_events : *m_sessions;
        const bool sessions = &model == m_sessions;
        parts.append(QStringLiteral("Showing %1 of %2")
                         .arg(model.rowCount())
                         .arg(sessions ? Count(model.TotalRows(), "session", "sessions")
                                       : Count(model.TotalRows(), "line", "lines")));
    }
    if (!m_message.isEmpty()) parts.append(m_message);
    if (m_snapshot) parts += m_snapshot->notes;
    m_status->setText(parts.join(QStringLiteral(" - ")));
    m_status->setToolTip(parts.join(QLatin1Char('\n')));
}

void HistoryBrowser::ShowWholeHistory() {
    if (!m_snapshot || m_snapshot->oldest == HistoryTime::kUnknown) return;
    const QSignalBlocker blockFrom(m_from);
    const QSignalBlocker blockTo(m_to);
    m_from->setDate(HistoryTime::ToDate(m_snapshot->oldest));
    m_to->setDate(std::max(HistoryTime::ToDate(m_snapshot->newest), m_clock.Now().date()));
    ApplyCriteria();
}

void HistoryBrowser::CopySelection() {
    QTableView* view = m_tabs->currentIndex() == 1 ? m_eventView : m_sessionView;
    const HistoryTableModel& model = CurrentModel();
    QModelIndexList rows = view->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex& index : rows) lines.append(model.RowText(index.row()));
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void HistoryBrowser::ExportCsv() {
    const HistoryTableModel& model = CurrentModel();
    const bool sessions = &model == m_sessions;
    const QString path = m_files.ChooseOpenFile(
        this, QStringLiteral("Export CSV"), m_directory,
        sessions ? QStringLiteral("QuorvatelSessions.csv") : QStringLiteral("QuorvatelLines.csv"),
        QStringLiteral("CSV Files (*.csv)"), true);
    if (path.isEmpty()) return;
    // The history is only ever read.
    if (HistoryReader::IsHistoryFileName(QFileInfo(path).fileName())) {
        m_prompter.Warning(QStringLiteral("%1 is a history file and is not written over. Choose "
                                          "another name.")
                               .arg(QFileInfo(path).fileName()));
        return;
    }
    const WaitCursor wait;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !model.WriteCsv(file) || !file.commit()) {
        m_prompter.Warning(QStringLiteral("Could not write %1: %2").arg(path, file.errorString()));
        return;
    }
    m_message = QStringLiteral("%1 exported to %2")
                    .arg(Count(model.rowCount(), "row", "rows"), QDir::toNativeSeparators(path));
    UpdateStatus();
}
