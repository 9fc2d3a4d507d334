#!/usr/bin/env python3
"""NTX files that the program writes, read back by Perl's XBase::Index.

The program builds each index with velt_ntx (which goes through
Table::Index); ntx_read.pl lists the keys that XBase::Index finds, in its
order, with their record numbers. The lists must equal the keys worked out
here from the table's records: the same bytes, the same order, every record
that satisfies the condition exactly once.
"""
import os
import random
import shutil
import struct
import subprocess
import tempfile
import unittest

SOURCE_DIR = os.environ.get("VELT_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
BINARY_DIR = os.environ.get("VELT_BINARY_DIR", os.path.join(SOURCE_DIR, "build"))
TOOL = os.path.join(BINARY_DIR, "tools", "velt_ntx")
READER = os.path.join(SOURCE_DIR, "tests", "table", "ntx_read.pl")


# ---- dBase tables -----------------------------------------------------------

def write_dbf(path, fields, records):
    """fields: (name, type, width, decimals); records: (deleted, [raw bytes per field])."""
    header_length = 32 + 32 * len(fields) + 1
    record_length = 1 + sum(f[2] for f in fields)
    out = bytearray(struct.pack("<BBBBIHH", 0x03, 124, 1, 1, len(records), header_length, record_length))
    out += bytes(17) + b"\x65" + bytes(2)  # byte 29: code page 866
    offset = 1
    for name, kind, width, decimals in fields:
        out += name.encode("ascii").ljust(11, b"\0") + kind.encode("ascii")
        out += struct.pack("<I", offset) + bytes([width, decimals]) + bytes(14)
        offset += width
    out += b"\r"
    for deleted, values in records:
        out += b"*" if deleted else b" "
        for (name, kind, width, decimals), value in zip(fields, values):
            assert len(value) <= width, (name, value)
            out += value.rjust(width) if kind == "N" else value.ljust(width)
    out += b"\x1a"
    with open(path, "wb") as f:
        f.write(out)


def read_dbf(path):
    """(fields, [(recno, deleted, {name: raw bytes})])."""
    with open(path, "rb") as f:
        data = f.read()
    count, header_length, record_length = struct.unpack("<IHH", data[4:12])
    fields, at, offset = [], 32, 1
    while data[at] != 0x0D:
        name = data[at:at + 11].split(b"\0")[0].decode("ascii")
        fields.append((name, chr(data[at + 11]), data[at + 16], data[at + 17], offset))
        offset += data[at + 16]
        at += 32
    records = []
    for n in range(count):
        raw = data[header_length + n * record_length:header_length + (n + 1) * record_length]
        values = {name: raw[o:o + w] for name, _, w, _, o in fields}
        records.append((n + 1, raw[:1] == b"*", values))
    return fields, records


# ---- the keys the index must hold ------------------------------------------

def upper_1251(text):
    """Upper-casing of the program: a letter becomes its upper-case letter when 1251 has it."""
    out = []
    for ch in text:
        up = ch.upper()
        try:
            if len(up) == 1:
                up.encode("cp1251")
                ch = up
        except UnicodeEncodeError:
            pass
        out.append(ch)
    return "".join(out)


def upper_key(raw):
    return upper_1251(raw.decode("cp866")).encode("cp866")


def str_key(raw, width):
    """STR(field, width) of a whole number: right-justified, '*' when too wide."""
    text = raw.strip()
    value = int(float(text)) if text else 0
    digits = str(value).encode("ascii")
    return b"*" * width if len(digits) > width else digits.rjust(width)


def expected_order(records, key, accept=lambda values: True, descending=False):
    items = [(key(values), recno) for recno, deleted, values in records if not deleted and accept(values)]
    items.sort(key=lambda item: item[1])
    items.sort(key=lambda item: item[0], reverse=descending)  # stable: equal keys keep record order
    return [(recno, k.hex()) for k, recno in items]


# ---- running the tool and the reader -----------------------------------------

def build_index(table, ntx, expression, condition=None, descending=False):
    command = [TOOL, "build", table, ntx, expression]
    if condition:
        command.append(condition)
    command.append("--oem")
    if descending:
        command.append("--desc")
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def perl_keys(ntx):
    result = subprocess.run(["perl", READER, ntx], check=True, stdout=subprocess.PIPE)
    items = []
    for line in result.stdout.decode("ascii").splitlines():
        recno, key = line.split("\t")
        items.append((int(recno), key))
    return items


# ---- generated tables ----------------------------------------------------------

SYLLABLES = ["че", "ля", "бин", "ск", "ко", "пей", "ск", "ми", "асс", "ёл", "ки", "но", "ур", "ал",
             "Тро", "иц", "к", "Зла", "то", "уст", "Са", "тка", "Ка", "сли", "Ве", "рх", "ний", "Уфа"]


def random_name(rng):
    words = []
    for _ in range(rng.choice([1, 1, 1, 2, 3])):
        word = "".join(rng.choice(SYLLABLES) for _ in range(rng.randint(1, 4)))
        if rng.random() < 0.3:
            word = word.upper()
        elif rng.random() < 0.5:
            word = word.capitalize()
        words.append(word)
    name = rng.choice([" ", "-", " "]).join(words)
    if rng.random() < 0.05:
        name = "Latin " + name
    return name[:40]


class NtxInterop(unittest.TestCase):
    def setUp(self):
        if not os.path.exists(TOOL):
            self.fail("velt_ntx is not built: " + TOOL)
        self.dir = tempfile.mkdtemp(prefix="velt-ntx-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def test_upper_name_over_cyrillic_names(self):
        rng = random.Random(866)
        names = [random_name(rng) for _ in range(2500)]
        names += [n.lower() for n in names[:200]]  # equal keys after UPPER
        names += [""] * 5
        rng.shuffle(names)
        fields = [("NAME", "C", 40, 0), ("SOCR", "C", 10, 0)]
        records = [(rng.random() < 0.03, [n.encode("cp866"), b"\x83"]) for n in names]
        table = os.path.join(self.dir, "city.dbf")
        write_dbf(table, fields, records)
        _, stored = read_dbf(table)
        key = lambda values: upper_key(values["NAME"])
        for descending in (False, True):
            with self.subTest(descending=descending):
                ntx = os.path.join(self.dir, "city.ntx")
                build_index(table, ntx, "UPPER(NAME)", descending=descending)
                got = perl_keys(ntx)
                want = expected_order(stored, key, descending=descending)
                self.assertEqual(len(got), len(want))
                self.assertEqual(got, want)

    def test_tariff_key_with_condition(self):
        rng = random.Random(20)
        fields = [("COD_SPEC", "N", 4, 0), ("CATEGORY", "N", 1, 0), ("PLACE", "N", 3, 0),
                  ("PURPOSE", "C", 2, 0), ("TARIF", "N", 10, 2)]
        records = []
        for _ in range(1500):
            values = [str(rng.randint(1, 120)).encode(), str(rng.randint(0, 9)).encode(),
                      rng.choice([b"20", b"20", b"30", b"2", b""]), rng.choice([b"03", b"03", b"01", b"0", b""]),
                      b"%.2f" % (rng.random() * 5000)]
            records.append((rng.random() < 0.02, values))
        table = os.path.join(self.dir, "tarif.dbf")
        write_dbf(table, fields, records)
        _, stored = read_dbf(table)
        key = lambda v: str_key(v["COD_SPEC"], 4) + str_key(v["CATEGORY"], 1)
        accept = lambda v: v["PLACE"].strip() == b"20" and v["PURPOSE"] == b"03"
        for descending in (False, True):
            with self.subTest(descending=descending):
                ntx = os.path.join(self.dir, "tarif.ntx")
                build_index(table, ntx, "STR(COD_SPEC,4)+STR(CATEGORY,1)", "PLACE=20 AND PURPOSE='03'",
                            descending)
                with open(ntx, "rb") as f:
                    header = f.read(1024)
                self.assertEqual(struct.unpack("<H", header[0:2])[0], 7)
                self.assertEqual(header[282:282 + 25], b"PLACE=20 AND PURPOSE='03'")
                got = perl_keys(ntx)
                want = expected_order(stored, key, accept, descending)
                self.assertGreater(len(want), 100)
                self.assertEqual(got, want)

    def test_sample_reference_and_mapping_tables(self):
        # The twelve tables of a run, indexed as the run indexes them.
        upper = lambda v: upper_key(v["NAME"])
        tables = [
            ("pavkdirs", "city", "UPPER(NAME)", None, upper, None),
            ("pavkdirs", "street", "UPPER(NAME)", None, upper, None),
            ("pavkdirs", "f002", "SMOCOD", None, lambda v: v["SMOCOD"], None),
            ("pavkdirs", "tarif", "STR(COD_SPEC,4)+STR(CATEGORY,1)", "PLACE=20 AND PURPOSE='03'",
             lambda v: str_key(v["COD_SPEC"], 4) + str_key(v["CATEGORY"], 1),
             lambda v: v["PLACE"].strip() == b"20" and v["PURPOSE"] == b"03"),
            ("pavkdirs", "lpu", "STR(NPP,4)", None, lambda v: str_key(v["NPP"], 4), None),
        ]
        for name in ("tr_from", "tr_reas", "tr_reas1", "tr_rslt", "tr_vid", "tr_trag"):
            tables.append(("dirstrans", name, "VELTCODE", None, lambda v: v["VELTCODE"], None))
        tables.append(("dirstrans", "tr_lpu", "VELTNAME", None, lambda v: v["VELTNAME"], None))
        for folder, name, expression, condition, key, accept in tables:
            with self.subTest(table=name):
                source = os.path.join(SOURCE_DIR, "data", "sample", "app", folder, name + ".dbf")
                table = os.path.join(self.dir, name + ".dbf")
                shutil.copyfile(source, table)
                _, stored = read_dbf(table)
                ntx = os.path.join(self.dir, name + ".ntx")
                build_index(table, ntx, expression, condition, descending=True)
                want = expected_order(stored, key, accept or (lambda v: True), descending=True)
                self.assertEqual(perl_keys(ntx), want)


if __name__ == "__main__":
    unittest.main()
