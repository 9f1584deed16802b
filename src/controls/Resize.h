#pragma once

#include <QList>
#include <QMap>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <memory>

class QSizeGrip;

// Lets a dialog without a layout be resized: every registered child control moves or
// stretches by fixed fractions of the size change, the dialog cannot shrink below its
// initial size, and a size grip sits in the bottom-right corner.
//
// Use: build the dialog's controls at their initial geometry, give the dialog its initial
// size, construct CResize, call Init(), then register the controls with AddControl(). Resize
// events of the owner are picked up by an event filter; nothing else needs forwarding.
//
// Each control keeps its rectangle as floats, so fractional factors do not drift however
// often the dialog is resized.
class CResize {
public:
    // Option bits for the constructor.
    enum Option : unsigned {
        kNoSizeGrip = 0x01,
        kFixedWidth = 0x02,   // width fixed at the width the dialog has at Init()
        kFixedHeight = 0x04,  // height fixed at the height the dialog has at Init()
        kNoMinSize = 0x08,    // otherwise the size at Init() is the smallest size
        // Accepted for compatibility and ignored: Qt always clips a widget's painting to
        // itself and its children, and a QGroupBox never paints over its siblings.
        kNoClipChildren = 0x10,
        kNoTransparentGroupBoxes = 0x20,
    };

    // Id under which the size grip is registered.
    static constexpr int kSizeGripId = 0x7FFF;
    static constexpr int kSizeGripExtent = 16;

    struct RectF {
        float left = 0, top = 0, right = 0, bottom = 0;
        bool operator==(const RectF&) const = default;
    };
    struct Factors {
        float left = 0, top = 0, right = 0, bottom = 0;
        bool operator==(const Factors&) const = default;
    };

    // The rectangle after the dialog grew by (dx, dy) (negative: shrank), in 32-bit floats.
    static RectF Moved(const RectF& rect, const Factors& factors, int dx, int dy);
    // The integer geometry of a float rectangle; every value is truncated toward zero.
    static QRect ToGeometry(const RectF& rect);

    explicit CResize(QWidget* owner, unsigned options = 0);
    ~CResize();
    CResize(const CResize&) = delete;
    CResize& operator=(const CResize&) = delete;

    // Records the owner's current size as the starting point, sets the size limits and
    // creates the size grip. Call once, after the dialog has its initial size.
    void Init();

    // Registers a child control (any widget below the owner) with its factors. Registering
    // the same control again adds the factors to the ones it has.
    void AddControl(QWidget* control, float left, float top, float right, float bottom);
    // Registers a control by id; the owner names its controls with SetControlId() first. An
    // id without a control is still registered but never moves anything.
    void AddControl(int id, float left, float top, float right, float bottom);
    void SetControlId(int id, QWidget* control);
    QWidget* Control(int id) const;

    // Repositions the registered controls for the owner's new size. Called by the event
    // filter on every resize of the owner; public for owners that deliver sizes themselves.
    void OnSize(const QSize& newSize);

    unsigned Options() const { return m_options; }
    QSizeGrip* SizeGrip() const { return m_sizeGrip; }
    int ItemCount() const { return static_cast<int>(m_items.size()); }
    // The factors a control or id is registered with (zero factors when not registered).
    Factors FactorsOf(const QWidget* control) const;
    Factors FactorsOf(int id) const;

private:
    struct CItem {
        QPointer<QWidget> control;
        int id = -1;  // -1 when registered by widget
        Factors factors;
        RectF rect;  // in the owner's coordinates
    };
    class ResizeFilter;

    CItem* Find(const QWidget* control, int id);
    const CItem* Find(const QWidget* control, int id) const;
    void Register(QWidget* control, int id, const Factors& factors);
    RectF RectInOwner(const QWidget* control) const;
    void Place(QWidget* control, const QRect& geometryInOwner) const;

    QPointer<QWidget> m_owner;
    unsigned m_options;
    QList<CItem> m_items;
    QMap<int, QPointer<QWidget>> m_ids;
    QSize m_lastSize;  // invalid until Init()
    QPointer<QSizeGrip> m_sizeGrip;
    std::unique_ptr<ResizeFilter> m_filter;
};
