#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>

class AppSettings;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The small modal dialog behind the monitor's Find command: it asks for one search text.
// Whole word, match case and direction are shown for familiarity but stay disabled; the
// search always compares whole cell texts, ignoring case in all but the last cell of a group
// (see FindMatches).
class CFindTextDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Find";

    // Opens with `findText`, normally the remembered search text (SearchTextForDialog).
    CFindTextDlg(AppSettings& settings, const QString& findText, QWidget* parent = nullptr);

    // The dialog data, taken from the controls when the dialog closes.
    QString FindText() const { return m_strFindText; }
    int Direction() const { return m_nDirection; }  // 0 Up, 1 Down
    bool MatchCase() const { return m_bMatchCase; }
    bool MatchWholeWord() const { return m_bMatchWholeWord; }

    // Find: takes the controls' values, writes "FindString" and closes with Accepted.
    void accept() override;
    // Cancel (and Esc): takes the controls' values and closes with Rejected.
    void reject() override;

private:
    void UpdateData();
    void OnTextChanged(const QString& text);

    AppSettings& m_settings;
    int m_nDirection = 1;
    bool m_bMatchCase = false;
    QString m_strFindText;
    bool m_bMatchWholeWord = false;

    QLineEdit* m_edit = nullptr;
    QCheckBox* m_wholeWord = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QRadioButton* m_up = nullptr;
    QRadioButton* m_down = nullptr;
    QPushButton* m_find = nullptr;
};

// The remembered search text of the Find command, kept by the monitor window.

// The text the dialog opens with: the remembered text, or "SearchText" when that is empty.
QString SearchTextForDialog(const QString& remembered, const AppSettings& settings);

// Takes the text the user confirmed with Find and returns the new remembered text. An empty
// text is remembered as empty and nothing is stored (the caller then does not search).
// Otherwise "SearchText" keeps the text as typed, and the remembered text, which is also
// the text to search for, is the upper-case form: matching ignores case.
QString AcceptSearchText(const QString& typed, AppSettings& settings);

// Upper case as the search compares it; used for the remembered text and the cells alike.
QString SearchUpper(const QString& text);

// Read access to a grid for the search: its size, the width of a column group and the
// text of a cell.
struct FindGrid {
    int rowCount = 0;
    int columnCount = 0;
    int groupWidth = 4;
    std::function<QString(int row, int column)> text;
};

// A matching column group: its row and its first column.
struct FindMatch {
    int row = 0;
    int column = 0;
    bool operator==(const FindMatch&) const = default;
};

// Every column group whose cells hold the search text, in row order and, within a row, in
// group order. Row 0 is the heading row and is not searched. A group matches when one of
// its cells equals the search text as a whole: the first three cells of the group are
// compared in upper case, the fourth exactly as it stands. `upperSearchText` is the
// remembered text (already upper case); an empty text matches nothing.
QList<FindMatch> FindMatches(const QString& upperSearchText, const FindGrid& grid);
