"""Every file a command writes, against every kind of thing that may stand
at its path: refused before any work starts, with the path named, and the
thing at the path left as it was."""
import fcntl
import os
import shutil
import stat
import unittest

from sample_app import SAMPLE_ARCHIVE, SampleAppCase

ROOT = os.geteuid() == 0


class WriteTargetsTest(SampleAppCase):
    def setUp(self):
        super().setUp()
        self.archive = os.path.join(self.dir, 'F1232401.DBF')
        shutil.copy(SAMPLE_ARCHIVE, self.archive)
        self.elsewhere = os.path.join(self.dir, 'elsewhere.txt')
        with open(self.elsewhere, 'w') as f:
            f.write('keep me')

    # role -> (the target's path, the command that writes it there, a file
    # that the command reads)
    def roles(self):
        convert = ['convert', self.archive, '--out', self.out, '--app-dir', self.app, '--code-page', 'OEM']
        given = os.path.join(self.dir, 'target.csv')
        mapping = os.path.join(self.app, 'dirstrans', 'tr_rslt.dbf')
        return {
            'output table': (os.path.join(self.out, 'tF1232401.DBF'), convert, self.archive),
            'report': (given, convert + ['--report', given], self.archive),
            'problems': (given, convert + ['--problems', given], mapping),
            'event log': (os.path.join(self.app, 'veltconv.log'), convert, self.archive),
            'index file': (os.path.join(self.app, 'indexes', 'tr_from.ntx'), convert, self.archive),
            'mapping export': (given, ['mapping', 'export', 'tr_rslt', given, '--app-dir', self.app], mapping),
            'joined table': (os.path.join(self.app, 'in', 'J.DBF'),
                             ['join', '--name', 'J.DBF', '--app-dir', self.app, self.archive], self.archive),
        }

    # kind -> (how to make it at a path, the status, whether it is there as before)
    def kinds(self):
        kinds = {
            'folder': (os.mkdir, 3, os.path.isdir),
            'fifo': (os.mkfifo, 3, lambda p: stat.S_ISFIFO(os.lstat(p).st_mode)),
            'symlink': (lambda p: os.symlink(self.elsewhere, p), 3,
                        lambda p: os.path.islink(p) and self.text_of(self.elsewhere) == 'keep me'),
            'a file the command reads': (lambda p: os.link(self.read, p), 2, self.same_as_before),
        }
        if ROOT:
            kinds['device'] = (lambda p: os.mknod(p, 0o666 | stat.S_IFCHR, os.makedev(1, 3)), 3,
                               lambda p: stat.S_ISCHR(os.lstat(p).st_mode))
        else:
            kinds['read-only file'] = (lambda p: (open(p, 'w').close(), os.chmod(p, 0o444)), 3,
                                       lambda p: os.path.getsize(p) == 0)
        return kinds

    @staticmethod
    def text_of(path):
        with open(path) as f:
            return f.read()

    def same_as_before(self, path):
        with open(path, 'rb') as now:
            return now.read() == self.read_bytes

    def test_each_role_refuses_each_kind_of_target(self):
        for role in self.roles():
            for kind in self.kinds():
                with self.subTest(role=role, kind=kind):
                    self.tearDown()
                    self.setUp()
                    path, command, self.read = self.roles()[role]
                    with open(self.read, 'rb') as before:
                        self.read_bytes = before.read()
                    make, status, unchanged = self.kinds()[kind]
                    os.makedirs(os.path.dirname(path), exist_ok=True)
                    if os.path.isdir(path):
                        os.rmdir(path)
                    elif os.path.lexists(path):
                        os.remove(path)
                    make(path)
                    result = self.run_veltconv(*command)
                    self.assertEqual(result.returncode, status, result.stderr)
                    self.assertIn(os.path.basename(path), result.stderr)
                    self.assertTrue(unchanged(path), os.path.basename(path))
                    self.assertEqual([f for f in os.listdir(self.out) if os.path.join(self.out, f) != path], [])

    def test_a_target_held_by_a_record_lock_is_refused_as_busy(self):
        table = os.path.join(self.out, 'tF1232401.DBF')
        with open(table, 'wb') as held:
            fcntl.lockf(held, fcntl.LOCK_EX)
            result = self.run_veltconv('convert', self.archive, '--out', self.out, '--app-dir', self.app)
        self.assertEqual(result.returncode, 3, result.stderr)
        self.assertIn('занят другой программой', result.stderr)
        self.assertEqual(os.path.getsize(table), 0)

    def test_archives_whose_tables_meet_or_one_archive_twice_are_refused(self):
        other = os.path.join(self.dir, 'b')
        os.mkdir(other)
        shutil.copy(SAMPLE_ARCHIVE, other)
        spelt_again = os.path.join(other, '..', 'F1232401.DBF')
        for second, named in ((os.path.join(other, 'F1232401.DBF'), 'таблица результатов'),
                              (spelt_again, 'Архив указан дважды')):
            with self.subTest(second=second):
                result = self.run_veltconv('convert', self.archive, second, '--out', self.out,
                                           '--app-dir', self.app)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(named, result.stderr)
                self.assertIn(self.archive, result.stderr)
                self.assertEqual(os.listdir(self.out), [])


if __name__ == '__main__':
    unittest.main(verbosity=2)
