#pragma once

#include <QDate>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

class Database;

// Copies of the database: the user's own ("Sicherung speichern ...", the
// database tool) and the daily one in the folder "Sicherungen" beside the
// database. A copy is made with SQLite's online backup, so it is consistent
// even while another program writes, and it is checked before it counts.

namespace backup {

inline const QString FolderName = QStringLiteral("Sicherungen");
// How many daily copies are kept; the oldest go first.
constexpr int KeptDailyCopies = 14;

// Copies the open database `source` into `target` and checks the copy. The
// copy is built under a name of its own in the target's folder and takes the
// target's name only once it is complete and intact, so an interrupted copy
// never looks like a finished one. An existing target is replaced only when
// `replace` is set. Throws EngineError with a German message.
void copyDatabase(Database &source, const QString &target, bool replace);

// Copies the database file `file`, which no connection of ours holds, as
// copyDatabase() does and never over an existing target. The file is only
// read: a write-protected one can be copied, and a copy never changes it.
void copyFile(const QString &file, const QString &target);

// Runs SQLite's integrity check on a file: an empty text when it is intact,
// otherwise a German sentence saying what is wrong. Never changes the file.
QString integrityProblem(const QString &file);

// Gives a finished file its final name. Without `replace`, an existing file
// of that name is never overwritten: EngineError instead.
void moveIntoPlace(const QString &finished, const QString &target, bool replace);

// The name a file is built under before moveIntoPlace() gives it `target`'s
// name: hidden, in the same folder (so the move is a rename), and of this
// process only.
QString partialFileName(const QString &target);

// "rechungen-YYYY-MM-DD.mdb"
QString dailyFileName(const QDate &day);

// "rechungen-vor-Version-N-YYYY-MM-DD.mdb": the copy made before the file's
// tables are brought to version N. The daily copies' rotation neither counts
// nor removes it.
QString beforeVersionFileName(int version, const QDate &day);

// Copies the database into the folder "Sicherungen" beside `databaseFile`
// under beforeVersionFileName(), replacing a copy of that name: the file is
// still at its old version, or there would be nothing to bring up to date.
// The path of the copy. Throws EngineError with one German message.
QString copyBeforeVersion(Database &source, const QString &databaseFile, int version, const QDate &today);

// The first start of a day copies the database into the folder "Sicherungen"
// beside `databaseFile` and keeps the newest KeptDailyCopies copies; later
// starts that day find the copy and do nothing. The path of the new copy, or
// an empty text when today's copy was already there. Throws EngineError with
// one German message; nothing is left that would stop the next start from
// trying again.
QString makeDailyCopy(Database &source, const QString &databaseFile, const QDate &today);

// The daily copy made on a thread of its own, over a read-only connection of
// its own, so that the window never waits for it: a large file takes a while
// to copy and to check. The copy is the file as it was when start() returned;
// a write of the program or of another one meanwhile waits for the copy of
// the pages (not for the check) as it would for another reader.
class DailyCopyJob
{
public:
    // Called on the copying thread when the copy has ended, unless it was
    // abandoned: an empty text, or the German message makeDailyCopy() throws.
    using Finished = std::function<void(const QString &failure)>;
    // Called on the copying thread after each part of the copy, with the
    // pages still to copy and the pages in all.
    using Progress = std::function<void(int remaining, int total)>;

    DailyCopyJob() = default;
    // Abandons a copy still under way.
    ~DailyCopyJob();
    DailyCopyJob(const DailyCopyJob &) = delete;
    DailyCopyJob &operator=(const DailyCopyJob &) = delete;

    // Starts today's copy of `databaseFile` into the folder "Sicherungen"
    // beside it, as makeDailyCopy() makes it; false when today's copy is
    // there already, and nothing is started. A copy under way is abandoned
    // first. Throws EngineError with makeDailyCopy()'s message when the file
    // cannot be read for the copy.
    bool start(const QString &databaseFile, const QDate &today, Finished finished, Progress progress = {});
    // Waits until the copy has ended.
    void wait();
    // Stops the copy where it is and waits for its thread: neither a copy
    // under the daily name nor a half-made file is left, and the next start
    // tries again. A copy that was already in place stays.
    void abandon();
    bool abandoning() const { return m_abandoned.load(); }

private:
    std::thread m_thread;
    std::atomic<bool> m_abandoned{false};
};

} // namespace backup
