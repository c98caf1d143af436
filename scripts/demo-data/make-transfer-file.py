#!/usr/bin/python3
"""Writes the demo's transfer file as the billing system leaves it: a dBase III table in the
Windows-1250 code page, one record per billed item of November's subscriptions.

    make-transfer-file.py PATH [--brez-cene]

With --brez-cene the file has no CENA field, so every line is priced by the rules and
formulas of the accounting database instead of taking the billing system's price.

Thirteen customers of eight payers pass their checks; three records fail one each: a
customer the accounting database does not know (NOVAK PETER), an article it does not know
(NET-2000) and a customer whose payer is no partner (ROZMAN TJAŠA)."""
import argparse
import os

import dbf

# (customer as Subjekt.Naziv2, article, quantity, billing system's unit price, invoice no.),
# from the records the program's own demo (zendrato --demo) writes too.
def read_records():
    records = []
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "transfer-records.csv")
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                stranka, artikel, kolicina, cena, strac = line.split(";")
                records.append((stranka, artikel, float(kolicina), float(cena), strac))
    return records


RECORDS = read_records()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("path")
    parser.add_argument("--brez-cene", action="store_true",
                        help="leave out the CENA field, so the rules price every line")
    args = parser.parse_args()

    fields = ["STRANKA C(40)", "ARTIKEL C(16)", "KOLICINA N(10,3)"]
    if not args.brez_cene:
        fields.append("CENA N(12,4)")
    fields.append("STRAC C(10)")
    table = dbf.Table(args.path, "; ".join(fields), dbf_type="db3", codepage="cp1250")
    table.open(dbf.READ_WRITE)
    for stranka, artikel, kolicina, cena, strac in RECORDS:
        row = (stranka, artikel, kolicina) + (() if args.brez_cene else (cena,)) + (strac,)
        table.append(row)
    table.close()


if __name__ == "__main__":
    main()
