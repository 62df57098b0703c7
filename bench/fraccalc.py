#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Nerova developers
"""A peer for compare.sh: the batch run written with Python's fractions.

fraccalc.py FILE prints every line of FILE as "line = value", like nerova --batch, for
integers with + - * / ^ and parentheses, evaluated left to right as the line is parsed.
"""
import sys
from fractions import Fraction


class Parser:
    def __init__(self, text):
        self.text = text
        self.at = 0

    def peek(self):
        while self.at < len(self.text) and self.text[self.at] == ' ':
            self.at += 1
        return self.text[self.at] if self.at < len(self.text) else ''

    def expression(self):
        r = self.term()
        while self.peek() in ('+', '-'):
            op = self.text[self.at]
            self.at += 1
            t = self.term()
            r = r + t if op == '+' else r - t
        return r

    def term(self):
        r = self.factor()
        while self.peek() in ('*', '/'):
            op = self.text[self.at]
            self.at += 1
            t = self.factor()
            r = r * t if op == '*' else r / t
        return r

    def factor(self):
        negative = False
        while self.peek() in ('+', '-'):
            negative ^= self.text[self.at] == '-'
            self.at += 1
        r = self.primary()
        if self.peek() == '^':
            self.at += 1
            e = self.factor()
            if e.denominator != 1:
                raise ValueError('exponent')
            r = r ** e.numerator
        return -r if negative else r

    def primary(self):
        if self.peek() == '(':
            self.at += 1
            r = self.expression()
            if self.peek() != ')':
                raise ValueError('parenthesis')
            self.at += 1
            return r
        start = self.at
        while self.at < len(self.text) and self.text[self.at].isdigit():
            self.at += 1
        if start == self.at:
            raise ValueError('number')
        return Fraction(int(self.text[start:self.at]))


def main():
    if hasattr(sys, 'set_int_max_str_digits'):
        sys.set_int_max_str_digits(0)
    out = sys.stdout
    with open(sys.argv[1], encoding='ascii') as f:
        for line in f:
            line = line.strip()
            if not line:
                continue
            if line.startswith('#'):
                out.write(line + '\n')
                continue
            try:
                value = str(Parser(line).expression())
            except (ValueError, ZeroDivisionError):
                value = 'error'
            out.write(line + ' = ' + value + '\n')


if __name__ == '__main__':
    main()
