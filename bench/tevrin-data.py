#!/usr/bin/python3
"""Writes a synthetic Tevrin database and a transfer file of any size for the transfer
benchmark, the same for the same options on every machine.

    tevrin-data.py --records N [--customers C] [--seed S] [--large ROWS] [--sqlite FILE]
                   [--postgres CONNINFO] [--dbf PATH [--no-price]]

The database: parameters, tax tariffs, business events, price formulas, articles with
formulas and prices, customers in groups of three of which the first pays for the other
two, partner price lists, and the documents already issued in the run's series (26IR, up
to 26IR00041). --large ROWS adds ROWS partners that the file never names, and ROWS
headers and ROWS lines of earlier years' series, so that the transfer's lookups and
inserts meet tables of that size. The database depends on --records (the number of
customers follows it unless --customers is given), --seed and --large only.

The transfer file: a dBase III table in Windows-1250 with the fields STRANKA, ARTIKEL,
KOLICINA, CENA (left out with --no-price) and STRAC; N records, the items of one customer
after another, customers in a shuffled order; about one record in 200 names a customer or
an article that the database does not know.

--sqlite replaces the file's Tevrin tables in one transaction; --postgres (a libpq
connection string; the password from PGPASSWORD) replaces them through psql's COPY."""
import argparse
import datetime
import io
import os
import random
import sqlite3
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SCHEMA = os.path.join(HERE, "..", "scripts", "demo-data", "tevrin-schema.sql")

SURNAMES = ["Kovačič", "Žagar", "Šuštar", "Hočevar", "Mlinar", "Rozman", "Potočnik",
            "Žnidaršič", "Čeh", "Košir", "Zupančič", "Vidmar"]
FIRST = ["Janez", "Mojca", "Boštjan", "Špela", "Žiga", "Tjaša", "Luka", "Nuša", "Matic"]
CLASSES = ["INTERNET", "TV", "TELEFON", "STORITVE", "OPREMA"]
FORMULAS = ["", "", "", "", "KOLPOP", "MPBREZ", "AKCIJA"]
PARTNER_TYPES = ["FIZICNA", "FIZICNA", "PRAVNA", "JAVNI", "DRUSTVO"]
ISSUED_IN_SERIES = 41  # 26IR00001 to 26IR00041 exist; a run dated in 2026 continues at 42


def money(value):
    return round(value, 2)


