#pragma once

#include <QDialog>
#include <QList>

#include "shell/CSoundPage.h"

class CCommPage;
class CDataPage;
class CFTPPage;
class COptionPage;
class CPProfilePage;
class QDialogButtonBox;
class QTabWidget;
struct Settings;

// The Preferences sheet "Options": five pages that take their values from a settings record
// and, once the user confirms, give them back. Nothing reaches the record before that.
class COptionSheet : public QDialog {
    Q_OBJECT
public:
    COptionSheet(const Settings& settings, CSoundPage::SoundPlayer play, QWidget* parent = nullptr);
    ~COptionSheet() override;

    // Copies every page's values into settings.
    void CopyInto(Settings& settings) const;

    QTabWidget* Tabs() const { return m_tabs; }
    QDialogButtonBox* Buttons() const { return m_buttons; }
    CPProfilePage* ProfilePage() const { return m_profile; }
    CDataPage* DataPage() const { return m_data; }
    CSoundPage* SoundPage() const { return m_sound; }
    CCommPage* CommPage() const { return m_comm; }
    CFTPPage* FtpPage() const { return m_ftp; }

    // Confirms when the page in front holds valid numbers and the data directory can be used.
    void accept() override;

private:
    void OnPageChanged(int index);

    QTabWidget* m_tabs = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    CPProfilePage* m_profile = nullptr;
    CDataPage* m_data = nullptr;
    CSoundPage* m_sound = nullptr;
    CCommPage* m_comm = nullptr;
    CFTPPage* m_ftp = nullptr;
    QList<COptionPage*> m_pages;  // in tab order
    int m_nCurrent = 0;
};
