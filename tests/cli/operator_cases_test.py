"""What the operator meets on the command line when something is wrong: for
each bad input the exit status and the words that name the file or folder
and the cause; Cyrillic folders; runs at once on one program folder; several
archives in one call. Checked against the built veltconv and independent
readers of its tables."""
import csv
import os
import shutil
import signal
import subprocess
import time
import unittest

import dbf
import dbfread

from sample_app import WITH_WINDOWS, SampleAppCase, VELTCONV, SAMPLE_APP, SAMPLE_ARCHIVE, HEADLESS

NOT_RECODED = 'Не выполнена перекодировка классификаторов. Выполните ее согласно инструкции к программе'


def copy_archive(folder, name='F1232401.DBF', edit=None, language=None):
    """The sample archive under `name`, its records changed by `edit`, its
    header's language byte set to `language`."""
    path = os.path.join(folder, name)
    shutil.copy(SAMPLE_ARCHIVE, path)
    if edit:
        table = dbf.Table(path, codepage='cp866')
        table.open(dbf.READ_WRITE)
        for record in table:
            with record:
                edit(record)
        table.close()
    if language is not None:
        with open(path, 'r+b') as f:
            f.seek(29)
            f.write(bytes([language]))
    return path


def recode_1251(path):
    """Rewrites the archive's text as Windows-1251 without a language mark:
    what an archive saved by the wrong program looks like."""
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    header = int.from_bytes(data[8:10], 'little')
    data[29] = 0
    body = bytes(data[header:]).decode('cp866').encode('cp1251', errors='replace')
    with open(path, 'wb') as f:
        f.write(bytes(data[:header]) + body)
    return path


