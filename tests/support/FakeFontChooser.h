#pragma once

#include <QFont>
#include <QList>

#include "platform/FontChooser.h"

// Answers the font dialog with a preset font (or Cancel) and records the font it opened on.
class FakeFontChooser : public FontChooser {
public:
    bool ChooseFont(QWidget*, QFont& font) override {
        opened.append(font);
        if (!accept) return false;
        font = answer;
        return true;
    }

    bool accept = true;
    QFont answer;
    QList<QFont> opened;
};
