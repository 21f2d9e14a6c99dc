#!/usr/bin/python3
# Word positions of inline layout, computed from word lengths alone, for the document box
# tests: a container without margins at x = 0, y = 0 with right limit R holds text boxes of
# `length` units each; the fixed-advance test font makes a unit and a space 5 pixels wide
# and a line 15 pixels high.
#
# Lines: a word goes on the line while x + advance <= R (advance = width, plus the space
# after the first word); a line always takes its first word. Start x0: left 0, right
# R - E, centre (R - E) / 2, E being x after the line; justify widens the space to
# S + (R - E) / gaps on lines that ended because a word did not fit. Words then sit at
# trunc(x) (+ trunc(space) after the first), x continuing after each drawn word.
#
# Output (tests/data/doc/positions.txt), one case a line:
#   ALIGN R LENGTH,LENGTH,... | X:Y X:Y ...
# Made with: /usr/bin/python3 tools/testdata/doc_positions.py > tests/data/doc/positions.txt
import math
import random

UNIT = 5
SPACE = 5
LINE = 15


def layout(lengths, right, align):
    positions = []
    top = 0
    i = 0
    while i < len(lengths):
        x = 0.0
        count = 0
        gaps = 0
        overflow = False
        j = i
        while j < len(lengths):
            advance = UNIT * lengths[j] + (SPACE if count > 0 else 0)
            if count > 0 and x + advance > right:
                overflow = True
                break
            x += advance
            gaps += 1 if count > 0 else 0
            count += 1
            j += 1
        end = x
        x0 = 0.0
        gap = float(SPACE)
        if align == 1:
            x0 = right - end
        elif align == 2:
            x0 = (right - end) * 0.5
        elif align == 3 and overflow and gaps >= 1:
            gap = SPACE + (right - end) / gaps
        line_x = x0
        for k in range(i, j):
            left = math.trunc(line_x) + (math.trunc(gap) if k > i else 0)
            width = min(UNIT * lengths[k], max(0, right - left))
            positions.append((left, top))
            line_x = left + width
        top += LINE
        i = j
    return positions


def main():
    rng = random.Random(20261207)
    paragraphs = [[rng.randint(1, 9) for _ in range(rng.randint(5, 40))] for _ in range(4)]
    for lengths in paragraphs:
        for right in (50, 101, 203, 377):
            for align in range(4):
                cells = " ".join("%d:%d" % p for p in layout(lengths, right, align))
                print("%d %d %s | %s" % (align, right, ",".join(map(str, lengths)), cells))


main()
