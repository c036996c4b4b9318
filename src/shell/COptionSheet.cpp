#include "shell/COptionSheet.h"

#include <QDialogButtonBox>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "shell/CCommPage.h"
#include "shell/CDataPage.h"
#include "shell/CFTPPage.h"
#include "shell/CPProfilePage.h"
#include "shell/ControlNames.h"
#include "shell/Resources.h"

COptionSheet::COptionSheet(const Settings& settings, CSoundPage::SoundPlayer play, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("optionSheet"));
    setWindowTitle(tr("Options"));
    setAccessibleName(tr("Options"));
    setWindowIcon(Resources::ProgramIcon());

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("optionTabs"));
    m_tabs->setAccessibleName(tr("Option pages"));
    // A click on a tab takes the focus, as leaving a field for any other control does.
    m_tabs->tabBar()->setFocusPolicy(Qt::StrongFocus);
    // Every tab in sight: the sheet is as wide as its five tabs.
    m_tabs->setUsesScrollButtons(false);
    m_profile = new CPProfilePage;
    m_data = new CDataPage;
    m_sound = new CSoundPage(std::move(play));
    m_comm = new CCommPage;
    m_ftp = new CFTPPage;
    m_pages = {m_profile, m_data, m_sound, m_comm, m_ftp};
    for (COptionPage* page : std::as_const(m_pages)) {
        page->Load(settings);
        page->setAccessibleName(page->windowTitle());
        m_tabs->addTab(page, page->windowTitle());
    }
    connect(m_tabs, &QTabWidget::currentChanged, this, &COptionSheet::OnPageChanged);
    connect(m_profile, &CPProfilePage::nameWanted, this,
            [this] { m_tabs->setCurrentWidget(m_profile); });

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->setObjectName(QStringLiteral("buttonBox"));
    ControlNames::NameStandardButtons(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &COptionSheet::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &COptionSheet::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);
    setMinimumWidth(520);
    m_profile->FocusName();
}

COptionSheet::~COptionSheet() = default;

void COptionSheet::CopyInto(Settings& settings) const {
    for (const COptionPage* page : m_pages)
        page->Save(settings);
}

void COptionSheet::OnPageChanged(int index) {
    if (index == m_nCurrent)
        return;
    // The page being left is checked in front, so that a field out of range can be selected;
    // while one is, the user stays on that page.
    const QSignalBlocker block(m_tabs);
    m_tabs->setCurrentIndex(m_nCurrent);
    if (!m_pages[m_nCurrent]->Validate())
        return;
    m_nCurrent = index;
    m_tabs->setCurrentIndex(index);
}

void COptionSheet::accept() {
    COptionPage* current = m_pages.value(m_tabs->currentIndex());
    if (current && !current->Validate())
        return;
    if (!m_data->PrepareDirectory()) {
        m_tabs->setCurrentWidget(m_data);
        return;
    }
    QDialog::accept();
}
