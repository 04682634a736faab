#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Running code we do not trust with our process (libmdb on a file that may
// be damaged) in a forked child, and collecting what it writes.
namespace accessdb::isolated {

enum class Outcome {
    Finished, // the child ended by itself; see exitCode
    Crashed, // the child died of a signal
    Silent, // the child wrote nothing for too long and was killed
    TooMuch, // the child wrote more than allowed and was killed
    CannotStart, // no pipe or no process; see error
};

struct Result
{
    Outcome outcome = Outcome::CannotStart;
    int exitCode = -1;
    QByteArray output;
    QString error;
};

struct Limits
{
    // No sign of life for this long means the child hangs.
    int silenceMs = 20'000;
    qsizetype maxBytes = qsizetype(1) << 30;
};

// Runs `work(fd)` in a forked child, which writes to `fd` and returns its
// exit code. In the child the signals of faults end the process the ordinary
// way (no handler of ours, of a sanitizer or of a fuzzer runs), its standard
// output and error go to /dev/null, and outside the sanitizer builds its
// address space is limited. `work` runs in a copy of a process that may have
// other threads: it may use the C and C++ libraries, but no Qt.
Result run(const std::function<int(int fd)> &work, const Limits &limits = {});

} // namespace accessdb::isolated
