"""The operator's guide shows pictures of the windows: every picture it
names is one that the window tour takes (so that a new tour keeps them
current) and is committed beside the guide, which the program compiles in."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest

BUILD = os.environ['VELT_BINARY_DIR']
SOURCE = os.environ['VELT_SOURCE_DIR']
HELP = os.path.join(SOURCE, 'src', 'gui', 'resources', 'help')
TOUR = os.path.join(BUILD, 'tools', 'velt_window_tour')


def pictures_of_guide():
    with open(os.path.join(HELP, 'guide.md'), encoding='utf-8') as guide:
        return re.findall(r'!\[[^\]]*\]\(([^)\s]+)\)', guide.read())


class OperatorGuideTest(unittest.TestCase):
    def test_guide_pictures_are_committed_and_small(self):
        pictures = pictures_of_guide()
        self.assertGreaterEqual(len(pictures), 6)
        for name in pictures:
            path = os.path.join(HELP, name)
            self.assertTrue(os.path.isfile(path), name)
            self.assertLess(os.path.getsize(path), 120 * 1024, name)

    @unittest.skipUnless(os.path.exists(TOUR), 'built without the windows')
    def test_window_tour_takes_every_picture_of_the_guide(self):
        work = tempfile.mkdtemp(prefix='velt-guide-')
        try:
            app = os.path.join(work, 'app')
            shutil.copytree(os.path.join(SOURCE, 'data', 'sample', 'app'), app)
            out = os.path.join(work, 'out')
            shots = os.path.join(work, 'shots')
            os.mkdir(out)
            archive = os.path.join(SOURCE, 'data', 'sample', 'archives', 'F1232401.DBF')
            with open(os.path.join(app, 'velt_window_tour.ini'), 'wb') as ini:
                ini.write(('[VELT_CONV]\r\nvelt_file_Caption=%s\r\noutdirpath_Caption=%s\r\n' %
                           (archive, out)).encode('cp1251'))
            env = dict(os.environ, QT_QPA_PLATFORM='offscreen')
            subprocess.run([TOUR, '--app-dir', app, shots], cwd=work, env=env, timeout=300,
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            taken = set(os.listdir(shots)) if os.path.isdir(shots) else set()
            for name in pictures_of_guide():
                self.assertIn(name, taken)
        finally:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    unittest.main()
