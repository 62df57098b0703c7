#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
"""Times nerova --batch against GMP's mpq_t and other exact calculators on the same work.

Run through compare.sh, which builds the programs. Every row is one input file (written
into the work folder) that each program evaluates as a batch; the rounds are interleaved
(each round runs every program on every row once) and the table shows medians. Peak
resident memory is measured in one further run.
"""
import argparse
import math
import os
import random
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SLOW = 20.0  # a program that needs longer on a row runs it only once


def write_inputs(folder):
    """The rows: (key, title, file). Inputs are fixed by seeds, so every run sees the same."""
    rows = []

    def add(key, title, lines):
        path = os.path.join(folder, key + '.txt')
        with open(path, 'w', encoding='ascii') as f:
            f.write('\n'.join(lines) + '\n')
        rows.append((key, title, path))

    add('startup', 'start-up, 1+1', ['1+1'])
    add('product', 'product 1*2*...*20000 (one line)',
        ['*'.join(str(k) for k in range(1, 20001))])
    add('harmonic', 'sum of 1/k, k <= 10,000 (one line)',
        ['+'.join('1/%d' % k for k in range(1, 10001))])
    add('biggcd', '(7^300000*11^200000) / (7^290000*13^1000)',
        ['(7^300000*11^200000) / (7^290000*13^1000)'])

    rng = random.Random(11)
    primes = [2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37, 41, 43, 47, 53, 59, 61, 67, 71]

    def power():
        b = rng.choice(primes)
        digits = rng.randint(1000, 7000)
        return '%d^%d' % (b, int(digits / math.log10(b)))

    add('midsize', '300 lines of powers of 1,000-7,000 digits, * + /',
        ['(%s + %s) * %s / (%s - %s)' % (power(), power(), power(), power(), power())
         for _ in range(300)])

    def small():
        n = lambda: rng.randint(1, 9999)
        forms = ['%d/%d + %d * %d - %d/%d', '(%d + %d) * %d / %d - %d + %d',
                 '%d * %d * %d - %d / %d + %d', '%d/%d * %d/%d + %d/%d']
        form = rng.choice(forms)
        return form % tuple(n() for _ in range(form.count('%d')))

    add('small', '20,000 small lines', [small() for _ in range(20000)])
    add('pow2big', '2^3,000,000 printed', ['2^3000000'])
    add('pow2', '2^1,000,000', ['2^1000000'])
    add('ratpow', '(123456789/987654321)^30000', ['(123456789/987654321)^30000'])
    return rows


def programs(args, folder):
    """(name, command for a file, command for start-up); absent programs are left out."""
    progs = []
    for label, path in args.nerova:
        progs.append((label, lambda f, p=path: [p, '--batch', f], [path, '-e', '1+1']))
    if args.gmpcalc:
        progs.append(('GMP', lambda f: [args.gmpcalc, f], [args.gmpcalc, '-e', '1+1']))
    if args.no_peers:
        return progs
    py = [sys.executable, os.path.join(HERE, 'fraccalc.py')]
    progs.append(('Python', lambda f: py + [f], py + [os.path.join(folder, 'startup.txt')]))
    if which('gp'):
        gp = ['gp', '-q', '-f', '-D', 'parisizemax=4000000000', '-D', 'colors=no']
        progs.append(('PARI/GP', lambda f: gp + ['--stdin:' + f],
                      gp + ['--stdin:' + os.path.join(folder, 'startup.txt')]))
    if which('calc'):
        # Results as fractions, not decimals: set in the start-up file calc reads.
        rc = os.path.join(folder, 'calcrc')
        with open(rc, 'w', encoding='ascii') as f:
            f.write('config("mode", "frac"),;\n')
        os.environ['CALCRC'] = rc
        progs.append(('apcalc', lambda f: ['calc', '-p', '--stdin:' + f], ['calc', '-p', '1+1']))
    return progs


def which(name):
    return any(os.access(os.path.join(d, name), os.X_OK)
               for d in os.environ.get('PATH', '').split(os.pathsep))


