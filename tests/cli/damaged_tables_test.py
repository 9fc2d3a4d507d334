"""Damage that used to pass as success: a mapping or reference table cut,
miscounted or filled with junk, an archive whose header counts too few
records. Each converts as the table reads, warns naming the table, and
exits 4."""
import os
import shutil
import unittest

from sample_app import SAMPLE_ARCHIVE, SampleAppCase


def set_count(count):
    def edit(data):
        data[4:8] = count.to_bytes(4, 'little')
    return edit


def cut(data):
    del data[-7:]


def fill_ff(data):
    header = int.from_bytes(data[8:10], 'little')
    data[header:] = b'\xff' * (len(data) - header)


class DamagedTablesTest(SampleAppCase):
    def test_each_damage_warns_naming_its_table_and_exits_4(self):
        cases = [  # table, damage, what the warning says
            ('', None, None),
            ('app/dirstrans/tr_rslt.dbf', cut, 'файл обрывается посреди записи'),
            ('app/dirstrans/tr_from.dbf', fill_ff, 'с повреждённым флагом удаления'),
            ('app/pavkdirs/street.dbf', set_count(4000000000), 'заголовок объявляет записей: 4000000000'),
            ('app/pavkdirs/city.dbf', set_count(3), 'заголовок объявляет записей: 3,'),
            ('F1232401.DBF', set_count(100), 'объявляет записей: 100, а в файле целых записей: 400. '
                                             'Конвертируются только объявленные; записей не конвертировано: 300'),
        ]
        for table, damage, told in cases:
            with self.subTest(table=table):
                self.tearDown()
                self.setUp()
                archive = os.path.join(self.dir, 'F1232401.DBF')
                shutil.copy(SAMPLE_ARCHIVE, archive)
                if damage:
                    with open(os.path.join(self.dir, table), 'r+b') as f:
                        data = bytearray(f.read())
                        damage(data)
                        f.seek(0)
                        f.truncate()
                        f.write(data)
                result = self.run_veltconv('convert', archive, '--out', self.out, '--app-dir', self.app,
                                           '--code-page', 'OEM')
                self.assertEqual(result.returncode, 4 if damage else 0, result.stderr)
                if damage:
                    self.assertIn(told, result.stderr)
                    self.assertIn(os.path.basename(table), result.stderr)
                self.assertTrue(os.path.exists(os.path.join(self.out, 'tF1232401.DBF')))


if __name__ == '__main__':
    unittest.main(verbosity=2)
