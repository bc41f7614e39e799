#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The game's file functions. Paths are game paths ("cfg\\loc.xml"): relative to
// the game folder, backslashes allowed, names matched case-insensitively.
// The pak archives are not read; every path resolves to a plain file.

struct PakHandle;

// The game folder every relative path is resolved against.
void PakSetGameDir(const std::string& dir);
std::string PakGetGameDir();
// The real file for a game path, or empty when none exists.
std::string PakResolvePath(const std::string& gamePath);

// mode as for fopen ("rb", "r", "wb"); writing creates the file in the game folder.
// Only regular files open: a named pipe would block for ever, a device never end.
PakHandle* PakOpen(const std::string& path, const char* mode);
size_t PakRead(void* buffer, size_t size, size_t count, PakHandle* handle);
// origin: SEEK_SET, SEEK_CUR, SEEK_END. 0 on success.
int PakSeek(PakHandle* handle, long offset, int origin);
long PakTell(PakHandle* handle);
int PakClose(PakHandle* handle);
// Reads a whole game file; false when it cannot be opened or read, or is
// larger than kMaxGameFileBytes.
bool PakReadAll(const std::string& path, std::string& out);
// Why the last PakOpen or PakReadAll of this thread failed ("no such file",
// "not a regular file", ...).
const std::string& PakLastError();

// No game file needs more, and what reads one may take many times its size
// (a parsed XML document up to sixteen times).
constexpr size_t kMaxGameFileBytes = size_t(32) << 20;
