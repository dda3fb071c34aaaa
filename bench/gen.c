/*
 * gen - make a folder of empty files with known time stamps, for the benchmark.
 *
 *   gen DIR N SPREAD SEED
 *
 * DIR must not exist yet. It gets N regular empty files with 20-character
 * names whose last-write and last-access times are
 *   SPREAD=days     pseudo-random over 3,650 days from 2010-01-01 (so a
 *                   yyyy-mm-dd mask yields about 3,650 distinct texts), or
 *   SPREAD=seconds  2015-06-01 00:00:00 UTC plus 0..N-1 seconds, handed out
 *                   in shuffled order (so every file has its own second), or
 *   SPREAD=photos   as for days, but each file NAME.jpg is a valid 8x8 grey
 *                   JPEG of 215 bytes whose Exif DateTimeOriginal is a
 *                   pseudo-random wall-clock time over the same 3,650 days,
 *                   unrelated to its last-write time.
 * Sub-seconds are random in every case.
 *
 * DIR also gets 5 subfolders of 3 files each. They and their files are
 * stamped 2020-12-25, a day no top-level file has, so a tool that counts
 * folders or descends into them produces a line nobody else does.
 *
 * The output depends only on N, SPREAD and SEED.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#define DAYS_BASE   1262304000LL  /* 2010-01-01 00:00:00 UTC */
#define DAYS_RANGE  (3650LL * 86400)
#define SECS_BASE   1433116800LL  /* 2015-06-01 00:00:00 UTC */
#define SUB_TIME    1608897600LL  /* 2020-12-25 12:00:00 UTC */
#define SUBDIRS     5
#define SUBFILES    3

static uint64_t rng_state;

