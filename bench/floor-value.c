/*
 * floor-value - the cheapest way known to make a folder date report on
 * Linux, as the hardest yardstick for the benchmark:
 *
 *   floor-value [--threads N] DIR [MASK]    (MASK defaults to yyyy-mm-dd)
 *
 * Its output is floor's ("text count" lines sorted by text), byte for
 * byte; the work differs:
 *
 * - Listing: getdents64 into LIST_BYTES buffers, SLOTS of them in flight,
 *   so the next one is listed while the names of the one before are being
 *   statted. Folders are known from the entry's type and not statted.
 * - Stat: one statx per name, asking only for the type and the last-write
 *   time, links not followed. The program thread and N helper threads
 *   (pthreads) take CHUNK names at a time through one claim word (buffer
 *   number and position, one compare-and-swap a chunk); helpers sleep on a
 *   futex only when nothing is listed yet. The program thread lists the
 *   next buffer as soon as every name of the oldest one is done, and stats
 *   in between. Each helper stats through a descriptor of its own.
 * - Local time: the zone's offset once per UTC day (localtime_r on the
 *   day's first and last second; a day where the two differ is asked
 *   stamp by stamp), kept in a small table per thread.
 * - Counting by value: each thread counts its own local seconds,
 *   truncated to the finest unit the mask shows (a day at the coarsest),
 *   in a small open-addressing hash while the values are few; past
 *   HASH_MAX distinct values it appends them to a plain array instead
 *   (32 bits from a base, 64 when a value falls outside), which it radix
 *   sorts once the listing is done.
 * - Report: the threads' sorted counts are merged; each distinct value is
 *   rendered once through the mask (tally.h). Where the texts sort as the
 *   times do (mask_in_order), lines are written as they come: equal
 *   neighbours merged, or, where every value has a text of its own, in
 *   blocks of about BLOCK values that all threads render and write in
 *   turn. Otherwise the texts go through tally.h's count and sort.
 *
 * Build with -pthread. CHUNK, SLOTS, LIST_BYTES, HASH_MAX, BLOCK and
 * STATX_FLAGS may be set with -D to measure other choices.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/futex.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "tally.h"

/*
 * The choices, as measured at 1M files on two threads (medians of 5 to 9
 * alternating runs on a shared 2-core machine, so alike within about 4%):
 * claims of 8 to 2048 names take the same time; one listing buffer makes
 * the helper wait while it is listed anew (10% more wall), three are no
 * faster than two; buffers of 32 KiB to 4 MiB take the same time, and
 * each MiB of them is a MiB of peak RSS; AT_STATX_DONT_SYNC, a wider mask
 * or fstatat cost the same per call on ext4 (within 1%), and so does
 * statting in inode order.
 */
#ifndef CHUNK
#define CHUNK 64                 /* names a claim takes */
#endif
#ifndef SLOTS
#define SLOTS 2                  /* listing buffers in flight */
#endif
#ifndef LIST_BYTES
#define LIST_BYTES (1 << 16)     /* one getdents64 buffer */
#endif
#ifndef HASH_MAX
#define HASH_MAX 4096            /* distinct values a thread hashes */
#endif
#ifndef STATX_FLAGS
#define STATX_FLAGS (AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT)
#endif
#define HASH_SLOTS (2 * HASH_MAX) /* load at most 1/2 */
#define MAX_THREADS 65            /* the program thread and 64 helpers */

struct dirent64_raw {            /* what the kernel hands back */
    uint64_t ino;
    int64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[];
};

static void die(const char *what)
{
    fprintf(stderr, "floor-value: %s\n", what);
    exit(1);
}

/* ---- calendar ------------------------------------------------------------ */

static int64_t floor_div(int64_t a, int64_t b)   /* b > 0 */
{
    int64_t q = a / b;
    return q - (a % b < 0);
}

/* days since 1970-01-01 into a proleptic Gregorian date (eras of 400
 * years, March-based years, so leap days come last) */
