#!/usr/bin/python3
"""Writes the transfer file of the error-table tests with the `dbf` module (Debian
python3-dbf), a writer independent of ours. Run from any directory:
    /usr/bin/python3 tests/transfer/make_napaka_fixtures.py
The file lands in tests/transfer/data/ and is checked in."""

import os

import dbf

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")

ROWS = [
    # stranka, artikel, kolicina, cena, strac
    ("Čebelarstvo Žužek", "INT-10", 2.5, 12.3456, "R-0001"),
    # A customer second name of 40 characters: its reason has 63.
    ("Šolski center Škofja Loka, enota Žiri 12", "INT-20", 1, 0, "R-0002"),
    # An invoice number of 13 characters in a field of 10.
    ("Mlekarna Ždrale", "DOM-1", 100.125, 0.5, "2024/0000123"),
]


def write(file, fields, rows):
    name = os.path.join(HERE, file)
    if os.path.exists(name):
        os.remove(name)
    table = dbf.Table(name, fields, codepage="cp1250")
    table.open(dbf.READ_WRITE)
    for row in rows:
        table.append(row)
    table.close()


def main():
    os.makedirs(HERE, exist_ok=True)
    write("napake.dbf",
          "STRANKA C(40); ARTIKEL C(16); KOLICINA N(10,3); CENA N(12,4); STRAC C(13)", ROWS)
    # A file from which the invoice number is missing.
    write("bez_strac.dbf", "STRANKA C(40); ARTIKEL C(16); KOLICINA N(10,3)",
          [("Čebelarstvo Žužek", "INT-10", 1)])


if __name__ == "__main__":
    main()
