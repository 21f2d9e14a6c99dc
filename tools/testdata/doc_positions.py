#!/usr/bin/python3
# Word positions of inline layout, computed from word lengths alone, for the document box
# tests: a container without margins at (0, 0) with right limit R holds text boxes of
# `length` units; the fixed-advance test font makes a unit and a space 5 pixels wide and a
# line 15 pixels high.
#
# A word goes on the line while x + advance <= R (advance = width, plus a space after the
# first word); a line always takes its first word. Start x0: left 0, right R - E, centre
# (R - E) / 2, E being x after the line; justify widens the space to S + (R - E) / gaps on
# lines that ended because a word did not fit. Words sit at trunc(x) (+ trunc(space) after
# the first), x continuing after each drawn (cut at R) word.
#
# Output, one case a line: ALIGN R LENGTH,LENGTH,... | X:Y X:Y ...
# Made with: /usr/bin/python3 tools/testdata/doc_positions.py > tests/data/doc/positions.txt
import math
import random


def layout(lengths, right, align):
    positions, top, i = [], 0, 0
    while i < len(lengths):
        x, count, gaps, overflow, j = 0.0, 0, 0, False, i
        while j < len(lengths):
            advance = 5 * lengths[j] + (5 if count > 0 else 0)
            if count > 0 and x + advance > right:
                overflow = True
                break
            x, gaps, count, j = x + advance, gaps + (count > 0), count + 1, j + 1
        x0 = {1: right - x, 2: (right - x) * 0.5}.get(align, 0.0)
        gap = 5 + (right - x) / gaps if align == 3 and overflow and gaps >= 1 else 5.0
        line_x = x0
        for k in range(i, j):
            left = math.trunc(line_x) + (math.trunc(gap) if k > i else 0)
            positions.append((left, top))
            line_x = left + min(5 * lengths[k], max(0, right - left))
        top, i = top + 15, j
    return positions


rng = random.Random(20261207)
cases = [([5, 5], 100, 0), ([2, 2, 2, 2], 50, 3), ([2, 2, 2, 2], 51, 3), ([3], 100, 2), ([3], 100, 1),
         ([2, 26, 2], 50, 0)]
for lengths in [[rng.randint(1, 9) for _ in range(rng.randint(5, 40))] for _ in range(4)]:
    cases += [(lengths, right, align) for right in (50, 101, 203, 377) for align in range(4)]
for lengths, right, align in cases:
    cells = " ".join("%d:%d" % p for p in layout(lengths, right, align))
    print("%d %d %s | %s" % (align, right, ",".join(map(str, lengths)), cells))
