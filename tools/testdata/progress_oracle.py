#!/usr/bin/python3
"""Reference pictures of the progress bar, composed independently of the C++ code.

The two 20-pixel gradient columns are written as 1 x 20 plain PPMs and stretched to the
bar's inner height by netpbm's pamscale (exact pixel mixing; -linear, since the bar
averages the stored values as they are, while pamscale's default mixes BT.709-decoded
light and lands up to 3 levels away on the done column's steep rows); the bar is then
composed pixel by pixel:
  - border (rows 0 and H-1, columns 0 and W-1): F1D5C6;
  - inner (x, y): the done column's row y-1 when x < F, else the remaining column's,
    F = p * W // max; each colour byte = int(fill * wash + column * (1 - wash) + 0.5).

Reads case lines "name width height max position wash fill" (fill as RRGGBB hex) from
the file named by the first argument and writes <name>.ppm (plain P3) for each into the
folder named by the second.

Run: /usr/bin/python3 tools/testdata/progress_oracle.py cases.txt out_folder
"""
import os
import subprocess
import sys

REMAINING = ("F3F1F0 E6E1DD E4DFDB E2DDD9 E1DDD9 E0DCD8 E0DCD8 E0DCD8 E0DCD8 E0DCD9 "
             "E0DCD9 E0DCD9 E0DDD9 E1DDDA E9E6E3 EBE8E4 F0ECE9 F4F0ED FAF7F3 F8F8F7").split()
DONE = ("A9EF9E 9AE587 97E383 8FE078 87DE6D 84DD69 84DD69 84DD69 84DD69 84DD69 "
        "84DD69 84DD69 84DD69 84DD69 C6EBB7 C8EBBA CCEDBF D5EFCC D6F2CF E2FCE0").split()
BORDER = (0xF1, 0xD5, 0xC6)


def rgb(hex_text):
    return tuple(int(hex_text[i:i + 2], 16) for i in (0, 2, 4))


def read_plain_ppm(data):
    numbers = [int(token) for token in data.split()[1:]]
    width, height = numbers[0], numbers[1]
    values = numbers[3:]
    return [tuple(values[3 * i:3 * i + 3]) for i in range(width * height)]


def stretched(column, rows, folder, name):
    if rows == len(column):
        return [rgb(value) for value in column]
    source = os.path.join(folder, name + "_source.ppm")
    with open(source, "w") as f:
        f.write("P3\n1 %d\n255\n" % len(column))
        for value in column:
            f.write("%d %d %d\n" % rgb(value))
    scaled = subprocess.run(["pamscale", "-linear", "-xsize", "1", "-ysize", str(rows), source],
                            check=True, capture_output=True).stdout
    plain = subprocess.run(["pnmtoplainpnm"], input=scaled, check=True,
                           capture_output=True).stdout
    return read_plain_ppm(plain.decode())


def compose(width, height, maximum, position, wash, fill, columns):
    done, remaining = columns
    position = min(max(position, 0), max(maximum, 0))
    filled = position * width // maximum if maximum > 0 else 0
    pixels = []
    for y in range(height):
        for x in range(width):
            if y in (0, height - 1) or x in (0, width - 1):
                pixels.append(BORDER)
                continue
            column = done if x < filled else remaining
            pixels.append(tuple(int(f * wash + c * (1 - wash) + 0.5)
                                for f, c in zip(fill, column[y - 1])))
    return pixels


def main():
    cases_path, out_folder = sys.argv[1], sys.argv[2]
    columns_by_rows = {}
    with open(cases_path) as cases:
        for line in cases:
            if not line.strip():
                continue
            name, width, height, maximum, position, wash, fill = line.split()
            width, height = int(width), int(height)
            rows = height - 2
            if rows not in columns_by_rows:
                columns_by_rows[rows] = (stretched(DONE, rows, out_folder, "done"),
                                         stretched(REMAINING, rows, out_folder, "remaining"))
            pixels = compose(width, height, int(maximum), int(position), float(wash),
                             rgb(fill), columns_by_rows[rows])
            with open(os.path.join(out_folder, name + ".ppm"), "w") as out:
                out.write("P3\n%d %d\n255\n" % (width, height))
                out.write("\n".join("%d %d %d" % pixel for pixel in pixels))
                out.write("\n")


main()
