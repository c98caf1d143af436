#!/usr/bin/python3
"""Writes the dBase fixtures of the local-table tests with the `dbf` module (Debian
python3-dbf), a writer independent of ours. Run from any directory:
    /usr/bin/python3 tests/localtable/make_fixtures.py
The files land in tests/localtable/data/ and are checked in."""

import datetime
import os
import shutil

import dbf

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")

ROWS = [
    # stranka, artikel, kolicina, cena, strac, datum, placano, opomba
    ("Čebelarstvo Žužek", "INT-10", 2.5, 12.3456, "R-0001", datetime.date(2024, 3, 1), True,
     "Opomba s črkami čšž ČŠŽ"),
    ("Šola Škofja Loka", "INT-20", 1, None, "R-0002", None, False, ""),
    ("Izbrisan zapis", "INT-30", 9, 9.99, "R-0003", datetime.date(2024, 3, 3), None, "x"),
    ("Mlekarna Ždrale", "DOM-1", 100.125, 0.5, "R-0004", datetime.date(2024, 12, 31), None,
     "druga"),
]


def path(name):
    return os.path.join(HERE, name)


def remove(name):
    for ext in (".dbf", ".dbt", ".fpt"):
        try:
            os.remove(path(name + ext))
        except FileNotFoundError:
            pass


def transfer_file(name, codepage, dbf_type="db3"):
    remove(name)
    table = dbf.Table(
        path(name + ".dbf"),
        "STRANKA C(40); ARTIKEL C(16); KOLICINA N(10,3); CENA N(12,4); STRAC C(12); "
        "DATUM D; PLACANO L; OPOMBA M",
        codepage=codepage, dbf_type=dbf_type)
    table.open(dbf.READ_WRITE)
    for row in ROWS:
        table.append(row)
    # The third record is deleted: readers must skip it.
    dbf.delete(table[2])
    table.close()


def set_language_driver(name, value):
    with open(path(name + ".dbf"), "r+b") as f:
        f.seek(29)
        f.write(bytes([value]))


def foxpro_file(name):
    remove(name)
    table = dbf.Table(
        path(name + ".dbf"),
        "NAZIV C(20); STEVILO I; DVOJNO B; ZNESEK Y; CAS T; PRAZNO C(10) NULL; OPIS M",
        codepage="cp1250", dbf_type="vfp")
    table.open(dbf.READ_WRITE)
    table.append(("Žiga", -42, 3.25, 1234.5678, datetime.datetime(2024, 5, 6, 12, 30, 0),
                  None, "Zapisek o Žigi: " + "dolg " * 40))
    table.append(("Ana", 7, -0.5, -1, None, "ima", ""))
    table.close()


def main():
    os.makedirs(HERE, exist_ok=True)
    transfer_file("prenos", "cp1250")
    transfer_file("unmarked", "cp1250")
    set_language_driver("unmarked", 0)
    transfer_file("oem852", "cp852")
    foxpro_file("foxpro")
    # A table without records and without a memo.
    remove("empty")
    table = dbf.Table(path("empty.dbf"), "STRANKA C(40); KOLICINA N(10,3)", codepage="cp1250")
    table.close()


if __name__ == "__main__":
    main()
