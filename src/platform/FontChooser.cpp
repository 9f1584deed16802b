#include "platform/FontChooser.h"

#include <QFontDialog>

bool DialogFontChooser::ChooseFont(QWidget* parent, QFont& font) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, parent);
    if (ok) font = chosen;
    return ok;
}
