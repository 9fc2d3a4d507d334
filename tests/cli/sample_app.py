"""What the command-line tests share: the built veltconv, the sample data,
and a case that gives each test its own copy of the sample's program folder
and an output folder."""
import os
import shutil
import subprocess
import tempfile
import unittest

BUILD = os.environ['VELT_BINARY_DIR']
SOURCE = os.environ['VELT_SOURCE_DIR']
VELTCONV = os.path.join(BUILD, 'veltconv')
SAMPLE_APP = os.path.join(SOURCE, 'data', 'sample', 'app')
SAMPLE_ARCHIVE = os.path.join(SOURCE, 'data', 'sample', 'archives', 'F1232401.DBF')
# Whether this build has the windows (the sanitizer builds have none).
with open(os.path.join(BUILD, 'CMakeCache.txt')) as cache:
    WITH_WINDOWS = 'VELT_GUI:BOOL=ON' in cache.read()
# No display: a command must never reach the window.
HEADLESS = {k: v for k, v in os.environ.items() if k not in ('DISPLAY', 'WAYLAND_DISPLAY', 'QT_QPA_PLATFORM')}


class SampleAppCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix='velt-cli-')
        self.app = os.path.join(self.dir, 'app')
        shutil.copytree(SAMPLE_APP, self.app)
        self.out = os.path.join(self.dir, 'out')
        os.mkdir(self.out)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_veltconv(self, *args):
        return subprocess.run([VELTCONV, *args], capture_output=True, text=True, env=HEADLESS, timeout=300)

    def log(self):
        with open(os.path.join(self.app, 'veltconv.log'), 'rb') as f:
            return f.read().decode('cp1251')