static void civil(int64_t days, int *year, int *mon, int *day)
{
    int64_t z = days + 719468;
    int64_t era = floor_div(z, 146097);
    int64_t doe = z - era * 146097;                               /* 0..146096 */
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);        /* 0..365 */
    int64_t mp = (5 * doy + 2) / 153;                             /* 0 = March */
    *day = (int)(doy - (153 * mp + 2) / 5 + 1);
    *mon = (int)(mp < 10 ? mp + 3 : mp - 9);
    *year = (int)(yoe + era * 400 + (*mon <= 2));
}

/* ---- the zone's offset, per UTC day --------------------------------------- */

/* direct-mapped by day: 44 years of days without a collision */
#define ZONE_SLOTS (1 << 14)
#define MIXED INT32_MIN          /* the offset changes within the day */
struct zone_slot { int32_t day, off; };

static int32_t gmtoff(time_t t)
{
    struct tm tm;
    return localtime_r(&t, &tm) ? (int32_t)tm.tm_gmtoff : 0;
}

/* ---- counting by value ------------------------------------------------------ */

struct hslot { int64_t v; uint64_t n; };   /* n == 0: empty */

struct counter {
    long unit;                   /* seconds a value stands for */
    struct zone_slot zone[ZONE_SLOTS];
    struct hslot *hash;          /* while the values are few */
    uint32_t distinct;
    uint32_t *v32;               /* then one value per file, from base */
    int64_t *v64;                /* or the full values, once one did not fit */
    int64_t base;
    size_t len, cap;
    int dfd;                     /* the folder, a descriptor of the thread's own */
    int err;                     /* errno of a failed statx, its name in bad */
    char bad[256];
};

static void zone_init(struct counter *c)
{
    for (int i = 0; i < ZONE_SLOTS; i++)
        c->zone[i].day = INT32_MIN;   /* no day of an int32_t range */
}

static int32_t zone_offset(int64_t day)
{
    int32_t first = gmtoff((time_t)(day * 86400));
    int32_t last = gmtoff((time_t)(day * 86400 + 86399));
    return first == last ? first : MIXED;
}

static int64_t local_seconds(struct counter *c, int64_t t)
{
    int64_t day = floor_div(t, 86400);
    int32_t off;
    if (day > INT32_MIN && day <= INT32_MAX) {
        struct zone_slot *z = &c->zone[(uint32_t)day % ZONE_SLOTS];
        if (z->day != day)
            *z = (struct zone_slot){ (int32_t)day, zone_offset(day) };
        off = z->off;
    } else {
        off = MIXED;             /* out of the table's days: ask the stamp */
    }
    return t + (off != MIXED ? off : gmtoff((time_t)t));
}

static void append(struct counter *c, int64_t v)
{
    if (c->len == c->cap) {
        c->cap = c->cap ? c->cap * 2 : 65536;
        if (c->v64)
            c->v64 = grow(c->v64, c->cap * sizeof *c->v64);
        else
            c->v32 = grow(c->v32, c->cap * sizeof *c->v32);
    }
    if (c->v64) {
        c->v64[c->len++] = v;
        return;
    }
    uint64_t d = (uint64_t)v - (uint64_t)c->base;
    if (d <= UINT32_MAX) {
        c->v32[c->len++] = (uint32_t)d;
        return;
    }
    /* a value more than 68 years of units from the first: widen, from the
     * top down, in place */
    c->v64 = grow(c->v32, c->cap * sizeof *c->v64);
    c->v32 = NULL;
    const uint32_t *from = (const uint32_t *)c->v64;
    for (size_t i = c->len; i-- > 0;)
        c->v64[i] = c->base + (int64_t)from[i];
    c->v64[c->len++] = v;
}

static uint32_t hash_of(int64_t v)
{
    return (uint32_t)(((uint64_t)v * 0x9E3779B97F4A7C15ull) >> 40) & (HASH_SLOTS - 1);
}

/* too many values for the hash: from now on one entry a file */
static void to_array(struct counter *c, int64_t first)
{
    c->base = first - (int64_t)INT32_MAX;
    for (uint32_t i = 0; i < HASH_SLOTS; i++)
        for (uint64_t k = 0; k < c->hash[i].n; k++)
            append(c, c->hash[i].v);
    free(c->hash);
    c->hash = NULL;
}

