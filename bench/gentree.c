/*
 * gentree - the same files once spread over a tree of folders and once in
 * one folder, for the tree benchmark (bench/tree.sh).
 *
 *   gentree DIR N FOLDERS SEED
 *
 * DIR must not exist yet. It gets N empty files with 20-character names,
 * last written (and accessed) at pseudo-random times over 3,650 days from
 * 2010-01-01, like gen's "days" spread. With FOLDERS 1 they lie directly in
 * DIR; otherwise in FOLDERS leaf folders DIR/tNNN/lNNN (two levels, about
 * sqrt(FOLDERS) folders on the first), file i in leaf i % FOLDERS. The names
 * and times depend only on N and SEED, so a tree and a flat folder made with
 * the same N and SEED hold the same files.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#define DAYS_BASE  1262304000LL /* 2010-01-01 00:00:00 UTC */
#define DAYS_RANGE (3650LL * 86400)

static uint64_t rng_state;

static uint64_t rng(void) /* splitmix64 */
{
    uint64_t z = (rng_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

static void die(const char *what, const char *name)
{
    fprintf(stderr, "gentree: %s %s: %s\n", what, name ? name : "", strerror(errno));
    exit(1);
}

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: gentree DIR N FOLDERS SEED\n");
        return 2;
    }
    long long n = atoll(argv[2]), folders = atoll(argv[3]);
    if (n < 0 || folders < 1 || folders > 1000000) {
        fprintf(stderr, "gentree: bad N or FOLDERS\n");
        return 2;
    }
    rng_state = strtoull(argv[4], NULL, 10);
    if (mkdir(argv[1], 0755) != 0)
        die("cannot make folder", argv[1]);
    int root = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0)
        die("cannot open", argv[1]);

    /* the leaf folders, made up front; files are created by relative path,
     * so no more than one descriptor is open at a time */
    long long top = (long long)ceil(sqrt((double)folders));
    char name[64], path[96];
    for (long long i = 0; folders > 1 && i < folders; i++) {
        snprintf(path, sizeof path, "t%03lld", i / top);
        if (i % top == 0 && mkdirat(root, path, 0755) != 0)
            die("cannot make folder", path);
        snprintf(path, sizeof path, "t%03lld/l%03lld", i / top, i % top);
        if (mkdirat(root, path, 0755) != 0)
            die("cannot make folder", path);
    }

    static const char alnum[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (long long i = 0; i < n; i++) {
        for (int k = 0; k < 12; k++)
            name[k] = alnum[rng() % 36];
        snprintf(name + 12, sizeof name - 12, "_%07lld", i);
        struct timespec ts = { DAYS_BASE + (long long)(rng() % DAYS_RANGE), (long)(rng() % 1000000000) };
        struct timespec both[2] = { ts, ts };
        long long f = i % folders;
        if (folders > 1)
            snprintf(path, sizeof path, "t%03lld/l%03lld/%s", f / top, f % top, name);
        else
            snprintf(path, sizeof path, "%s", name);
        int fd = openat(root, path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            die("cannot create", path);
        if (futimens(fd, both) != 0)
            die("cannot stamp", name);
        close(fd);
    }
    close(root);
    return 0;
}
