/*
 * floor - the least work a folder date report can take on Linux, as the
 * yardstick for the benchmark:
 *
 *   floor [--threads N] DIR [MASK]    (MASK defaults to yyyy-mm-dd)
 *
 * Reads DIR with getdents64 into a large buffer, does one statx per entry
 * (type, size, last-write time; links not followed), skips folders, turns
 * the last-write time into local time (TZ), renders it through MASK and
 * counts. Prints "text count" lines sorted by text.
 *
 * With --threads N (N >= 1) the statx calls are made by N helper threads
 * (pthreads) besides the program thread: the program thread lists names
 * into batches of 512, four batches in flight, and counts; the helpers stat
 * the oldest batch first; the program thread stats names of the batch it
 * waits for too. Every name is claimed through its batch's one atomic
 * index; the threads sleep on condition variables, none spins. Build with
 * -pthread.
 */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdlib.h>
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

/* a pipeline of batches: the helpers stat the oldest first */
#define BATCH 512
#define INFLIGHT 4
struct batch {
    int n;
    atomic_int claim;   /* the next name to stat */
    int helpers;        /* helpers at work on it, under mu */
    char names[BATCH][256];
    struct statx sx[BATCH];
    int err[BATCH];
};
static struct batch batches[INFLIGHT];
static pthread_mutex_t mu = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t work = PTHREAD_COND_INITIALIZER, left = PTHREAD_COND_INITIALIZER;
static struct batch *queue[INFLIGHT];   /* started batches, oldest at qhead */
static int qhead, qlen, stopping, helpers, dfd_shared;

static void stat_claimed(struct batch *b)
{
    for (;;) {
        int i = atomic_fetch_add_explicit(&b->claim, 1, memory_order_relaxed);
        if (i >= b->n)
            return;
        b->err[i] = statx(dfd_shared, b->names[i], AT_SYMLINK_NOFOLLOW,
                          STATX_TYPE | STATX_SIZE | STATX_MTIME, &b->sx[i]) ? errno : 0;
    }
}

static void unqueue(struct batch *b)   /* under mu: b is the oldest if queued */
{
    if (qlen > 0 && queue[qhead] == b) {
        qhead = (qhead + 1) % INFLIGHT;
        qlen--;
    }
}

static void *helper(void *unused)
{
    (void)unused;
    pthread_mutex_lock(&mu);
    for (;;) {
        while (!stopping && qlen == 0)
            pthread_cond_wait(&work, &mu);
        if (stopping)
            break;
        struct batch *b = queue[qhead];
        b->helpers++;
        pthread_mutex_unlock(&mu);
        stat_claimed(b);
        pthread_mutex_lock(&mu);
        unqueue(b);
        if (--b->helpers == 0)
            pthread_cond_broadcast(&left);
    }
    pthread_mutex_unlock(&mu);
    return NULL;
}

static void submit(struct batch *b)
{
    atomic_store_explicit(&b->claim, 0, memory_order_relaxed);
    pthread_mutex_lock(&mu);
    queue[(qhead + qlen) % INFLIGHT] = b;
    qlen++;
    pthread_mutex_unlock(&mu);
    if (helpers > 1)
        pthread_cond_broadcast(&work);
    else
        pthread_cond_signal(&work);
}

static void finish(struct batch *b)   /* stat what is left, wait for the helpers */
{
    stat_claimed(b);
    pthread_mutex_lock(&mu);
    unqueue(b);
    while (b->helpers > 0)
        pthread_cond_wait(&left, &mu);
    pthread_mutex_unlock(&mu);
}

static long got, pos;
static int listed;

static void fill(int dfd, struct batch *b)
{
    b->n = 0;
    while (b->n < BATCH && !listed) {
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
            strcpy(b->names[b->n++], d->name);
    }
    if (b->n > 0)
        submit(b);
}

static int threaded(int dfd, int n)
{
    pthread_t tids[64];
    dfd_shared = dfd;
    for (helpers = 0; helpers < n; helpers++)
        if (pthread_create(&tids[helpers], NULL, helper, NULL) != 0)
            break;
    if (helpers == 0) {
        fprintf(stderr, "floor: no thread could start\n");
        return 1;
    }
    for (int k = 0; k < INFLIGHT; k++)
        fill(dfd, &batches[k]);
    int cur = 0, rc = 0;
    finish(&batches[cur]);
    while (batches[cur].n > 0 && rc == 0) {
        struct batch *b = &batches[cur];
        for (int i = 0; i < b->n; i++) {
            if (b->err[i] != 0) {
                errno = b->err[i];
                perror(b->names[i]);
                rc = 1;
                break;
            }
            count(&b->sx[i]);
        }
        fill(dfd, b);
        cur = (cur + 1) % INFLIGHT;
        finish(&batches[cur]);
    }
    for (int k = 0; k < INFLIGHT; k++)
        finish(&batches[k]);
    pthread_mutex_lock(&mu);
    stopping = 1;
    pthread_mutex_unlock(&mu);
    pthread_cond_broadcast(&work);
    for (int i = 0; i < helpers; i++)
        pthread_join(tids[i], NULL);
    return rc;
}

int main(int argc, char **argv)
{
    int threads = 0;
    if (argc > 2 && strcmp(argv[1], "--threads") == 0) {
        char *end;
        long n = strtol(argv[2], &end, 10);
        if (*end != '\0' || n < 0 || n > 64) {
            fprintf(stderr, "floor: --threads takes 0 to 64\n");
            return 2;
        }
        threads = (int)n;
        argv += 2;
        argc -= 2;
    }
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: floor [--threads N] DIR [MASK]\n");
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
    if (threads > 0 ? threaded(dfd, threads) : plain(dfd))
        return 1;
    close(dfd);

    static char outbuf[1 << 16];
    setvbuf(stdout, outbuf, _IOFBF, sizeof outbuf);
    tally_print(stdout);
    return fflush(stdout) == 0 ? 0 : 1;
}
