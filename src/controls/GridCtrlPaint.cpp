#include "controls/GridAccessible.h"
#include "controls/GridCtrl.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <algorithm>

// CGridCtrl: repaint requests and drawing held off, transient colours, and painting.

namespace {

// A rectangle from its edges: left and top inside it, right and bottom just outside. The
// cell drawing keeps a cell's right and bottom at its last pixel (x + w - 1), so the text
// area made from them leaves that column and row to the grid lines and heading borders.
QRect Ltrb(int left, int top, int right, int bottom) {
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

}  // namespace

Qt::Alignment CGridCtrl::HorizontalAlignment(quint32 format) {
    if (format & DT_RIGHT) return Qt::AlignRight;
    if (format & DT_CENTER) return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

// ---------------------------------------------------------------- redrawing

bool CGridCtrl::InvalidateCellRect(const CCellID& cell) {
    if (!m_allowDraw) {
        m_model.DamageRow(cell.row);  // repainted when drawing resumes
        return false;
    }
    QRect rect;
    if (!Layout().GetCellRect(cell.row, cell.col, rect)) return false;
    // Visible as in IsCellVisible: it starts inside the client area.
    if (rect.x() >= viewport()->width() || rect.y() >= viewport()->height()) return false;
    viewport()->update(rect.adjusted(0, 0, 1, 1));
    return true;
}

bool CGridCtrl::RedrawCell(int row, int col) {
    return InvalidateCellRect(CCellID(row, col));
}

bool CGridCtrl::RedrawRow(int row) {
    // Whoever asks for a row's repaint has written it; with drawing off, the catch-up below
    // tells it with the rest.
    if (m_allowDraw) GridAccessible::RowsWritten(*this, row, row);
    bool all = true;
    for (int c = 0; c < GetColumnCount(); ++c) all = RedrawCell(row, c) && all;
    return all && GetColumnCount() > 0;
}

void CGridCtrl::SetRedraw(bool allow, bool resetScrollBars) {
    const bool resuming = allow && !m_allowDraw;
    if (!allow && m_allowDraw) {
        // From here on the screen keeps what it shows; what changes is noted, so that only
        // that is repainted when drawing resumes.
        m_model.ClearDamage();
        m_repaintAll = false;
        m_rowsAtPause = GetRowCount();
    }
    m_allowDraw = allow;
    if (!allow) return;
    if (resetScrollBars) ResetScrollBars();
    if (resuming) AccessibleCatchUp();
    if (resuming && !m_repaintAll)
        RepaintDamage();
    else
        viewport()->update();
}

void CGridCtrl::RepaintDamage() {
    const int from = m_model.RowsDamagedFrom();
    // A change that is not a row's, or one in the headings, may show anywhere.
    bool all = m_model.EverythingDamaged() || from <= GetFixedRowCount();
    for (int r = 0; r < GetFixedRowCount() && !all; ++r) all = m_model.RowDamaged(r);
    if (all) {
        viewport()->update();
        return;
    }
    const int width = viewport()->width();
    const int height = viewport()->height();
    const CCellRange vis = Layout().GetVisibleScrollRange();
    const GridSizeList& heights = m_model.RowHeights();
    int top = GetFixedRowHeight();
    if (vis.minRow < 0) {
        // No scrollable row is shown: only rows that came or went change the picture.
        if (from != INT_MAX) viewport()->update(0, top, width, height - top);
        return;
    }
    // The rows whose cells changed, and from the row before the first one that came or went
    // (the last row when rows were taken away) down to the bottom.
    QRegion damage;
    for (int r = vis.minRow; r <= vis.maxRow && r < GetRowCount() && top < height; ++r) {
        const int rh = heights.Get(r);
        if (r >= from - 1) {
            damage += QRect(0, top, width, height - top);
            break;
        }
        if (m_model.RowDamaged(r)) damage += QRect(0, top, width, rh + 1);
        top += rh;
    }
    if (!damage.isEmpty()) viewport()->update(damage);
}

// ---------------------------------------------------------------- overlays

void CGridCtrl::ShowOverlay(int row, int col, GridColour bk, GridColour fg, int durationMs,
                            int delayMs) {
    if (!IsValid(row, col) || durationMs <= 0) return;
    const qint64 now = Now();
    const qint64 start = now + std::max(0, delayMs);
    m_overlays.Add(row, col, {bk, fg}, start, start + durationMs);
    if (start <= now) InvalidateCellRect(CCellID(row, col));
    ScheduleOverlayTimer(now);
}

void CGridCtrl::ClearOverlays() {
    if (!m_overlays.IsEmpty()) RequestRepaint();
    m_overlays.Clear();
    m_overlayTimer.stop();
}

// The timer is re-armed only when the next change comes earlier than planned, so that
// flashing thousands of cells in a row stays cheap.
void CGridCtrl::ScheduleOverlayTimer(qint64 now) {
    const std::optional<qint64> next = m_overlays.NextChange();
    if (!next) {
        m_overlayTimer.stop();
        return;
    }
    if (m_overlayTimer.isActive() && m_overlayDue <= *next) return;
    m_overlayDue = *next;
    m_overlayTimer.start(int(std::clamp<qint64>(*next - now, 0, INT_MAX)));
}

void CGridCtrl::OnOverlayTimer() {
    const qint64 now = Now();
    for (const CCellID& cell : m_overlays.Advance(now)) InvalidateCellRect(cell);
    m_overlayTimer.stop();
    ScheduleOverlayTimer(now);
}

// ---------------------------------------------------------------- painting

void CGridCtrl::paintEvent(QPaintEvent* event) {
    if (!m_allowDraw) {
        // The screen keeps the old picture (the viewport paints opaquely); all of it is
        // painted again when drawing resumes.
        m_repaintAll = true;
        return;
    }
    QPainter painter(viewport());
    m_paintNow = Now();
    // Rect by rect: rows repainted far apart cost no more than those rows.
    for (const QRect& rect : event->region()) OnDraw(painter, rect);
    if (m_bandShown) {
        // The resize tracking band inverts what lies under it.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(TrackingBandRect(), Qt::white);
    }
}

void CGridCtrl::PaintEmptyArea(QPainter& p, const QRect& clip, const QRect& cells) {
    // K: the area being painted, V: the area the cells cover, both with exclusive edges.
    const int kl = clip.left(), kt = clip.top(), kr = clip.left() + clip.width(),
              kb = clip.top() + clip.height();
    const int vr = cells.width(), vb = cells.height();
    const int w = GetFixedColumnWidth(), h = GetFixedRowHeight();
    const QColor fixedBk = Colour(m_fixedBkColour);
    if (kl < w && kt < vb) p.fillRect(Ltrb(kl, kt, w, vb), fixedBk);
    if (kt < h && w < kr && kl < vr) p.fillRect(Ltrb(w - 1, kt, vr, h), fixedBk);
    const QRect body = Ltrb(std::max(kl, w), std::max(kt, h), std::min(kr, vr), std::min(kb, vb));
    if (!body.isEmpty()) p.fillRect(body, Colour(m_bkColour));
    const QColor shadow = Colour(m_shadowColour);
    if (vr < kr) p.fillRect(Ltrb(vr, kt, kr, kb), shadow);
    if (vb < kb && kl < vr) p.fillRect(Ltrb(kl, vb, vr, kb), shadow);
}

void CGridCtrl::OnDraw(QPainter& p, const QRect& clip) {
    if (clip.isEmpty()) return;
    QRect visibleRect;
    const CCellRange vis = Layout().GetVisibleScrollRange(&visibleRect);
    PaintEmptyArea(p, clip, visibleRect);

    const GridSizeList& widths = m_model.ColumnWidths();
    const GridSizeList& heights = m_model.RowHeights();
    const int fixedRows = GetFixedRowCount(), fixedCols = GetFixedColumnCount();
    const int w = GetFixedColumnWidth(), h = GetFixedRowHeight();
    const int clipTop = clip.top(), clipBottom = clip.bottom();
    const int clipLeft = clip.left(), clipRight = clip.right();

    // The corner of fixed rows and columns.
    for (int r = 0, top = 0; r < fixedRows; top += heights.Get(r), ++r)
        for (int c = 0, left = 0; c < fixedCols; left += widths.Get(c), ++c)
            DrawFixedCell(p, r, c, QRect(left, top, widths.Get(c), heights.Get(r)), false);

    // Walks rows [r0, r1] from y0 and columns [c0, c1] from x0, drawing those in the clip.
    auto drawBlock = [&](int r0, int r1, int y0, int c0, int c1, int x0, bool fixed) {
        int top = y0;
        for (int r = r0; r <= r1 && r < GetRowCount(); ++r) {
            const int rh = heights.Get(r);
            if (top > clipBottom) break;
            if (top + rh - 1 < clipTop) {
                top += rh;
                continue;
            }
            int left = x0;
            for (int c = c0; c <= c1 && c < GetColumnCount(); ++c) {
                const int cw = widths.Get(c);
                if (left > clipRight) break;
                if (left + cw - 1 >= clipLeft) {
                    const QRect rect(left, top, cw, rh);
                    if (fixed)
                        DrawFixedCell(p, r, c, rect, false);
                    else
                        DrawCell(p, r, c, rect, false);
                }
                left += cw;
            }
            top += rh;
        }
    };
    if (vis.minRow >= 0 && vis.maxRow >= vis.minRow)
        drawBlock(vis.minRow, vis.maxRow, h, 0, fixedCols - 1, 0, true);
    if (vis.minCol >= 0 && vis.maxCol >= vis.minCol)
        drawBlock(0, fixedRows - 1, 0, vis.minCol, vis.maxCol, w, true);
    if (vis.IsValid()) drawBlock(vis.minRow, vis.maxRow, h, vis.minCol, vis.maxCol, w, false);

    // Grid lines between the scrollable cells; fixed cells have their own borders.
    if (!vis.IsValid() || m_gridLines <= 0) return;
    p.setPen(QPen(Colour(m_gridColour), 0));
    if (m_gridLines == 2 || m_gridLines == 3) {
        int x = w;
        for (int c = vis.minCol; c <= vis.maxCol; ++c) {
            x += widths.Get(c);
            p.drawLine(x - 1, h, x - 1, visibleRect.height() - 1);
        }
    }
    if (m_gridLines == 1 || m_gridLines == 3) {
        int y = h;
        for (int r = vis.minRow; r <= vis.maxRow; ++r) {
            y += heights.Get(r);
            p.drawLine(w, y - 1, visibleRect.width() - 1, y - 1);
        }
    }
    p.setPen(Qt::NoPen);
}

void CGridCtrl::DrawCellText(QPainter& p, const QRect& rect, quint32 format, const QString& text,
                             const QFont& font) {
    if (text.isEmpty() || rect.isEmpty()) return;
    int flags = HorizontalAlignment(format).toInt();
    if (format & DT_SINGLELINE) {
        flags |= Qt::TextSingleLine;
        if (format & DT_VCENTER)
            flags |= Qt::AlignVCenter;
        else if (format & DT_BOTTOM)
            flags |= Qt::AlignBottom;
        else
            flags |= Qt::AlignTop;
    } else {
        flags |= Qt::AlignTop;
        if (format & DT_WORDBREAK) flags |= Qt::TextWordWrap;
    }
    if (!(format & DT_NOPREFIX)) flags |= Qt::TextShowMnemonic;
    if (format & DT_NOCLIP) flags |= Qt::TextDontClip;
    const QFont drawn = m_printing ? PrintedFont(font) : font;
    if (!(p.font() == drawn)) p.setFont(drawn);
    p.drawText(rect, flags, text);
}

GridOverlays::Colours CGridCtrl::ShownColours(const CGridCell& cell, int row, int col,
                                              bool* overlaid) const {
    // Paper shows the stored colours: the flashes and blinks are only for the screen.
    const std::optional<GridOverlays::Colours> overlay =
        m_printing ? std::nullopt : m_overlays.At(row, col, m_paintNow);
    if (overlaid) *overlaid = overlay.has_value();
    return overlay ? *overlay : GridOverlays::Colours{cell.bkClr, cell.fgClr};
}

void CGridCtrl::DrawCellImage(QPainter& p, const CGridCell& cell, int& l, int t, int& r) {
    const int margin = GetMargin();
    l += margin;
    r -= margin;
    if (cell.image >= 0 && cell.image < m_images.size()) {
        const QPixmap& image = m_images[cell.image];
        p.drawPixmap(l, t, image);
        l += margin + image.width() + 1;
    }
}

bool CGridCtrl::DrawFixedCell(QPainter& p, int row, int col, const QRect& cellRect, bool) {
    if (!m_allowDraw) return false;
    const CGridCell* cell = m_model.GetCell(row, col);
    if (!cell) return false;
    const GridOverlays::Colours shown = ShownColours(*cell, row, col);
    const GridColour bk = shown.bk == kGridDefaultColour ? m_fixedBkColour : shown.bk;
    const GridColour fg = shown.fg == kGridDefaultColour ? m_fixedTextColour : shown.fg;
    if (!m_printing) p.fillRect(cellRect, Colour(bk));

    QFont font = cell->font;
    const bool focusValid = IsValid(m_focusCell);
    const bool heading = focusValid && (row == m_focusCell.row || col == m_focusCell.col);
    if (heading) font.setWeight(QFont::DemiBold);

    // l, t: the cell's first pixel column and row; r, b: its last.
    int l = cellRect.left(), t = cellRect.top();
    int r = cellRect.left() + cellRect.width() - 1, b = cellRect.top() + cellRect.height() - 1;
    const QPalette& pal = palette();
    if (!heading) {
        // Raised: light top and left edges, dark right and bottom edges.
        p.setPen(QPen(pal.color(QPalette::Light), 0));
        p.drawLine(l, t, r - 1, t);
        p.drawLine(l, t, l, b - 1);
        p.setPen(QPen(pal.color(QPalette::Shadow), 0));
        p.drawLine(r, t, r, b);
        p.drawLine(l + 1, b, r, b);
        l += 1, t += 1, r -= 1, b -= 1;
    } else {
        // Sunken: the heading of the focus cell's row or column.
        p.setPen(QPen(pal.color(QPalette::Shadow), 0));
        p.drawLine(l, t, r, t);
        p.drawLine(l, t, l, b);
        p.setPen(QPen(pal.color(QPalette::Midlight), 0));
        p.drawLine(r, t + 1, r, b);
        p.drawLine(l + 1, b, r, b);
        l += 1, t += 1;  // the rectangle grew by one at right and bottom, then shrank by one
    }
    DrawCellImage(p, *cell, l, t, r);
    p.setPen(Colour(fg));
    DrawCellText(p, Ltrb(l, t, r, b), cell->format, GetItemText(row, col), font);
    return true;
}

bool CGridCtrl::DrawCell(QPainter& p, int row, int col, const QRect& cellRect, bool) {
    if (!m_allowDraw) return false;
    const CGridCell* cell = m_model.GetCell(row, col);
    if (!cell) return false;
    bool overlaid = false;
    const GridOverlays::Colours shown = ShownColours(*cell, row, col, &overlaid);
    const QColor bk = Colour(shown.bk == kGridDefaultColour ? m_bkColour : shown.bk);
    QColor fg = Colour(shown.fg == kGridDefaultColour ? m_textColour : shown.fg);

    int l = cellRect.left(), t = cellRect.top();
    int r = cellRect.left() + cellRect.width() - 1, b = cellRect.top() + cellRect.height() - 1;
    // The fill covers the whole cell; the grid lines drawn later take its last row and column.
    // Paper shows neither focus nor selection nor drop highlighting.
    if (m_printing) {
        p.fillRect(cellRect, bk);
    } else if (cell->state & GVIS_FOCUSED) {
        p.fillRect(cellRect, bk);
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(l, t, r - 1 - l, b - 1 - t);
        l += 1, t += 1, r -= 1, b -= 1;
    } else if ((cell->state & GVIS_SELECTED) && !overlaid) {
        p.fillRect(cellRect, palette().color(QPalette::Highlight));
        fg = palette().color(QPalette::HighlightedText);
    } else {
        p.fillRect(cellRect, bk);
    }
    if ((cell->state & GVIS_DROPHILITED) && !m_printing) {
        p.setPen(QPen(Qt::black, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(l, t, r - 1 - l, b - 1 - t);
    }
    DrawCellImage(p, *cell, l, t, r);
    p.setPen(fg);
    DrawCellText(p, Ltrb(l, t, r, b), cell->format, GetItemText(row, col), cell->font);
    return true;
}
