/*
 * floor - the least work a folder date report can take on Linux, as the
 * yardstick for the benchmark:
 *
 *   floor [--uring] DIR [MASK]        (MASK defaults to yyyy-mm-dd)
 *
 * Reads DIR with getdents64 into a large buffer, does one statx per entry
 * (type, size, last-write time; links not followed), skips folders, turns
 * the last-write time into local time (TZ), renders it through MASK and
 * counts. Prints "text count" lines sorted by text.
 *
 * With --uring the statx calls go to io_uring in batches of 256, the next
 * batch in flight while the program counts the one before (one program
 * thread; the kernel's workers run the calls). Build with -luring.
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

#include <liburing.h>

#include "tally.h"

struct dirent64_raw {            /* what the kernel hands back */
    uint64_t ino;
    int64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[];
};

static void count(const struct statx *sx)
{
    if (S_ISDIR(sx->stx_mode))
        return;
    time_t t = (time_t)sx->stx_mtime.tv_sec;
    struct tm tm;
    localtime_r(&t, &tm);
    char text[TEXT_MAX];
    int len = mask_render(text, tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                          tm.tm_hour, tm.tm_min, tm.tm_sec);
    tally_add(text, len);
}

static int is_dots(const char *name)
{
    return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]));
}

static char buf[1 << 20];

static int plain(int dfd)
{
    for (;;) {
        long got = syscall(SYS_getdents64, dfd, buf, sizeof buf);
        if (got < 0) {
            perror("getdents64");
            return 1;
        }
        if (got == 0)
            return 0;
        for (long pos = 0; pos < got;) {
            struct dirent64_raw *d = (struct dirent64_raw *)(buf + pos);
            pos += d->reclen;
            if (is_dots(d->name))
                continue;
            struct statx sx;
            if (statx(dfd, d->name, AT_SYMLINK_NOFOLLOW,
                      STATX_TYPE | STATX_SIZE | STATX_MTIME, &sx) != 0) {
                perror(d->name);
                return 1;
            }
            count(&sx);
        }
    }
}

/* two batches take turns: one in the kernel, one being counted */
#define BATCH 256
struct batch { int n; char names[BATCH][256]; struct statx sx[BATCH]; };
static struct batch batches[2];
static struct io_uring ring;

static int submit(int dfd, struct batch *b)
{
    for (int i = 0; i < b->n; i++) {
        struct io_uring_sqe *sqe = io_uring_get_sqe(&ring);
        io_uring_prep_statx(sqe, dfd, b->names[i], AT_SYMLINK_NOFOLLOW,
                            STATX_TYPE | STATX_SIZE | STATX_MTIME, &b->sx[i]);
        io_uring_sqe_set_data64(sqe, 1);
    }
    return b->n ? io_uring_submit(&ring) : 0;
}

static int reap(int n)
{
    for (int i = 0; i < n; i++) {
        struct io_uring_cqe *cqe;
        if (io_uring_wait_cqe(&ring, &cqe) != 0 || cqe->res < 0) {
            fprintf(stderr, "statx through io_uring failed\n");
            return 1;
        }
        io_uring_cqe_seen(&ring, cqe);
    }
    return 0;
}

static int uring(int dfd)
{
    if (io_uring_queue_init(BATCH, &ring, 0) < 0) {
        fprintf(stderr, "floor: io_uring refused\n");
        return 1;
    }
    long got = 0, pos = 0;
    int cur = 0, listed = 0;
    for (;;) {
        struct batch *next = &batches[1 - cur];
        next->n = 0;
        while (next->n < BATCH && !listed) {
            if (pos == got) {
                got = syscall(SYS_getdents64, dfd, buf, sizeof buf);
                pos = 0;
                if (got <= 0) {
                    listed = 1;
                    break;
                }
            }
            struct dirent64_raw *d = (struct dirent64_raw *)(buf + pos);
            pos += d->reclen;
            if (!is_dots(d->name))
                strcpy(next->names[next->n++], d->name);
        }
        if (submit(dfd, next) < 0)
            return 1;
        struct batch *done = &batches[cur];
        for (int i = 0; i < done->n; i++)
            count(&done->sx[i]);
        if (next->n == 0)
            return 0;
        if (reap(next->n))
            return 1;
        cur = 1 - cur;
    }
}

int main(int argc, char **argv)
{
    int use_ring = argc > 1 && strcmp(argv[1], "--uring") == 0;
    argv += use_ring;
    argc -= use_ring;
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: floor [--uring] DIR [MASK]\n");
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
    if (use_ring ? uring(dfd) : plain(dfd))
        return 1;
    close(dfd);

    static char outbuf[1 << 16];
    setvbuf(stdout, outbuf, _IOFBF, sizeof outbuf);
    tally_print(stdout);
    return fflush(stdout) == 0 ? 0 : 1;
}
