#include <QAccessible>
#include <algorithm>
#include <climits>

#include "controls/AccessibleClient.h"
#include "controls/GridAccessible.h"
#include "controls/GridCtrl.h"

// CGridCtrl: what the grid tells a screen reader beyond its cells' texts.

QString CGridCtrl::CellDescription(int row, int col) const {
    if (!m_describer || !IsValid(row, col)) return QString();
    return m_describer(row, col);
}

void CGridCtrl::AccessibleCatchUp() {
    // Nothing to work out when nobody listens: a scan cycle stays as cheap as before.
    if (!AccessibleClient::Listening()) return;
    if (m_model.EverythingDamaged()) {
        GridAccessible::Reset(*this);
        return;
    }
    GridAccessible::RowCountChanged(*this, m_rowsAtPause);
    // The rows written over: those damaged, and those that came or went and are still here.
    const int kept = std::min(m_rowsAtPause, GetRowCount());
    int first = INT_MAX;
    int last = -1;
    for (int r = GetFixedRowCount(); r < kept; ++r) {
        if (!m_model.RowDamaged(r) && r < m_model.RowsDamagedFrom()) continue;
        first = std::min(first, r);
        last = r;
    }
    if (last >= 0) GridAccessible::RowsWritten(*this, first, last);
}
