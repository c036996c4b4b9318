#include "shell/CSoundPage.h"

#include <QFileInfo>

#include "app/Settings.h"
#include "shell/FileDialog.h"
#include "shell/Resources.h"
#include "ui_CSoundPage.h"

CSoundPage::CSoundPage(SoundPlayer play, QWidget* parent)
    : COptionPage(parent), m_ui(std::make_unique<Ui::CSoundPage>()), m_play(std::move(play)) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("soundPage"));
    AddNumberField(m_ui->notifyIntervalField, PreferenceRules::kNotifyInterval);
    m_rows = {
        {m_ui->welcomeField, m_ui->welcomeFileButton, m_ui->welcomePlayButton,
         BuiltinSound::kWelcome},
        {m_ui->errorField, m_ui->errorFileButton, m_ui->errorPlayButton, BuiltinSound::kError},
        {m_ui->messageField, m_ui->messageFileButton, m_ui->messagePlayButton,
         BuiltinSound::kMessage},
        {m_ui->leaveField, m_ui->leaveFileButton, m_ui->leavePlayButton, BuiltinSound::kLeave},
    };
    const QIcon fileIcon = Resources::ToolbarIcon("document-open", ":/toolbar/icons/toolbar/open");
    const QIcon playIcon =
        Resources::ToolbarIcon("audio-volume-high", ":/toolbar/icons/toolbar/speaker");
    QList<QWidget*> group{m_ui->notifyIntervalField};
    for (const Row& row : std::as_const(m_rows)) {
        row.fileButton->setIcon(fileIcon);
        row.playButton->setIcon(playIcon);
        connect(row.fileButton, &QToolButton::clicked, this, [this, row] { ChooseFile(row); });
        connect(row.playButton, &QToolButton::clicked, this, [this, row] { Play(row); });
        group << row.field << row.fileButton << row.playButton;
    }
    EnableWith(m_ui->notifyCheck, group);
}

CSoundPage::~CSoundPage() = default;

void CSoundPage::Load(const Settings& settings) {
    m_ui->notifyCheck->setChecked(settings.m_bNotify != 0);
    SetNumber(m_ui->notifyIntervalField, settings.m_nNotifyInterval);
    m_ui->welcomeField->setText(settings.m_strWelcomeSound);
    m_ui->errorField->setText(settings.m_strErrorSound);
    m_ui->messageField->setText(settings.m_strMessageSound);
    m_ui->leaveField->setText(settings.m_strLeaveSound);
}

void CSoundPage::Save(Settings& settings) const {
    settings.m_bNotify = m_ui->notifyCheck->isChecked() ? 1 : 0;
    settings.m_nNotifyInterval = Number(m_ui->notifyIntervalField);
    settings.m_strWelcomeSound = m_ui->welcomeField->text();
    settings.m_strErrorSound = m_ui->errorField->text();
    settings.m_strMessageSound = m_ui->messageField->text();
    settings.m_strLeaveSound = m_ui->leaveField->text();
}

void CSoundPage::ChooseFile(const Row& row) {
    const QString current = row.field->text();
    const QString chosen = FileDialog::GetOpenFileName(
        this, current.isEmpty() ? QString() : QFileInfo(current).absolutePath(),
        tr("Wave Files (*.wav);;All Files (*)"), QStringLiteral("wav"));
    if (!chosen.isEmpty())
        row.field->setText(chosen);
}

void CSoundPage::Play(const Row& row) const {
    // The sound as it stands on the page, saved or not.
    SoundSpec sound;
    sound.m_strFilePath = row.field->text();
    sound.m_nBuiltinId = row.builtinId;
    if (m_play)
        m_play(sound);
}
