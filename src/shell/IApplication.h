#pragma once

#include <QString>

class RegistryStore;
struct Settings;
struct SoundSpec;

// What the windows, documents and services ask of the one application object: the settings
// record and its store, a few facts about this machine and desktop, the sounds, and the counts
// that several windows keep together. The application object implements it and hands it to
// each part it makes, so that nothing below it depends on the application object itself.
class IApplication {
public:
    static constexpr const char* kAppTitle = "Quillpad";

    virtual ~IApplication() = default;

    virtual Settings& GetSettings() = 0;
    virtual const Settings& GetSettings() const = 0;
    virtual const RegistryStore& Store() const = 0;
    // Keeps new print margins (twips), hands them to every log view and saves them.
    virtual void SetPrintMargins(int left, int top, int right, int bottom) = 0;
    virtual QString GetLogFilePath() const = 0;

    virtual const QString& GetComputerName() const = 0;
    virtual bool IsTrayMode() const = 0;
    // Plays one of the program's sounds; callable from any thread.
    virtual void PlayNotificationSound(const SoundSpec& sound) const = 0;

    // Live log views (they name their saved placements), open message windows (likewise), and
    // shown received notes neither answered nor closed (the reminder repeats while there are).
    int m_nLiveViewCount = 0;
    int m_nMessageWindowCount = 0;
    int m_nUnansweredNoteCount = 0;
};
