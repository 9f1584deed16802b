#pragma once

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

// Whether the screen (the window's backing store) shows what `view` paints afresh: nothing
// it should have repainted was left as it was.
inline bool ScreenShowsWidget(QWidget* view) {
    const QPoint at = view->mapTo(view->window(), QPoint(0, 0));
    const QImage shown = QGuiApplication::primaryScreen()
                             ->grabWindow(view->window()->winId(), at.x(), at.y(), view->width(),
                                          view->height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const QImage painted = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return shown == painted;
}
