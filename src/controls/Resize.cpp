#include "controls/Resize.h"

#include <QEvent>
#include <QResizeEvent>
#include <QSizeGrip>

// Watches the owner's resize events; a plain class cannot be an event filter itself.
class CResize::ResizeFilter : public QObject {
public:
    explicit ResizeFilter(CResize& resize) : m_resize(resize) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_resize.m_owner && event->type() == QEvent::Resize)
            m_resize.OnSize(static_cast<QResizeEvent*>(event)->size());
        return false;
    }

private:
    CResize& m_resize;
};

CResize::RectF CResize::Moved(const RectF& rect, const Factors& f, int dx, int dy) {
    const float fx = static_cast<float>(dx);
    const float fy = static_cast<float>(dy);
    return {rect.left + f.left * fx, rect.top + f.top * fy, rect.right + f.right * fx,
            rect.bottom + f.bottom * fy};
}

QRect CResize::ToGeometry(const RectF& r) {
    // static_cast truncates toward zero, also for negative values.
    return QRect(static_cast<int>(r.left), static_cast<int>(r.top),
                 static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top));
}

CResize::CResize(QWidget* owner, unsigned options)
    : m_owner(owner), m_options(options), m_filter(std::make_unique<ResizeFilter>(*this)) {
    if (m_owner) m_owner->installEventFilter(m_filter.get());
}

CResize::~CResize() {
    // An owner destroyed first took its filter list with it; m_owner is then null.
    if (m_owner) m_owner->removeEventFilter(m_filter.get());
}

void CResize::Init() {
    if (!m_owner) return;
    m_lastSize = m_owner->size();
    if (!(m_options & kNoMinSize)) m_owner->setMinimumSize(m_lastSize);
    if (m_options & kFixedWidth) {
        m_owner->setMinimumWidth(m_lastSize.width());
        m_owner->setMaximumWidth(m_lastSize.width());
    }
    if (m_options & kFixedHeight) {
        m_owner->setMinimumHeight(m_lastSize.height());
        m_owner->setMaximumHeight(m_lastSize.height());
    }
    if (!(m_options & kNoSizeGrip) && !m_sizeGrip) {
        m_sizeGrip = new QSizeGrip(m_owner);
        m_sizeGrip->setObjectName(QStringLiteral("sizeGrip"));
        m_sizeGrip->setFixedSize(kSizeGripExtent, kSizeGripExtent);
        m_sizeGrip->move(m_lastSize.width() - kSizeGripExtent,
                         m_lastSize.height() - kSizeGripExtent);
        m_sizeGrip->show();
        m_sizeGrip->raise();
        SetControlId(kSizeGripId, m_sizeGrip);
        AddControl(kSizeGripId, 1, 1, 1, 1);
    }
}

void CResize::SetControlId(int id, QWidget* control) {
    m_ids.insert(id, control);
}

QWidget* CResize::Control(int id) const {
    return m_ids.value(id).data();
}

void CResize::AddControl(QWidget* control, float left, float top, float right, float bottom) {
    if (!control) return;
    Register(control, -1, {left, top, right, bottom});
}

void CResize::AddControl(int id, float left, float top, float right, float bottom) {
    Register(Control(id), id, {left, top, right, bottom});
}

void CResize::Register(QWidget* control, int id, const Factors& f) {
    if (CItem* item = Find(control, id)) {
        item->factors.left += f.left;
        item->factors.top += f.top;
        item->factors.right += f.right;
        item->factors.bottom += f.bottom;
        if (item->id < 0) item->id = id;
        return;
    }
    CItem item;
    item.control = control;
    item.id = id;
    item.factors = f;
    if (control) item.rect = RectInOwner(control);
    m_items.append(item);
}

CResize::CItem* CResize::Find(const QWidget* control, int id) {
    for (CItem& item : m_items) {
        if (control && item.control == control) return &item;
        if (id >= 0 && item.id == id) return &item;
    }
    return nullptr;
}

const CResize::CItem* CResize::Find(const QWidget* control, int id) const {
    return const_cast<CResize*>(this)->Find(control, id);
}

CResize::Factors CResize::FactorsOf(const QWidget* control) const {
    const CItem* item = control ? Find(control, -1) : nullptr;
    return item ? item->factors : Factors{};
}

CResize::Factors CResize::FactorsOf(int id) const {
    const CItem* item = Find(Control(id), id);
    return item ? item->factors : Factors{};
}

CResize::RectF CResize::RectInOwner(const QWidget* control) const {
    QRect g = control->geometry();
    if (QWidget* parent = control->parentWidget(); parent && parent != m_owner)
        g.moveTopLeft(parent->mapTo(m_owner, g.topLeft()));
    return {static_cast<float>(g.left()), static_cast<float>(g.top()),
            static_cast<float>(g.left() + g.width()), static_cast<float>(g.top() + g.height())};
}

void CResize::Place(QWidget* control, const QRect& geometryInOwner) const {
    QRect g = geometryInOwner;
    if (QWidget* parent = control->parentWidget(); parent && parent != m_owner)
        g.moveTopLeft(parent->mapFrom(m_owner, g.topLeft()));
    control->setGeometry(g);
}

void CResize::OnSize(const QSize& newSize) {
    if (m_items.isEmpty() || !m_lastSize.isValid()) {
        if (m_lastSize.isValid()) m_lastSize = newSize;
        return;
    }
    const int dx = newSize.width() - m_lastSize.width();
    const int dy = newSize.height() - m_lastSize.height();

    // Work out every move first, then apply them all in one go so the dialog repaints once.
    QList<QPair<QWidget*, QRect>> moves;
    for (CItem& item : m_items) {
        const RectF moved = Moved(item.rect, item.factors, dx, dy);
        if (moved == item.rect) continue;
        item.rect = moved;
        if (item.control) moves.append({item.control.data(), ToGeometry(moved)});
    }
    if (!moves.isEmpty()) {
        const bool updates = m_owner->updatesEnabled();
        m_owner->setUpdatesEnabled(false);
        for (const auto& [control, geometry] : moves) Place(control, geometry);
        m_owner->setUpdatesEnabled(updates);
    }
    m_lastSize = newSize;
}
