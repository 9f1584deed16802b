#pragma once

#include <QAccessible>

// Whether an assistive-technology client listens, and the way to tell it something: the
// controls make and send their accessibility events only while one listens. A test stands in
// for the client with a sink of its own, since the offscreen platform has no accessibility
// bridge and Qt passes events on only while one is active.
class AccessibleClient {
public:
    using Sink = void (*)(QAccessibleEvent* event);

    static bool Listening() { return s_testSink || QAccessible::isActive(); }
    static void Send(QAccessibleEvent& event) {
        if (!s_testSink) {
            QAccessible::updateAccessibility(&event);
            return;
        }
        // What Qt does for an active bridge: a table hears of its own changes first.
        if (event.type() == QAccessible::TableModelChanged)
            if (QAccessibleInterface* iface = event.accessibleInterface())
                if (QAccessibleTableInterface* table = iface->tableInterface())
                    table->modelChange(static_cast<QAccessibleTableModelChangeEvent*>(&event));
        s_testSink(&event);
    }
    // Events go to `sink` instead of the platform, and Listening() is true; nullptr ends it.
    static void SetTestSink(Sink sink) { s_testSink = sink; }

private:
    static inline Sink s_testSink = nullptr;
};
