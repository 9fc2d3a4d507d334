"""Faults that come from outside the program: a disk that fills up in the
middle of a run (a file-size limit), a kill -9 at any moment of a
conversion, a Pack and a join, an archive or a mapping table that another
program holds, an event log that cannot be written. After each the user was
told what went wrong, every table that exists opens without error in
dbfread, python-dbf, Perl's XBase and the program's own table layer with
whole records only, none of them a record that was not all written, and
the next command works."""
import fcntl
import glob
import os
import random
import resource
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest

import dbf
import dbfread

BUILD = os.environ['VELT_BINARY_DIR']
SOURCE = os.environ['VELT_SOURCE_DIR']
VELTCONV = os.path.join(BUILD, 'veltconv')
VELT_PACK = os.path.join(BUILD, 'tools', 'velt_pack')
VELT_DBF = os.path.join(BUILD, 'tools', 'velt_dbf')
PERL_READER = os.path.join(SOURCE, 'tests', 'hardening', 'dbf_read.pl')
SAMPLE_APP = os.path.join(SOURCE, 'data', 'sample', 'app')
SAMPLE_ARCHIVE = os.path.join(SOURCE, 'data', 'sample', 'archives', 'F1232401.DBF')
SAMPLE_NATIVES = 273  # home-region calls of the sample that reach the "t" table
OUTPUT_RECORD = 1236
# The most records of an output table that one batch of a run writes: a
# megabyte of them.
BATCH_RECORDS = (1 << 20) // OUTPUT_RECORD
KILLS = 24


def header_of(path):
    with open(path, 'rb') as f:
        head = f.read(12)
    count, header, length = struct.unpack('<IHH', head[4:12])
    return count, header, length


def make_archive(path, copies, delete_every=0):
    """The sample archive's records repeated `copies` times; with
    delete_every, every such record is marked deleted too. The number of
    records and of live ones."""
    with open(SAMPLE_ARCHIVE, 'rb') as f:
        data = f.read()
    count, header, length = struct.unpack('<IHH', data[4:12])
    records = bytearray(data[header:header + count * length] * copies)
    if delete_every:
        for n in range(0, count * copies, delete_every):
            records[n * length] = ord('*')
    with open(path, 'wb') as f:
        f.write(data[:4] + struct.pack('<I', count * copies) + data[8:header])
        f.write(records)
        f.write(b'\x1a')
    live = sum(1 for n in range(count * copies) if records[n * length] != ord('*'))
    return count * copies, live


