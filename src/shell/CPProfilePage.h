#pragma once

#include <memory>

#include "shell/COptionPage.h"

namespace Ui {
class CPProfilePage;
}

// "Personal Profile": the name and the four texts sent with every note.
class CPProfilePage : public COptionPage {
    Q_OBJECT
public:
    explicit CPProfilePage(QWidget* parent = nullptr);
    ~CPProfilePage() override;

    void Load(const Settings& settings) override;
    void Save(Settings& settings) const override;
    // Puts the keyboard focus into the name, where the sheet starts.
    void FocusName();

Q_SIGNALS:
    // The name was found empty: the page wants to be shown, with the focus in the name.
    void nameWanted();

private:
    void QueueNameCheck(Qt::FocusReason reason);
    void CheckName();

    std::unique_ptr<Ui::CPProfilePage> m_ui;
    bool m_bNameCheckQueued = false;
    bool m_bCheckingName = false;
};
