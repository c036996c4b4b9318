#include "shell/CAboutDialog.h"

#include <QPushButton>

#include "shell/Resources.h"
#include "ui_CAboutDialog.h"

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDialog>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("aboutDialog"));
    m_ui->iconLabel->setPixmap(Resources::ProgramIcon().pixmap(48, 48));
    QPushButton* ok = m_ui->buttonBox->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setAccessibleName(ok->objectName());
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

CAboutDialog::~CAboutDialog() = default;
