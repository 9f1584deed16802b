#include "controls/FindTextDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/SettingsKeys.h"

namespace {
// Cells of a group compared in upper case; the ones after them are compared as they stand.
constexpr int kUpperCasedCells = 3;
}  // namespace

CFindTextDlg::CFindTextDlg(AppSettings& settings, const QString& findText, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_strFindText(findText) {
    setWindowTitle(QString::fromLatin1(kCaption));
    setModal(true);

    auto* label = new QLabel(QStringLiteral("Fi&nd what:"), this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("findText"));
    m_edit->setText(m_strFindText);
    label->setBuddy(m_edit);

    m_wholeWord = new QCheckBox(QStringLiteral("Match &whole word only"), this);
    m_wholeWord->setObjectName(QStringLiteral("matchWholeWord"));
    m_wholeWord->setChecked(m_bMatchWholeWord);
    m_wholeWord->setEnabled(false);
    m_matchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    m_matchCase->setObjectName(QStringLiteral("matchCase"));
    m_matchCase->setChecked(m_bMatchCase);
    m_matchCase->setEnabled(false);

    auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
    direction->setObjectName(QStringLiteral("direction"));
    m_up = new QRadioButton(QStringLiteral("&Up"), direction);
    m_up->setObjectName(QStringLiteral("up"));
    m_down = new QRadioButton(QStringLiteral("&Down"), direction);
    m_down->setObjectName(QStringLiteral("down"));
    (m_nDirection == 0 ? m_up : m_down)->setChecked(true);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);
    direction->setEnabled(false);

    m_find = new QPushButton(QStringLiteral("&Find"), this);
    m_find->setObjectName(QStringLiteral("find"));
    m_find->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_edit, 0, 1, 1, 2);
    grid->addWidget(m_wholeWord, 1, 0, 1, 2);
    grid->addWidget(m_matchCase, 2, 0, 1, 2);
    grid->addWidget(direction, 1, 2, 2, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_find);
    buttons->addWidget(cancel);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 3, 3, 1);

    connect(m_edit, &QLineEdit::textChanged, this, &CFindTextDlg::OnTextChanged);
    connect(m_find, &QPushButton::clicked, this, &CFindTextDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CFindTextDlg::reject);
    OnTextChanged(m_strFindText);
    m_edit->selectAll();
    m_edit->setFocus();
}

void CFindTextDlg::OnTextChanged(const QString& text) {
    m_find->setEnabled(!text.isEmpty());
}

void CFindTextDlg::UpdateData() {
    m_strFindText = m_edit->text();
    m_bMatchWholeWord = m_wholeWord->isChecked();
    m_bMatchCase = m_matchCase->isChecked();
    m_nDirection = m_up->isChecked() ? 0 : 1;
}

void CFindTextDlg::accept() {
    UpdateData();
    m_settings.SetText(Setting::FindString, m_strFindText);
    QDialog::accept();
}

void CFindTextDlg::reject() {
    UpdateData();
    QDialog::reject();
}

QString SearchTextForDialog(const QString& remembered, const AppSettings& settings) {
    if (!remembered.isEmpty()) return remembered;
    return settings.Text(Setting::SearchText);
}

QString AcceptSearchText(const QString& typed, AppSettings& settings) {
    if (typed.isEmpty()) return QString();
    settings.SetText(Setting::SearchText, typed);
    return SearchUpper(typed);
}

QString SearchUpper(const QString& text) {
    return text.toUpper();
}

QList<FindMatch> FindMatches(const QString& upperSearchText, const FindGrid& grid) {
    QList<FindMatch> matches;
    if (upperSearchText.isEmpty() || grid.groupWidth <= 0 || !grid.text) return matches;
    for (int row = 1; row < grid.rowCount; ++row) {
        // 64-bit steps: a huge group width must not wrap around.
        for (qint64 first = 0; first < grid.columnCount; first += grid.groupWidth) {
            for (int i = 0; i < grid.groupWidth && first + i < grid.columnCount; ++i) {
                const QString cell = grid.text(row, static_cast<int>(first + i));
                const QString compared = i < kUpperCasedCells ? SearchUpper(cell) : cell;
                if (compared == upperSearchText) {
                    matches.append({row, static_cast<int>(first)});
                    break;
                }
            }
        }
    }
    return matches;
}
