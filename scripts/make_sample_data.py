#!/usr/bin/python3
"""Builds the sample application folder and two sample call archives.

data/sample/app/      dirstrans/ (PAVK_VALUES.dbf, VELT_DEFCODES.DBF, tr_*.dbf),
                      pavkdirs/ (city, street, f002, tarif, lpu), indexes/, in/
data/sample/archives/ F1232401.DBF (station 123, January 2024),
                      F6721703.DBF (station 672, March 2017)

Deterministic (fixed random seed). Text is written in code page 866.
Sources of the real data are in data/sample/source/README.md.
"""
import csv
import datetime
import os
import random
import shutil
import sys

import dbf

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLE = os.path.join(ROOT, 'data', 'sample')
SOURCE = os.path.join(SAMPLE, 'source')
APP = os.path.join(SAMPLE, 'app')
ARCHIVES = os.path.join(SAMPLE, 'archives')

rnd = random.Random(20240101)


def make_table(path, layout, rows, deleted=()):
    if os.path.exists(path):
        os.remove(path)
    t = dbf.Table(path, layout, codepage='cp866', dbf_type='db3')
    t.open(dbf.READ_WRITE)
    for row in rows:
        t.append(row)
    for i in deleted:
        dbf.delete(t[i])
    t.close()


def read_csv(name):
    with open(os.path.join(SOURCE, name), encoding='utf-8') as f:
        return list(csv.DictReader(f))


# ---------------------------------------------------------------- classifiers
# (kind, VELT code, VELT name, PAVK code or None when left unmapped)
REASONS = [  # kind 1: "Повод для вызова"
    ('01', 'Несчастный случай', 1), ('02', 'Острое внезапное заболевание', 2),
    ('03', 'Состояние, угрожающее окружающим', 3), ('04', 'Внезапные роды', 4),
    ('05', 'Осложнение беременности', 5), ('06', 'Перевозка больного', 6),
    ('07', 'Травма (по причине несчастного случая)', 99), ('08', 'Хроническое заболевание', 7),
    ('09', 'Психическое расстройство', None), ('10', 'Прочие поводы', 11),
]
REASONS1 = [  # kind 11: reason taken from the accident cause
    ('01', 'ДТП', 1), ('02', 'Производственная травма', 1), ('03', 'Бытовая травма', 1),
    ('04', 'Отравление', 2), ('05', 'Утопление', 1), ('06', 'Прочие', 99),
]
PLACES = [  # kind 2: "Место вызова"
    ('1', 'Улица', 1), ('2', 'Квартира', 2), ('3', 'Общественное место', 3),
    ('4', 'Рабочее место', 4), ('5', 'Учебное заведение', 5), ('6', 'Прочее', None),
]
KINDS = [  # kind 4: "Вид вызова"
    ('1', 'Первичный', 1), ('2', 'Повторный', 2), ('3', 'Активное посещение', 3),
    ('4', 'Попутный', None),
]
INJURIES = [  # kind 6: "Причина несчастного случая"
    ('01', 'ДТП', 1), ('02', 'Производственная', 2), ('03', 'Бытовая', 3),
    ('04', 'Уличная', 4), ('05', 'Спортивная', 5), ('06', 'Прочая', None), ('07', 'Не травма', 99),
]
PAVK_REASONS = [(1, 'Несчастный случай'), (2, 'Острые и внезапные заболевания'),
                (3, 'Состояния, угрожающие окружающим'), (4, 'Роды'),
                (5, 'Патология беременности'), (6, 'Медицинская эвакуация'),
                (7, 'Обострение хронического заболевания'), (11, 'Прочие'),
                (99, 'Определяется по причине несчастного случая'), (199, 'Не определено')]
PAVK_PLACES = [(1, 'Улица'), (2, 'Квартира'), (3, 'Общественное место'), (4, 'Рабочее место'),
               (5, 'Учебное заведение'), (6, 'Прочие')]
PAVK_KINDS = [(1, 'Первичный'), (2, 'Повторный'), (3, 'Активное посещение'), (4, 'Попутный')]
PAVK_INJURIES = [(1, 'Транспортная'), (2, 'Производственная'), (3, 'Бытовая'), (4, 'Уличная'),
                 (5, 'Спортивная'), (11, 'Прочие'), (99, 'Не травма')]

