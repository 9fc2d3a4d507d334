"""The command line `veltconv convert`: exit statuses, the summary, and what
other dBase readers find in the output tables, also after a run that an
error ended in the middle."""
import os
import shutil
import subprocess
import unittest

import dbf
import dbfread

from sample_app import SampleAppCase, VELTCONV, SAMPLE_ARCHIVE


class CommandLineTest(SampleAppCase):
    def convert(self, archive, *extra):
        return subprocess.run([VELTCONV, 'convert', archive, '--out', self.out, '--app-dir', self.app,
                               *extra], capture_output=True, text=True)

    def test_sample_converts_and_other_readers_agree(self):
        result = self.convert(SAMPLE_ARCHIVE)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn('прочитано вызовов: 390', result.stdout)
        natives = list(dbfread.DBF(os.path.join(self.out, 'tF1232401.DBF'), encoding='cp866'))
        externals = list(dbfread.DBF(os.path.join(self.out, 'teF1232401.DBF'), encoding='cp866'))
        self.assertIn('tF1232401.DBF: %d зап.' % len(natives), result.stdout)
        self.assertIn('teF1232401.DBF: %d зап.' % len(externals), result.stdout)
        self.assertEqual([r['N_ZAP'] for r in natives], list(range(1, len(natives) + 1)))
        self.assertTrue(all(r['FILE_TYPE'] == '14' for r in externals))
        self.assertTrue(any(r['FAMILY'] == 'ВАСИЛЬЕВ' for r in natives))
        log = self.log()
        self.assertIn('Приложение veltconv запущено.\r\n', log)
        self.assertTrue(log.endswith('Приложение veltconv остановлено.\r\n'))
        self.assertIn(' успешно завершена.\r\n', log)

    def test_wrong_arguments_give_status_2(self):
        self.assertEqual(subprocess.run([VELTCONV, 'convert'], capture_output=True).returncode, 2)
        self.assertEqual(self.convert(SAMPLE_ARCHIVE, '--code-page', 'KOI8').returncode, 2)

    def test_an_early_end_gives_status_1(self):
        bad = os.path.join(self.dir, 'F0002401.DBF')
        shutil.copy(SAMPLE_ARCHIVE, bad)
        result = self.convert(bad)
        self.assertEqual(result.returncode, 1)
        self.assertIn('Неверный код ЛПУ в имени файла.', result.stderr)

    def test_a_run_ended_by_an_error_leaves_whole_tables(self):
        archive = os.path.join(self.dir, 'F1232401.DBF')
        shutil.copy(SAMPLE_ARCHIVE, archive)
        table = dbf.Table(archive, codepage='cp866')
        table.open(dbf.READ_WRITE)
        # Call 10 (a home-region call, live) gets a time the day does not have.
        target = [i for i, r in enumerate(table) if r.ngod.strip() == '10'][0]
        with table[target] as record:
            record.tprm = '24:00'
            record.smo = '74001'
            record.prof = 'Л'
            record.dprm = '240105'
        table.close()
        before = sum(1 for r in list(dbfread.DBF(archive, encoding='cp866'))[:target]
                     if r['SMO'][:2] in ('74', '00') or not r['SMO'][:2].lstrip('-').isdigit()
                     or int(r['SMO'][:2]) == 0)
        result = self.convert(archive)
        self.assertEqual(result.returncode, 3, result.stdout + result.stderr)
        self.assertIn('вызов № 10', result.stderr)
        # Left under its partial name, which the messages give.
        partial = os.path.join(self.out, 'tF1232401.DBF.partial')
        self.assertIn(partial, result.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.out, 'tF1232401.DBF')))
        natives = dbfread.DBF(partial, encoding='cp866')
        rows = list(natives)
        skipped = sum(1 for r in list(dbfread.DBF(archive, encoding='cp866'))[:target]
                      if (r['SMO'][:2] in ('74', '00') or not r['SMO'][:2].lstrip('-').isdigit())
                      and r['PROF'] in ('Х', 'Я', 'ХЯ'))
        self.assertEqual(len(rows), before - skipped)
        size = os.path.getsize(partial)
        self.assertEqual(size, natives.header.headerlen + len(rows) * 1236 + 1)
        self.assertNotIn('успешно завершена', self.log())


if __name__ == '__main__':
    unittest.main(verbosity=2)
