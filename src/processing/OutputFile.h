#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "engine/EngineError.h"

// Puts finished results at their destination so that nothing the user has is lost, even with
// several Korvane processes writing into one folder:
// - before any work, the name is taken by creating an empty placeholder there exclusively
//   (O_EXCL), so two runs never get one name; the finished result replaces its own placeholder;
// - the result is written beside the destination under a hidden temporary name and renamed over
//   the final name only when complete (one folder, so the rename is atomic);
// - an existing entry at the destination is replaced only when the user chose that exact file;
//   otherwise the next free numbered name is taken, or, for a name that must be exactly the one
//   given (the command line's --output), the job fails before it starts;
// - when the result cannot be put in place it is kept in the temporary folder (WorkFolder::keep)
//   and the failure names where it is.
//
// Threading: the placing functions block on the disk and run on a job's worker; the checks are
// quick and run on the main thread when a job is queued.
namespace OutputFile {

enum class Mode {
    KeepExisting, // an existing entry of that name stays; the result takes the next free name
    Replace,      // the user chose this exact file: it is replaced once the result is complete
    Exclusive,    // exactly this name, which must not exist yet and no other run may hold
};

// A name taken for one result: the path, and the identity of the empty placeholder created there
// (none in Replace mode, where the user's chosen file stays until the result replaces it).
struct Reservation {
    QString path;
    Mode mode = Mode::KeepExisting;
    quint64 device = 0;
    quint64 inode = 0;
    bool hasPlaceholder() const { return inode != 0; }
};

// Takes destination for a result before the work starts. KeepExisting takes the first free of
// destination, "<stem>_1.<ext>", "<stem>_2.<ext>", … by creating it; Exclusive takes exactly
// destination or throws when it exists; Replace takes it as it is. With adopt, an empty regular
// file already at destination counts as this job's own placeholder (a resumed job whose process
// died). Throws an EngineError naming the folder and the system's reason when nothing can be
// created there. Blocks on the disk: a job's worker.
Reservation reserve(const QString& destination, Mode mode, const QString& what,
                    bool adopt = false);
// Removes the reservation's placeholder, when it is still the empty file this job made.
void release(const Reservation& reservation);

// Holds a reservation for one job's run and releases it when the run ends without placing its
// result (a failure or a stop).
class HeldName final {
public:
    explicit HeldName(Reservation reservation) : m_reservation(std::move(reservation)) {}
    ~HeldName()
    {
        if (!m_settled)
            release(m_reservation);
    }
    HeldName(const HeldName&) = delete;
    HeldName& operator=(const HeldName&) = delete;

    const Reservation& reservation() const { return m_reservation; }
    // The result was placed (or kept after a failed placement): nothing is left to release.
    void settle() { m_settled = true; }

private:
    Reservation m_reservation;
    bool m_settled = false;
};

// What placing a result ended with: where it is, or the failure and where the result was kept
// (empty when it could not be kept either).
struct Placement {
    QString path;
    std::optional<EngineError> error;
    QString keptPath;
};

// The hidden name a result has beside destination while it is written.
QString partialPath(const QString& destination);

// True when both paths name one existing file after resolving links.
bool sameFile(const QString& a, const QString& b);

// Moves the finished file (normally in the work folder) to its reserved name, replacing the
// placeholder. When the placeholder is no longer this job's (removed, or replaced by someone),
// the result never replaces what is there: it takes the next free name, or, in Exclusive mode,
// is kept and the failure says where. what names the result in messages ("video", "image").
Placement place(const QString& finished, const Reservation& reservation, const QString& what);
// Writes bytes to a temporary file first, then places it like place().
Placement placeBytes(const QByteArray& bytes, const QString& extension,
                     const Reservation& reservation, const QString& what);

// Why a job must not be queued for destination: its folder is missing or cannot be written, it
// is one of the inputs, or the folder's volume has less than neededBytes free (0: not checked).
// nullopt when it may go ahead.
std::optional<QString> destinationProblem(const QString& destination, const QStringList& inputs,
                                          qint64 neededBytes, const QString& what);

// Why nothing can be written into folder (missing, or not writable); nullopt when it can.
std::optional<QString> folderProblem(const QString& folder, const QString& what);

// Ends every item of a batch or bulk list as failed, with the reason as its status.
template <typename Item> void failEvery(QList<Item>& items, const QString& reason)
{
    for (Item& item : items) {
        item.status = reason;
        item.failed = true;
        item.outputURL.clear();
        item.keptURL.clear();
    }
}

// The message for a volume with too little room: "<needed> are needed and <free> are free".
QString spaceMessage(const QString& folder, qint64 neededBytes, qint64 freeBytes);

} // namespace OutputFile