static void count_value(struct counter *c, int64_t v)
{
    if (c->hash) {
        uint32_t i = hash_of(v);
        for (; c->hash[i].n; i = (i + 1) & (HASH_SLOTS - 1))
            if (c->hash[i].v == v) {
                c->hash[i].n++;
                return;
            }
        if (c->distinct < HASH_MAX) {
            c->hash[i] = (struct hslot){ v, 1 };
            c->distinct++;
            return;
        }
        to_array(c, v);
    }
    append(c, v);
}

static void count_stamp(struct counter *c, int64_t t)
{
    int64_t local = local_seconds(c, t);
    switch (c->unit) {   /* constant divisors: no division instruction */
    case 86400: count_value(c, floor_div(local, 86400)); break;
    case 3600: count_value(c, floor_div(local, 3600)); break;
    case 60: count_value(c, floor_div(local, 60)); break;
    default: count_value(c, local); break;
    }
}

/*
 * In-place MSD radix sort (American flag sort) by 11-bit digits from the
 * highest bit the keys differ in: no second array, so sorting takes no
 * memory beyond the values. Short buckets go by insertion sort.
 */
#define RADIX_BITS 11
#define RADIX_SMALL 32
#define RADIX_SORT(name, type)                                                      \
    static void name##_digits(type *a, size_t n, int shift)                         \
    {                                                                               \
        enum { B = 1 << RADIX_BITS };                                               \
        if (n <= RADIX_SMALL) {                                                     \
            for (size_t i = 1; i < n; i++) {                                        \
                type x = a[i];                                                      \
                size_t j = i;                                                       \
                for (; j > 0 && a[j - 1] > x; j--)                                  \
                    a[j] = a[j - 1];                                                \
                a[j] = x;                                                           \
            }                                                                       \
            return;                                                                 \
        }                                                                           \
        size_t head[B] = { 0 }, tail[B];                                            \
        for (size_t i = 0; i < n; i++)                                              \
            head[(a[i] >> shift) & (B - 1)]++;                                      \
        size_t sum = 0;                                                             \
        for (int k = 0; k < B; k++) {                                               \
            size_t c = head[k];                                                     \
            head[k] = sum;                                                          \
            tail[k] = sum += c;                                                     \
        }                                                                           \
        size_t start[B];                                                            \
        memcpy(start, head, sizeof start);                                          \
        for (int k = 0; k < B; k++)                                                 \
            while (head[k] < tail[k]) {                                             \
                type x = a[head[k]];                                                \
                int d = (int)((x >> shift) & (B - 1));                              \
                while (d != k) {                                                    \
                    type y = a[head[d]];                                            \
                    a[head[d]++] = x;                                               \
                    x = y;                                                          \
                    d = (int)((x >> shift) & (B - 1));                              \
                }                                                                   \
                a[head[k]++] = x;                                                   \
            }                                                                       \
        if (shift == 0)                                                             \
            return;                                                                 \
        int next = shift > RADIX_BITS ? shift - RADIX_BITS : 0;                     \
        for (int k = 0; k < B; k++)                                                 \
            if (tail[k] - start[k] > 1)                                             \
                name##_digits(a + start[k], tail[k] - start[k], next);              \
    }                                                                               \
    static void name(type *a, size_t n)                                             \
    {                                                                               \
        if (n < 2)                                                                  \
            return;                                                                 \
        type diff = 0;                                                              \
        for (size_t i = 1; i < n; i++)                                              \
            diff |= a[i] ^ a[0];                                                    \
        int top = 0;                                                                \
        while (top < (int)sizeof(type) * 8 && diff >> top)                          \
            top++;                                                                  \
        if (top > 0)                                                                \
            name##_digits(a, n, top > RADIX_BITS ? top - RADIX_BITS : 0);           \
    }
RADIX_SORT(sort32, uint32_t)
RADIX_SORT(sort64u, uint64_t)

static int by_value(const void *a, const void *b)
{
    int64_t x = ((const struct hslot *)a)->v, y = ((const struct hslot *)b)->v;
    return (x > y) - (x < y);
}

