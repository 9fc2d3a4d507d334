"""A field that the archive or a mapping or reference table lacks is named
with its table and file when the tables open, before any output table is
begun."""
import os
import shutil
import unittest

from sample_app import SAMPLE_ARCHIVE, SampleAppCase


def rename_field(path, name, other):
    """The table at `path` with its field `name` called `other` instead."""
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    header = int.from_bytes(data[8:10], 'little')
    for at in range(32, header - 1, 32):
        if data[at:at + 11].rstrip(b'\0').upper() == name.encode():
            data[at:at + 11] = other.encode().ljust(11, b'\0')
            break
    else:
        raise AssertionError('no field ' + name)
    with open(path, 'wb') as f:
        f.write(data)


class EarlyFieldCheckTest(SampleAppCase):
    def convert(self, archive):
        return self.run_veltconv('convert', archive, '--out', self.out, '--app-dir', self.app, '--code-page', 'OEM')

    def test_each_missing_field_is_named_before_any_output_table(self):
        cases = [  # table, field, status, what the message says
            ('F1232401.DBF', 'TSTA', 3, "Field 'TSTA' not found"),
            ('app/dirstrans/tr_rslt.dbf', 'PAVK', 1, 'нет поля PAVK'),
            ('app/pavkdirs/city.dbf', 'SOCR', 1, 'нет поля SOCR'),
            ('app/dirstrans/tr_lpu.dbf', 'VELTNAME', 1, 'нет поля VELTNAME'),
        ]
        for table, field, status, told in cases:
            with self.subTest(field=field):
                self.tearDown()
                self.setUp()
                archive = os.path.join(self.dir, 'F1232401.DBF')
                shutil.copy(SAMPLE_ARCHIVE, archive)
                table = os.path.join(self.dir, table)
                rename_field(table, field, 'X' + field[1:])
                result = self.convert(archive)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(told, result.stderr)
                self.assertIn(os.path.basename(table), result.stderr)
                self.assertEqual(os.listdir(self.out), [])


if __name__ == '__main__':
    unittest.main(verbosity=2)