def run(command, out_path, measure_memory=False):
    """Wall and processor seconds of one run (standard output to out_path; the processor
    time of all threads, user and system), or with measure_memory its
    peak resident KiB. The kernel's figure for a child is at least its parent's size at
    the fork, so the memory is taken by /usr/bin/time in a run of its own."""
    stdin = subprocess.DEVNULL
    if command[-1].startswith('--stdin:'):
        stdin = open(command[-1][len('--stdin:'):], 'rb')
        command = command[:-1]
    if measure_memory:
        command = ['/usr/bin/time', '-f', '%M', '-o', out_path + '.rss'] + command
    with open(out_path, 'wb') as out:
        start = time.perf_counter()
        proc = subprocess.Popen(command, stdin=stdin, stdout=out, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(proc.pid, 0)
        seconds = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
    if stdin is not subprocess.DEVNULL:
        stdin.close()
    if proc.returncode != 0:
        print('warning: %s exited with %d' % (command[0], proc.returncode), file=sys.stderr)
    if measure_memory:
        with open(out_path + '.rss', encoding='ascii') as f:
            return int(f.read().split()[-1])
    return seconds, usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--nerova', nargs=2, action='append', metavar=('LABEL', 'PATH'),
                        required=True, help='a nerova program to time (may be repeated)')
    parser.add_argument('--gmpcalc', help='the GMP yardstick program')
    parser.add_argument('--work', required=True, help='folder for inputs and outputs')
    parser.add_argument('--rounds', type=int, default=5)
    parser.add_argument('--only', help='comma-separated row keys')
    parser.add_argument('--no-peers', action='store_true', help='time nerova and GMP only')
    args = parser.parse_args()

    os.makedirs(args.work, exist_ok=True)
    rows = write_inputs(args.work)
    if args.only:
        keys = args.only.split(',')
        rows = [r for r in rows if r[0] in keys]
    progs = programs(args, args.work)
    times = {}
    cpus = {}
    peaks = {}
    for rnd in range(args.rounds):
        for key, _, path in rows:
            for name, command, startup in progs:
                if len(times.get((key, name), [])) and max(times[(key, name)]) > SLOW:
                    continue
                cmd = startup if key == 'startup' else command(path)
                out = os.path.join(args.work, '%s.%s.out' % (key, name.replace('/', '')))
                if rnd == 0:
                    peaks[(key, name)] = run(cmd, out, measure_memory=True)
                elif key == 'startup':
                    # A start takes about a millisecond, so whichever program comes first
                    # after another's large run pays for the caches that run emptied: each
                    # program starts once untimed just before its timed start.
                    run(cmd, out)
                seconds, cpu = run(cmd, out)
                times.setdefault((key, name), []).append(seconds)
                cpus.setdefault((key, name), []).append(cpu)
        print('round %d of %d done' % (rnd + 1, args.rounds), file=sys.stderr)

    # The batch outputs of the nerova programs and GMP must agree: same work, same values.
    if args.gmpcalc:
        for key, _, _ in rows:
            if key == 'startup':
                continue
            ref = open(os.path.join(args.work, '%s.GMP.out' % key), 'rb').read()
            for label, _ in args.nerova:
                got = open(os.path.join(args.work, '%s.%s.out' % (key, label)), 'rb').read()
                if got != ref:
                    print('warning: %s differs from GMP on %s' % (label, key), file=sys.stderr)

    names = [p[0] for p in progs]
    print('Wall time, median of %d rounds:\n' % args.rounds)
    table(rows, names, args, times, peaks)
    print('\nProcessor time (user + system, all threads), median of %d rounds:\n' % args.rounds)
    table(rows, names, args, cpus, None)


def table(rows, names, args, times, peaks):
    def ms(key, name):
        t = times.get((key, name))
        if not t:
            return ''
        v = statistics.median(t) * 1000
        once = ' (once)' if len(t) == 1 and args.rounds > 1 else ''
        return ('%.1f' % v if v < 10 else '%.0f' % v) + once

    head = ['Work'] + ['%s ms' % n for n in names]
    if args.gmpcalc:
        head += ['%s / GMP' % l for l, _ in args.nerova]
    if peaks:
        head += ['%s peak MiB' % l for l, _ in args.nerova]
    print('| ' + ' | '.join(head) + ' |')
    print('|' + '|'.join(['---'] + ['---:'] * (len(head) - 1)) + '|')
    for key, title, _ in rows:
        cells = [title] + [ms(key, n) for n in names]
        if args.gmpcalc:
            g = max(statistics.median(times[(key, 'GMP')]), 1e-6)
            cells += ['%.2f' % (statistics.median(times[(key, l)]) / g) for l, _ in args.nerova]
        if peaks:
            cells += ['%.1f' % (peaks[(key, l)] / 1024) for l, _ in args.nerova]
        print('| ' + ' | '.join(cells) + ' |')


if __name__ == '__main__':
    main()