def wait_for_size(process, path, size, timeout=60):
    """Polls until the file has grown to `size` bytes; False when the
    process ended first."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if process.poll() is not None:
            return False
        if os.path.exists(path) and os.path.getsize(path) >= size:
            return True
        time.sleep(0.001)
    return False


def kill(process):
    process.send_signal(signal.SIGKILL)
    process.wait()


def limit_file_size(limit):
    def apply():
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
        # Writes past the limit then fail with EFBIG instead of a signal,
        # as on a full disk.
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    return apply


class FaultTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='velt-fault-')
        self.app = os.path.join(self.dir, 'app')
        shutil.copytree(SAMPLE_APP, self.app)
        self.out = os.path.join(self.dir, 'out')
        os.mkdir(self.out)
        self.archive = os.path.join(self.dir, 'F1232401.DBF')
        shutil.copy(SAMPLE_ARCHIVE, self.archive)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def convert(self, **popen):
        return subprocess.run([VELTCONV, 'convert', self.archive, '--out', self.out, '--app-dir', self.app],
                              capture_output=True, text=True, **popen)

    def start_convert(self):
        return subprocess.Popen([VELTCONV, 'convert', self.archive, '--out', self.out, '--app-dir', self.app],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def log(self):
        with open(os.path.join(self.app, 'veltconv.log'), 'rb') as f:
            return f.read().decode('cp1251')

    def assert_whole(self, path, records=None, killed=0, reference=None):
        """Every reader opens the table and finds whole records only: the
        header counts records that are all on disk, each marked live or
        deleted, and the end mark follows the last record that a reader
        walking to it (dbfread) finds. Unless a writer was killed, the
        header counts exactly those and the file ends there. An append
        writes its records and their end mark before the header counts
        them, so killed in the middle of one (`killed`: the most records
        one append writes), dbfread may find that append's records, whole,
        before the header counts them. With a reference (the same table
        written to its end), every record a reader shows is the
        reference's. The number of records the header counts."""
        count, header, length = header_of(path)
        with open(path, 'rb') as f:
            data = f.read()
        self.assertGreaterEqual(len(data), header + count * length + 1, path)
        for n in range(count):
            self.assertIn(data[header + n * length], b' *', '%s: record %d' % (path, n + 1))

        table = dbfread.DBF(path, encoding='cp866', raw=True)
        walked = sum(1 for _ in table) + sum(1 for _ in table.deleted)
        self.assertEqual(data[header + walked * length], 0x1A, path)
        if killed:
            self.assertGreaterEqual(walked, count, path)
            self.assertLessEqual(walked, count + killed, path)
        else:
            self.assertEqual(walked, count, path)
            self.assertEqual(len(data), header + count * length + 1, path)

        numbers = (0, count - 1) if count else ()
        shown = self.shown_by_count(path, numbers, count)
        if reference is not None:
            with open(reference, 'rb') as f:
                whole = f.read()
            self.assertEqual(data[header:header + walked * length], whole[header:header + walked * length], path)
            self.assertEqual(shown, self.shown_by_count(reference, numbers), path)
        if records is not None:
            self.assertEqual(count, records, path)
        return count

    def shown_by_count(self, path, numbers, count=None):
        """The records numbered `numbers` (from 0) as python-dbf, Perl's XBase
        and the program's table layer show them; these readers go by the
        header's count, which with `count` each must find."""
        if not path.lower().endswith('.dbf'):
            # python-dbf adds the extension to a name that lacks it.
            named = os.path.join(self.dir, 'shown.dbf')
            shutil.copy(path, named)
            path = named
        table = dbf.Table(path)
        table.open(dbf.READ_ONLY)
        try:
            if count is not None:
                self.assertEqual(len(table), count, path)
            python_dbf = [tuple(table[n]) for n in numbers]
        finally:
            table.close()

        perl = subprocess.run(['perl', PERL_READER, path] + [str(n) for n in numbers], capture_output=True)
        self.assertEqual(perl.returncode, 0, perl.stderr)
        perl_lines = perl.stdout.split(b'\n')
        if count is not None:
            self.assertEqual(perl_lines[0], b'records %d' % count, path)

        dump = subprocess.run([VELT_DBF, 'dump', path], capture_output=True)
        self.assertEqual(dump.returncode, 0, dump.stderr)
        dump_lines = dump.stdout.split(b'\n')
        if count is not None:
            self.assertEqual(dump_lines[1], b'records %d' % count, path)
        # The dump lists the live records by their number from 1.
        records = dict(line[len(b'record '):].split(b'\t', 1) for line in dump_lines if line.startswith(b'record '))
        return python_dbf, perl_lines[1:1 + len(numbers)], [records.get(b'%d' % (n + 1)) for n in numbers]

    def assert_all_whole(self, *folders, killed=0):
        for folder in folders:
            for path in glob.glob(os.path.join(folder, '*')):
                if path.lower().endswith('.dbf'):
                    self.assert_whole(path, killed=killed)

    def assert_converts(self):
        result = self.convert()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assert_whole(os.path.join(self.out, 'tF1232401.DBF'), SAMPLE_NATIVES)

    def test_disk_full_in_the_middle_of_a_run(self):
        # Room for about 160 output records; the sample gives 273.
        result = self.convert(preexec_fn=limit_file_size(200000))
        self.assertEqual(result.returncode, 3, result.stdout + result.stderr)
        self.assertIn('Unable to write table: ', result.stderr)
        self.assertIn('Запись архива №', result.stderr)
        natives = os.path.join(self.out, 'tF1232401.DBF.partial')
        self.assertIn(natives, result.stderr)
        self.assertGreater(self.assert_whole(natives), 100)
        self.assert_all_whole(self.out, os.path.join(self.app, 'dirstrans'), os.path.join(self.app, 'pavkdirs'))
        self.assertFalse([p for p in os.listdir(self.out) if p.endswith('~')])
        self.assertTrue(self.log().endswith('\r\n'))
        self.assert_converts()

    def test_kill_at_any_moment_of_a_run(self):
        calls, _ = make_archive(self.archive, 60)
        # The tables written to their end, for what a killed run leaves.
        whole = os.path.join(self.dir, 'whole')
        os.mkdir(whole)
        result = subprocess.run([VELTCONV, 'convert', self.archive, '--out', whole, '--app-dir', self.app],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        natives = os.path.join(self.out, 'tF1232401.DBF.partial')
        natives_size = os.path.getsize(os.path.join(whole, 'tF1232401.DBF'))
        # The last good table of an earlier run, which no kill may touch.
        earlier = os.path.join(self.out, 'tF1232401.DBF')
        shutil.copy(os.path.join(whole, 'tF1232401.DBF'), earlier)
        with open(earlier, 'rb') as f:
            earlier_bytes = f.read()
        rng = random.Random(16)
        killed_early = 0
        for _ in range(KILLS):
            for path in glob.glob(os.path.join(self.out, '*.partial')):
                os.remove(path)
            process = self.start_convert()
            # Killed when the home-region table has grown to a size anywhere
            # in the run; the run writes a batch at least every hundredth of
            # the archive, each batch as records, their end mark, then the count.
            if wait_for_size(process, natives, rng.randrange(4000, natives_size)):
                killed_early += 1
            kill(process)
            for path in glob.glob(os.path.join(self.out, '*.DBF.partial')):
                self.assert_whole(path, killed=BATCH_RECORDS,
                                  reference=os.path.join(whole, os.path.basename(path)[:-len('.partial')]))
            with open(earlier, 'rb') as f:
                self.assertEqual(f.read(), earlier_bytes)
        self.assertGreater(killed_early, KILLS // 2)
        self.assertTrue(self.log().endswith('\r\n'))  # no line cut short
        shutil.copy(SAMPLE_ARCHIVE, self.archive)
        self.assert_converts()

    def test_kill_during_a_pack(self):
        table = os.path.join(self.dir, 'BIG.DBF')
        records, live = make_archive(table, 200, delete_every=2)
        killed_in_pack = 0
        for _ in range(3):
            process = subprocess.Popen([VELT_PACK, table], stdout=subprocess.DEVNULL)
            if wait_for_size(process, table + '.pack~', 1):
                killed_in_pack += 1
            kill(process)
            # The table is the old one, whole, until the packed one replaces it.
            self.assert_whole(table, records)
        self.assertGreater(killed_in_pack, 0)
        result = subprocess.run([VELT_PACK, table], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout.strip(), 'packed %d of %d' % (live, records))
        self.assert_whole(table, live)
        self.assertFalse(os.path.exists(table + '.pack~'))

    def join(self, *files):
        return subprocess.Popen([VELTCONV, 'join', '--name', 'F1232499.DBF', '--app-dir', self.app, *files],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def test_kill_during_a_join(self):
        parts = []
        for month in ('01', '02', '03'):
            part = os.path.join(self.dir, 'F12324%s.DBF' % month)
            _, live = make_archive(part, 40)
            parts.append(part)
        joined = os.path.join(self.app, 'in', 'F1232499.DBF')
        count, header, length = header_of(parts[0])
        process = self.join(*parts)
        self.assertTrue(wait_for_size(process, joined + '.partial', header + count * length // 2))
        kill(process)
        process.stdout.close()
        process.stderr.close()
        # A join appends a megabyte of records at a time.
        self.assert_whole(joined + '.partial', killed=(1 << 20) // length)
        self.assertFalse(os.path.exists(joined))

        process = self.join(*parts)
        stdout, stderr = process.communicate()
        self.assertEqual(process.returncode, 0, stderr)
        self.assert_whole(joined, 3 * live)  # the live records of each part

    def test_tables_held_by_another_program(self):
        for held, message, line in [
                (self.archive, 'Закройте все открытые файлы DBF', 'Конвертация отменена. Ошибка открытия VELTDBF'),
                (os.path.join(self.app, 'dirstrans', 'tr_reas.dbf'),
                 'Не выполнена перекодировка классификаторов.', 'Ошибка создания индексов. Конвертация отменена')]:
            with open(held, 'rb') as f:
                fcntl.flock(f.fileno(), fcntl.LOCK_EX)
                result = self.convert()
                self.assertEqual(result.returncode, 1, held + result.stderr)
                self.assertIn(message, result.stderr)
                self.assertIn(held + ": занят другой программой", result.stderr)
                self.assertIn(line + '\r\n', self.log())
                self.assertEqual(os.listdir(self.out), [])
            self.assert_converts()
            for path in glob.glob(os.path.join(self.out, '*')):
                os.remove(path)

    def test_event_log_that_cannot_be_written(self):
        log = os.path.join(self.app, 'veltconv.log')
        os.mkdir(log)
        result = self.convert()
        # Refused before the run starts, as every target that is no regular file.
        self.assertEqual(result.returncode, 3, result.stdout + result.stderr)
        self.assertIn('veltconv.log: это папка, а не файл', result.stderr)
        self.assertEqual(os.listdir(self.out), [])
        os.rmdir(log)
        self.assert_converts()


if __name__ == '__main__':
    unittest.main(verbosity=2)
