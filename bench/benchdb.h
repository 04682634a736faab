#pragma once

// The databases the benchmarks run on, made once with the database tool and
// kept in the temporary folder for later runs.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;


inline std::string benchDatabasePath(const char *name = "rechnung-bench-10k-100k-1m.mdb")
{
    const char *tmp = std::getenv("TMPDIR");
    const std::string dir = (tmp && *tmp) ? tmp : "/tmp";
    return dir + "/" + name;
}

// Generating a million lines takes a while, so the file is kept for later
// runs. The tool writes under a name of its own and only a finished file is
// renamed into place: an interrupted run never leaves a file that a later run
// would mistake for a complete one.
inline bool ensureDatabase(const std::string &file, std::vector<const char *> command = {"generate"})
{
    struct stat st;
    if (::stat(file.c_str(), &st) == 0)
        return true;

    const std::string part = file + ".part-" + std::to_string(::getpid());
    ::unlink(part.c_str()); // the tool refuses to overwrite, and a leftover of ours is stale
    std::fprintf(stderr, "Erzeuge die Benchmark-Datenbank %s (einmalig) ...\n", file.c_str());

    // The large database unless another command (such as "demo") is asked for.
    std::vector<const char *> argv = {RECHNUNG_DB_TOOL};
    argv.push_back(command.front());
    argv.push_back(part.c_str());
    if (command.size() == 1 && std::string(command.front()) == "generate")
        command = {"generate", "--customers", "10000", "--headers", "100000", "--lines", "1000000"};
    argv.insert(argv.end(), command.begin() + 1, command.end());
    argv.push_back(nullptr);
    // The tool's report goes to stderr so that stdout carries only results.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, RECHNUNG_DB_TOOL, &actions, nullptr, const_cast<char *const *>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "%s kann nicht gestartet werden: %s\n", RECHNUNG_DB_TOOL, std::strerror(rc));
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            std::perror("waitpid");
            ::unlink(part.c_str());
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s ist fehlgeschlagen\n", RECHNUNG_DB_TOOL);
        ::unlink(part.c_str());
        return false;
    }
    if (std::rename(part.c_str(), file.c_str()) != 0) {
        std::perror("rename");
        ::unlink(part.c_str());
        return false;
    }
    return true;
}

