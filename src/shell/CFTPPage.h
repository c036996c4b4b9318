#pragma once

#include <memory>

#include "shell/COptionPage.h"

namespace Ui {
class CFTPPage;
}

// "Address Book": the periodic retrieval and the FTP server it fetches from.
class CFTPPage : public COptionPage {
    Q_OBJECT
public:
    explicit CFTPPage(QWidget* parent = nullptr);
    ~CFTPPage() override;

    void Load(const Settings& settings) override;
    void Save(Settings& settings) const override;

private:
    std::unique_ptr<Ui::CFTPPage> m_ui;
};
