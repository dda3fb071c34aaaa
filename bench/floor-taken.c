/*
 * floor-taken - the least work counting the photos of a folder by the date
 * they were taken can take on Linux, as the yardstick for bench/taken.sh:
 *
 *   floor-taken DIR [MASK]    (MASK defaults to yyyy-mm-dd)
 *
 * On one thread: reads DIR with getdents64, and for each regular file opens
 * it read-only, reads its first 4 KiB with one read, closes it, and finds
 * the Exif date of a JPEG (DateTimeOriginal, else DateTimeDigitized, else
 * IFD0's DateTime). A file without one is dated by its last-write time in
 * local time (TZ), through one statx. Renders the date through MASK and
 * counts; prints "text count" lines sorted by text.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "tally.h"

struct dirent64_raw {
    uint64_t ino;
    int64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[];
};

struct tiff {
    const unsigned char *p;
    size_t n;
    int big;   /* byte order MM */
};

static unsigned get16(const struct tiff *t, size_t at)
{
    const unsigned char *b = t->p + at;
    return t->big ? (unsigned)(b[0] << 8 | b[1]) : (unsigned)(b[1] << 8 | b[0]);
}

static uint32_t get32(const struct tiff *t, size_t at)
{
    const unsigned char *b = t->p + at;
    return t->big ? (uint32_t)b[0] << 24 | (uint32_t)b[1] << 16 | (uint32_t)b[2] << 8 | b[3]
                  : (uint32_t)b[3] << 24 | (uint32_t)b[2] << 16 | (uint32_t)b[1] << 8 | b[0];
}

/* the value of TAG in the IFD at IFD: an offset (LONG) or the place of a
 * 20-byte ASCII text, or 0 */
static uint32_t find_tag(const struct tiff *t, uint32_t ifd, unsigned tag, int text)
{
    if (ifd < 8 || (size_t)ifd + 2 > t->n)
        return 0;
    unsigned count = get16(t, ifd);
    for (unsigned i = 0; i < count; i++) {
        size_t e = ifd + 2 + (size_t)i * 12;
        if (e + 12 > t->n)
            return 0;
        if (get16(t, e) != tag)
            continue;
        uint32_t value = get32(t, e + 8);
        if (text && (get16(t, e + 2) != 2 || get32(t, e + 4) < 20 || (size_t)value + 20 > t->n))
            return 0;
        return value;
    }
    return 0;
}

/* "YYYY:MM:DD HH:MM:SS" at P into fields; 0 when it is no date */
static int date_text(const unsigned char *p, int f[6])
{
    static const char shape[] = "dddd:dd:dd dd:dd:dd";
    for (int i = 0; i < 19; i++)
        if (shape[i] == 'd' ? p[i] < '0' || p[i] > '9' : p[i] != shape[i])
            return 0;
    f[0] = (p[0] - '0') * 1000 + (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
    for (int k = 1; k < 6; k++)
        f[k] = (p[2 + 3 * k] - '0') * 10 + (p[3 + 3 * k] - '0');
    return f[0] >= 1970 && f[1] >= 1 && f[1] <= 12 && f[2] >= 1 && f[2] <= 31 && f[3] <= 23 &&
           f[4] <= 59 && f[5] <= 59;
}

static int exif_date(const unsigned char *p, size_t n, int f[6])
{
    struct tiff t = { p, n, 0 };
    if (n < 8 || !(memcmp(p, "II*\0", 4) == 0 || memcmp(p, "MM\0*", 4) == 0))
        return 0;
    t.big = p[0] == 'M';
    uint32_t ifd0 = get32(&t, 4);
    uint32_t exif = find_tag(&t, ifd0, 0x8769, 0);
    uint32_t at;
    if ((at = find_tag(&t, exif, 0x9003, 1)) && date_text(p + at, f))
        return 1;
    if ((at = find_tag(&t, exif, 0x9004, 1)) && date_text(p + at, f))
        return 1;
    return (at = find_tag(&t, ifd0, 0x0132, 1)) && date_text(p + at, f);
}

/* the Exif date of the JPEG in the N bytes at P */
static int jpeg_date(const unsigned char *p, size_t n, int f[6])
{
    if (n < 4 || p[0] != 0xff || p[1] != 0xd8)
        return 0;
    for (size_t at = 2; at + 4 <= n;) {
        if (p[at] != 0xff || p[at + 1] == 0xda || p[at + 1] == 0xd9)
            return 0;
        size_t len = (size_t)p[at + 2] << 8 | p[at + 3];
        if (len < 2 || at + 2 + len > n)
            return 0;
        if (p[at + 1] == 0xe1 && len >= 8 && memcmp(p + at + 4, "Exif\0\0", 6) == 0)
            return exif_date(p + at + 10, len - 8, f);
        at += 2 + len;
    }
    return 0;
}

static char buf[1 << 20];

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: floor-taken DIR [MASK]\n");
        return 2;
    }
    if (mask_compile(argc == 3 ? argv[2] : "yyyy-mm-dd") != 0) {
        fprintf(stderr, "floor-taken: mask too long\n");
        return 2;
    }
    int dfd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) {
        perror(argv[1]);
        return 1;
    }
    tzset();
    static unsigned char head[4096];
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
            if (d->type != DT_REG)
                continue;   /* the benchmark's data has types; folders are not counted */
            int f[6], fd = openat(dfd, d->name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
            ssize_t n = fd >= 0 ? read(fd, head, sizeof head) : -1;
            if (fd >= 0)
                close(fd);
            if (n <= 0 || !jpeg_date(head, (size_t)n, f)) {
                struct statx sx;
                if (statx(dfd, d->name, AT_SYMLINK_NOFOLLOW, STATX_MTIME, &sx) != 0) {
                    perror(d->name);
                    return 1;
                }
                time_t t = (time_t)sx.stx_mtime.tv_sec;
                struct tm tm;
                localtime_r(&t, &tm);
                f[0] = tm.tm_year + 1900, f[1] = tm.tm_mon + 1, f[2] = tm.tm_mday;
                f[3] = tm.tm_hour, f[4] = tm.tm_min, f[5] = tm.tm_sec;
            }
            char text[TEXT_MAX];
            tally_add(text, mask_render(text, f[0], f[1], f[2], f[3], f[4], f[5]));
        }
    }
    close(dfd);
    static char outbuf[1 << 16];
    setvbuf(stdout, outbuf, _IOFBF, sizeof outbuf);
    tally_print(stdout);
    return fflush(stdout) == 0 ? 0 : 1;
}
