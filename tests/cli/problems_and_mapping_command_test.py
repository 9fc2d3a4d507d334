"""`veltconv convert --problems` against the log of the same run, and
`veltconv mapping export|import` with their exit statuses."""
import csv
import os
import shutil
import unittest

from sample_app import SampleAppCase, SAMPLE_ARCHIVE

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
        with open(problems, encoding='utf-8', newline='') as f:
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
        with open(problems, encoding='utf-8', newline='') as f:
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
        with open(exported, encoding='utf-8', newline='') as f:
            self.assertIn('строка %d:' % len(f.read().split('\r\n')[:-1]), result.stderr)
        with open(table, 'rb') as f:
            self.assertEqual(f.read(), before)
        self.assertEqual(self.run_veltconv('mapping', 'export', 'tr_nope', exported).returncode, 2)
        self.assertEqual(self.run_veltconv('mapping', 'import', 'tr_rslt').returncode, 2)


if __name__ == '__main__':
    unittest.main()
