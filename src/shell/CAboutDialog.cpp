#include "shell/CAboutDialog.h"

#include "shell/ControlNames.h"
#include "shell/Resources.h"
#include "ui_CAboutDialog.h"

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDialog>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("aboutDialog"));
    m_ui->iconLabel->setPixmap(Resources::ProgramIcon().pixmap(48, 48));
    ControlNames::NameStandardButtons(m_ui->buttonBox);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

CAboutDialog::~CAboutDialog() = default;
