#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class CQuillpadDoc;
class LogWorkspace;

// Saving the log documents. The month's log is the one document ever written into the current
// month's file; any other document is saved to a file of its own, or under a name the user
// gives. Every save keeps what the file held that a log cannot (LogFileKeeper) and says so in
// the log.
class LogSaver : public QObject {
    Q_OBJECT
public:
    explicit LogSaver(LogWorkspace& workspace, QObject* parent = nullptr);

    // Writes the month's log into the current month's file and enters it in the recent files;
    // any other document is saved as by Save. A month's file last written in another year is
    // first renamed "<Month> <year>.qpd".
    bool SaveLog(CQuillpadDoc& doc);
    // The periodic save: only a document that has a file is written, without asking anything.
    void SaveLogOnTimer(CQuillpadDoc& doc);
    bool Save(CQuillpadDoc& doc);
    bool SaveAs(CQuillpadDoc& doc);
    // Asked before a document's window closes: saves as above and, when the document is
    // still modified, asks the user. False keeps the window open.
    bool CanClose(CQuillpadDoc& doc);
    // Writes a document to path without making it the document's file (a copy to mail).
    bool WriteDocument(CQuillpadDoc& doc, const QString& path, QString* error);
    void ShowSaveError(const QString& path, const QString& error);

private:
    QByteArray EncodeNotingLostPictures(CQuillpadDoc& doc, const QString& path);
    void Note(CQuillpadDoc& doc, const QString& text);

    LogWorkspace& m_workspace;
    QHash<const CQuillpadDoc*, QString> m_lossNoted;  // the last note of pictures left out
    bool m_bSaveErrorShown = false;
};
