#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include "processing/HistoryStore.h"

// The in-memory side of one history file: the entries, newest first, and how changes reach the
// file. The file is shared with other Korvane processes, so a change is never a snapshot of this
// process's list: each one (entries added or changed, ids removed) is merged into what the file
// holds at that moment, under its lock, and the merged list comes back as the new entries. Changes
// made before the file was first read wait for that read and are then merged the same way.
//
// Entry needs an `id` (QUuid). New and changed entries go in front, so the file stays newest
// first in the order the changes were merged.
//
// Threading: main thread only (the merging happens on the history writer).
template <typename Entry> class HistoryList final {
public:
    using Encoder = std::function<QByteArray(const QList<Entry>&)>;
    using Decoder = std::function<std::optional<QList<Entry>>(const QByteArray&)>;

    // changed runs on the main thread whenever the entries changed because of the file (a read or
    // the outcome of a merge); receiver guards it.
    HistoryList(HistoryStore& store, QString path, Encoder encode, Decoder decode,
                QObject* receiver, std::function<void()> changed)
        : m_store(store), m_path(std::move(path)), m_encode(std::move(encode)),
          m_decode(std::move(decode)), m_receiver(receiver), m_changed(std::move(changed))
    {}

    const QList<Entry>& entries() const { return m_entries; }
    bool loaded() const { return m_loaded; }

    // Reads the file, the first time or again (to pick up what other processes added); changes
    // not merged yet stay applied on top. loadedNow runs after the first read only.
    void read(std::function<void()> loadedNow = {})
    {
        m_store.load<QList<Entry>>(m_path, m_decode, m_receiver,
                                   [this, loadedNow](const QList<Entry>& onDisk) {
                                       const bool first = !m_loaded;
                                       m_loaded = true;
                                       m_base = onDisk;
                                       if (first && !m_early.isEmpty()) {
                                           const Changes early = m_early;
                                           m_early = {};
                                           send(early);
                                       }
                                       rebuild();
                                       if (first && loadedNow)
                                           loadedNow();
                                   });
    }

    // Adds an entry in front (or replaces the entry with its id) and saves.
    void add(const Entry& entry)
    {
        Changes change;
        change.upserts.append(entry);
        apply(change);
    }

    // Makes the entries these: the ones missing are removed, the others added or replaced.
    void assign(const QList<Entry>& entries)
    {
        Changes change;
        change.upserts = entries;
        QSet<QUuid> kept;
        for (const Entry& entry : entries)
            kept.insert(entry.id);
        for (const Entry& entry : std::as_const(m_entries)) {
            if (!kept.contains(entry.id))
                change.removed.insert(entry.id);
        }
        apply(change);
    }

    // Removes the entries whose ids are listed (every entry when ids is nullopt) and saves. With
    // deleteFiles, the writer also removes each removed entry's file, as fileOf names it (an empty
    // name for none); failures are ignored.
    void remove(const std::optional<QSet<QUuid>>& ids, bool deleteFiles,
                const std::function<QString(const Entry&)>& fileOf)
    {
        Changes change;
        // Before the file has been read, clearing applies to what it holds too. Its files are
        // left alone: nobody has seen those entries yet.
        change.clearAll = !ids && !m_loaded;
        QStringList files;
        for (const Entry& entry : std::as_const(m_entries)) {
            if (ids && !ids->contains(entry.id))
                continue;
            change.removed.insert(entry.id);
            const QString file = deleteFiles ? fileOf(entry) : QString();
            if (!file.isEmpty())
                files.append(file);
        }
        if (ids)
            change.removed.unite(*ids);
        m_store.removeFiles(files);
        apply(change);
    }

private:
    // One change: entries added or replaced, ids removed (every entry with clearAll).
    struct Changes {
        QList<Entry> upserts;
        QSet<QUuid> removed;
        bool clearAll = false;
        bool isEmpty() const { return upserts.isEmpty() && removed.isEmpty() && !clearAll; }
        void merge(const Changes& later)
        {
            for (const Entry& entry : later.upserts) {
                removed.remove(entry.id);
                upserts.removeIf([&](const Entry& e) { return e.id == entry.id; });
            }
            for (const QUuid& id : later.removed)
                upserts.removeIf([&](const Entry& e) { return e.id == id; });
            if (later.clearAll)
                upserts.clear();
            upserts = later.upserts + upserts;
            removed.unite(later.removed);
            clearAll = clearAll || later.clearAll;
        }
    };

    // entries with change applied: removals first, then the upserts replace or join in front.
    static QList<Entry> applied(QList<Entry> entries, const Changes& change)
    {
        if (change.clearAll)
            entries.clear();
        QSet<QUuid> gone = change.removed;
        for (const Entry& entry : change.upserts)
            gone.insert(entry.id);
        entries.removeIf([&](const Entry& entry) { return gone.contains(entry.id); });
        return change.upserts + entries;
    }

    void apply(const Changes& change)
    {
        if (m_loaded)
            send(change);
        else
            m_early.merge(change);
        rebuild();
    }

    // Hands one change to the writer; its outcome becomes the base the unsent changes sit on.
    void send(const Changes& change)
    {
        const int number = ++m_sent;
        m_inFlight.append({number, change});
        m_store.update<QList<Entry>>(
            m_path, m_decode,
            [change](QList<Entry> onDisk) { return applied(std::move(onDisk), change); },
            m_encode, m_receiver, [this, number](const QList<Entry>& merged) {
                m_inFlight.removeIf([number](const Pending& p) { return p.number <= number; });
                m_base = merged;
                rebuild();
            });
    }

    void rebuild()
    {
        QList<Entry> entries = m_base;
        for (const Pending& pending : std::as_const(m_inFlight))
            entries = applied(std::move(entries), pending.change);
        if (!m_early.isEmpty())
            entries = applied(std::move(entries), m_early);
        // A merge that comes back with what is already shown changes nothing on the screens.
        if (entries == m_entries)
            return;
        m_entries = entries;
        if (m_changed)
            m_changed();
    }

    struct Pending {
        int number = 0;
        Changes change;
    };

    HistoryStore& m_store;
    QString m_path;
    Encoder m_encode;
    Decoder m_decode;
    QObject* m_receiver;
    std::function<void()> m_changed;
    QList<Entry> m_entries;
    // What the file held at the last read or merge that came back.
    QList<Entry> m_base;
    // Changes sent to the writer whose outcome has not come back yet, oldest first.
    QList<Pending> m_inFlight;
    int m_sent = 0;
    // Changes made before the file was first read.
    Changes m_early;
    bool m_loaded = false;
};
