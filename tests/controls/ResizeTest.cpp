#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QSizeGrip>
#include <memory>

#include "controls/Resize.h"

namespace {

TEST(ResizeArithmetic, FactorsScaleTheSizeChangeAndTruncateTowardZero) {
    const CResize::RectF r{10, 20, 110, 70};
    EXPECT_EQ(CResize::Moved(r, {1, 1, 1, 1}, 100, 50), (CResize::RectF{110, 70, 210, 120}));
    EXPECT_EQ(CResize::Moved(r, {0.5f, 0, 0.5f, 0}, -3, 9), (CResize::RectF{8.5f, 20, 108.5f, 70}));
    EXPECT_EQ(CResize::ToGeometry({-0.5f, -1.5f, 110.2f, 70.99f}), QRect(0, -1, 110, 72));
}

// A layout-less dialog of 400 x 300 with buttons at fixed places.
class ResizeWidgetTest : public ::testing::Test {
protected:
    void Build(unsigned options) {
        resize.reset();
        dialog = std::make_unique<QDialog>();
        grid = Button(QRect(10, 10, 280, 200));
        corner = Button(QRect(300, 250, 80, 30));
        dialog->resize(400, 300);
        dialog->show();
        resize = std::make_unique<CResize>(dialog.get(), options);
        resize->Init();
    }
    QPushButton* Button(const QRect& geometry) {
        auto* b = new QPushButton(dialog.get());
        b->setGeometry(geometry);
        return b;
    }
    void GrowBy(int dx, int dy) { dialog->resize(dialog->size() + QSize(dx, dy)); }

    std::unique_ptr<QDialog> dialog;
    std::unique_ptr<CResize> resize;
    QPushButton* grid = nullptr;
    QPushButton* corner = nullptr;
};

TEST_F(ResizeWidgetTest, GrowingMovesAndStretchesShrinkingBelowTheStartIsRefused) {
    Build(0);
    resize->AddControl(grid, 0, 0, 1, 1);
    resize->AddControl(corner, 1, 1, 1, 1);
    ASSERT_NE(resize->SizeGrip(), nullptr);
    EXPECT_EQ(resize->SizeGrip()->geometry(), QRect(384, 284, 16, 16));

    GrowBy(100, 50);
    EXPECT_EQ(corner->geometry(), QRect(400, 300, 80, 30)) << "moved, not resized";
    EXPECT_EQ(grid->geometry(), QRect(10, 10, 380, 250)) << "stretched, not moved";
    EXPECT_EQ(resize->SizeGrip()->geometry(), QRect(484, 334, 16, 16));

    GrowBy(-200, -100);
    EXPECT_EQ(dialog->size(), QSize(400, 300)) << "the initial size is the minimum";
    EXPECT_EQ(corner->geometry(), QRect(300, 250, 80, 30));
    EXPECT_EQ(grid->geometry(), QRect(10, 10, 280, 200));
}

TEST_F(ResizeWidgetTest, DoubleRegistrationAddsFactorsAndHalvesDoNotDrift) {
    Build(0);
    QPushButton* twice = Button(QRect(10, 250, 60, 20));
    QPushButton* once = Button(QRect(100, 250, 60, 20));
    QPushButton* half = Button(QRect(200, 10, 40, 20));
    resize->AddControl(twice, 0.5f, 0, 0.5f, 0);
    resize->AddControl(twice, 0.5f, 0, 0.5f, 0);
    resize->AddControl(once, 1, 0, 1, 0);
    resize->AddControl(half, 0.5f, 0, 0.5f, 0);

    for (int i = 0; i < 11; ++i) GrowBy(1, 0);
    EXPECT_EQ(twice->geometry(), QRect(21, 250, 60, 20));
    EXPECT_EQ(once->geometry(), QRect(111, 250, 60, 20));
    // Eleven one-pixel steps at one half: 5.5, shown as 5 (integer rectangles would stay at 0).
    EXPECT_EQ(half->geometry(), QRect(205, 10, 40, 20));
}

TEST_F(ResizeWidgetTest, ControlsByIdIncludingMissingAndDestroyedOnes) {
    Build(0);
    resize->SetControlId(4000, corner);
    resize->AddControl(4000, 1, 1, 1, 1);
    resize->AddControl(1421, 1, 1, 1, 1);    // no such control: registered, never moved
    resize->AddControl(corner, 0, 0, 0, 1);  // the same control by widget: factors add up
    EXPECT_EQ(resize->FactorsOf(4000), (CResize::Factors{1, 1, 1, 2}));
    EXPECT_EQ(resize->ItemCount(), 3) << "size grip, 4000 and 1421";

    GrowBy(20, 10);
    EXPECT_EQ(corner->geometry(), QRect(320, 260, 80, 40));
    delete corner;
    GrowBy(20, 10);
    EXPECT_EQ(resize->SizeGrip()->geometry(), QRect(424, 304, 16, 16));
}

TEST_F(ResizeWidgetTest, OptionBits) {
    Build(CResize::kNoSizeGrip | CResize::kNoMinSize);
    EXPECT_EQ(resize->SizeGrip(), nullptr);
    EXPECT_EQ(dialog->findChild<QSizeGrip*>(), nullptr);
    resize->AddControl(corner, 1, 1, 1, 1);
    GrowBy(-100, -50);
    EXPECT_EQ(dialog->size(), QSize(300, 250)) << "no minimum size";
    EXPECT_EQ(corner->geometry(), QRect(200, 200, 80, 30));

    Build(CResize::kFixedWidth);
    GrowBy(100, 50);
    EXPECT_EQ(dialog->size(), QSize(400, 350));
    Build(CResize::kFixedHeight);
    GrowBy(100, 50);
    EXPECT_EQ(dialog->size(), QSize(500, 300));
}

}  // namespace
