#include "addressbook/RecentListWriter.h"

#include <algorithm>

RecentListWriter::~RecentListWriter() {
    {
        const std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void RecentListWriter::Push(const QString& dataDirectory, const QString& fileName,
                            const QString& description, const QList<AddressEntry>& entries) {
    if (entries.isEmpty())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(Job{dataDirectory, fileName, description, entries});
        if (!m_thread.joinable()) {
            try {
                m_thread = std::thread(&RecentListWriter::Run, this);
            } catch (const std::system_error&) {
                m_jobs.clear();  // no thread to be had: the lists stay as they were
                return;
            }
        }
    }
    m_wake.notify_one();
}

void RecentListWriter::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStopping || !m_jobs.empty(); });
        if (m_jobs.empty())
            return;  // stopping, and nothing left to write
        // Everything waiting now goes in one rewrite per list, in the order it was pushed.
        QList<Job> lists;
        for (Job& job : m_jobs) {
            auto same = std::find_if(lists.begin(), lists.end(), [&job](const Job& list) {
                return list.m_strDataDirectory == job.m_strDataDirectory &&
                       list.m_strFileName == job.m_strFileName;
            });
            if (same == lists.end())
                lists.append(std::move(job));
            else
                same->m_entries += job.m_entries;
        }
        m_jobs.clear();
        lock.unlock();
        for (const Job& list : std::as_const(lists))
            PushRecentEntries(list.m_strDataDirectory, list.m_strFileName, list.m_strDescription,
                              list.m_entries);
        lock.lock();
    }
}
