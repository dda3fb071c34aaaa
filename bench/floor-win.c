/*
 * floor-win - the Windows counterpart of floor.c: the least work a folder
 * date report can take through Win32, as the yardstick under Wine.
 *
 *   floor-win.exe DIR [MASK]        (MASK defaults to yyyy-mm-dd)
 *
 * Lists DIR\* with FindFirstFileExW (basic info, large fetch), skips
 * folders, turns ftLastWriteTime into local time, renders it through MASK
 * and counts. Prints "text count" lines sorted by text.
 *
 * Build: x86_64-w64-mingw32-gcc-posix -O2 -static -municode floor-win.c
 */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#include "tally.h"

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: floor-win DIR [MASK]\n");
        return 2;
    }
    char mask[TEXT_MAX] = "yyyy-mm-dd";
    if (argc == 3 && WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, mask, sizeof mask, NULL, NULL) == 0) {
        fprintf(stderr, "floor-win: bad mask\n");
        return 2;
    }
    if (mask_compile(mask) != 0) {
        fprintf(stderr, "floor-win: mask too long\n");
        return 2;
    }

    size_t dlen = wcslen(argv[1]);
    wchar_t *pattern = malloc((dlen + 3) * sizeof *pattern);
    if (!pattern)
        return 1;
    wcscpy(pattern, argv[1]);
    if (dlen && pattern[dlen - 1] != L'\\' && pattern[dlen - 1] != L'/')
        pattern[dlen++] = L'\\';
    wcscpy(pattern + dlen, L"*");

    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileExW(pattern, FindExInfoBasic, &fd, FindExSearchNameMatch,
                                NULL, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "floor-win: cannot list folder (error %lu)\n", GetLastError());
        return 1;
    }
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;            /* also skips . and .. */
        SYSTEMTIME utc, local;
        /* the plain (not Ex) conversion: NULL = the current time zone */
        if (!FileTimeToSystemTime(&fd.ftLastWriteTime, &utc) ||
            !SystemTimeToTzSpecificLocalTime(NULL, &utc, &local)) {
            fprintf(stderr, "floor-win: time conversion failed (error %lu)\n", GetLastError());
            return 1;
        }
        char text[TEXT_MAX];
        int len = mask_render(text, local.wYear, local.wMonth, local.wDay,
                              local.wHour, local.wMinute, local.wSecond);
        tally_add(text, len);
    } while (FindNextFileW(h, &fd));
    DWORD err = GetLastError();
    FindClose(h);
    if (err != ERROR_NO_MORE_FILES) {
        fprintf(stderr, "floor-win: listing stopped (error %lu)\n", err);
        return 1;
    }

    static char outbuf[1 << 16];
    setvbuf(stdout, outbuf, _IOFBF, sizeof outbuf);
    tally_print(stdout);
    return fflush(stdout) == 0 ? 0 : 1;
}