/* sort what the thread counted, ready for next_run */
static void counter_finish(struct counter *c)
{
    if (c->hash) {
        uint32_t k = 0;
        for (uint32_t i = 0; i < HASH_SLOTS; i++)
            if (c->hash[i].n)
                c->hash[k++] = c->hash[i];
        qsort(c->hash, k, sizeof *c->hash, by_value);
        c->distinct = k;
    } else if (c->v64) {
        /* the sign bit flipped makes signed order unsigned */
        uint64_t *u = (uint64_t *)c->v64;
        for (size_t i = 0; i < c->len; i++)
            u[i] ^= 1ull << 63;
        sort64u(u, c->len);
        for (size_t i = 0; i < c->len; i++)
            u[i] ^= 1ull << 63;
    } else {
        sort32(c->v32, c->len);
    }
}

/* entries of a finished counter: (value, count) pairs or sorted values */
static size_t entries_of(const struct counter *c)
{
    return c->hash ? c->distinct : c->len;
}

static int64_t value_at(const struct counter *c, size_t i)
{
    return c->hash ? c->hash[i].v : c->v64 ? c->v64[i] : c->base + (int64_t)c->v32[i];
}

/* the first entry of value v or more */
static size_t lower_bound(const struct counter *c, int64_t v)
{
    size_t lo = 0, hi = entries_of(c);
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        if (value_at(c, mid) < v)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

struct run { size_t at, end; };  /* a counter's entries still to merge */

/* the next distinct value of a run and how often it was counted; 0 at
 * the run's end */
static int next_run(const struct counter *c, struct run *r, int64_t *v, uint64_t *n)
{
    if (r->at == r->end)
        return 0;
    if (c->hash) {
        *v = c->hash[r->at].v;
        *n = c->hash[r->at++].n;
        return 1;
    }
    size_t i = r->at;
    if (c->v64) {
        int64_t x = c->v64[i];
        while (++i < r->end && c->v64[i] == x)
            ;
        *v = x;
    } else {
        uint32_t x = c->v32[i];
        while (++i < r->end && c->v32[i] == x)
            ;
        *v = c->base + (int64_t)x;
    }
    *n = i - r->at;
    r->at = i;
    return 1;
}

/* ---- the listing, shared ------------------------------------------------------ */

struct slot {
    char *buf;                   /* getdents64 records */
    uint32_t *names;             /* offsets of the names to stat in buf */
    _Atomic uint32_t n;          /* atomic: a claim may read it stale */
    _Alignas(64) _Atomic uint32_t done;   /* names statted */
};

static struct slot lists[SLOTS];
static int dfd;
/* claim: listing number << 32 | position; listings numbered from 0 */
static _Alignas(64) _Atomic uint64_t claim;
static _Alignas(64) _Atomic uint32_t listings;   /* published */
static _Atomic uint32_t wake;    /* futex word: bumped on each publish and at the end */
static _Atomic int listed;       /* the folder is listed to its end */
static _Atomic int failed;

static void futex_wait(_Atomic uint32_t *w, uint32_t seen)
{
    syscall(SYS_futex, w, FUTEX_WAIT_PRIVATE, seen, NULL, NULL, 0);
}

static void futex_wake(_Atomic uint32_t *w)
{
    syscall(SYS_futex, w, FUTEX_WAKE_PRIVATE, INT_MAX, NULL, NULL, 0);
}

/* take the next chunk of names: its slot and range, or 0 when all that is
 * listed is taken */
static int take(struct slot **s, uint32_t *from, uint32_t *to)
{
    uint64_t c = atomic_load_explicit(&claim, memory_order_relaxed);
    for (;;) {
        uint32_t seq = (uint32_t)(c >> 32), pos = (uint32_t)c;
        if (seq >= atomic_load_explicit(&listings, memory_order_acquire))
            return 0;
        struct slot *sl = &lists[seq % SLOTS];
        uint32_t n = atomic_load_explicit(&sl->n, memory_order_relaxed);
        uint32_t end = n - pos > CHUNK ? pos + CHUNK : n;
        uint64_t next = end < n ? c + (end - pos) : (uint64_t)(seq + 1) << 32;
        /* a stale c fails here: its slot may have been listed anew */
        if (atomic_compare_exchange_weak_explicit(&claim, &c, next, memory_order_acquire,
                                                  memory_order_relaxed)) {
            *s = sl, *from = pos, *to = end;
            return 1;
        }
    }
}

static void stat_names(struct counter *c, struct slot *s, uint32_t from, uint32_t to)
{
    for (uint32_t i = from; i < to && !c->err; i++) {
        const char *name = s->buf + s->names[i];
        struct statx sx;
        if (statx(c->dfd, name, STATX_FLAGS, STATX_TYPE | STATX_MTIME, &sx) != 0) {
            c->err = errno;
            snprintf(c->bad, sizeof c->bad, "%s", name);
            atomic_store_explicit(&failed, 1, memory_order_relaxed);
        } else if (!S_ISDIR(sx.stx_mode)) {
            count_stamp(c, sx.stx_mtime.tv_sec);
        }
    }
    atomic_fetch_add_explicit(&s->done, to - from, memory_order_release);
}

static struct counter *counters;   /* the program thread's first */

static void *helper(void *arg)
{
    struct counter *c = arg;
    for (;;) {
        uint32_t seen = atomic_load_explicit(&wake, memory_order_acquire);
        struct slot *s;
        uint32_t from, to;
        if (atomic_load_explicit(&failed, memory_order_relaxed))
            break;
        if (take(&s, &from, &to)) {
            stat_names(c, s, from, to);
            continue;
        }
        if (atomic_load_explicit(&listed, memory_order_acquire)) {
            if (!take(&s, &from, &to))
                break;
            stat_names(c, s, from, to);
            continue;
        }
        futex_wait(&wake, seen);
    }
    counter_finish(c);
    return NULL;
}

static int is_dots(const char *name)
{
    return name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2]));
}

