#include "scan/MatrixLayout.h"

#include "controls/GridModel.h"

namespace MatrixLayout {

QStringList Headings() {
    const QString text = QString::fromLatin1(kHeadingText).repeated(kGroupsPerRow);
    QStringList headings = text.split(QLatin1Char(','));
    headings.removeLast();  // the text ends with a comma
    return headings;
}

void ResetToHeadings(GridModel& grid) {
    grid.DeleteAllItems();
    grid.SetRowCount(1);
    grid.SetColumnCount(kColumnCount);
    grid.SetFixedRowCount(1);
    grid.SetFixedColumnCount(0);
    const QStringList headings = Headings();
    for (int col = 0; col < headings.size(); ++col)
        grid.SetItemTextAndFormat(0, col, headings[col], kHeadingFormat);
}

}  // namespace MatrixLayout
