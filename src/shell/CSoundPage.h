#pragma once

#include <functional>
#include <memory>

#include "shell/COptionPage.h"
#include "shell/SoundSpec.h"

class QLineEdit;
class QToolButton;

namespace Ui {
class CSoundPage;
}

// "Sound": the reminder and the four sounds, each with a chooser and a button that plays it.
class CSoundPage : public COptionPage {
    Q_OBJECT
public:
    using SoundPlayer = std::function<void(const SoundSpec&)>;

    explicit CSoundPage(SoundPlayer play, QWidget* parent = nullptr);
    ~CSoundPage() override;

    void Load(const Settings& settings) override;
    void Save(Settings& settings) const override;

private:
    struct Row {
        QLineEdit* field;
        QToolButton* fileButton;
        QToolButton* playButton;
        quint16 builtinId;
    };
    void ChooseFile(const Row& row);
    void Play(const Row& row) const;

    std::unique_ptr<Ui::CSoundPage> m_ui;
    SoundPlayer m_play;
    QList<Row> m_rows;  // Welcome, Error, Message, Leave
};