/* list the next names into s; 0 at the folder's end */
static int list_into(struct slot *s)
{
    for (;;) {
        long got = syscall(SYS_getdents64, dfd, s->buf, LIST_BYTES);
        if (got < 0) {
            perror("getdents64");
            exit(1);
        }
        if (got == 0)
            return 0;
        uint32_t n = 0;
        for (long pos = 0; pos < got;) {
            struct dirent64_raw *d = (struct dirent64_raw *)(s->buf + pos);
            if (d->type != DT_DIR && !is_dots(d->name))
                s->names[n++] = (uint32_t)(d->name - s->buf);
            pos += d->reclen;
        }
        if (n > 0) {
            atomic_store_explicit(&s->done, 0, memory_order_relaxed);
            atomic_store_explicit(&s->n, n, memory_order_relaxed);
            return 1;
        }
    }
}

static void publish(void)
{
    atomic_fetch_add_explicit(&listings, 1, memory_order_release);
    atomic_fetch_add_explicit(&wake, 1, memory_order_release);
    futex_wake(&wake);
}

static void cpu_relax(void)
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

static int walk(int helpers, struct counter *own)
{
    /* a record takes at least 24 bytes: that many names fit a buffer */
    for (int k = 0; k < SLOTS; k++) {
        lists[k].buf = mmap(NULL, LIST_BYTES, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        lists[k].names = malloc(LIST_BYTES / 24 * sizeof *lists[k].names);
        if (lists[k].buf == MAP_FAILED || !lists[k].names)
            die("out of memory");
    }
    pthread_t tids[MAX_THREADS];
    int started = 0;
    /* A descriptor shared by threads has its reference count taken and
     * dropped by every statx, one cache line for all cores: each helper
     * opens the folder anew. */
    own->dfd = dfd;
    for (; started < helpers; started++) {
        struct counter *c = &counters[started + 1];
        c->dfd = openat(dfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (c->dfd < 0)
            break;
        if (pthread_create(&tids[started], NULL, helper, c) != 0) {
            close(c->dfd);
            break;
        }
    }

    uint32_t seq = 0;            /* listings published */
    int more = 1;
    while (more && seq < SLOTS) {
        if ((more = list_into(&lists[seq])))
            publish(), seq++;
    }
    while (!atomic_load_explicit(&failed, memory_order_relaxed)) {
        if (more) {
            /* the oldest listing, once all its names are done, takes the next */
            struct slot *old = &lists[seq % SLOTS];
            if (atomic_load_explicit(&old->done, memory_order_acquire) ==
                atomic_load_explicit(&old->n, memory_order_relaxed)) {
                if ((more = list_into(old)))
                    publish(), seq++;
                continue;
            }
        }
        struct slot *s;
        uint32_t from, to;
        if (take(&s, &from, &to))
            stat_names(own, s, from, to);
        else if (!more)
            break;
        else
            cpu_relax();         /* a helper ends the oldest: a chunk at most */
    }
    atomic_store_explicit(&listed, 1, memory_order_release);
    atomic_fetch_add_explicit(&wake, 1, memory_order_release);
    futex_wake(&wake);
    counter_finish(own);
    for (int i = 0; i < started; i++) {
        pthread_join(tids[i], NULL);
        close(counters[i + 1].dfd);
    }
    for (int k = 0; k < SLOTS; k++) {
        munmap(lists[k].buf, LIST_BYTES);
        free(lists[k].names);
    }
    for (int i = 0; i <= started; i++)
        if (counters[i].err) {
            errno = counters[i].err;
            perror(counters[i].bad);
            return 1;
        }
    return 0;
}

/* ---- the report ------------------------------------------------------------------ */

/* the threads' counts of the values from..to-1 in one ascending stream */
struct merge {
    int nlive;
    int live[MAX_THREADS];
    struct run runs[MAX_THREADS];
    int64_t hv[MAX_THREADS];     /* the heads of the live runs */
    uint64_t hn[MAX_THREADS];
};

static void merge_start(struct merge *m, int threads, int64_t from, int64_t to)
{
    m->nlive = 0;
    for (int i = 0; i < threads; i++) {
        struct counter *c = &counters[i];
        m->runs[i].at = from == INT64_MIN ? 0 : lower_bound(c, from);
        m->runs[i].end = to == INT64_MAX ? entries_of(c) : lower_bound(c, to);
        if (next_run(c, &m->runs[i], &m->hv[i], &m->hn[i]))
            m->live[m->nlive++] = i;
    }
}

static int merge_next(struct merge *m, int64_t *value, uint64_t *count)
{
    if (m->nlive == 0)
        return 0;
    int64_t v = m->hv[m->live[0]];
    for (int k = 1; k < m->nlive; k++)
        v = m->hv[m->live[k]] < v ? m->hv[m->live[k]] : v;
    uint64_t n = 0;
    for (int k = 0; k < m->nlive;) {
        int i = m->live[k];
        if (m->hv[i] != v) {
            k++;
            continue;
        }
        n += m->hn[i];
        if (next_run(&counters[i], &m->runs[i], &m->hv[i], &m->hn[i]))
            k++;
        else
            m->live[k] = m->live[--m->nlive];
    }
    *value = v, *count = n;
    return 1;
}

struct fields { int64_t day; int year, mon, mday; };

static int render(struct fields *f, int64_t v, long unit, char *text)
{
    int64_t secs = v * unit;
    int64_t day = floor_div(secs, 86400);
    int sod = (int)(secs - day * 86400);
    if (day != f->day) {
        f->day = day;
        civil(day, &f->year, &f->mon, &f->mday);
    }
    return mask_render(text, f->year, f->mon, f->mday, sod / 3600, sod / 60 % 60, sod % 60);
}

struct out { char *p; size_t len, cap; };
#define LINE_MAX_BYTES (TEXT_MAX + 22)   /* text, space, count, newline */

static int write_all(const char *p, size_t len)
{
    for (size_t done = 0; done < len;) {
        ssize_t w = write(1, p + done, len - done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return -1;
        done += (size_t)w;
    }
    return 0;
}

/* "text count\n", as floor prints it */
static void out_line(struct out *o, const char *text, int len, uint64_t n)
{
    char *p = o->p + o->len;
    memcpy(p, text, (size_t)len);
    p += len;
    *p++ = ' ';
    char digits[20];
    int k = 0;
    do
        digits[k++] = (char)('0' + n % 10);
    while (n /= 10);
    while (k > 0)
        *p++ = digits[--k];
    *p++ = '\n';
    o->len = (size_t)(p - o->p);
}

/* Texts in time order, one value after another: equal neighbours merge
 * (a mask of months counts days). Written as they come. */
static int report_in_order(int threads, long unit)
{
    static char buf[1 << 16];
    struct out o = { buf, 0, sizeof buf };
    struct merge m;
    struct fields f = { INT64_MIN, 0, 0, 0 };
    char prev[TEXT_MAX], text[TEXT_MAX];
    int prev_len = -1;
    uint64_t prev_n = 0, n;
    int64_t v;
    merge_start(&m, threads, INT64_MIN, INT64_MAX);
    while (merge_next(&m, &v, &n)) {
        int len = render(&f, v, unit, text);
        if (len == prev_len && memcmp(text, prev, (size_t)len) == 0) {
            prev_n += n;
            continue;
        }
        if (prev_len >= 0) {
            if (o.len + LINE_MAX_BYTES > o.cap) {
                if (write_all(o.p, o.len) != 0)
                    return -1;
                o.len = 0;
            }
            out_line(&o, prev, prev_len, prev_n);
        }
        memcpy(prev, text, (size_t)len);
        prev_len = len, prev_n = n;
    }
    if (prev_len >= 0)
        out_line(&o, prev, prev_len, prev_n);
    return write_all(o.p, o.len);
}

/*
 * Texts in time order and a text to each value (the mask shows the unit):
 * the values are cut into blocks of about BLOCK at pivots, every thread
 * renders the next block not taken into its own buffer and writes it when
 * the block before is written.
 */
#ifndef BLOCK
#define BLOCK 8192
#endif
static int64_t *pivots;          /* block k: pivots[k] to pivots[k + 1] - 1 */
static uint32_t blocks;
static long report_unit;
static int report_threads;
static _Atomic uint32_t block_claim;
static _Atomic uint32_t turn;    /* the block to write next; a futex word */
static _Atomic int write_failed;

static void *render_blocks(void *unused)
{
    (void)unused;
    struct out o = { NULL, 0, 0 };
    struct merge m;
    struct fields f = { INT64_MIN, 0, 0, 0 };
    char text[TEXT_MAX];
    for (;;) {
        uint32_t k = atomic_fetch_add_explicit(&block_claim, 1, memory_order_relaxed);
        if (k >= blocks)
            break;
        merge_start(&m, report_threads, pivots[k], pivots[k + 1]);
        o.len = 0;
        int64_t v;
        uint64_t n;
        while (merge_next(&m, &v, &n)) {
            if (o.len + LINE_MAX_BYTES > o.cap) {
                o.cap = o.cap ? o.cap * 2 : (size_t)BLOCK * 32;
                o.p = grow(o.p, o.cap);
            }
            out_line(&o, text, render(&f, v, report_unit, text), n);
        }
        uint32_t t;
        while ((t = atomic_load_explicit(&turn, memory_order_acquire)) != k)
            futex_wait(&turn, t);
        if (!atomic_load_explicit(&write_failed, memory_order_relaxed) && write_all(o.p, o.len) != 0)
            atomic_store_explicit(&write_failed, errno ? errno : EIO, memory_order_relaxed);
        atomic_store_explicit(&turn, k + 1, memory_order_release);
        futex_wake(&turn);
    }
    free(o.p);
    return NULL;
}

static int report_blocks(int threads, long unit)
{
    /* pivots from the thread with the most values, every BLOCK / threads
     * of its own: its share of each block */
    const struct counter *most = &counters[0];
    for (int i = 1; i < threads; i++)
        if (entries_of(&counters[i]) > entries_of(most))
            most = &counters[i];
    size_t step = BLOCK > threads ? BLOCK / (size_t)threads : 1, len = entries_of(most);
    pivots = grow(NULL, (len / step + 2) * sizeof *pivots);
    pivots[0] = INT64_MIN;
    blocks = 1;
    for (size_t j = step; j < len; j += step) {
        int64_t v = value_at(most, j);
        if (v > pivots[blocks - 1])
            pivots[blocks++] = v;
    }
    pivots[blocks] = INT64_MAX;
    report_unit = unit, report_threads = threads;
    pthread_t tids[MAX_THREADS];
    int started = 0;
    for (; started < threads - 1; started++)
        if (pthread_create(&tids[started], NULL, render_blocks, NULL) != 0)
            break;
    render_blocks(NULL);
    for (int i = 0; i < started; i++)
        pthread_join(tids[i], NULL);
    free(pivots);
    if (write_failed) {
        errno = write_failed;
        return -1;
    }
    return 0;
}

/* Texts out of time order (dd.mm.yyyy, a mask without a year): through
 * tally.h's count by text and sort, as floor does. */
static int report_by_text(int threads, long unit)
{
    struct merge m;
    struct fields f = { INT64_MIN, 0, 0, 0 };
    char text[TEXT_MAX];
    int64_t v;
    uint64_t n;
    merge_start(&m, threads, INT64_MIN, INT64_MAX);
    while (merge_next(&m, &v, &n))
        tally_add_n(text, render(&f, v, unit, text), n);
    static char outbuf[1 << 16];
    setvbuf(stdout, outbuf, _IOFBF, sizeof outbuf);
    tally_print(stdout);
    return fflush(stdout) == 0 ? 0 : -1;
}

static int report(int threads, long unit)
{
    /* the years the values span decide whether the texts sort as they do */
    int64_t lo = INT64_MAX, hi = INT64_MIN;
    size_t most = 0;
    for (int i = 0; i < threads; i++) {
        size_t len = entries_of(&counters[i]);
        if (len > 0) {
            lo = value_at(&counters[i], 0) < lo ? value_at(&counters[i], 0) : lo;
            hi = value_at(&counters[i], len - 1) > hi ? value_at(&counters[i], len - 1) : hi;
        }
        most = len > most ? len : most;
    }
    int fields = 0;
    if (lo <= hi) {
        int y0, y1, m, d;
        civil(floor_div(lo * unit, 86400), &y0, &m, &d);
        civil(floor_div(hi * unit, 86400), &y1, &m, &d);
        fields = mask_in_order(y0, y1);
    }
    int rc;
    if (fields < 0)
        rc = report_by_text(threads, unit);
    else if (fields >= 3 && threads > 1 && most > BLOCK)
        rc = report_blocks(threads, unit);
    else
        rc = report_in_order(threads, unit);
    if (rc != 0) {
        perror("write");
        return 1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    int helpers = 0;
    if (argc > 2 && strcmp(argv[1], "--threads") == 0) {
        char *end;
        long n = strtol(argv[2], &end, 10);
        if (*end != '\0' || n < 0 || n > MAX_THREADS - 1) {
            fprintf(stderr, "floor-value: --threads takes 0 to %d\n", MAX_THREADS - 1);
            return 2;
        }
        helpers = (int)n;
        argv += 2;
        argc -= 2;
    }
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: floor-value [--threads N] DIR [MASK]\n");
        return 2;
    }
    if (mask_compile(argc == 3 ? argv[2] : "yyyy-mm-dd") != 0) {
        fprintf(stderr, "floor-value: mask too long\n");
        return 2;
    }
    dfd = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) {
        perror(argv[1]);
        return 1;
    }
    tzset();
    long unit = mask_unit();
    counters = calloc((size_t)helpers + 1, sizeof *counters);
    if (!counters)
        die("out of memory");
    for (int i = 0; i <= helpers; i++) {
        counters[i].unit = unit;
        zone_init(&counters[i]);
        counters[i].hash = calloc(HASH_SLOTS, sizeof *counters[i].hash);
        if (!counters[i].hash)
            die("out of memory");
    }
    if (walk(helpers, &counters[0]))
        return 1;
    close(dfd);
    return report(helpers + 1, unit);
}
