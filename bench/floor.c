/*
 * floor - the least work a folder date report can take on Linux, as the
 * yardstick for the benchmark:
 *
 *   floor DIR [MASK]        (MASK defaults to yyyy-mm-dd)
 *
 * Reads DIR with getdents64 into a large buffer, does one statx per entry
 * (type, size, last-write time; links not followed), skips folders, turns
 * the last-write time into local time (TZ), renders it through MASK and
 * counts. Prints "text count" lines sorted by text.
 */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "tally.h"

struct dirent64_raw {            /* what the kernel hands back */
    uint64_t ino;
    int64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[];
};

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: floor DIR [MASK]\n");
        return 2;
    }
    if (mask_compile(argc == 3 ? argv[2] : "yyyy-mm-dd") != 0) {
        fprintf(stderr, "floor: mask too long\n");
        return 2;
    }
    int dfd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) {
        perror(argv[1]);
        return 1;
    }
    tzset();

    static char buf[1 << 20];
    for (;;) {
        long got = syscall(SYS_getdents64, dfd, buf, sizeof buf);
        if (got < 0) {
            perror("getdents64");
            return 1;
        }
        if (got == 0)
            break;
        for (long pos = 0; pos < got;) {
            struct dirent64_raw *d = (struct dirent64_raw *)(buf + pos);
            pos += d->reclen;
            if (d->name[0] == '.' && (!d->name[1] || (d->name[1] == '.' && !d->name[2])))
                continue;
            struct statx sx;
            if (statx(dfd, d->name, AT_SYMLINK_NOFOLLOW,
                      STATX_TYPE | STATX_SIZE | STATX_MTIME, &sx) != 0) {
                perror(d->name);
                return 1;
            }
            if (S_ISDIR(sx.stx_mode))
                continue;
            time_t t = (time_t)sx.stx_mtime.tv_sec;
            struct tm tm;
            localtime_r(&t, &tm);
            char text[TEXT_MAX];
            int len = mask_render(text, tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                                  tm.tm_hour, tm.tm_min, tm.tm_sec);
            tally_add(text, len);
        }
    }
    close(dfd);

    static char outbuf[1 << 16];
    setvbuf(stdout, outbuf, _IOFBF, sizeof outbuf);
    tally_print(stdout);
    return fflush(stdout) == 0 ? 0 : 1;
}
