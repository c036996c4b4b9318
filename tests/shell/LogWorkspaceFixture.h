#pragma once

// The log documents as start-up makes them, for the tests of the workspace, of saving and of
// the log commands: a real application object, main window and workspace in the test's HOME,
// with timers on the test's clock and the network parts standing in.
#include <QtTest>
#include <QtWidgets>
#include <clocale>
#include <functional>
#include <memory>

#include "ManualTimer.h"
#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "app/CQuillpadApp.h"
#include "shell/CMainFrame.h"
#include "shell/CQuillpadDoc.h"
#include "shell/LogViewServices.h"
#include "shell/LogWorkspace.h"
#include "shell/MessageBox.h"

// Stands in for the network parts: listening can be made to fail, and every call is counted.
class RecordingServices : public LogViewServices {
public:
    bool StartListening(CQuillpadView&, QString* error) override {
        ++m_nListenCalls;
        if (!m_strListenError.isEmpty() && error)
            *error = m_strListenError;
        return m_strListenError.isEmpty();
    }
    bool SendLogonAnnouncement(CQuillpadView&, QString*) override {
        ++m_nAnnouncements;
        return false;  // a failure is ignored
    }
    void UpdateAddressBooks(CQuillpadView&) override { ++m_nUpdates; }

    QString m_strListenError;
    int m_nListenCalls = 0;
    int m_nAnnouncements = 0;
    int m_nUpdates = 0;
};

inline QStringList Lines(const CQuillpadDoc& doc) {
    return doc.Document()->toPlainText().split(QLatin1Char('\n'));
}

inline QStringList FileLines(const QString& path) {
    CQuillpadDoc doc;
    doc.Load(path, nullptr);
    return Lines(doc);
}

inline void SetModificationTime(const QString& path, const QDateTime& when) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(when, QFileDevice::FileModificationTime));
}

// A test class takes it as a second base and calls these from its own slots.
class LogWorkspaceFixture {
protected:
    // From initTestCase: month names in English, and message boxes answered No and recorded.
    void InitTestCase() {
        std::setlocale(LC_TIME, "C");
        MessageBox::SetAnswerer([this](QMessageBox::Icon, const QString& text) {
            m_messages.append(text);
            if (m_onMessage)
                m_onMessage();
            return QMessageBox::No;
        });
    }

    // From init: an empty data directory, a store with a full name, the application object and
    // its main window.
    void Init() {
        QDir(CurrentTestHome().DataDirectory()).removeRecursively();
        QFile::remove(CurrentTestHome().StorePath());
        WriteWholeFile(CurrentTestHome().StorePath(),
                       "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]"
                       "\n\"Full Name\"=\"Ann\"\n");
        m_app = std::make_unique<CQuillpadApp>(CurrentTestHome().StorePath(), m_sounds, false);
        m_app->LoadSettings();
        m_frame = std::make_unique<CMainFrame>(*m_app, std::make_unique<ManualTimer>());
        m_services = RecordingServices();
        m_timers.clear();
        m_messages.clear();
        m_onMessage = nullptr;
    }

    void Cleanup() {
        m_onMessage = nullptr;
        m_frame.reset();
        m_workspace.reset();
        m_app.reset();
    }

    // The workspace with its first document, as start-up makes it.
    void Start(const QStringList& arguments = {QStringLiteral("quillpad")}) {
        m_workspace = std::make_unique<LogWorkspace>(*m_app, *m_frame, m_services, [this] {
            auto timer = std::make_unique<ManualTimer>();
            m_timers.append(timer.get());
            return timer;
        });
        QVERIFY(m_workspace->OpenAtStart(arguments));
    }

    // The next run of the program: a new main window and workspace.
    void Restart(const QStringList& arguments = {QStringLiteral("quillpad")}) {
        m_workspace.reset();
        m_frame = std::make_unique<CMainFrame>(*m_app, std::make_unique<ManualTimer>());
        Start(arguments);
    }

    QString MonthPath() const { return m_app->GetLogFilePath(); }

    RecordingSoundPlayer m_sounds{false};
    std::unique_ptr<CQuillpadApp> m_app;
    std::unique_ptr<CMainFrame> m_frame;
    RecordingServices m_services;
    std::unique_ptr<LogWorkspace> m_workspace;
    QList<ManualTimer*> m_timers;
    QStringList m_messages;
    std::function<void()> m_onMessage;  // runs while the box is up
};
