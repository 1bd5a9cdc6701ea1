"""Times Python's own csv module splitting a point-cloud file and converting every field.

Prints the seconds taken and the number of rows converted.
"""
import csv
import sys
import time


def main(path):
    start = time.perf_counter()
    rows = 0
    with open(path, newline="", encoding="latin-1") as f:
        reader = csv.reader(f)
        next(reader, None)  # the header
        for row in reader:
            if len(row) != 7:
                continue
            int(row[0]), int(row[1]), int(row[2]), int(row[3])
            float(row[4]), int(row[5]), float(row[6])
            rows += 1
    print(f"{time.perf_counter() - start:.6f} {rows}")


if __name__ == "__main__":
    main(sys.argv[1])