class OperatorCasesTest(SampleAppCase):
    def convert(self, *archives, out=None, app=None, extra=()):
        return self.run_veltconv('convert', *archives, '--out', out or self.out, '--app-dir', app or self.app,
                                 *extra)

    def test_each_bad_input_names_its_file_and_cause(self):
        d = self.dir
        empty_app = os.path.join(d, 'empty-app')
        os.mkdir(empty_app)
        empty = os.path.join(d, 'F1232402.DBF')
        open(empty, 'wb').close()
        text = os.path.join(d, 'F1232403.DBF')
        with open(text, 'w') as f:
            f.write('это не таблица\n' * 20)
        folder = os.path.join(d, 'F1232404.DBF')
        os.mkdir(folder)
        truncated = os.path.join(d, 'F1232405.DBF')
        with open(SAMPLE_ARCHIVE, 'rb') as f:
            whole = f.read()
        with open(truncated, 'wb') as f:
            f.write(whole[:len(whole) * 6 // 10])
        ansi = recode_1251(copy_archive(d, 'F1232406.DBF', language=0))
        home_only = copy_archive(d, 'F1232407.DBF', edit=lambda r: setattr(r, 'smo', '74001'))
        open(os.path.join(self.out, 'teF1232407.DBF'), 'wb').close()
        ini_ansi = os.path.join(d, 'ini-app')
        shutil.copytree(SAMPLE_APP, ini_ansi)
        with open(os.path.join(ini_ansi, 'veltconv.ini'), 'wb') as f:
            f.write('[VELT_CONV]\r\nlbCodePage_Caption=ANSI\r\n'.encode('cp1251'))
        a_file = os.path.join(d, 'file.txt')
        open(a_file, 'w').close()
        missing = os.path.join(d, 'нет', 'F1232401.DBF')

        cases = [
            # (what, arguments, exit status, words the message must contain)
            ('missing archive', ['convert', missing, '--out', self.out, '--app-dir', self.app], 1,
             ['Закройте все открытые файлы DBF', missing, 'не найден']),
            ('empty file', ['convert', empty, '--out', self.out, '--app-dir', self.app], 1,
             [empty, 'пустой, это не таблица dBase']),
            ('not a table', ['convert', text, '--out', self.out, '--app-dir', self.app], 1,
             [text, 'не является таблицей dBase']),
            ('a folder', ['convert', folder, '--out', self.out, '--app-dir', self.app], 1,
             [folder, 'это папка']),
            ('missing --out', ['convert', SAMPLE_ARCHIVE, '--out', os.path.join(d, 'нет'), '--app-dir', self.app], 3,
             ['папку вывода', os.path.join(d, 'нет'), 'не найдена']),
            ('--out is a file', ['convert', SAMPLE_ARCHIVE, '--out', a_file, '--app-dir', self.app], 3,
             [a_file, 'это файл, а не папка']),
            ('--report into a missing folder',
             ['convert', SAMPLE_ARCHIVE, '--out', self.out, '--app-dir', self.app, '--report', missing + '.csv'], 3,
             ['Отчёт', os.path.join(d, 'нет'), 'не найдена']),
            ('empty program folder', ['convert', SAMPLE_ARCHIVE, '--out', self.out, '--app-dir', empty_app], 1,
             [NOT_RECODED, 'dirstrans', 'не найдена']),
            ('truncated archive', ['convert', truncated, '--out', self.out, '--app-dir', self.app], 4,
             [truncated, 'обрезан', 'заголовок объявляет записей: 400']),
            ('1251 text read as 866', ['convert', ansi, '--out', self.out, '--app-dir', self.app], 4,
             ['похож на кодировку ANSI (Windows-1251)']),
            ('ANSI from the ini file', ['convert', SAMPLE_ARCHIVE, '--out', self.out, '--app-dir', ini_ansi], 4,
             ['взята из файла настроек', 'ANSI']),
            ('other kind left from before', ['convert', home_only, '--out', self.out, '--app-dir', self.app], 4,
             [os.path.join(self.out, 'teF1232407.DBF'), 'от прежней конвертации']),
            ('missing program folder', ['convert', SAMPLE_ARCHIVE, '--out', self.out, '--app-dir', missing], 3,
             ['--app-dir', missing, 'не найдена']),
            ('window without a display', [], 2, ['нет дисплея' if WITH_WINDOWS else 'без окна', 'veltconv --help']),
            ('archives alone go to the window (dropped on its icon)', [SAMPLE_ARCHIVE, 'b.dbf'], 2,
             ['нет дисплея' if WITH_WINDOWS else 'без окна']),
            ('an archive with an option is a command', [SAMPLE_ARCHIVE, '--out', self.out], 2,
             ['Неизвестная команда']),
            ('mistyped command', ['convrt', SAMPLE_ARCHIVE], 2, ['Неизвестная команда: convrt']),
            ('unknown option', ['convert', SAMPLE_ARCHIVE, '--outt', self.out], 2, ['Ошибка в параметрах']),
            ('version', ['--version'], 0, ['veltconv 1.0']),
            ('help', ['help'], 0, ['convert', 'join']),
            ('convert --help lists the exit statuses', ['convert', '--help'], 0,
             ['Код завершения', '4 запуск выполнен', 'ПАРАМЕТРЫ', 'показать эту справку']),
            ('help in Russian', ['help', 'convert'], 0, ['Запуск:', 'папка для результатов']),
            ('mapping help in Russian', ['mapping', '--help'], 0, ['Команды:', 'выгрузить или загрузить']),
            ('join name with a folder', ['join', '--name', '../../x.DBF', '--app-dir', self.app, SAMPLE_ARCHIVE], 2,
             ['../../x.DBF', 'не должно содержать папку']),
        ]
        for what, args, status, words in cases:
            with self.subTest(what):
                result = self.run_veltconv(*args)
                said = result.stdout + result.stderr
                self.assertEqual(result.returncode, status, said)
                for word in words:
                    self.assertIn(word, said)
                self.assertNotIn('closed dataset', said)
        self.assertFalse(os.path.exists(os.path.join(d, '..', 'x.DBF')))
        # The stale table is named, never touched.
        self.assertEqual(os.path.getsize(os.path.join(self.out, 'teF1232407.DBF')), 0)

    def test_the_same_archive_listed_twice_is_joined_once(self):
        result = subprocess.run([VELTCONV, 'join', '--name', 'F1232499.DBF', '--app-dir', self.app,
                                 'F1232401.DBF', './F1232401.DBF'], capture_output=True, text=True, env=HEADLESS,
                                cwd=os.path.dirname(SAMPLE_ARCHIVE))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn('Выбранный файл уже указан в списке', result.stderr)
        joined = list(dbfread.DBF(os.path.join(self.app, 'in', 'F1232499.DBF'), encoding='cp866'))
        self.assertEqual(len(joined), len(list(dbfread.DBF(SAMPLE_ARCHIVE, encoding='cp866'))))

    def test_ctrl_c_stops_a_join_and_keeps_the_earlier_table(self):
        # Tables large enough that the join is still copying when the
        # interrupt comes: one 240-character field, 400,000 records each.
        header = (bytes([3, 126, 12, 10]) + (400_000).to_bytes(4, 'little') + (65).to_bytes(2, 'little') +
                  (241).to_bytes(2, 'little') + bytes(20) + b'TEXT'.ljust(11, b'\0') + b'C' + bytes(4) +
                  bytes([240, 0]) + bytes(14) + b'\r')
        tables = []
        for month in (1, 2, 3):
            tables.append(os.path.join(self.dir, 'F12324%02d.DBF' % month))
            with open(tables[-1], 'wb') as f:
                f.write(header + (b' ' + b'x' * 240) * 400_000 + b'\x1a')
        earlier = os.path.join(self.app, 'in', 'J.DBF')
        with open(earlier, 'wb') as f:
            f.write(b'earlier')
        join = subprocess.Popen([VELTCONV, 'join', '--name', 'J.DBF', '--app-dir', self.app, *tables],
                                stderr=subprocess.PIPE, text=True, env=HEADLESS)
        partial, deadline = earlier + '.partial', time.monotonic() + 60
        while join.poll() is None and time.monotonic() < deadline:
            if os.path.exists(partial) and os.path.getsize(partial) > 1 << 20:
                break
            time.sleep(0.002)
        if join.poll() is not None:
            self.skipTest('the join ended before it could be interrupted')
        join.send_signal(signal.SIGINT)
        _, said = join.communicate(timeout=60)
        self.assertEqual(join.returncode, 130, said)
        self.assertIn('Склеивание файлов отменено.', said)
        with open(earlier, 'rb') as f:
            self.assertEqual(f.read(), b'earlier')
        with open(partial, 'rb') as f:  # emptied: the header alone, counting no records
            emptied = f.read()
        self.assertLess(len(emptied), 100)
        self.assertEqual(emptied[4:8], bytes(4))

    def test_cyrillic_program_and_output_folders(self):
        app = os.path.join(self.dir, 'Программа ВЕЛТ', 'app')
        shutil.copytree(SAMPLE_APP, app)
        out = os.path.join(self.dir, 'Выгрузка за январь')
        os.mkdir(out)
        archive = copy_archive(os.path.join(self.dir, 'Программа ВЕЛТ'))
        result = self.convert(archive, out=out, app=app, extra=('--code-page', 'OEM'))
        self.assertEqual(result.returncode, 0, result.stderr)
        natives = list(dbfread.DBF(os.path.join(out, 'tF1232401.DBF'), encoding='cp866'))
        self.assertIn('таблица %s: %d зап.' % (os.path.join(out, 'tF1232401.DBF'), len(natives)), result.stdout)
        with open(os.path.join(app, 'veltconv.log'), 'rb') as f:
            self.assertIn('Запущена конвертация файла ' + archive, f.read().decode('cp1251'))
        joined = self.run_veltconv('join', '--name', 'F1232499.DBF', '--app-dir', app, archive)
        self.assertEqual(joined.returncode, 0, joined.stderr)
        self.assertEqual(len(dbfread.DBF(os.path.join(app, 'in', 'F1232499.DBF'))), len(dbfread.DBF(archive, encoding='cp866')))

    def test_runs_at_once_on_one_program_folder_both_complete(self):
        for attempt in range(20):
            outs = [os.path.join(self.dir, 'out%d-%d' % (attempt, i)) for i in range(2)]
            for out in outs:
                os.mkdir(out)
            runs = [subprocess.Popen([VELTCONV, 'convert', SAMPLE_ARCHIVE, '--out', out, '--app-dir', self.app,
                                      '--code-page', 'OEM'], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=HEADLESS) for out in outs]
            for run in runs:
                _, err = run.communicate(timeout=120)
                self.assertEqual(run.returncode, 0, err.decode())
        self.assertEqual([n for n in os.listdir(os.path.join(self.app, 'indexes')) if n.endswith('.tmp')], [])

    def test_several_archives_each_a_run_of_its_own(self):
        second = copy_archive(self.dir, 'F1232402.DBF')
        missing = os.path.join(self.dir, 'F1232403.DBF')
        failing = copy_archive(self.dir, 'F1232404.DBF', edit=lambda r: setattr(r, 'tprm', '25:00'))
        marked_1251 = copy_archive(self.dir, 'F1232405.DBF', language=0xC9)
        report = os.path.join(self.dir, 'report.csv')
        result = self.convert(SAMPLE_ARCHIVE, missing, second, failing, marked_1251,
                              extra=('--code-page', 'OEM', '--report', report))
        # Statuses 0, 1, 0, 3, 4: the error is the gravest, not the warning.
        self.assertEqual(result.returncode, 3, result.stdout + result.stderr)
        for name in ('tF1232401.DBF', 'teF1232401.DBF', 'tF1232402.DBF', 'teF1232402.DBF', 'tF1232405.DBF'):
            self.assertTrue(os.path.exists(os.path.join(self.out, name)), name)
        with open(os.path.join(self.app, 'veltconv.log'), 'rb') as f:
            log = f.read().decode('cp1251')
        self.assertEqual(log.count('Запущена конвертация файла '), 5)
        self.assertEqual(log.count(' успешно завершена.'), 3)
        self.assertIn('всего архивов 5, вызовов ', result.stdout)
        self.assertTrue(result.stdout.rstrip().endswith('код завершения 3'), result.stdout)
        self.assertIn(missing + ': прервана', result.stdout)
        self.assertIn(failing + ': прервана', result.stdout)
        with open(report, encoding='utf-8-sig', newline='') as f:
            rows = list(csv.reader(f))
        self.assertEqual(rows[0], ['archive', 'kind', 'value', 'calls'])
        first = [r[1:] for r in rows[1:] if r[0] == SAMPLE_ARCHIVE]
        self.assertTrue(first)
        self.assertEqual(first, [r[1:] for r in rows[1:] if r[0] == second])
        # A run ended by an error adds no rows of its partial walk.
        self.assertEqual({r[0] for r in rows[1:]}, {SAMPLE_ARCHIVE, second, marked_1251})


if __name__ == '__main__':
    unittest.main(verbosity=2)
