/* Exports of the sysutil family: facts about files and the machine. They need
 * no session. See mirl_lib.h for the shared conventions.
 *
 * Strings are zero-terminated 8-bit strings. Output buffers belong to the
 * caller, who must make them large enough: the library cannot learn their
 * size. From R, a buffer is a character argument whose string is at least
 * the size below minus one characters long (R hands .C a copy of exactly
 * that many bytes plus the terminator), for example strrep(" ", 25) for
 * fileinfo's text. In the R_ twins a string argument is a pointer to the
 * string pointer (R's character vector); an empty vector (character(0))
 * arrives as a null pointer and gets the export's null-argument code. */
#ifndef MIRL_EXPORTS_SYSUTIL_API_H_
#define MIRL_EXPORTS_SYSUTIL_API_H_

#include "exports/mirl_api.h"

/* Bytes of the output buffers, terminator included. */
#define MIRL_FILEINFO_TEXT_BYTES 26
#define MIRL_SHORTPATH_BYTES 259
#define MIRL_COMPUTERNAME_BYTES 16

/* Size and last-write time of a file, or of the files of a directory or of a
 * wildcard pattern, and the free space of the file system holding it.
 * path: a file or a directory, with or without a trailing "/" or "\", or a
 * pattern whose last component holds "*" and "?". text (26 bytes) receives
 * the local last-write time "dd Mon yyyy, hh:mm:ss:mmm" of the file, or of
 * the newest matching file ("" when none); *size the total size in millions
 * of bytes (subdirectories are skipped, not entered); *free_space the
 * available millions of bytes (0 when unknown).
 * Returns 1, or -861 path null, -862 text null, -863 size null, -864
 * free_space null (nothing written), -866 pattern longer than 257 characters
 * (nothing written), -865 nothing matches (*size is 0, *free_space written,
 * text untouched), -860 failure during the work, for example a file time
 * outside the years 0..9999 (*size 0, text untouched). */
MIRL_API int fileinfo(const char* path, char* text, double* size, int* free_space);
MIRL_API int R_fileinfo(int* result, char** path, char** text, double* size, int* free_space);

/* The system's short form of long_path into short_path. Linux has no short
 * names: the short form is the canonical absolute path. short_path must hold
 * a string of at least 258 characters on entry (which proves 259 bytes of
 * room); it receives at most 259 bytes.
 * Returns 1, or -881 long_path null, -882 short_path null, -885 short_path
 * holds fewer than 258 characters, -883 no short form (the path does not
 * exist), -884 the short form needs more than 259 bytes, -860 failure during
 * the work. short_path is written only on success. */
MIRL_API int shortpath(const char* long_path, char* short_path);
MIRL_API int R_shortpath(int* result, char** long_path, char** short_path);

/* The computer's name, cut to its first 15 bytes, into name (16 bytes).
 * Returns 1, or -541 name null, -542 the system cannot tell the name, -540
 * failure during the work (in both, name receives ""). */
MIRL_API int computername(char* name);
MIRL_API int R_computername(int* result, char** name);

/* The calling process's identifier. This export shares the C library's name
 * and, in a program that binds to it, stands in for it: it always gives the
 * true identifier of the process it runs in. */
MIRL_API int getpid(void) MIRL_GETPID_NOEXCEPT;
MIRL_API int R_getpid(int* result);

#endif /* MIRL_EXPORTS_SYSUTIL_API_H_ */
