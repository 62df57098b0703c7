// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
/* The yardstick of compare.sh: the batch run of nerova written with GMP's mpq_t.
 *
 * gmpcalc FILE: every line of FILE as "line = value" on standard output, a line starting
 * with "#" copied, blank lines skipped, like nerova --batch. The grammar is the
 * calculator's for integers: + - * / ^ and parentheses, operators grouping to the left
 * (powers to the right), evaluated left to right as it parses, so the work is the same.
 * gmpcalc -e EXPR: one expression, for the start-up time.
 * Lines that fail (division by zero, a bad exponent) print "error".
 */
#include <gmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char* p;
static int failed;

static void skip(void) {
    while (*p == ' ') ++p;
}

static void expression(mpq_t r);

static void primary(mpq_t r) {
    skip();
    if (*p == '(') {
        ++p;
        expression(r);
        skip();
        if (*p == ')') ++p; else failed = 1;
        return;
    }
    const char* start = p;
    while (*p >= '0' && *p <= '9') ++p;
    if (p == start) {
        failed = 1;
        mpq_set_ui(r, 0, 1);
        return;
    }
    char saved = *p;
    *(char*)p = '\0';
    mpz_set_str(mpq_numref(r), start, 10);
    *(char*)p = saved;
    mpz_set_ui(mpq_denref(r), 1);
}

static void factor(mpq_t r) {
    int negative = 0;
    skip();
    while (*p == '+' || *p == '-') {
        if (*p == '-') negative = !negative;
        ++p;
        skip();
    }
    primary(r);
    skip();
    if (*p == '^') {
        ++p;
        mpq_t e;
        mpq_init(e);
        factor(e);
        if (mpz_cmp_ui(mpq_denref(e), 1) != 0 || !mpz_fits_slong_p(mpq_numref(e))) {
            failed = 1;
        } else {
            long n = mpz_get_si(mpq_numref(e));
            unsigned long m = (unsigned long)(n < 0 ? -n : n);
            if (n < 0 && mpz_sgn(mpq_numref(r)) == 0) {
                failed = 1;
            } else {
                mpz_pow_ui(mpq_numref(r), mpq_numref(r), m);
                mpz_pow_ui(mpq_denref(r), mpq_denref(r), m);
                if (n < 0) mpq_inv(r, r);
            }
        }
        mpq_clear(e);
    }
    if (negative) mpq_neg(r, r);
}

static void term(mpq_t r) {
    mpq_t t;
    mpq_init(t);
    factor(r);
    for (;;) {
        skip();
        char op = *p;
        if (op != '*' && op != '/') break;
        ++p;
        factor(t);
        if (op == '*') {
            mpq_mul(r, r, t);
        } else if (mpq_sgn(t) == 0) {
            failed = 1;
        } else {
            mpq_div(r, r, t);
        }
    }
    mpq_clear(t);
}

static void expression(mpq_t r) {
    mpq_t t;
    mpq_init(t);
    term(r);
    for (;;) {
        skip();
        char op = *p;
        if (op != '+' && op != '-') break;
        ++p;
        term(t);
        if (op == '+') mpq_add(r, r, t); else mpq_sub(r, r, t);
    }
    mpq_clear(t);
}

static void evaluate(const char* text, FILE* out) {
    mpq_t r;
    mpq_init(r);
    p = text;
    failed = 0;
    expression(r);
    if (failed) {
        fputs("error", out);
    } else {
        mpq_out_str(out, 10, r);
    }
    mpq_clear(r);
}

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "-e") == 0) {
        evaluate(argv[2], stdout);
        putchar('\n');
        return 0;
    }
    if (argc != 2) {
        fprintf(stderr, "usage: gmpcalc FILE | gmpcalc -e EXPR\n");
        return 2;
    }
    FILE* in = fopen(argv[1], "rb");
    if (!in) {
        perror(argv[1]);
        return 2;
    }
    char* line = NULL;
    size_t capacity = 0;
    ssize_t n;
    while ((n = getline(&line, &capacity, in)) >= 0) {
        while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
        char* start = line;
        while (*start != '\0' && (unsigned char)*start <= ' ') ++start;
        if (*start == '\0') continue;
        fputs(start, stdout);
        if (*start != '#') {
            fputs(" = ", stdout);
            evaluate(start, stdout);
        }
        putchar('\n');
    }
    free(line);
    fclose(in);
    return 0;
}
