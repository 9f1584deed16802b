#pragma once

class QFont;
class QWidget;

// The font dialog, behind a seam so that tests answer it without a user.
class FontChooser {
public:
    virtual ~FontChooser() = default;
    // Opens on `font`; on OK stores the choice in `font` and returns true. Cancel leaves
    // `font` as it was and returns false.
    virtual bool ChooseFont(QWidget* parent, QFont& font) = 0;
};

// The real dialog: QFontDialog, with the underline and strike-out effects.
class DialogFontChooser : public FontChooser {
public:
    bool ChooseFont(QWidget* parent, QFont& font) override;
};
