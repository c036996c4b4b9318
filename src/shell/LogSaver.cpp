#include "shell/LogSaver.h"

#include <QDir>
#include <QTextDocument>

#include "app/Settings.h"
#include "platform/AtomicFile.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadDoc.h"
#include "shell/CQuillpadView.h"
#include "shell/FileDialog.h"
#include "shell/IApplication.h"
#include "shell/LogFileKeeper.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"

LogSaver::LogSaver(LogWorkspace& workspace, QObject* parent)
    : QObject(parent), m_workspace(workspace) {}

bool LogSaver::SaveLog(CQuillpadDoc& doc) {
    if (!doc.IsMonthLog())
        return Save(doc);
    // The path is taken anew each time: after the turn of a month the log goes on in the new
    // month's file and the previous one keeps its last saved state.
    const QString path = m_workspace.App().GetLogFilePath();
    QString note;
    QString error;
    const bool kept = LogFileKeeper::KeepEarlierYear(path, &note, &error);
    Note(doc, note);
    if (!kept || !WriteDocument(doc, path, &error)) {
        ShowSaveError(path, error);
        return false;
    }
    if (doc.PathName() != path)
        doc.SetPathName(path);
    doc.SetModified(false);
    m_workspace.AddRecent(path);
    return true;
}

void LogSaver::SaveLogOnTimer(CQuillpadDoc& doc) {
    if (doc.IsMonthLog() || !doc.PathName().isEmpty())
        SaveLog(doc);
}

bool LogSaver::Save(CQuillpadDoc& doc) {
    if (doc.IsMonthLog())
        return SaveLog(doc);
    if (doc.PathName().isEmpty())
        return SaveAs(doc);
    QString error;
    if (!WriteDocument(doc, doc.PathName(), &error)) {
        ShowSaveError(doc.PathName(), error);
        return false;
    }
    doc.SetModified(false);
    m_workspace.AddRecent(doc.PathName());
    return true;
}

bool LogSaver::SaveAs(CQuillpadDoc& doc) {
    const QString initial = doc.PathName().isEmpty()
                                ? m_workspace.App().GetSettings().m_strDataDirectory + doc.Title()
                                : doc.PathName();
    const QString chosen =
        FileDialog::GetSaveFileName(&m_workspace.Frame(), initial, LogWorkspace::FileFilter());
    if (chosen.isEmpty())
        return false;
    const QString clean = LogWorkspace::CleanPath(chosen);
    const QString monthPath = LogWorkspace::CleanPath(m_workspace.App().GetLogFilePath());
    if (clean == monthPath && !doc.IsMonthLog()) {
        m_workspace.ShowError(tr("%1 is the log of this month. Please choose another name.")
                                  .arg(QDir::toNativeSeparators(clean)));
        return false;
    }
    QString error;
    if (!WriteDocument(doc, clean, &error)) {
        ShowSaveError(clean, error);
        return false;
    }
    // The month's log stays the month's log; Save As only writes a copy of it.
    if (!doc.IsMonthLog()) {
        doc.SetPathName(clean);
        doc.SetModified(false);
    }
    m_workspace.AddRecent(clean);
    return true;
}

bool LogSaver::CanClose(CQuillpadDoc& doc) {
    if (doc.IsMonthLog() || (!doc.PathName().isEmpty() && doc.IsModified()))
        SaveLog(doc);
    while (doc.IsModified()) {
        const QMessageBox::StandardButton answer = MessageBox::QuestionWithCancel(
            &m_workspace.Frame(), tr("Save changes to %1?").arg(doc.Title()));
        if (answer == QMessageBox::Cancel)
            return false;
        if (answer == QMessageBox::No)
            break;
        if (!Save(doc))
            return false;
    }
    return true;
}

bool LogSaver::WriteDocument(CQuillpadDoc& doc, const QString& path, QString* error) {
    QString note;
    const bool kept = LogFileKeeper::KeepOriginal(path, &note, error);
    Note(doc, note);
    if (!kept)
        return false;
    return AtomicFile::Write(path, EncodeNotingLostPictures(doc, path), error);
}

// Pictures that can no longer be read are left out of the file; the log says so once, and the
// line goes into the file with the rest.
QByteArray LogSaver::EncodeNotingLostPictures(CQuillpadDoc& doc, const QString& path) {
    int unwritten = 0;
    QByteArray rtf = doc.ToRtf(&unwritten);
    if (unwritten == 0 || !m_workspace.ViewOf(doc))
        return rtf;
    const QString note = tr("Pictures left out of %1 because they can no longer be read: %2")
                             .arg(QDir::toNativeSeparators(path))
                             .arg(unwritten);
    if (m_lossNoted.value(&doc) == note)
        return rtf;
    if (!m_lossNoted.contains(&doc)) {
        connect(&doc, &QObject::destroyed, this, [this, gone = &doc] { m_lossNoted.remove(gone); });
    }
    m_lossNoted.insert(&doc, note);
    Note(doc, note);
    return doc.ToRtf();
}

void LogSaver::Note(CQuillpadDoc& doc, const QString& text) {
    if (text.isEmpty())
        return;
    if (CQuillpadView* view = m_workspace.ViewOf(doc))
        view->AppendLine(text);
}

void LogSaver::ShowSaveError(const QString& path, const QString& error) {
    // The periodic save goes on failing while the box is up (its loop runs the timer): one box.
    if (m_bSaveErrorShown)
        return;
    m_bSaveErrorShown = true;
    m_workspace.ShowError(tr("Cannot save %1.\n%2").arg(QDir::toNativeSeparators(path), error));
    m_bSaveErrorShown = false;
}
