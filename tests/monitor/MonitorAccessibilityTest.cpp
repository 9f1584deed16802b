#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <vector>

#include "MonitorFixture.h"
#include "controls/AccessibleClient.h"
#include "controls/ReportCtrl.h"
#include "history/HistoryBrowser.h"

// The monitor as a screen reader meets it: the window's accessibility tree walked through
// QAccessible, as the AT-SPI bridge walks it for Orca, and the events it is sent.
namespace {

struct SeenEvent {
    QAccessible::Event type;
    QObject* object;
    int child;
    int change = -1;  // QAccessibleTableModelChangeEvent::ModelChangeType
    int firstRow = -1;
    int lastRow = -1;
};
std::vector<SeenEvent> g_events;

void RecordEvent(QAccessibleEvent* event) {
    SeenEvent seen{event->type(), event->object(), event->child()};
    if (event->type() == QAccessible::TableModelChanged) {
        auto* change = static_cast<QAccessibleTableModelChangeEvent*>(event);
        seen.change = change->modelChangeType();
        seen.firstRow = change->firstRow();
        seen.lastRow = change->lastRow();
    }
    g_events.push_back(seen);
}

// The first interface below `root` that `match` accepts; a table's cells are not searched.
QAccessibleInterface* Find(QAccessibleInterface* root,
                           const std::function<bool(QAccessibleInterface*)>& match) {
    if (!root) return nullptr;
    if (match(root)) return root;
    if (root->role() == QAccessible::Table) return nullptr;
    for (int i = 0; i < root->childCount(); ++i)
        if (QAccessibleInterface* found = Find(root->child(i), match)) return found;
    return nullptr;
}

QAccessibleInterface* Named(QAccessibleInterface* root, QAccessible::Role role,
                            const QString& name) {
    return Find(root, [&](QAccessibleInterface* i) {
        return i->role() == role && i->text(QAccessible::Name) == name;
    });
}

class MonitorAccessibilityTest : public MonitorFixture {
protected:
    void TearDown() override {
        AccessibleClient::SetTestSink(nullptr);
        g_events.clear();
        MonitorFixture::TearDown();
    }
    // A client listening from now on: every event is recorded.
    static void Listen() {
        g_events.clear();
        AccessibleClient::SetTestSink(RecordEvent);
    }
    bool Seen(QAccessible::Event type, int child) const {
        for (const SeenEvent& e : g_events)
            if (e.type == type && e.object == &window->Grid() && e.child == child) return true;
        return false;
    }
};

TEST_F(MonitorAccessibilityTest, AScreenReaderReadsTheMatrixItsColoursTheGraphAndTheLists) {
    broker.AddUser(QStringLiteral("alice"));
    broker.AddUser(QStringLiteral("Bob"));
    broker.AddUser(QStringLiteral("carol"));
    broker.AddUser(QStringLiteral("dave"));
    LogOn("alice", "PC1", "100", "2017/11/01 17:00:00");  // yesterday: stale
    LogOn("Bob", "PC2", "200", "2017/11/02 09:02:00");
    StoreProfile();
    Open();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Listen();

    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(window.get());
    QAccessibleInterface* matrix = Named(root, QAccessible::Table, QStringLiteral("Login matrix"));
    ASSERT_NE(matrix, nullptr);
    QAccessibleTableInterface* table = matrix->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->columnCount(), 12);
    EXPECT_EQ(matrix->childCount(), 2 * 12) << "the heading row and one row of sessions";
    const QStringList headings{"PID", "UserId", "Machine", "DateTime"};
    for (int c = 0; c < 12; ++c) EXPECT_EQ(table->columnDescription(c), headings[c % 4]) << c;

