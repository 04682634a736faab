#pragma once

// A file system that fails on request: wraps the default SQLite VFS and makes
// the N-th call of one of xWrite, xSync, xTruncate or xLock (counted over all
// files of all connections while armed) return a chosen error code.

#include <sqlite3.h>

namespace faultvfs {

enum class Method { Write, Sync, Truncate, Lock };

// Registers the wrapper as the default VFS (once); disarmed until arm().
void install();
// From now on the n-th call of method fails with code (n >= 1).
void arm(Method method, int n, int code);
void disarm();
// Whether the armed fault was injected since arm().
bool injected();
// Calls of the armed method since arm().
int calls();

} // namespace faultvfs
