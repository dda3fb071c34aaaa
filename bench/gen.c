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
 *                   in shuffled order (so every file has its own second).
 * Sub-seconds are random in both cases.
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

/* create an empty file (or use an existing folder's fd) and stamp it */
static void stamp_new_file(int dfd, const char *name, long long sec, long nsec)
{
    int fd = openat(dfd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        die("cannot create", name);
    struct timespec ts[2] = { { sec, nsec }, { sec, nsec } }; /* access, write */
    if (futimens(fd, ts) != 0)
        die("cannot stamp", name);
    close(fd);
}

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: gen DIR N days|seconds SEED\n");
        return 2;
    }
    const char *dir = argv[1];
    char *end;
    long long n = strtoll(argv[2], &end, 10);
    if (*end || n < 0 || n > 100000000) {
        fprintf(stderr, "gen: bad N '%s'\n", argv[2]);
        return 2;
    }
    int by_seconds;
    if (strcmp(argv[3], "days") == 0)
        by_seconds = 0;
    else if (strcmp(argv[3], "seconds") == 0)
        by_seconds = 1;
    else {
        fprintf(stderr, "gen: SPREAD must be days or seconds\n");
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
        stamp_new_file(dfd, name, sec, (long)(rng() % 1000000000));
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
