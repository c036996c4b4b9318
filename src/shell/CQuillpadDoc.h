#pragma once

#include <QObject>
#include <QString>

class QTextDocument;

// One log document: its rich text, the file it belongs to, and whether it is the current
// month's log (the one document that is ever written into the month's file).
class CQuillpadDoc : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kFaceName = "Times New Roman";
    static constexpr int kHalfPoints = 20;  // 10 points

    explicit CQuillpadDoc(QObject* parent = nullptr);
    ~CQuillpadDoc() override;

    QTextDocument* Document() const { return m_document; }

    const QString& PathName() const { return m_strPathName; }
    void SetPathName(const QString& path);
    // The file name, or the untitled name until the document has a file.
    QString Title() const;
    void SetUntitledName(const QString& name);

    bool IsMonthLog() const { return m_bMonthLog; }
    void SetMonthLog(bool monthLog) { m_bMonthLog = monthLog; }
    bool IsModified() const;
    void SetModified(bool modified);

    enum class LoadResult { Read, Damaged, Failed };
    // Reads a log file. A damaged file gives what could be read and the reason; the damaged
    // original is then kept beside it as "<name>.bad" before anything replaces it, unless
    // keepDamaged is false (a reader that never saves). A file that cannot be read at all leaves
    // the document as it was.
    LoadResult Load(const QString& path, QString* error, bool keepDamaged = true);
    // The document as RTF; unwritten as for DocumentToRtf.
    QByteArray ToRtf(int* unwritten = nullptr) const;
    // Writes the document as RTF into path, atomically.
    bool SaveTo(const QString& path, QString* error) const;

Q_SIGNALS:
    void titleChanged(const QString& title);

private:
    QTextDocument* m_document;
    QString m_strPathName;
    QString m_strUntitled;
    bool m_bMonthLog = false;
};
