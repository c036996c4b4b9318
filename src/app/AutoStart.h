#pragma once

#include <QString>

class RegistryStore;

// Enters the program for one start at the next logon: the run-once value of the settings store
// (named after the program, holding the full path of its executable) and the desktop's
// autostart entry that does the start.
class AutoStart {
public:
    static constexpr const char* kRunOnceParent = "Software\\Microsoft\\Windows\\CurrentVersion";
    static constexpr const char* kRunOnceKey = "RunOnce";

    AutoStart(const QString& name, const RegistryStore& store);

    // False, with the error text, when either cannot be written.
    bool Register();
    const QString& ErrorText() const { return m_strError; }

    // At the start the entry caused: the entry (when it is the program's own) and the run-once
    // value go, as a run-once list forgets what it has started.
    static void Unregister(const QString& name, const RegistryStore& store);

private:
    QString m_strName;
    const RegistryStore& m_store;
    QString m_strError;
};