/* splitmix64: tiny, fast and good enough for names and time stamps */
static uint64_t rng(void)
{
    uint64_t z = (rng_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

static void die(const char *what, const char *name)
{
    fprintf(stderr, "gen: %s %s: %s\n", what, name ? name : "", strerror(errno));
    exit(1);
}

/* An 8x8 grey baseline JPEG as ImageMagick writes it (-strip), without
 * its SOI and JFIF segment: tables, frame, scan, EOI. */
static const unsigned char jpeg_body[] = {
    0xff, 0xdb, 0x00, 0x43, 0x00, 0x10, 0x0b, 0x0c, 0x0e, 0x0c, 0x0a, 0x10, 0x0e, 0x0d, 0x0e,
    0x12, 0x11, 0x10, 0x13, 0x18, 0x28, 0x1a, 0x18, 0x16, 0x16, 0x18, 0x31, 0x23, 0x25, 0x1d,
    0x28, 0x3a, 0x33, 0x3d, 0x3c, 0x39, 0x33, 0x38, 0x37, 0x40, 0x48, 0x5c, 0x4e, 0x40, 0x44,
    0x57, 0x45, 0x37, 0x38, 0x50, 0x6d, 0x51, 0x57, 0x5f, 0x62, 0x67, 0x68, 0x67, 0x3e, 0x4d,
    0x71, 0x79, 0x70, 0x64, 0x78, 0x5c, 0x65, 0x67, 0x63, 0xff, 0xc0, 0x00, 0x0b, 0x08, 0x00,
    0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00, 0xff, 0xc4, 0x00, 0x14, 0x00, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0xff,
    0xc4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xda, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3f,
    0x00, 0x1f, 0xff, 0xd9,
};

/* SOI, then APP1 "Exif" holding a little-endian TIFF: IFD0 with only the
 * Exif IFD pointer, the Exif IFD with only DateTimeOriginal, its text. */
static size_t make_photo(unsigned char *out, long long taken)
{
    static const unsigned char head[] = {
        0xff, 0xd8, 0xff, 0xe1, 0x00, 0x48, 'E', 'x', 'i', 'f', 0, 0,
        'I', 'I', 42, 0, 8, 0, 0, 0,                       /* TIFF header */
        1, 0, 0x69, 0x87, 4, 0, 1, 0, 0, 0, 26, 0, 0, 0,   /* IFD0: ExifIFD at 26 */
        0, 0, 0, 0,
        1, 0, 0x03, 0x90, 2, 0, 20, 0, 0, 0, 44, 0, 0, 0,  /* DateTimeOriginal at 44 */
        0, 0, 0, 0,
    };
    time_t t = (time_t)taken;
    struct tm tm;
    gmtime_r(&t, &tm);
    size_t n = sizeof head;
    memcpy(out, head, n);
    n += (size_t)snprintf((char *)out + n, 21, "%04d:%02d:%02d %02d:%02d:%02d", tm.tm_year + 1900,
                          tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec) + 1;
    memcpy(out + n, jpeg_body, sizeof jpeg_body);
    return n + sizeof jpeg_body;
}

/* create a file holding SIZE bytes of DATA (or use an existing folder's fd)
 * and stamp it */
static void stamp_new_file_with(int dfd, const char *name, long long sec, long nsec,
                                const unsigned char *data, size_t size)
{
    int fd = openat(dfd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        die("cannot create", name);
    if (size > 0 && write(fd, data, size) != (ssize_t)size)
        die("cannot write", name);
    struct timespec ts[2] = { { sec, nsec }, { sec, nsec } }; /* access, write */
    if (futimens(fd, ts) != 0)
        die("cannot stamp", name);
    close(fd);
}

static void stamp_new_file(int dfd, const char *name, long long sec, long nsec)
{
    stamp_new_file_with(dfd, name, sec, nsec, NULL, 0);
}

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: gen DIR N days|seconds|photos SEED\n");
        return 2;
    }
    const char *dir = argv[1];
    char *end;
    long long n = strtoll(argv[2], &end, 10);
    if (*end || n < 0 || n > 100000000) {
        fprintf(stderr, "gen: bad N '%s'\n", argv[2]);
        return 2;
    }
    int by_seconds = 0, photos = 0;
    if (strcmp(argv[3], "days") == 0)
        by_seconds = 0;
    else if (strcmp(argv[3], "seconds") == 0)
        by_seconds = 1;
    else if (strcmp(argv[3], "photos") == 0)
        photos = 1;
    else {
        fprintf(stderr, "gen: SPREAD must be days, seconds or photos\n");
        return 2;
    }
    rng_state = strtoull(argv[4], NULL, 10);

    if (mkdir(dir, 0755) != 0)
        die("cannot make folder", dir);
    int dfd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        die("cannot open", dir);

    /* seconds spread: a shuffled permutation of 0..n-1 (Fisher-Yates) */
    uint32_t *perm = NULL;
    if (by_seconds) {
        perm = malloc((size_t)(n ? n : 1) * sizeof *perm);
        if (!perm)
            die("out of memory", NULL);
        for (long long i = 0; i < n; i++)
            perm[i] = (uint32_t)i;
        for (long long i = n - 1; i > 0; i--) {
            long long j = (long long)(rng() % (uint64_t)(i + 1));
            uint32_t t = perm[i];
            perm[i] = perm[j];
            perm[j] = t;
        }
    }

    /* names: 12 random [a-z0-9] + '_' + 7-digit index = 20 characters;
     * the index keeps them unique, the random prefix scatters them */
    static const char alnum[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    char name[64];
    for (long long i = 0; i < n; i++) {
        for (int k = 0; k < 12; k++)
            name[k] = alnum[rng() % 36];
        snprintf(name + 12, sizeof name - 12, "_%07lld", i);
        long long sec = by_seconds ? SECS_BASE + perm[i]
                                   : DAYS_BASE + (long long)(rng() % DAYS_RANGE);
        if (photos) {
            unsigned char photo[256];
            strcat(name, ".jpg");
            size_t size = make_photo(photo, DAYS_BASE + (long long)(rng() % DAYS_RANGE));
            stamp_new_file_with(dfd, name, sec, (long)(rng() % 1000000000), photo, size);
        } else {
            stamp_new_file(dfd, name, sec, (long)(rng() % 1000000000));
        }
    }
    free(perm);

    for (int s = 0; s < SUBDIRS; s++) {
        char sub[16];
        snprintf(sub, sizeof sub, "sub%d", s);
        if (mkdirat(dfd, sub, 0755) != 0)
            die("cannot make folder", sub);
        int sfd = openat(dfd, sub, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (sfd < 0)
            die("cannot open", sub);
        for (int f = 0; f < SUBFILES; f++) {
            snprintf(name, sizeof name, "inner%d", f);
            stamp_new_file(sfd, name, SUB_TIME, 0);
        }
        /* stamp the folder last: creating files inside it moved its times */
        struct timespec ts[2] = { { SUB_TIME, 0 }, { SUB_TIME, 0 } };
        if (futimens(sfd, ts) != 0)
            die("cannot stamp", sub);
        close(sfd);
    }
    close(dfd);
    return 0;
}
