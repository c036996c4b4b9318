#include "shell/SoundSpec.h"

#include "app/Settings.h"
#include "shell/SoundPlayer.h"

namespace {

SoundSpec MakeSound(const QString& filePath, quint16 builtinId) {
    SoundSpec spec;
    spec.m_strFilePath = filePath;
    spec.m_nBuiltinId = builtinId;
    return spec;
}

}  // namespace

SoundSpec WelcomeSound(const Settings& settings) {
    return MakeSound(settings.m_strWelcomeSound, BuiltinSound::kWelcome);
}

SoundSpec LeaveSound(const Settings& settings) {
    return MakeSound(settings.m_strLeaveSound, BuiltinSound::kLeave);
}

SoundSpec MessageSound(const Settings& settings) {
    return MakeSound(settings.m_strMessageSound, BuiltinSound::kMessage);
}

SoundSpec ErrorSound(const Settings& settings) {
    return MakeSound(settings.m_strErrorSound, BuiltinSound::kError);
}

void PlayNotificationSound(const SoundSpec& spec, ISoundPlayer& player) {
    if (!player.HasOutputDevice())
        player.Beep(spec.m_nBeepFrequency, spec.m_nBeepDuration);
    else if (!spec.m_strFilePath.isEmpty())
        player.PlayFile(spec.m_strFilePath);
    else
        player.PlayBuiltin(spec.m_nBuiltinId);
}