class Tevrin:
    """The rows of every table, as lists of (column, ...) tuples."""

    # self.tables: name -> (columns, rows, a function giving the large rows or None).
    def __init__(self, records, seed, large, customers=None):
        self.rnd = random.Random(seed)
        self.customers = max(3, customers or (records + 2) // 3)
        self.articles = max(20, min(2000, records // 50))
        self.large = large
        self.tables = {}
        self.build()

    def build(self):
        r = self.rnd
        self.tables["Param"] = (
            ["Id", "RoundT", "PolniRefIzSubj", "NasaValuta", "NacIzrRabata", "OsnZaIzrProdCene",
             "FormulaKosovnica", "FormulaCenRazred", "FormulaNabaCena"],
            [(1, 0.01, "T", "EUR", "V", "1", "#SESTAVNICA#",
              "[#CENRAZRED#=2:#VPCENA2#][#CENRAZRED#=3:#VPCENA1#*0,85]#VPCENA1#",
              "#NNABACENA#")], None)
        self.tables["TarSt"] = (["TS", "Naziv", "Davek"], [
            ("1", "Splošna stopnja 22 %", 22), ("2", "Nižja stopnja 9,5 %", 9.5),
            ("3", "Nižja stopnja 5 %", 5), ("0", "Oproščeno", 0)], None)
        self.tables["PoslDog"] = (["PoslDog", "Naziv", "Izdajatelj"], [
            ("IR", "Izdani računi – naročnine", "Omrežje Zasavje d.o.o."),
            ("IS", "Izdani računi – storitve", "Omrežje Zasavje d.o.o."),
            ("DO", "Dobropisi", "Omrežje Zasavje d.o.o.")], None)
        self.tables["MsFormula"] = (["Sifra", "Naziv", "Formula"], [
            ("KOLPOP", "Količinski popust",
             "[#KOLICINA#>300:#VPCENA1#*0,8][#KOLICINA#>100:#VPCENA1#*0,9]#VPCENA1#"),
            ("MPBREZ", "Maloprodajna cena brez DDV", "#MPCENA#/1,22"),
            ("AKCIJA", "Akcija – polovična cena", "#VPCENA1#*0,5")], None)

        ms = []
        self.article_price = []
        for j in range(self.articles):
            vp = money(r.uniform(0.5, 120))
            ms.append((f"ART-{j:05d}", f"Storitev {j} – paket", r.choice(["mes", "kos", "min", "h"]),
                       r.choice("111230"), r.choice(CLASSES), r.choice(FORMULAS),
                       0, 0, 0, 0, 0, 0, 0, r.choice([0, 0, 12, 24]),
                       money(vp * 0.45), money(vp * 0.45), money(vp * 1.22), vp,
                       money(vp * 0.92), vp, 0, 0, 0, 0, 0, "EUR", "EUR"))
            self.article_price.append(vp)
        self.tables["Ms"] = (
            ["Ident", "Naziv", "EM", "TS", "Klasif", "Formula", "Transport", "Dajatve", "NepStr",
             "VrDavek", "VPCena2P", "VPCenaP", "MPCenaP", "Garancija", "NabaCena", "CenaDob",
             "MPCena", "VPCena", "VPCena2", "ProdCena", "Trosarina", "TrosarinaP", "Popust",
             "Sestavnica", "Rabat", "Valuta", "ValutaDob"], ms, None)

        subj = []
        cenik = [("DRUSTVO", "INTERNET", "P", "", "R", 5), ("JAVNI", "INTERNET", "P", "", "R", 8)]
        self.customer_names = []
        for i in range(self.customers):
            naziv = f"{SURNAMES[i % len(SURNAMES)]} {FIRST[(i // 7) % len(FIRST)]} {i:06d}"
            self.customer_names.append(naziv)
            payer = "" if i % 3 == 0 else self.customer_names[i - i % 3]
            izjava = r.random() < 0.1
            subj.append((naziv, naziv.upper(), payer, f"Cesta {i % 90 + 1}", "1420 Trbovlje",
                         r.choice("1123"), r.choice(["01", "02"]), "", "01",
                         r.choice(["01", "02"]), r.choice(["01", "02"]), r.choice([8, 15, 30]),
                         f"IZJ-2026/{i}" if izjava else "",
                         "2026-01-12 00:00:00" if izjava else None, r.choice(PARTNER_TYPES), "",
                         r.choice([0, 0, 0, 5, 10]), 0, r.choice(["", "", "1", "2"]), "", "EUR"))
            if i % 3 == 0 and r.random() < 0.1:
                if r.random() < 0.5:
                    j = r.randrange(self.articles)
                    cenik.append((naziv, f"ART-{j:05d}", "P", "", "C",
                                  money(self.article_price[j] * 0.9)))
                else:
                    cenik.append((naziv, r.choice(CLASSES), "P", "", "R", r.choice([3, 5, 10])))
        large = self.large

        def partners():
            for i in range(large):
                yield (f"Partner {i:07d}", f"PARTNER {i:07d}", "", "Ulica 1", "1000 Ljubljana",
                       "1", "01", "", "01", "01", "01", 30, "", None, "PRAVNA", "", 0, 0, "", "",
                       "EUR")
        self.tables["Subjekt"] = (
            ["Naziv", "Naziv2", "Placnik", "Naslov", "Posta", "CenRazred", "Referent", "Izjava",
             "NacProdaje", "NacinPlac", "Dostava", "DniZaPlac", "LetnaIzjava", "DatumIzj",
             "TipPartnerjaO", "TipPartnerjaI", "Rabat", "DobRabat", "NacIzrCene", "DobNacIzrCene",
             "Valuta"], subj, partners)
        self.tables["SubjektCenik"] = (
            ["Subjekt", "Ident", "PreIzd", "Formula", "Vrsta", "Cena"], cenik, None)

        promet, poz = [], []
        articles, prices = self.articles, self.article_price

        def document(kljuc, day, customer, lines, promet, poz):
            total = 0
            for p in range(lines):
                j = (hash_int(kljuc) + p) % articles
                price = prices[j]
                total += price
                poz.append((kljuc, p, f"ART-{j:05d}", f"{kljuc} - {customer}",
                            f"Storitev {j} – paket", "mes", "1", 22, 1, 0, price, price, 0,
                            day, "01", day, "01"))
            promet.append((kljuc, day, kljuc[2:4], "01", "Omrežje Zasavje d.o.o.", customer,
                           customer, "1", "01", "01", "01", 15, day, day, "EUR", 1, "N", "Y", "F",
                           money(total), 0, money(total * 1.22), 0, money(total * 0.22), "K", day,
                           "01", day, "01"))

        for n in range(1, ISSUED_IN_SERIES + 1):
            document(f"26IR{n:05d}", "2026-11-05 00:00:00",
                     self.customer_names[n % self.customers], 2, promet, poz)
        document("25IR00412", "2025-12-05 00:00:00", self.customer_names[0], 2, promet, poz)

        # Earlier years' series, 99,999 documents a year, one line each; made as they are
        # loaded, so that a million of them never sit in memory.
        def earlier(headers):
            for i in range(large):
                year, number = divmod(i, 99999)
                h, p = [], []
                document(f"{year:02d}IR{number + 1:05d}", f"20{year:02d}-06-15 00:00:00",
                         f"Partner {i:07d}", 1, h, p)
                yield from (h if headers else p)
        self.tables["Promet"] = (
            ["Kljuc", "Datum", "PoslDog", "Referent", "Izdajatelj", "Prejemnik", "Oseba3",
             "CenRazred", "NacProdaje", "NacinPlac", "Dostava", "DniZaPlac", "DatumDUR",
             "DatumVal", "Valuta", "Tecaj", "PrejemnikZal", "IzdajateljZal", "PotrjeneCene",
             "Vrednost", "VredValuta", "ZaPlacilo", "Popust", "Davek", "Knjizen", "DatumZap",
             "UserZap", "DatumSpre", "UserSpre"], promet, lambda: earlier(True))
        self.tables["PrometPoz"] = (
            ["Kljuc", "Poz", "Ident", "Opomba", "Naziv", "EM", "TS", "Davek", "Kolicina", "Rabat",
             "Cena", "ProdCena", "KolicinaTemp", "DatumZap", "UserZap", "DatumSpre", "UserSpre"],
            poz, lambda: earlier(False))

    def transfer_records(self, count, seed):
        """(STRANKA, ARTIKEL, KOLICINA, CENA, STRAC) of the file, in the file's order."""
        r = random.Random(seed * 7919 + 1)
        order = list(range(self.customers))
        r.shuffle(order)
        out = []
        k = 0
        while len(out) < count:
            c = order[k % len(order)]
            k += 1
            stranka = self.customer_names[c].upper()
            strac = f"26{k:08d}"
            for _ in range(r.randint(1, 5)):
                if len(out) == count:
                    break
                j = r.randrange(self.articles)
                artikel = f"ART-{j:05d}"
                bad = r.random()
                if bad < 0.0025:
                    stranka_rec, artikel_rec = f"NEZNAN KUPEC {k}", artikel
                elif bad < 0.005:
                    stranka_rec, artikel_rec = stranka, f"NEZNAN-{j}"
                else:
                    stranka_rec, artikel_rec = stranka, artikel
                kolicina = r.choice([1, 1, 1, 2, 3, 1.5, r.randint(10, 500)])
                cena = self.article_price[j] if r.random() < 0.8 else money(r.uniform(0.5, 120))
                out.append((stranka_rec, artikel_rec, kolicina, cena, strac))
        return out


def hash_int(text):
    # Python's own hash of a text changes from run to run; this one does not.
    h = 0
    for ch in text:
        h = (h * 31 + ord(ch)) & 0xFFFFFFFF
    return h


def schema_statements():
    with open(SCHEMA, encoding="utf-8") as f:
        text = "\n".join(line.split("--", 1)[0] for line in f)
    return [s.strip() for s in text.split(";") if s.strip()]


def table_names():
    names = []
    for s in schema_statements():
        words = s.split()
        if words[0].upper() == "CREATE" and words[1].upper() == "TABLE":
            names.append(words[2])
    return names


def all_rows(rows, large):
    yield from rows
    if large:
        yield from large()


def load_sqlite(path, db):
    con = sqlite3.connect(path, isolation_level=None)
    con.execute("PRAGMA synchronous=OFF")
    con.execute("BEGIN")
    for name in reversed(table_names()):
        con.execute(f"DROP TABLE IF EXISTS {name}")
    for s in schema_statements():
        con.execute(s)
    for name, (columns, rows, large) in db.tables.items():
        marks = ", ".join("?" * len(columns))
        con.executemany(f"INSERT INTO {name} ({', '.join(columns)}) VALUES ({marks})",
                        all_rows(rows, large))
    con.execute("COMMIT")
    con.execute("ANALYZE")
    con.close()


def csv_value(v):
    # COPY's CSV: an unquoted empty field is NULL, so every text is quoted.
    if v is None:
        return ""
    if isinstance(v, str):
        return '"' + v.replace('"', '""') + '"'
    return str(v)


def load_postgres(conninfo, db):
    psql = subprocess.Popen(["psql", "-q", "-X", "-v", "ON_ERROR_STOP=1", "-d", conninfo],
                            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    out = io.TextIOWrapper(psql.stdin, encoding="utf-8", newline="\n")
    try:
        out.write("BEGIN;\n")
        for name in reversed(table_names()):
            out.write(f"DROP TABLE IF EXISTS {name};\n")
        for s in schema_statements():
            out.write(s + ";\n")
        for name, (columns, rows, large) in db.tables.items():
            out.write(f"COPY {name} ({', '.join(columns)}) FROM STDIN WITH (FORMAT csv);\n")
            for row in all_rows(rows, large):
                out.write(",".join(map(csv_value, row)) + "\n")
            out.write("\\.\n")
        out.write("COMMIT;\nANALYZE;\n")
        out.close()
    except BrokenPipeError:
        pass
    if psql.wait() != 0:
        raise subprocess.CalledProcessError(psql.returncode, "psql")


def write_dbf(path, records, with_price):
    fields = [("STRANKA", "C", 40, 0), ("ARTIKEL", "C", 16, 0), ("KOLICINA", "N", 10, 3)]
    if with_price:
        fields.append(("CENA", "N", 12, 4))
    fields.append(("STRAC", "C", 10, 0))
    record_length = 1 + sum(f[2] for f in fields)
    header_length = 32 + 32 * len(fields) + 1
    today = datetime.date(2026, 11, 30)
    out = bytearray()
    # dBase III header; byte 29 is the language driver, 0xC8 for Windows-1250.
    out += struct.pack("<BBBBIHH", 0x03, today.year - 1900, today.month, today.day,
                       len(records), header_length, record_length)
    out += bytes(17) + bytes([0xC8]) + bytes(2)
    for name, kind, size, decimals in fields:
        out += name.encode("ascii").ljust(11, b"\0") + kind.encode("ascii") + bytes(4)
        out += bytes([size, decimals]) + bytes(14)
    out += b"\r"
    for stranka, artikel, kolicina, cena, strac in records:
        values = {"STRANKA": stranka, "ARTIKEL": artikel, "KOLICINA": kolicina, "CENA": cena,
                  "STRAC": strac}
        out += b" "
        for name, kind, size, decimals in fields:
            v = values[name]
            if kind == "C":
                out += v.encode("cp1250")[:size].ljust(size, b" ")
            else:
                out += f"{v:.{decimals}f}".encode("ascii").rjust(size, b" ")
    out += b"\x1a"
    with open(path, "wb") as f:
        f.write(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--records", type=int, required=True, help="records of the transfer file")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--customers", type=int,
                        help="customers in the database (a third of the records when not given)")
    parser.add_argument("--large", type=int, default=0, metavar="ROWS",
                        help="rows added to Subjekt, Promet and PrometPoz")
    parser.add_argument("--sqlite", metavar="FILE")
    parser.add_argument("--postgres", metavar="CONNINFO")
    parser.add_argument("--dbf", metavar="PATH")
    parser.add_argument("--no-price", action="store_true", help="leave out the CENA field")
    args = parser.parse_args()

    db = Tevrin(args.records, args.seed, args.large, args.customers)
    if args.sqlite:
        load_sqlite(args.sqlite, db)
    if args.postgres:
        load_postgres(args.postgres, db)
    if args.dbf:
        write_dbf(args.dbf, db.transfer_records(args.records, args.seed), not args.no_price)


if __name__ == "__main__":
    try:
        main()
    except (OSError, subprocess.CalledProcessError, sqlite3.Error) as e:
        sys.exit(f"tevrin-data.py: {e}")
