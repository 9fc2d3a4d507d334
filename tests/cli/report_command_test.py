"""`veltconv convert --report FILE` and the code-page warning of the command
line, checked with independent readers of the archive and the CSV."""
import csv
import os
import subprocess
import unittest

import dbfread

from sample_app import SampleAppCase, VELTCONV, SAMPLE_ARCHIVE


class ReportCommandTest(SampleAppCase):
    def convert(self, *extra):
        return subprocess.run([VELTCONV, 'convert', SAMPLE_ARCHIVE, '--out', self.out, '--app-dir', self.app,
                               *extra], capture_output=True, text=True)

    def test_report_is_csv_with_the_calls_of_each_unmapped_value(self):
        report = os.path.join(self.dir, 'unmapped.csv')
        result = self.convert('--code-page', 'OEM', '--report', report)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(report, encoding='utf-8-sig', newline='') as f:
            rows = list(csv.reader(f))
        self.assertEqual(rows[0], ['kind', 'value', 'calls'])
        found = {(kind, value): int(calls) for kind, value, calls in rows[1:]}

        converted = [r for r in dbfread.DBF(SAMPLE_ARCHIVE, encoding='cp866')
                     if not r['SMO'].startswith('-') and r['PROF'].strip() not in ('Х', 'Я', 'ХЯ')]
        self.assertEqual(found[('Повод для вызова (POVD)', '09')],
                         sum(1 for r in converted if r['POVD'].strip() == '09'))
        self.assertEqual(found[('ЛПУ госпитализации (KUDA)', 'Хоспис')],
                         sum(1 for r in converted if r['KUDA'].strip() == 'Хоспис'))
        self.assertNotIn(('ЛПУ госпитализации (KUDA)', 'ГКБ 8'), found)

    def test_report_that_cannot_be_written_fails_the_command(self):
        result = self.convert('--report', os.path.join(self.dir, 'no', 'such', 'folder', 'r.csv'))
        self.assertEqual(result.returncode, 3)
        self.assertIn('r.csv', result.stderr)

    def test_code_page_warning_only_when_the_header_disagrees(self):
        # The sample archive's header carries the 866 mark.
        self.assertIn('кодировку OEM (866), а выбрана ANSI', self.convert('--code-page', 'ANSI').stderr)
        self.assertEqual(self.convert('--code-page', 'OEM').stderr, '')


if __name__ == '__main__':
    unittest.main()
