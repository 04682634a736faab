#include "access/isolated.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
#define RECHNUNG_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RECHNUNG_ADDRESS_SANITIZER 1
#endif
#endif

// Set by the sanitizers' runtime, absent otherwise. In the child a fault
// must not end in the parent's callbacks: a fuzzer would file its input as a
// crash of its own.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace accessdb::isolated {

namespace {

// What the child may take on top of what the process already holds.
constexpr rlim_t ChildMemoryBytes = rlim_t(2) << 30;

class Pipe
{
public:
    Pipe()
    {
        if (::pipe2(m_fds, O_CLOEXEC) != 0)
            m_fds[0] = m_fds[1] = -1;
    }
    ~Pipe()
    {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;
    bool ok() const { return m_fds[0] >= 0; }
    int readEnd() const { return m_fds[0]; }
    int writeEnd() const { return m_fds[1]; }
    void closeRead() { closeOne(m_fds[0]); }
    void closeWrite() { closeOne(m_fds[1]); }

private:
    static void closeOne(int &fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    int m_fds[2] = {-1, -1};
};

void limitMemory()
{
#ifndef RECHNUNG_ADDRESS_SANITIZER
    // A damaged file can make the child allocate without end; a limit on
    // the address space turns that into a failed allocation. AddressSanitizer
    // reserves terabytes of address space, so its builds go without.
    long pages = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    rlimit limit{};
    if (pages <= 0 || ::getrlimit(RLIMIT_AS, &limit) != 0)
        return;
    const rlim_t wanted = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + ChildMemoryBytes;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= wanted)
        return;
    limit.rlim_cur = wanted;
    ::setrlimit(RLIMIT_AS, &limit);
#endif
}

[[noreturn]] void runChild(const std::function<int(int)> &work, int fd)
{
    for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS, SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ, SIGXCPU})
        std::signal(sig, SIG_DFL);
    if (__sanitizer_set_death_callback)
        __sanitizer_set_death_callback(nullptr);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
    }
    limitMemory();
    ::_exit(work(fd));
}

} // namespace

Result run(const std::function<int(int fd)> &work, const Limits &limits)
{
    Result result;
    Pipe pipe;
    if (!pipe.ok()) {
        result.error = QString::fromLocal8Bit(std::strerror(errno));
        return result;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        result.error = QString::fromLocal8Bit(std::strerror(errno));
        return result;
    }
    if (pid == 0) {
        pipe.closeRead();
        runChild(work, pipe.writeEnd());
    }
    pipe.closeWrite();

    result.outcome = Outcome::Finished;
    char buffer[65536];
    for (;;) {
        pollfd p{pipe.readEnd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, limits.silenceMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            result.outcome = Outcome::Silent;
            break;
        }
        const ssize_t n = ::read(pipe.readEnd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (result.output.size() + n > limits.maxBytes) {
            result.outcome = Outcome::TooMuch;
            break;
        }
        result.output.append(buffer, qsizetype(n));
    }
    if (result.outcome != Outcome::Finished)
        ::kill(pid, SIGKILL);
    pipe.closeRead();
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (result.outcome == Outcome::Finished) {
        if (WIFEXITED(status))
            result.exitCode = WEXITSTATUS(status);
        else
            result.outcome = Outcome::Crashed;
    }
    return result;
}

} // namespace accessdb::isolated
