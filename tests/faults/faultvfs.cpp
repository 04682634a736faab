#include "faultvfs.h"

#include <cstring>

namespace faultvfs {
namespace {

sqlite3_vfs *g_base = nullptr;
sqlite3_vfs g_vfs;
bool g_armed = false;
Method g_method = Method::Write;
int g_failAt = 0;
int g_code = SQLITE_IOERR;
int g_calls = 0;
bool g_injected = false;

struct FaultFile
{
    sqlite3_file base;
    sqlite3_file *real() { return reinterpret_cast<sqlite3_file *>(this + 1); }
};

FaultFile *ff(sqlite3_file *f) { return reinterpret_cast<FaultFile *>(f); }

bool fault(Method m)
{
    if (!g_armed || m != g_method)
        return false;
    if (++g_calls != g_failAt)
        return false;
    g_injected = true;
    return true;
}

int xClose(sqlite3_file *f) { return ff(f)->real()->pMethods->xClose(ff(f)->real()); }
int xRead(sqlite3_file *f, void *buf, int n, sqlite3_int64 off) { return ff(f)->real()->pMethods->xRead(ff(f)->real(), buf, n, off); }
int xWrite(sqlite3_file *f, const void *buf, int n, sqlite3_int64 off)
{
    if (fault(Method::Write))
        return g_code;
    return ff(f)->real()->pMethods->xWrite(ff(f)->real(), buf, n, off);
}
int xTruncate(sqlite3_file *f, sqlite3_int64 size)
{
    if (fault(Method::Truncate))
        return g_code;
    return ff(f)->real()->pMethods->xTruncate(ff(f)->real(), size);
}
int xSync(sqlite3_file *f, int flags)
{
    if (fault(Method::Sync))
        return g_code;
    // Nothing here loses power: what a sync orders is only counted, which
    // keeps thousands of runs fast.
    (void)f;
    (void)flags;
    return SQLITE_OK;
}
int xFileSize(sqlite3_file *f, sqlite3_int64 *size) { return ff(f)->real()->pMethods->xFileSize(ff(f)->real(), size); }
int xLock(sqlite3_file *f, int level)
{
    if (fault(Method::Lock))
        return g_code;
    return ff(f)->real()->pMethods->xLock(ff(f)->real(), level);
}
int xUnlock(sqlite3_file *f, int level) { return ff(f)->real()->pMethods->xUnlock(ff(f)->real(), level); }
int xCheckReservedLock(sqlite3_file *f, int *out) { return ff(f)->real()->pMethods->xCheckReservedLock(ff(f)->real(), out); }
int xFileControl(sqlite3_file *f, int op, void *arg) { return ff(f)->real()->pMethods->xFileControl(ff(f)->real(), op, arg); }
int xSectorSize(sqlite3_file *f) { return ff(f)->real()->pMethods->xSectorSize(ff(f)->real()); }
int xDeviceCharacteristics(sqlite3_file *f) { return ff(f)->real()->pMethods->xDeviceCharacteristics(ff(f)->real()); }

// Version 1: no shared memory and no memory mapping, which a rollback
// journal does not need; every page goes through xRead and xWrite.
const sqlite3_io_methods g_methods = {1, xClose, xRead, xWrite, xTruncate, xSync, xFileSize, xLock, xUnlock,
                                      xCheckReservedLock, xFileControl, xSectorSize, xDeviceCharacteristics,
                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

int xOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *f, int flags, int *outFlags)
{
    FaultFile *p = ff(f);
    std::memset(p->real(), 0, size_t(g_base->szOsFile));
    const int rc = g_base->xOpen(g_base, name, p->real(), flags, outFlags);
    p->base.pMethods = p->real()->pMethods ? &g_methods : nullptr;
    return rc;
}

int xDelete(sqlite3_vfs *, const char *name, int syncDir) { return g_base->xDelete(g_base, name, syncDir); }
int xAccess(sqlite3_vfs *, const char *name, int flags, int *out) { return g_base->xAccess(g_base, name, flags, out); }
int xFullPathname(sqlite3_vfs *, const char *name, int n, char *out) { return g_base->xFullPathname(g_base, name, n, out); }
void *xDlOpen(sqlite3_vfs *, const char *name) { return g_base->xDlOpen(g_base, name); }
void xDlError(sqlite3_vfs *, int n, char *msg) { g_base->xDlError(g_base, n, msg); }
void (*xDlSym(sqlite3_vfs *, void *h, const char *sym))(void) { return g_base->xDlSym(g_base, h, sym); }
void xDlClose(sqlite3_vfs *, void *h) { g_base->xDlClose(g_base, h); }
int xRandomness(sqlite3_vfs *, int n, char *out) { return g_base->xRandomness(g_base, n, out); }
int xSleep(sqlite3_vfs *, int us) { return g_base->xSleep(g_base, us); }
int xCurrentTime(sqlite3_vfs *, double *t) { return g_base->xCurrentTime(g_base, t); }
int xGetLastError(sqlite3_vfs *, int n, char *out) { return g_base->xGetLastError ? g_base->xGetLastError(g_base, n, out) : 0; }
int xCurrentTimeInt64(sqlite3_vfs *, sqlite3_int64 *t) { return g_base->xCurrentTimeInt64(g_base, t); }

} // namespace

void install()
{
    if (g_base)
        return;
    g_base = sqlite3_vfs_find(nullptr);
    std::memset(&g_vfs, 0, sizeof g_vfs);
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = int(sizeof(FaultFile)) + g_base->szOsFile;
    g_vfs.mxPathname = g_base->mxPathname;
    g_vfs.zName = "faults";
    g_vfs.xOpen = xOpen;
    g_vfs.xDelete = xDelete;
    g_vfs.xAccess = xAccess;
    g_vfs.xFullPathname = xFullPathname;
    g_vfs.xDlOpen = xDlOpen;
    g_vfs.xDlError = xDlError;
    g_vfs.xDlSym = xDlSym;
    g_vfs.xDlClose = xDlClose;
    g_vfs.xRandomness = xRandomness;
    g_vfs.xSleep = xSleep;
    g_vfs.xCurrentTime = xCurrentTime;
    g_vfs.xGetLastError = xGetLastError;
    g_vfs.xCurrentTimeInt64 = xCurrentTimeInt64;
    sqlite3_vfs_register(&g_vfs, 1);
}

void arm(Method method, int n, int code)
{
    g_method = method;
    g_failAt = n;
    g_code = code;
    g_calls = 0;
    g_injected = false;
    g_armed = true;
}

void disarm() { g_armed = false; }
bool injected() { return g_injected; }
int calls() { return g_calls; }

} // namespace faultvfs
