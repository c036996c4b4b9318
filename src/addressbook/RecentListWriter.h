#pragma once

#include <QList>
#include <QString>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "addressbook/AddressBook.h"

// Writes pushes onto the recent lists on a thread of its own: a list's update may wait for
// another writer of it (another copy of the program) for seconds, and neither the
// user-interface thread nor a send run may wait so long. Pushes are written in the order they
// were given; those that wait together are written with one rewrite per list, so a burst of
// announcements costs one write. Push may be called from any thread.
class RecentListWriter {
public:
    RecentListWriter() = default;
    // Writes what is still waiting, then ends.
    ~RecentListWriter();
    RecentListWriter(const RecentListWriter&) = delete;
    RecentListWriter& operator=(const RecentListWriter&) = delete;

    // Queues entries (the last ends on top) for the list fileName in dataDirectory.
    void Push(const QString& dataDirectory, const QString& fileName, const QString& description,
              const QList<AddressEntry>& entries);

private:
    struct Job {
        QString m_strDataDirectory;
        QString m_strFileName;
        QString m_strDescription;
        QList<AddressEntry> m_entries;
    };
    void Run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_bStopping = false;
    std::thread m_thread;  // started with the first push
};
