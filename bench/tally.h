/*
 * tally.h - shared by the floor programs: turn a broken-down time into
 * text through a date mask, count how often each text occurs, print the
 * counts sorted by text (byte order), one "text count" line each.
 *
 * Mask tokens: yyyy yy mm dd hh ii ss (ii = minutes); anything else is
 * copied as is. Texts are at most TEXT_MAX - 1 bytes.
 */
#ifndef TALLY_H
#define TALLY_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define TEXT_MAX 128

enum { OP_LIT, OP_YYYY, OP_YY, OP_MM, OP_DD, OP_HH, OP_II, OP_SS };

struct op { unsigned char kind, lit; };

static struct op mask_ops[TEXT_MAX];
static int mask_len;

/* split the mask into tokens once, so rendering is a plain loop */
static int mask_compile(const char *m)
{
    static const struct { const char *tok; unsigned char kind; } toks[] = {
        { "yyyy", OP_YYYY }, { "yy", OP_YY }, { "mm", OP_MM }, { "dd", OP_DD },
        { "hh", OP_HH },     { "ii", OP_II }, { "ss", OP_SS },
    };
    int width = 0;
    mask_len = 0;
    while (*m) {
        size_t i, n = sizeof toks / sizeof toks[0];
        for (i = 0; i < n; i++)
            if (strncmp(m, toks[i].tok, strlen(toks[i].tok)) == 0)
                break;
        if (mask_len == TEXT_MAX)
            return -1;
        if (i < n) {
            mask_ops[mask_len++] = (struct op){ toks[i].kind, 0 };
            m += strlen(toks[i].tok);
            width += toks[i].kind == OP_YYYY ? 4 : 2;
        } else {
            mask_ops[mask_len++] = (struct op){ OP_LIT, (unsigned char)*m++ };
            width += 1;
        }
    }
    return width < TEXT_MAX ? 0 : -1;
}

static char *put2(char *p, int v)
{
    p[0] = (char)('0' + v / 10 % 10);
    p[1] = (char)('0' + v % 10);
    return p + 2;
}

/* render into out (no terminator); returns the length */
static int mask_render(char *out, int year, int mon, int day, int hour, int min, int sec)
{
    char *p = out;
    for (int i = 0; i < mask_len; i++) {
        switch (mask_ops[i].kind) {
        case OP_LIT:  *p++ = (char)mask_ops[i].lit; break;
        case OP_YYYY: p = put2(put2(p, year / 100), year % 100); break;
        case OP_YY:   p = put2(p, year % 100); break;
        case OP_MM:   p = put2(p, mon); break;
        case OP_DD:   p = put2(p, day); break;
        case OP_HH:   p = put2(p, hour); break;
        case OP_II:   p = put2(p, min); break;
        case OP_SS:   p = put2(p, sec); break;
        }
    }
    return (int)(p - out);
}

/*
 * The finest unit of time the mask shows, in seconds: a time truncated to
 * it renders as the time itself. A day at the coarsest, so that a mask of
 * months or years still counts days, whose texts merge.
 */
static inline long mask_unit(void)
{
    long unit = 86400;
    for (int i = 0; i < mask_len; i++) {
        unsigned char k = mask_ops[i].kind;
        if (k == OP_SS)
            unit = 1;
        else if (k == OP_II && unit > 60)
            unit = 60;
        else if (k == OP_HH && unit > 3600)
            unit = 3600;
    }
    return unit;
}

/*
 * Whether the texts of times in the years y0 to y1 (y0 <= y1) sort as the
 * times do: every text is as wide as the next and the fields, literals
 * aside, run from the year down without a gap (yyyy-mm-dd, yyyymmddhh, but
 * not dd.mm.yyyy or yyyy-dd); a 4-digit year has 4 digits only in 0 to
 * 9999, a 2-digit one sorts only within one century. Returns how many
 * fields run down (0 for a mask of literals only: one text; 3 or more: a
 * day or less tells the texts apart), -1 where texts do not sort so.
 */
