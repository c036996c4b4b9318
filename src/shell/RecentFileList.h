#pragma once

#include <QStringList>

class RegistryStore;

// The four most recently used documents, newest first, kept in the settings store under
// "Recent File List" as the values File1 to File4.
class RecentFileList {
public:
    static constexpr int kSize = 4;
    static constexpr const char* kKeyPath = "Software\\Vexor\\Quillpad\\3.0\\Recent File List";

    // Puts path first; the same file listed earlier (compared as absolute, clean paths) moves
    // up instead of appearing twice.
    void Add(const QString& path);
    void Remove(int index);
    const QStringList& Paths() const { return m_paths; }

    void Load(const RegistryStore& store);
    // Writes all four values (an unused one as an empty text).
    bool Save(const RegistryStore& store) const;

private:
    QStringList m_paths;
};
