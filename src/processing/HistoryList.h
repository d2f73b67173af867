#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include "processing/HistoryStore.h"

// The in-memory side of one history file: the entries, newest first, and the rule for saving
// them. Every change is saved through the shared history writer, but only once the file has
// been read, so a change made while it is still being read cannot drop the entries it holds.
//
// Threading: main thread only (the writing happens on the history writer).
template <typename Entry> class HistoryList final {
public:
    using Encoder = std::function<QByteArray(const QList<Entry>&)>;

    HistoryList(QString path, Encoder encode) : m_path(std::move(path)), m_encode(std::move(encode))
    {}

    const QList<Entry>& entries() const { return m_entries; }
    bool loaded() const { return m_loaded; }

    // Replaces the entries and saves them.
    void assign(const QList<Entry>& entries)
    {
        m_entries = entries;
        save();
    }

    // Takes what was read from the file. Removals and clearing asked for while it was read apply
    // to what it held too. Entries added in the meantime are newer, so they stay in front. A
    // changed list is saved; otherwise the file already holds it.
    void takeLoaded(const QList<Entry>& loaded)
    {
        m_loaded = true;
        QList<Entry> kept;
        for (const Entry& entry : loaded) {
            if (!m_clearedEarly && !m_removedEarly.contains(entry.id))
                kept.append(entry);
        }
        const bool changed = !m_entries.isEmpty() || kept.size() != loaded.size();
        m_removedEarly.clear();
        m_clearedEarly = false;
        m_entries += kept;
        if (changed)
            save();
    }

    // Removes the entries whose ids are listed (every entry when ids is nullopt) and saves. With
    // deleteFiles, the writer also removes each removed entry's file, as fileOf names it (an empty
    // name for none); failures are ignored.
    void remove(const std::optional<QSet<QUuid>>& ids, bool deleteFiles,
                const std::function<QString(const Entry&)>& fileOf)
    {
        // Before the file has been read, the removal is remembered for the entries it holds. Their
        // files are left alone: nobody has seen those entries yet.
        if (!m_loaded) {
            if (ids)
                m_removedEarly.unite(*ids);
            else
                m_clearedEarly = true;
        }
        QStringList files;
        QList<Entry> kept;
        for (const Entry& entry : std::as_const(m_entries)) {
            if (ids && !ids->contains(entry.id)) {
                kept.append(entry);
                continue;
            }
            const QString file = deleteFiles ? fileOf(entry) : QString();
            if (!file.isEmpty())
                files.append(file);
        }
        HistoryStore::shared().removeFiles(files);
        assign(kept);
    }

private:
    void save()
    {
        if (m_loaded)
            HistoryStore::shared().save(m_path, m_encode(m_entries));
    }

    QString m_path;
    Encoder m_encode;
    QList<Entry> m_entries;
    bool m_loaded = false;
    // Removals asked for before the file was read.
    QSet<QUuid> m_removedEarly;
    bool m_clearedEarly = false;
};