    const auto cell = [&](int row, int col) { return table->cellAt(row, col); };
    const auto name = [&](int row, int col) { return cell(row, col)->text(QAccessible::Name); };
    const auto description = [&](int row, int col) {
        return cell(row, col)->text(QAccessible::Description);
    };
    EXPECT_EQ(name(0, 1), QStringLiteral("ALICE"));
    QAccessibleTableCellInterface* alice = cell(0, 1)->tableCellInterface();
    ASSERT_NE(alice, nullptr);
    EXPECT_EQ(alice->rowIndex(), 0);
    EXPECT_EQ(alice->columnIndex(), 1);
    ASSERT_EQ(alice->columnHeaderCells().size(), 1);
    EXPECT_EQ(alice->columnHeaderCells()[0]->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(alice->columnHeaderCells()[0]->text(QAccessible::Name), QStringLiteral("UserId"));
    EXPECT_EQ(alice->table(), matrix);
    EXPECT_EQ(matrix->indexOfChild(cell(0, 5)), 12 + 5);
    // Every session came with the first scan; alice's came yesterday.
    EXPECT_EQ(description(0, 3), QStringLiteral("New session; Logged on before today"));
    EXPECT_EQ(description(0, 4), QStringLiteral("New session"));

    // Two users log on: the second one opens a new row.
    LogOn("carol", "PC3", "260", "2017/11/02 09:30:30");
    LogOn("dave", "PC4", "261", "2017/11/02 09:30:40");
    clock.Advance(60000);
    window->OnScanOn();
    EXPECT_EQ(table->rowCount(), 2);
    EXPECT_EQ(name(0, 8), QStringLiteral("260"));
    EXPECT_EQ(description(0, 9), QStringLiteral("New session"));
    EXPECT_EQ(name(1, 1), QStringLiteral("DAVE"));
    EXPECT_EQ(description(1, 0), QStringLiteral("New session"));
    EXPECT_EQ(description(0, 4), QString()) << "Bob is no longer new";
    EXPECT_EQ(description(0, 0), QStringLiteral("Logged on before today"));
    bool rowAdded = false;
    for (const SeenEvent& e : g_events)
        rowAdded = rowAdded || (e.change == QAccessibleTableModelChangeEvent::RowsInserted &&
                                e.firstRow == 1 && e.lastRow == 1);
    EXPECT_TRUE(rowAdded);

    // The Broker stops answering: a failure entry, and a gap in the graph.
    broker.Condition({QStringLiteral("down")});
    clock.Advance(60000);
    window->OnScanOn();
    EXPECT_EQ(name(1, 4), QStringLiteral("Error"));
    EXPECT_EQ(description(1, 6), QStringLiteral("Failure entry: the Broker did not answer"));

    QAccessibleInterface* graph =
        Named(root, QAccessible::Chart, QStringLiteral("Sessions in the last 24 hours"));
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->text(QAccessible::Description),
              QStringLiteral("Peak today: 4 at 09:31:00. The last scan failed. "
                             "Failed scans: 09:32:00."));
    QAccessibleInterface* sessions =
        Named(root, QAccessible::EditableText, QStringLiteral("Sessions"));
    ASSERT_NE(sessions, nullptr);
    EXPECT_EQ(sessions->text(QAccessible::Value), QStringLiteral("4"));
    EXPECT_NE(Named(root, QAccessible::StaticText, QStringLiteral("Watched user: UserId")),
              nullptr);
    EXPECT_NE(Named(root, QAccessible::EditableText, QStringLiteral("Filter sessions")), nullptr);

    // The keyboard moves the focus cell; the reader is told which cell has it.
    Grid().setFocus();
    QRect rect;
    ASSERT_TRUE(Grid().GetCellRect(1, 1, rect));
    g_events.clear();
    QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_TRUE(Seen(QAccessible::Focus, 12 + 1));
    QTest::keyClick(&Grid(), Qt::Key_Down);
    EXPECT_TRUE(Seen(QAccessible::Focus, 2 * 12 + 1));
    ASSERT_NE(matrix->focusChild(), nullptr);
    EXPECT_EQ(matrix->focusChild()->text(QAccessible::Name), QStringLiteral("DAVE"));
    EXPECT_TRUE(matrix->focusChild()->state().focused);
    EXPECT_TRUE(matrix->focusChild()->state().selected) << "rows are selected whole";
    EXPECT_EQ(table->selectedRows(), QList<int>{1});

    // The alert recipients: Qt's own table, named after its label.
    bool listChecked = false;
    answerDialog = [&](QDialog& dialog) {
        auto* list = dialog.findChild<CReportCtrl*>(QStringLiteral("recipients"));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(list);
        EXPECT_EQ(iface->role(), QAccessible::Table);
        EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Email Recipient(s)"));
        EXPECT_EQ(iface->tableInterface()->rowCount(), 0);
        EXPECT_GT(iface->tableInterface()->columnCount(), 0);
        listChecked = true;
        dialog.reject();
        return int(QDialog::Rejected);
    };
    for (QAction* a : window->menuBar()->findChildren<QAction*>())
        if (a->text() == QStringLiteral("Broker Alert Settings...")) a->trigger();
    EXPECT_TRUE(listChecked);

    // The history window's fields without a label of their own are named too.
    MenuAction(QStringLiteral("&History..."))->trigger();
    QAccessibleInterface* history = QAccessible::queryAccessibleInterface(window->HistoryWindow());
    EXPECT_NE(Named(history, QAccessible::EditableText, QStringLiteral("Filter")), nullptr);
    for (const char* name : {"From", "To", "Who was on at"})
        EXPECT_NE(Named(history, QAccessible::SpinBox, QString::fromLatin1(name)), nullptr) << name;
    EXPECT_NE(Named(history, QAccessible::Table, QStringLiteral("Sessions")), nullptr);
    window->HistoryWindow()->close();
}

}  // namespace