static inline int mask_in_order(int y0, int y1)
{
    static const unsigned char down[] = { OP_YYYY, OP_MM, OP_DD, OP_HH, OP_II, OP_SS };
    int next = 0, two_digit = 0;
    for (int i = 0; i < mask_len; i++) {
        unsigned char k = mask_ops[i].kind;
        if (k == OP_LIT)
            continue;
        if (next == 0 && k == OP_YY)
            k = OP_YYYY, two_digit = 1;
        if (next == (int)sizeof down || k != down[next])
            return -1;
        next++;
    }
    if (next > 0 && (y0 < 0 || y1 > 9999 || (two_digit && y0 / 100 != y1 / 100)))
        return -1;
    return next;
}

/*
 * Counting: open addressing over entry numbers; the texts live back to
 * back in one arena, entries point into it.
 */
struct entry { uint32_t off, len, hash; uint64_t count; };

static char *arena;
static size_t arena_used, arena_cap;
static struct entry *entries;
static uint32_t entry_count, entry_cap;
static uint32_t *slots;          /* entry number + 1; 0 = empty */
static uint32_t slot_mask;

static void *grow(void *p, size_t bytes)
{
    p = realloc(p, bytes);
    if (!p) {
        fputs("out of memory\n", stderr);
        exit(1);
    }
    return p;
}

static uint32_t text_hash(const char *s, int len)
{
    uint32_t h = 2166136261u;    /* FNV-1a */
    for (int i = 0; i < len; i++)
        h = (h ^ (unsigned char)s[i]) * 16777619u;
    return h;
}

static void rehash(uint32_t nslots)
{
    free(slots);
    slots = calloc(nslots, sizeof *slots);
    if (!slots) {
        fputs("out of memory\n", stderr);
        exit(1);
    }
    slot_mask = nslots - 1;
    for (uint32_t e = 0; e < entry_count; e++) {
        uint32_t i = entries[e].hash & slot_mask;
        while (slots[i])
            i = (i + 1) & slot_mask;
        slots[i] = e + 1;
    }
}

/* count text n times */
static void tally_add_n(const char *text, int len, uint64_t n)
{
    if (!slots)
        rehash(1024);
    uint32_t h = text_hash(text, len);
    uint32_t i = h & slot_mask;
    for (; slots[i]; i = (i + 1) & slot_mask) {
        struct entry *e = &entries[slots[i] - 1];
        if (e->hash == h && e->len == (uint32_t)len && memcmp(arena + e->off, text, len) == 0) {
            e->count += n;
            return;
        }
    }
    if (entry_count == entry_cap) {
        entry_cap = entry_cap ? entry_cap * 2 : 1024;
        entries = grow(entries, entry_cap * sizeof *entries);
    }
    if (arena_used + len > arena_cap) {
        arena_cap = arena_cap ? arena_cap * 2 : 65536;
        arena = grow(arena, arena_cap);
    }
    memcpy(arena + arena_used, text, len);
    entries[entry_count] = (struct entry){ (uint32_t)arena_used, (uint32_t)len, h, n };
    arena_used += len;
    slots[i] = ++entry_count;
    if (entry_count * 2 > slot_mask)        /* keep the load under 1/2 */
        rehash((slot_mask + 1) * 2);
}

static inline void tally_add(const char *text, int len)
{
    tally_add_n(text, len, 1);
}

static int by_text(const void *a, const void *b)
{
    const struct entry *x = &entries[*(const uint32_t *)a];
    const struct entry *y = &entries[*(const uint32_t *)b];
    uint32_t n = x->len < y->len ? x->len : y->len;
    int c = memcmp(arena + x->off, arena + y->off, n);
    return c ? c : (x->len > y->len) - (x->len < y->len);
}

static void tally_print(FILE *out)
{
    uint32_t *order = grow(NULL, (entry_count ? entry_count : 1) * sizeof *order);
    for (uint32_t e = 0; e < entry_count; e++)
        order[e] = e;
    qsort(order, entry_count, sizeof *order, by_text);
    for (uint32_t k = 0; k < entry_count; k++) {
        const struct entry *e = &entries[order[k]];
        fprintf(out, "%.*s %llu\n", (int)e->len, arena + e->off, (unsigned long long)e->count);
    }
    free(order);
}

#endif
