#include "flashwell/app/devinfo_dlg.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "flashwell/procedure/flashwell_texts.h"
#include "vt5api/ui/named_font.h"
#include "vt5api/ui/ui_text.h"

CDevinfoDlg::CDevinfoDlg(const std::string& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(UiText(kDevinfoCaption));
    info_ = new QLabel(UiText(text));
    info_->setObjectName(QStringLiteral("labelInfo"));
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(10);
    info_->setFont(FamilyIfInstalled(QStringLiteral("Courier New"), 10, fixed));
    info_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    info_->setMargin(8);
    // Serials and IDs are for copying into a support request.
    info_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("buttonOk"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(info_, 1);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

QString CDevinfoDlg::text() const {
    return info_->text();
}