# Institutions: number, name, address, VELT names under which calls name them.
INSTITUTIONS = [
    (123, 'Станция скорой медицинской помощи № 123', 'г. Уфа, ул. Ленина, 2', 1),
    (672, 'Станция скорой медицинской помощи № 672', 'г. Стерлитамак, ул. Мира, 15', 2),
    (201, 'ГКБ № 8', 'г. Уфа, ул. Садовая, 70', 0),
    (202, 'ГКБ № 21', 'г. Уфа, пр-кт Октября, 12', 0),
    (203, 'Детская больница № 17', 'г. Уфа, ул. Школьная, 5', 0),
    (204, 'Роддом № 3', 'г. Уфа, ул. Советская, 44', 0),
    (205, 'ЦГБ Стерлитамак', 'г. Стерлитамак, ул. Победы, 1', 0),
    (206, 'Травмпункт № 1', 'Уфа, Северная 1-я, 9', 0),
]
KUDA_NAMES = [('ГКБ 8', 201), ('ГКБ 21', 202), ('ДБ 17', 203), ('РД 3', 204), ('ЦГБ', 205),
              ('ТП 1', 206), ('Хоспис', None)]

STREETS = [('Ленина', 'ул'), ('Мира', 'ул'), ('Советская', 'ул'), ('Школьная', 'ул'),
           ('Садовая', 'ул'), ('Победы', 'проспект'), ('Октября', 'пр-кт'), ('Северная 1-я', 'ул'),
           ('Школьный', 'пер'), ('Полевая', 'ул'), ('Молодежная', 'ул'), ('Центральная', 'ул'),
           ('Лесная', 'ул'), ('Набережная', 'ул'), ('Гагарина', 'ул'), ('Заводской', 'пер')]

INSURERS = [('74001', '75000', 'АО "Страховая компания № 1"'),
            ('74005', '75000', 'ООО "Медицинская страховая компания"'),
            ('74007', '75000', 'Филиал страховой компании в г. Челябинске'),
            ('45001', '37000', 'Страховая компания Курганской области'),
            ('02003', '80000', 'Страховая компания Республики Башкортостан'),
            ('66002', '65000', 'Страховая компания Свердловской области')]


def pavk_values():
    rows = []
    for code, name in PAVK_REASONS:
        rows.append((1, str(code), name, 'Повод к вызову СМП'))
    for code, name in PAVK_PLACES:
        rows.append((2, str(code), name, 'Место вызова СМП'))
    for r in read_csv('v009_emergency.csv'):
        rows.append((3, str(int(r['code']) - 400), r['name'], 'Результат вызова СМП'))
    for code, name in PAVK_KINDS:
        rows.append((4, str(code), name, 'Вид вызова СМП'))
    for npp, name, _, _ in INSTITUTIONS:
        rows.append((5, str(npp), name, 'Медицинские организации'))
    for code, name in PAVK_INJURIES:
        rows.append((6, str(code), name, 'Вид травмы'))
    return rows


def pavk_choice(kind, code):
    if code is None:
        return ''
    for dir_id, pcode, name, _ in pavk_values():
        if dir_id == kind and pcode == str(code):
            return pcode + ' - ' + name
    raise KeyError((kind, code))


RESULTS = [(str(400 + i), r['name'], i if i not in (16,) else None)
           for i, r in enumerate(read_csv('v009_emergency.csv'), start=1)]


def lpu_rows(cities):
    rows = [('=' + c + '_+' + name, name, npp) for c in ('УФА',) for name, npp in
            (('ГКБ 8', 201), ('ГКБ 21', 202))]
    rows.append(('=УФА_*РОДДОМ 3', 'Роддом 3', 204))
    rows += [(velt, velt, npp) for velt, npp in KUDA_NAMES]
    return rows


