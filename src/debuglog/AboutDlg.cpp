#include "debuglog/AboutDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
constexpr int kIconExtent = 32;
}  // namespace

QString CAboutDlg::VersionText() {
    return QStringLiteral("Version ") + QString::fromLatin1(kVersion);
}

CAboutDlg::CAboutDlg(QWidget* parent, const QIcon& icon) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setModal(true);

    QIcon shown = icon;
    if (shown.isNull()) shown = QApplication::windowIcon();
    if (shown.isNull()) shown = style()->standardIcon(QStyle::SP_ComputerIcon);
    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("icon"));
    iconLabel->setPixmap(shown.pixmap(kIconExtent, kIconExtent));

    auto* version = new QLabel(VersionText(), this);
    version->setObjectName(QStringLiteral("version"));
    auto* description = new QLabel(QString::fromLatin1(kDescription), this);
    description->setObjectName(QStringLiteral("description"));

    auto* texts = new QVBoxLayout;
    texts->addWidget(version);
    texts->addWidget(description);
    auto* top = new QHBoxLayout;
    top->addWidget(iconLabel, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CAboutDlg::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
