"""`veltconv convert --problems` against the log of the same run, and
`veltconv mapping export|import` with their exit statuses."""
import csv
import os
import shutil
import struct
import subprocess
import time
import unittest

from sample_app import HEADLESS, VELTCONV, SampleAppCase, SAMPLE_ARCHIVE

STAMP = len('dd.mm.yyyy, hh:nn:ss. ')


class ProblemsAndMappingCommandTest(SampleAppCase):
    def test_problems_file_lists_the_logged_calls_in_order(self):
        problems = os.path.join(self.dir, 'problems.csv')
        result = self.run_veltconv('convert', SAMPLE_ARCHIVE, '--out', self.dir, '--app-dir', self.app,
                                   '--problems', problems)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(self.app, 'veltconv.log'), 'rb') as f:
            logged = [line[STAMP:] for line in f.read().decode('cp1251').split('\r\n')
                      if line[STAMP:].startswith(' Вызов №')]
        with open(problems, encoding='utf-8-sig', newline='') as f:
            rows = list(csv.reader(f))
        self.assertEqual(rows[0], ['record', 'call', 'date', 'surname', 'problem'])
        self.assertTrue(logged)
        self.assertEqual([' Вызов №' + r[1] + r[4] for r in rows[1:]], logged)
        # Several archives: every run's rows, each led by its archive.
        second = shutil.copy(SAMPLE_ARCHIVE, os.path.join(self.dir, 'F1232402.DBF'))
        out = os.path.join(self.dir, 'batch')
        os.mkdir(out)
        result = self.run_veltconv('convert', SAMPLE_ARCHIVE, second, '--out', out, '--app-dir', self.app,
                                   '--code-page', 'OEM', '--problems', problems)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(problems, encoding='utf-8-sig', newline='') as f:
            batch = list(csv.reader(f))
        self.assertEqual(batch[0], ['archive'] + rows[0])
        self.assertEqual(batch[1:], [[a] + r for a in (SAMPLE_ARCHIVE, second) for r in rows[1:]])

    def test_mapping_commands_exit_statuses(self):
        exported = os.path.join(self.dir, 'tr_rslt.csv')
        result = self.run_veltconv('mapping', 'export', 'tr_rslt', exported, '--app-dir', self.app)
        self.assertEqual(result.returncode, 0, result.stderr)
        result = self.run_veltconv('mapping', 'import', 'tr_rslt', exported, '--app-dir', self.app)
        self.assertEqual(result.returncode, 0, result.stderr)
        table = os.path.join(self.app, 'dirstrans', 'tr_rslt.dbf')
        with open(table, 'rb') as f:
            before = f.read()
        with open(exported, 'a', encoding='utf-8', newline='') as f:
            f.write('ZZ8,x,no such choice\r\n')
        result = self.run_veltconv('mapping', 'import', 'tr_rslt', exported, '--app-dir', self.app)
        self.assertEqual(result.returncode, 3)
        with open(exported, encoding='utf-8-sig', newline='') as f:
            self.assertIn('строка %d:' % len(f.read().split('\r\n')[:-1]), result.stderr)
        with open(table, 'rb') as f:
            self.assertEqual(f.read(), before)
        self.assertEqual(self.run_veltconv('mapping', 'export', 'tr_nope', exported).returncode, 2)
        self.assertEqual(self.run_veltconv('mapping', 'import', 'tr_rslt').returncode, 2)

    def test_semicolon_files_for_excel_and_their_round_trip(self):
        report = os.path.join(self.dir, 'report.csv')
        problems = os.path.join(self.dir, 'problems.csv')
        result = self.run_veltconv('convert', SAMPLE_ARCHIVE, '--out', self.dir, '--app-dir', self.app,
                                   '--code-page', 'OEM', '--report', report, '--problems', problems,
                                   '--csv-separator', ';')
        self.assertEqual(result.returncode, 0, result.stderr)
        for path, header in ((report, b'kind;value;calls'), (problems, b'record;call;date;surname;problem')):
            with open(path, 'rb') as f:
                self.assertTrue(f.read().startswith(b'\xef\xbb\xbf' + header + b'\r\n'), path)
        with open(report, encoding='utf-8-sig', newline='') as f:
            self.assertTrue(all(len(row) == 3 for row in csv.reader(f, delimiter=';')))
        self.assertEqual(self.run_veltconv('convert', SAMPLE_ARCHIVE, '--out', self.dir, '--app-dir', self.app,
                                           '--csv-separator', 'tab').returncode, 2)

        # Export, import, export: the table and the file stay as they were.
        exported = os.path.join(self.dir, 'tr_rslt.csv')
        table = os.path.join(self.app, 'dirstrans', 'tr_rslt.dbf')
        with open(table, 'rb') as f:
            before = f.read()
        result = self.run_veltconv('mapping', 'export', 'tr_rslt', exported, '--app-dir', self.app,
                                   '--csv-separator', ';')
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(exported, 'rb') as f:
            first = f.read()
        rows = first.count(b'\r\n') - 1
        self.assertIn(exported, result.stdout)
        self.assertIn('строк: %d.' % rows, result.stdout)
        result = self.run_veltconv('mapping', 'import', 'tr_rslt', exported, '--app-dir', self.app)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn('Изменено строк: 0, добавлено: 0', result.stdout)
        with open(table, 'rb') as f:
            self.assertEqual(f.read(), before)
        self.run_veltconv('mapping', 'export', 'tr_rslt', exported, '--app-dir', self.app, '--csv-separator', ';')
        with open(exported, 'rb') as f:
            self.assertEqual(f.read(), first)

    def test_an_import_killed_at_any_moment_leaves_the_old_table_or_the_new_one(self):
        rows = 100000
        big = os.path.join(self.dir, 'big.csv')
        with open(big, 'w', newline='') as f:
            f.write('VELTCODE,VELTNAME,PAVK\r\n')
            f.writelines(',inst %d,\r\n' % i for i in range(rows))
        table = os.path.join(self.app, 'dirstrans', 'tr_lpu.dbf')

        def records():
            with open(table, 'rb') as f:
                data = f.read()
            count, header, length = struct.unpack('<IHH', data[4:12])
            whole = (len(data) - header) // length
            self.assertEqual(count, whole, 'a header that counts records the file does not hold, or less')
            return count

        old = records()
        for delay in (0.05, 0.2, 0.4, 0.7, 1.0):
            with self.subTest(delay=delay):
                process = subprocess.Popen([VELTCONV, 'mapping', 'import', 'tr_lpu', big, '--app-dir', self.app],
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=HEADLESS)
                time.sleep(delay)
                process.kill()
                process.wait()
                self.assertIn(records(), (old, old + rows))
                if records() != old:
                    break
        self.assertEqual(self.run_veltconv('mapping', 'import', 'tr_lpu', big, '--app-dir', self.app).returncode, 0)
        self.assertEqual(records(), old + rows)


if __name__ == '__main__':
    unittest.main()