def write_mappings():
    d = os.path.join(APP, 'dirstrans')
    os.makedirs(d, exist_ok=True)
    make_table(os.path.join(d, 'PAVK_VALUES.dbf'),
               'DIR_ID N(2,0); PAVK_CODE C(10); PAVK_NAME C(150); DIRNAME C(100)', pavk_values())
    defcodes = []
    for kind, items in ((1, REASONS), (11, REASONS1), (2, PLACES), (3, RESULTS), (4, KINDS),
                        (6, INJURIES)):
        defcodes += [(kind, code, name) for code, name, _ in items]
    defcodes += [(5, '', velt) for velt, _ in KUDA_NAMES]
    make_table(os.path.join(d, 'VELT_DEFCODES.DBF'), 'DIR_ID N(2,0); VELTCODE C(5); VELTNAME C(100)',
               defcodes)
    layout = 'veltcode C(5); veltname C(100); pavk C(100)'
    for name, kind, dir_id, items in (('tr_reas.dbf', 1, 1, REASONS), ('tr_reas1.dbf', 11, 1, REASONS1),
                                      ('tr_from.dbf', 2, 2, PLACES), ('tr_rslt.dbf', 3, 3, RESULTS),
                                      ('tr_vid.dbf', 4, 4, KINDS), ('tr_trag.dbf', 6, 6, INJURIES)):
        make_table(os.path.join(d, name), layout,
                   [(code, vname, pavk_choice(dir_id, p)) for code, vname, p in items])
    make_table(os.path.join(d, 'tr_lpu.dbf'), layout,
               [('', velt, pavk_choice(5, npp)) for velt, _, npp in lpu_rows(None)] +
               [('', 'Хоспис', '')])


def settlements():
    out = []
    for r in read_csv('kladr_city_subset.csv'):
        code = r['CODE'][:11]
        level_city = code[5:8] != '000' and code[8:11] == '000'
        out.append((r['NAME'], 'г' if level_city else 'п', '74' + code[2:]))
    # a few names also in their own region, so that one name has two records
    for name, socr, code in out[:3]:
        out.append((name, socr, '02' + code[2:]))
    out.append(('Новоград', 'г', '66000001000'))  # only in another region
    return out


def write_references():
    d = os.path.join(APP, 'pavkdirs')
    os.makedirs(d, exist_ok=True)
    cities = settlements()
    make_table(os.path.join(d, 'city.dbf'), 'NAME C(40); SOCR C(10); CODE C(11)', cities)
    streets = []
    home_cities = [c for c in cities if c[2].startswith('74')][:40]
    for name, socr, code in home_cities:
        for i, (street, stype) in enumerate(STREETS):
            streets.append((street, stype, code + '%04d' % (i + 1) + '00'))
    make_table(os.path.join(d, 'street.dbf'), 'NAME C(40); SOCR C(10); CODE C(17)', streets)
    make_table(os.path.join(d, 'f002.dbf'), 'SMOCOD C(5); TF_OKATO C(5); NAM_SMOP C(100)', INSURERS)
    tarif = []
    for specialty in (1439, 1440, 1441, 1442, 1443, 1444, 1445):
        for cat in (1, 2, 3):
            tarif.append((specialty, cat, 20, '03', 2500 + (specialty - 1439) * 150 + cat * 75.5,
                          datetime.date(2017, 1, 1)))
        tarif.append((specialty, 1, 30, '03', 99999.99, datetime.date(2017, 1, 1)))  # never used
        tarif.append((specialty, 2, 20, '01', 88888.88, datetime.date(2017, 1, 1)))  # never used
    make_table(os.path.join(d, 'tarif.dbf'),
               'COD_SPEC N(4,0); CATEGORY N(1,0); PLACE N(2,0); PURPOSE C(2); TARIF N(10,2); DATE_TAR D',
               tarif)
    make_table(os.path.join(d, 'lpu.dbf'), 'NPP N(4,0); CATEGORY N(1,0); NAME C(100); ADRESS C(150)',
               [(npp, cat, name, addr) for npp, name, addr, cat in INSTITUTIONS])
    for sub in ('indexes', 'in'):
        os.makedirs(os.path.join(APP, sub), exist_ok=True)
        open(os.path.join(APP, sub, '.keep'), 'w').close()
    return cities


# ---------------------------------------------------------------- the calls
SURNAMES = ['Иванов', 'Петров', 'Сидоров', 'Кузнецов', 'Смирнов', 'Попов', 'Васильев', 'Соколов',
            'Михайлов', 'Новиков', 'Фёдоров', 'Морозов', 'Волков', 'Алексеев', 'Лебедев', 'Семёнов']
NAMES_M = ['Иван', 'Пётр', 'Сергей', 'Алексей', 'Андрей', 'Дмитрий', 'Николай', 'Олег']
NAMES_F = ['Анна', 'Мария', 'Елена', 'Ольга', 'Татьяна', 'Наталья', 'Ирина', 'Светлана']
PATRON_M = ['Иванович', 'Петрович', 'Сергеевич', 'Алексеевич', 'Николаевич']
PATRON_F = ['Ивановна', 'Петровна', 'Сергеевна', 'Алексеевна', 'Николаевна']
DIAG = ['I10', 'J06.9', 'S06.0', 'R10.4', 'I21.9', 'K35.8', 'T14.0', 'O80.0', 'F10.3', 'Z76.8']
PROFILES = ['Л', 'Л', 'Ф', 'А', 'К', 'П', 'Д', 'Н', 'Р', 'Т', 'Б', 'Х', 'Я', '']


