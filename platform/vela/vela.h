/* vela: the small platform runtime under both deliverables: mutexes and
 * dynamic libraries. Plain C so that any tool library can use it. */
#pragma once

#include <stddef.h>

#if defined(_WIN32)
#define VELA_API __declspec(dllexport)
#else
#define VELA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- mutexes ---------------------------------------------------------- */

typedef struct Vela_Mutex Vela_Mutex;

/* recursive != 0 gives a mutex the owning thread may lock again. */
VELA_API Vela_Mutex *Vela_CreateMutex(int recursive);
VELA_API int Vela_LockMutex(Vela_Mutex *m);   /* 0 on success */
VELA_API int Vela_UnlockMutex(Vela_Mutex *m); /* 0 on success */
VELA_API void Vela_DestroyMutex(Vela_Mutex *m);

/* ---- dynamic libraries ------------------------------------------------ */

/* Maps a catalogue library name to this platform's file name and resolves
 * it: "Zeltscan.dll" -> "libZeltscan.so", "PACKET.dll" -> the packet-capture
 * runtime. A bare name is looked up in the program's directory first, then
 * in the directories of VELA_DSO_PATH (colon separated); if found the full
 * path is written, otherwise the mapped bare name (left to the system's
 * search). Returns the length written, or -1 if out is too small. */
VELA_API int Vela_ResolveDsoName(const char *name, char *out, size_t outLen);

/* Whether the library a catalogue name stands for is present as a file in
 * the program directory or a directory of VELA_DSO_PATH. A library of the
 * same name elsewhere on the system's search path does not count. */
VELA_API int Vela_DsoExists(const char *name);

/* Loads a library by catalogue name; null on failure (see Vela_GetLastDsoError). */
VELA_API void *Vela_LoadDSo(const char *name);
VELA_API void *Vela_GetDsoSym(void *handle, const char *symbol);
/* Last loader error of the calling thread, or null. */
VELA_API const char *Vela_GetLastDsoError(void);

/* The directory of the running program, without a trailing slash. */
VELA_API const char *Vela_ProgramDir(void);

#ifdef __cplusplus
}
#endif
