"""Every picture that the operator's guide names is committed beside it (the
program compiles both in) and is one that the window tour takes, so that a
new tour keeps the guide's pictures current."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest

BUILD, SOURCE = os.environ['VELT_BINARY_DIR'], os.environ['VELT_SOURCE_DIR']
HELP = os.path.join(SOURCE, 'src', 'gui', 'resources', 'help')
TOUR = os.path.join(BUILD, 'tools', 'velt_window_tour')


class OperatorGuideTest(unittest.TestCase):
    @unittest.skipUnless(os.path.exists(TOUR), 'built without the windows')
    def test_every_picture_is_committed_and_taken_by_the_tour(self):
        with open(os.path.join(HELP, 'guide.md'), encoding='utf-8') as guide:
            pictures = re.findall(r'!\[[^\]]*\]\(([^)\s]+)\)', guide.read())
        self.assertGreaterEqual(len(pictures), 6)
        work = tempfile.mkdtemp(prefix='velt-guide-')
        try:
            app, out, shots = (os.path.join(work, name) for name in ('app', 'out', 'shots'))
            shutil.copytree(os.path.join(SOURCE, 'data', 'sample', 'app'), app)
            os.mkdir(out)
            archive = os.path.join(SOURCE, 'data', 'sample', 'archives', 'F1232401.DBF')
            with open(os.path.join(app, 'velt_window_tour.ini'), 'wb') as ini:
                ini.write(('[VELT_CONV]\r\nvelt_file_Caption=%s\r\noutdirpath_Caption=%s\r\n' %
                           (archive, out)).encode('cp1251'))
            subprocess.run([TOUR, '--app-dir', app, shots], cwd=work, timeout=300, capture_output=True,
                           env=dict(os.environ, QT_QPA_PLATFORM='offscreen'))
            for name in pictures:
                self.assertTrue(os.path.isfile(os.path.join(HELP, name)), name)
                self.assertIn(name, os.listdir(shots))
        finally:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    unittest.main()