def snils(rng):
    digits = [rng.randrange(10) for _ in range(9)]
    s = sum(d * w for d, w in zip(digits, range(9, 0, -1))) % 101
    s = 0 if s == 100 else s
    text = ''.join(map(str, digits)) + '%02d' % s
    return '%s-%s-%s %s' % (text[:3], text[3:6], text[6:9], text[9:])


def hhmm(minutes):
    minutes %= 24 * 60
    return '%02d:%02d' % (minutes // 60, minutes % 60)


def make_call(rng, n, year, month, cities, smo_weights):
    male = rng.random() < 0.5
    fam = rng.choice(SURNAMES) + ('' if male else 'а')
    day = rng.randrange(1, 29)
    start = rng.randrange(24 * 60)
    transit = [start + rng.randrange(1, 5)]
    for _ in range(3):
        transit.append(transit[-1] + rng.randrange(3, 25))
    end = transit[-1] + rng.randrange(10, 60)
    city_name = rng.choice(cities[:12])[0]
    marker = '=' if rng.random() < 0.85 else '-ПОС '
    street, stype = rng.choice(STREETS)
    written = {'ул': 'ул. ', 'пер': 'пер. ', 'проспект': 'Проспект ', 'пр-кт': 'пр-кт '}[stype] + street
    smo = rng.choices([i[0] for i in INSURERS] + ['', '7А001', '-1'], smo_weights)[0]
    if smo and smo[0].isdigit():
        smo = smo + str(rng.randrange(10))
    doc_type = rng.choice(['14', '14', '14', '03', '21', '08', '99'])
    doc = {'14': '75 %02d %06d' % (rng.randrange(100), rng.randrange(10**6)),
           '03': 'IV-АР %06d' % rng.randrange(10**6), '21': 'AB 123456%d' % rng.randrange(10),
           '08': '12 %07d' % rng.randrange(10**7), '99': '123'}[doc_type]
    birth = datetime.date(rng.randrange(1930, 2023), rng.randrange(1, 13), rng.randrange(1, 29))
    call = {
        'NGOD': str(n), 'NUMV': str(100000 + n), 'PROF': rng.choice(PROFILES),
        'PRFB': rng.choice(PROFILES[:-3] + ['']),
        'FAM': fam, 'IMYA': rng.choice(NAMES_M if male else NAMES_F),
        'OTCH': rng.choice(PATRON_M if male else PATRON_F), 'POL': 'М' if male else 'Ж',
        'KOD1': birth.strftime('%d.%m.%Y'), 'TDOKUM': doc_type, 'NDOKUM': doc, 'SNILS': snils(rng),
        'CITY': marker + city_name, 'ULIC': written, 'DOM': str(rng.randrange(1, 120)) +
        rng.choice(['', '', 'а', '/1', ' корп. 2']), 'KVAR': str(rng.randrange(1, 300)),
        'SMO': smo, 'DPRM': '%02d%02d%02d' % (year % 100, month, day), 'TPRM': hhmm(start),
        'TISP': hhmm(end), 'TPER': hhmm(transit[0]), 'VYEZ': hhmm(transit[1]),
        'PRZD': hhmm(transit[2]), 'TGSP': hhmm(transit[3]) if rng.random() < 0.4 else '',
        'TSTA': hhmm(transit[3] + 20) if rng.random() < 0.4 else '',
        'DSHS': rng.choice(DIAG), 'DS1': rng.choice(DIAG),
        'REZL': rng.choice([r[0] for r in RESULTS]), 'KUDA': rng.choice([k for k, _ in KUDA_NAMES]),
        'POVD': rng.choice([r[0] for r in REASONS]), 'TRAV': rng.choice([r[0] for r in INJURIES]),
        'POVT': rng.choice([k[0] for k in KINDS]), 'MEST': rng.choice([p[0] for p in PLACES]),
        'KILO': str(rng.randrange(1, 60)), 'DOKT': rng.choice(['Петрова А.И.', 'смирнов о.п.', 'Кузнецова']),
        'PRTY': str(rng.randrange(1, 8)), 'ISHOD': rng.choice([401, 402, 403, 0]),
        'SPOL': rng.choice(['%016d' % rng.randrange(10**16), '%03d-%06d' % (rng.randrange(1000),
                            rng.randrange(10**6)), 'АБВ 1234567', '1234 567', '']),
    }
    return call


def spoil(rng, call, n):
    """Every few calls carry a fault that a guarded field group reports."""
    kind = n % 23
    if kind == 1:
        call['KOD1'] = '31.02.1980'
    elif kind == 2:
        call['KOD1'] = ''
    elif kind == 3:
        call['DPRM'] = call['DPRM'][:2] + '0230'  # 30 February
    elif kind == 4:
        call['TPRM'] = '7:05'                     # the hour is "7:"
    elif kind == 5:
        call['TPRM'] = ' ' + call['TPRM'][1:]
    elif kind == 6:
        call['ULIC'] = '+ГКБ 8'
        call['CITY'] = '=Уфа'
    elif kind == 7:
        call['ULIC'] = '*Роддом 3'
        call['CITY'] = '=Уфа'
    elif kind == 8:
        call['TISP'] = '0020'
    elif kind == 9:
        call['FAM'] = 'О#Брайен|' + call['FAM']
    elif kind == 10:
        call['SNILS'] = '123-456-789 00'
    elif kind == 11:
        call['DOM'] = '12|5'
    elif kind == 12:
        call['KVAR'] = 'кв.15'
    elif kind == 13:
        call['CITY'] = 'Уфа'                      # no marker
    elif kind == 14:
        call['PRFB'] = 'L'                        # a Latin letter
    elif kind == 15:
        call['KILO'] = '12км'
    elif kind == 16:
        call['TPRM'], call['TISP'] = '23:50', '00:20'
    return call


ARCHIVE_FIELDS = ('NGOD C(10); NUMV C(9); PROF C(2); PRFB C(1); {policy}; FAM C(40); IMYA C(40); '
                  'OTCH C(40); {birth}; POL C(1); TDOKUM C(2); NDOKUM C(30); SNILS C(14); CITY C(40); '
                  'ULIC C(60); DOM C(12); KVAR C(10); SMO C(20); DPRM C(6); TPRM C(5); TISP C(5); '
                  'TPER C(5); VYEZ C(5); PRZD C(5); TGSP C(5); TSTA C(5); DSHS C(7); DS1 C(7); '
                  'REZL C(5); {ishod}KUDA C(100); POVD C(5); TRAV C(5); POVT C(5); MEST C(5); KILO C(6); '
                  'DOKT C(15); PRTY C(2)')


def write_archive(name, year, month, count, cities, variant):
    rng = random.Random(name)
    if variant == 1:
        layout = ARCHIVE_FIELDS.format(policy='SPOL C(20)', birth='KOD1 C(10)', ishod='ISHOD N(3,0); ')
    else:
        layout = ARCHIVE_FIELDS.format(policy='NPOLIS C(20)', birth='DATA_R D', ishod='')
    fields = [f.strip().split()[0] for f in layout.split(';')]
    rows, deleted = [], []
    weights = [30, 30, 20, 6, 6, 4, 2, 1, 1]
    for n in range(1, count + 1):
        call = spoil(rng, make_call(rng, n, year, month, cities, weights), n)
        row = []
        for f in fields:
            if f == 'NPOLIS':
                row.append(call['SPOL'])
            elif f == 'DATA_R':
                row.append(None if not call['KOD1'] or call['KOD1'].startswith('31.02') else
                           datetime.datetime.strptime(call['KOD1'], '%d.%m.%Y').date())
            elif f == 'ISHOD':
                row.append(call['ISHOD'] or None)
            else:
                row.append(call[f])
        rows.append(tuple(row))
        if n % 37 == 0:
            deleted.append(n - 1)
    os.makedirs(ARCHIVES, exist_ok=True)
    make_table(os.path.join(ARCHIVES, name), layout, rows, deleted)


def main():
    if os.path.isdir(APP):
        shutil.rmtree(APP)
    write_mappings()
    cities = write_references()
    home = [c for c in cities if c[2].startswith('74') and c[1] == 'г']
    write_archive('F1232401.DBF', 2024, 1, 400, home, 1)
    write_archive('F6721703.DBF', 2017, 3, 300, home, 2)
    print('sample data written to', SAMPLE)


if __name__ == '__main__':
    sys.exit(main())
