#pragma once

#include <cstddef>

// The only part of the program that talks to libmdb. It runs in a child
// process (see AccessFile), so a crash or a loop in libmdb costs nothing but
// that process.
namespace accessdb::child {

// Reads every user table of the Access file held in `data` with libmdb and
// writes the tables to `fd` as the stream of access/stream.h. The header has
// been checked by the parent. Returns the child's exit code.
int readAll(const char *data, std::size_t size, int fd);

} // namespace accessdb::child
