"""Our dBase tables against independent readers and writers.

python3-dbfread reads what the table layer writes; python3-dbf writes what
the table layer reads (through tools/velt_dbf); a writer killed with SIGKILL
leaves a table both sides open with every posted record.
"""
import datetime
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

try:
    import dbf
    import dbfread
except ImportError:
    # Debian's modules live with the system interpreter.
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

BINARY_DIR = os.environ.get("VELT_BINARY_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))
TOOL = os.path.join(BINARY_DIR, "tools", "velt_dbf")


def velt(*args):
    return subprocess.run([TOOL, *args], check=True, capture_output=True, text=True).stdout


def dump(path):
    """Fields and visible records as the table layer reads them."""
    fields, records, info = [], [], {}
    for line in velt("dump", path).splitlines():
        kind, _, rest = line.partition(" ")
        if kind == "field":
            name, type_, width, decimals = rest.split(" ")
            fields.append((name, type_, int(width), int(decimals)))
        elif kind == "record":
            parts = rest.split("\t")
            records.append((int(parts[0]), parts[1:]))
        else:
            info[kind] = rest
    return info, fields, records


def read_dbfread(path):
    return dbfread.DBF(path, encoding="cp866", ignore_missing_memofile=True)


class InteropTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.dir.name, "t.dbf")

    def tearDown(self):
        self.dir.cleanup()

    def test_dbfread_reads_our_table(self):
        velt("sample", self.path)
        table = read_dbfread(self.path)
        self.assertEqual(
            [(f.name, f.type, f.length, f.decimal_count) for f in table.fields],
            [("NAME", "C", 20, 0), ("CODE", "N", 4, 0), ("SUM", "N", 10, 2), ("BORN", "D", 8, 0),
             ("NOTE", "C", 5, 0), ("BIG", "N", 8, 0)])
        self.assertEqual(table.header.language_driver, 0x65)
        self.assertEqual([dict(r) for r in table], [
            {"NAME": "Иванов Пётр", "CODE": 12, "SUM": 12.35, "BORN": datetime.date(1980, 2, 29),
             "NOTE": "abc", "BIG": 1234567},
            {"NAME": "Ёлкина-Щукина Эльза", "CODE": -7, "SUM": -0.5, "BORN": datetime.date(2023, 12, 31),
             "NOTE": "", "BIG": 1234567},
            {"NAME": "", "CODE": None, "SUM": None, "BORN": None, "NOTE": "", "BIG": None},
        ])
        self.assertEqual([r["NAME"] for r in table.deleted], ["Удаляемая"])
        with open(self.path, "rb") as f:
            data = f.read()
        self.assertIn("Ёлкина".encode("cp866"), data)
        self.assertEqual(data[-1], 0x1A)

        # Our own reading of the same file agrees with dbfread's.
        info, fields, records = dump(self.path)
        self.assertEqual(info["records"], "4")
        self.assertEqual([f[0] for f in fields], [f.name for f in table.fields])
        self.assertEqual([n for n, _ in records], [1, 2, 4])
        self.assertEqual(records[0][1], ["Иванов Пётр", "12", "12.35", "29.02.1980", "abc", "1234567"])
        self.assertEqual(records[2][1], ["", "", "", "", "", ""])

    def test_we_read_a_table_written_by_python_dbf(self):
        table = dbf.Table(self.path, "name C(20); code N(5,0); sum N(10,2); born D; rate N(12,4)",
                          dbf_type="db3", codepage="cp866")
        table.open(dbf.READ_WRITE)
        table.append(("Щукин Ёж", 12, 12.5, datetime.date(1999, 1, 2), -0.0625))
        table.append(("Удалённая", 1, 1, datetime.date(2000, 1, 1), 1))
        table.append(("", None, None, None, None))
        table.append(("Latin", -99, 1234567.89, datetime.date(2024, 2, 29), 98765.4321))
        dbf.delete(table[1])
        table.close()

        info, fields, records = dump(self.path)
        self.assertEqual(fields, [("NAME", "C", 20, 0), ("CODE", "N", 5, 0), ("SUM", "N", 10, 2),
                                  ("BORN", "D", 8, 0), ("RATE", "N", 12, 4)])
        self.assertEqual(info["records"], "4")
        self.assertEqual(info["visible"], "3")
        self.assertEqual(records, [
            (1, ["Щукин Ёж", "12", "12.5", "02.01.1999", "-0.0625"]),
            (3, ["", "", "", "", ""]),
            (4, ["Latin", "-99", "1234567.89", "29.02.2024", "98765.4321"]),
        ])

    def _check_consistent(self, expected=None):
        table = read_dbfread(self.path)
        posted = len(list(table)) + len(list(table.deleted))
        with open(self.path, "rb") as f:
            data = f.read()
        header = int.from_bytes(data[8:10], "little")
        length = int.from_bytes(data[10:12], "little")
        count = int.from_bytes(data[4:8], "little")
        # An append writes the record and its end mark before the header
        # counts it: killed in between, a reader that walks to the end mark
        # (dbfread) finds the whole record one step before the header counts
        # it, and part of a record cut short may lie behind the end mark.
        self.assertIn(posted, (count, count + 1))
        self.assertGreaterEqual(len(data), header + posted * length + 1)
        self.assertEqual(data[header + posted * length], 0x1A)
        info, _, records = dump(self.path)
        self.assertEqual(int(info["visible"]) + len(list(table.deleted)), count)
        # Every posted record is whole: the appended ones count up from 1.
        appended = [r for r in table if r["NAME"].startswith("Запись")]
        self.assertEqual([r["NAME"] for r in appended], ["Запись %d" % n for n in range(1, len(appended) + 1)])
        if expected is not None:
            self.assertEqual(len(appended), expected)
            self.assertEqual(count, posted)
        return len(appended)

    def test_killed_writer_leaves_every_posted_record(self):
        velt("sample", self.path)
        child = subprocess.Popen([TOOL, "append", self.path, "50", "--sleep"], stdout=subprocess.PIPE, text=True)
        self.assertEqual(child.stdout.readline().strip(), "posted 50")
        child.send_signal(signal.SIGKILL)
        child.wait()
        child.stdout.close()
        self._check_consistent(expected=50)

        # Killed in the middle of a long run of Posts.
        os.remove(self.path)
        velt("sample", self.path)
        child = subprocess.Popen([TOOL, "append", self.path, "5000000"], stdout=subprocess.DEVNULL)
        time.sleep(0.5)
        child.send_signal(signal.SIGKILL)
        child.wait()
        self.assertGreater(self._check_consistent(), 0)


if __name__ == "__main__":
    unittest.main()
