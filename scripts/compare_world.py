#!/usr/bin/python3
"""Builds the world on which two builds of veltconv are compared
(scripts/compare_builds.sh): an application folder whose reference and
mapping tables carry, beside the sample's rows, the rows that make lookups
hard (keys that differ only in trailing blanks or a NUL, several rows of one
key, rows the tariff condition leaves out, deleted rows, bytes that code
page 866 has and 1251 lacks), and call archives that mix valid calls with
hostile ones (empty, overlong, control characters, NUL bytes, the receiving
system's separators, hexadecimal numbers, impossible dates and times).

    compare_world.py OUT_DIR SAMPLE_DIR [CALLS]

OUT_DIR/app                the application folder
OUT_DIR/archives/*.DBF     archives to convert with both code pages:
    F1232401.DBF  the sample's layout, code page 866, deleted records among them
    F6721703.DBF  station 672 (its own rules), NPOLIS, DATA_R as a date, COD_SPEC
    F1232402.DBF  the sample's layout in code page 1251
OUT_DIR/ending/*.DBF       small archives in which one call ends the run
                           with an error (the records before it stay)
OUT_DIR/variants/*/        application folders whose references lack what
                           some lookups need, with OUT_DIR/variants/F1232411.DBF
                           to convert against each

Deterministic: the same arguments give the same bytes.
"""
import os
import random
import shutil
import struct
import sys

# ---------------------------------------------------------------- dBase files


def field_bytes(value, width, kind):
    """A field's bytes: value is bytes (taken as they are), str (encoded in
    the table's code page by the caller) or None (blank)."""
    if value is None:
        return b' ' * width
    if kind == 'N':
        text = value if isinstance(value, bytes) else str(value).encode('ascii')
        return text[-width:].rjust(width)
    return value[:width].ljust(width)


class Writer:
    """Writes a dBase III table record by record."""

    def __init__(self, path, fields, codepage, language=0x65):
        self.path, self.fields, self.codepage = path, fields, codepage
        self.records = []
        self.language = language

    def encode(self, value):
        if isinstance(value, str):
            return value.encode(self.codepage, errors='replace')
        return value

    def add(self, values, deleted=False):
        data = b'*' if deleted else b' '
        for name, kind, width, dec in self.fields:
            v = values.get(name)
            if kind == 'N' and isinstance(v, (int, float)):
                v = ('%.*f' % (dec, v)) if dec else str(int(v))
            if kind == 'D' and v is not None and isinstance(v, str):
                v = v.encode('ascii')
            data += field_bytes(self.encode(v), width, kind)
        self.records.append(data)

    def close(self):
        length = 1 + sum(f[2] for f in self.fields)
        header_length = 32 + 32 * len(self.fields) + 1
        head = struct.pack('<BBBBIHH', 3, 124, 1, 1, len(self.records), header_length, length)
        head += b'\0' * 17 + bytes([self.language]) + b'\0\0'
        for name, kind, width, dec in self.fields:
            head += name.encode('ascii').ljust(11, b'\0') + kind.encode('ascii') + b'\0' * 4
            head += bytes([width & 0xFF, dec if kind != 'C' else width >> 8]) + b'\0' * 14
        head += b'\r'
        with open(self.path, 'wb') as f:
            f.write(head)
            f.write(b''.join(self.records))
            f.write(b'\x1a')


def read_table(path):
    """Fields and raw records of a table."""
    with open(path, 'rb') as f:
        data = f.read()
    count, header, length = struct.unpack('<IHH', data[4:12])
    fields = []
    pos = 32
    while data[pos] != 0x0D:
        d = data[pos:pos + 32]
        name = d[:11].split(b'\0')[0].decode('ascii')
        kind = chr(d[11])
        width = d[16] + (d[17] * 256 if kind == 'C' else 0)
        fields.append((name, kind, width, 0 if kind == 'C' else d[17]))
        pos += 32
    records = [data[header + i * length:header + (i + 1) * length] for i in range(count)]
    return fields, records


def extend_table(path, rows, deleted_rows=()):
    """Appends rows (dicts of field values) to an existing table, keeping its
    records, then a few deleted copies."""
    fields, records = read_table(path)
    w = Writer(path, fields, 'cp866')
    w.records = list(records)
    for row in rows:
        w.add(row)
    for row in deleted_rows:
        w.add(row, deleted=True)
    w.close()


# ---------------------------------------------------------------- the program's integer rule


def try_str_to_int(text):
    """The program's text-to-integer rule on bytes; None when it fails."""
    i = 0
    while i < len(text) and text[i:i + 1] == b' ':
        i += 1
    negative = False
    if i < len(text) and text[i:i + 1] in (b'+', b'-'):
        negative = text[i:i + 1] == b'-'
        i += 1
    rest = text[i:]
    base = 10
    if rest[:1] in (b'$', b'x', b'X'):
        base, i = 16, i + 1
    elif rest[:2] in (b'0x', b'0X'):
        base, i = 16, i + 2
    if i >= len(text):
        return None
    limit = 2 ** 31 if negative else 2 ** 31 - 1
    value = 0
    for c in text[i:]:
        d = int(chr(c), 16) if chr(c) in '0123456789abcdefABCDEF' else -1
        if d < 0 or d >= base:
            return None
        value = value * base + d
        if value > limit:
            return None
    return -value if negative else value


# ---------------------------------------------------------------- hostile values

rnd = random.Random(16)


def cp(text):
    return text.encode('cp1251')


JUNK = [b'', b' ', b'  ', b'#', b'=', b'|', b'a#b=c|d', b'\t', b'\x01\x02', b'x\x00y', b'\x00', b'  x  ',
        b'?', b'\x98', b'\xff\xfe', cp('Ёё'), cp('№'), b'\x88\x99\xa0', b'0x1F', b'$A', b'x7', b'-5', b'+3',
        b'99999999999', b'-2147483648', b'2147483648', b'0', b'00', b' 12', b'12 ', cp('ХЯ'), cp('я')]


def noise(width):
    """Random bytes of a field's width or less, from every part of the code page."""
    n = rnd.randint(0, width)
    pool = [rnd.randint(0, 255) for _ in range(n)]
    return bytes(pool)


def text_mix(width):
    letters = cp('АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя') + \
        b'ABCXYZabcxyz0123456789 .-,#=|/\\+*'
    n = rnd.randint(0, width)
    return bytes(rnd.choice(letters) for _ in range(n))


def hostile(width, good):
    r = rnd.random()
    if r < 0.35:
        return rnd.choice(good)
    if r < 0.6:
        return rnd.choice(JUNK)
    if r < 0.8:
        return text_mix(width)
    if r < 0.9:
        return noise(width)
    return (rnd.choice(good) + rnd.choice(JUNK) + rnd.choice(good))[:width]


def hhmm(minutes):
    minutes %= 1440
    return b'%02d:%02d' % (minutes // 60, minutes % 60)


TIMES = [b'00:00', b'23:59', b'12:30', b'9:05', b' 9:05', b'12-30', b'1230', b'12:3', b'ab:cd', b'12:60',
         b'24:00', b'-1:00', b'$A:0F', b'x1:x2', b'12:', b':30', b'', b'12:30:00', b'1:', b'0x:1']


def time_value(start):
    r = rnd.random()
    if r < 0.7:
        return hhmm(start + rnd.randint(-30, 200))
    return rnd.choice(TIMES)


def start_time_ends_run(tprm):
    """A call time whose hour and minute convert but name no time of day."""
    hour, minute = try_str_to_int(tprm[0:2]), try_str_to_int(tprm[3:5])
    return hour is not None and minute is not None and not (0 <= hour <= 23 and 0 <= minute <= 59)


def end_time_ends_run(tisp):
    """An end time whose hour and minute convert together but whose hour alone does not."""
    if len(tisp) < 5:
        return False
    joined = try_str_to_int(tisp[0:2] + tisp[3:5])
    return joined is not None and joined != -1 and try_str_to_int(tisp[0:2]) is None


def policy():
    return rnd.choice([b'%016d' % rnd.randint(0, 10 ** 16 - 1), b'%09d' % rnd.randint(0, 10 ** 9 - 1),
                       b'1234 567', cp('АБВ 1234567'), b'12345', b'12345678', b'1-2 3', b'', b'  7401  55',
                       b'1234567890123456789', b'12 34 56', cp('серия номер'), text_mix(20)])


def document():
    t = rnd.randint(1, 25)
    forms = {1: cp('IV-АБ 123456'), 3: cp('II-ЯЯ 654321'), 4: cp('АБ 1234567'), 6: cp('АБ 123456'),
             7: cp('ББ 123456'), 8: b'12 3456789', 14: b'75 02 123456', 15: b'12 3456789',
             16: cp('ЯЯ 1234567'), 17: cp('АБ 123456'), 21: b'AB 1234567', 2: cp('ЖЖ 1'), 9: b'XY 9'}
    number = forms.get(t, text_mix(30))
    if rnd.random() < 0.3:
        number = rnd.choice([b'5-' + cp('АБ 123456'), b'IIII-' + cp('АБ 123456'), b'0-' + cp('АБ 1'),
                             b'75 02 12345', b'1234567', text_mix(30), b'', b'12 3456789 0'])
    typ = rnd.choice([b'%02d' % t, b'%d' % t, b' %d' % t, b'xx', b'', b'19', b'20', b'0x0E'])
    return typ, number


def snils():
    digits = [rnd.randint(0, 9) for _ in range(9)]
    s = sum(d * (9 - i) for i, d in enumerate(digits)) % 101
    s = 0 if s == 100 else s
    good = ''.join(map(str, digits))
    return rnd.choice([('%s-%s-%s %02d' % (good[:3], good[3:6], good[6:], s)).encode(), good.encode() + b'%02d' % s,
                       good.encode() + b'%02d' % ((s + 1) % 100), b'123-456-789 64', b'1234567890', b'',
                       b'480-000-000 00', text_mix(14)])


# ---------------------------------------------------------------- the application folder


def build_app(out, sample):
    app = os.path.join(out, 'app')
    shutil.copytree(os.path.join(sample, 'app'), app)
    d = os.path.join(app, 'dirstrans')
    p = os.path.join(app, 'pavkdirs')

    def m(code=None, name=None, pavk=None):
        return {'VELTCODE': code, 'VELTNAME': name, 'PAVK': pavk}

    extend_table(os.path.join(d, 'tr_rslt.dbf'), [
        m(b'407', None, cp('17 - повтор: последний побеждает')),
        m(b'408\x00', None, cp('44 - ключ с NUL')),
        m(b'?', None, cp('45 - вопрос')),
        m(b'\xb0\xb1', None, cp('46 - символы без пары')),
        m(b'416', None, cp('12- x')),
        m(b' 41', None, cp(' 5 - с пробелом')),
        m(b'410', None, b''),
        m(b'418', None, cp('-5 - минус')),
        m(b'419', None, b'abc'),
        m(b'420', None, b'0x1A - hex'),
        m(b'', None, cp('9 - пустой ключ')),
    ], deleted_rows=[m(b'401', None, cp('55 - удален'))])
    extend_table(os.path.join(d, 'tr_reas.dbf'), [
        m(b'09', None, cp('99 - по причине')), m(b'09', None, b''), m(b'11', None, cp('99 - x')),
        m(b'#', None, cp('3 - решетка')), m(cp('я'), None, cp('4 - буква')),
    ])
    extend_table(os.path.join(d, 'tr_reas1.dbf'), [
        m(b'07', None, cp('99 - снова')), m(b'08', None, cp('1 - травма')), m(b'', None, cp('2 - пусто')),
    ])
    extend_table(os.path.join(d, 'tr_vid.dbf'), [
        m(b'4', None, cp('7 - попутный')), m(b'4', None, cp('8 - попутный позже')), m(b'5 ', None, b'6 - x'),
    ])
    extend_table(os.path.join(d, 'tr_from.dbf'), [m(b'7', None, cp('-1 - минус')), m(b'x', None, b'x - x')])
    extend_table(os.path.join(d, 'tr_trag.dbf'), [
        m(b'06', None, cp('0 - ноль')), m(b'08', None, cp('99 - не травма')), m(b'09', None, cp('11 - прочая')),
    ])
    extend_table(os.path.join(d, 'tr_lpu.dbf'), [
        m(None, cp('=УФА_+ГКБ 8'), cp('203 - повтор')),
        m(None, cp('=УФА_*ГКБ 8'), cp('206 - звездочка')),
        m(None, cp('-ПОС НЕФТЕКАМСК_+ЦГБ'), cp('205 - ЦГБ')),
        m(None, cp('=УФА_+НЕТ В LPU'), cp('777 - нет в lpu')),
        m(None, cp('=УФА_+БЕЗ КОДА'), b''),
        m(None, cp('ГКБ 8\x00'), cp('9 - NUL')),
        m(None, cp('Хоспис'), cp('207 - хоспис')),
        m(None, cp('хоспис'), cp('208 - строчные')),
        m(None, b'\xb0', cp('209 - без пары')),
    ])
    extend_table(os.path.join(p, 'lpu.dbf'), [
        {'NPP': 123, 'CATEGORY': 3, 'NAME': cp('Повтор станции'), 'ADRESS': cp('г. Уфа, ул. Мира, 1')},
        {'NPP': 207, 'CATEGORY': 0, 'NAME': cp('Хоспис'), 'ADRESS': cp('Уфа,ул.Ленина,12/1')},
        {'NPP': 208, 'CATEGORY': 0, 'NAME': cp('Без запятых'), 'ADRESS': cp('проспект Октября 5')},
        {'NPP': 209, 'CATEGORY': 0, 'NAME': cp('Пустой адрес'), 'ADRESS': b''},
    ])
    extend_table(os.path.join(p, 'f002.dbf'), [
        {'SMOCOD': b'74001', 'TF_OKATO': b'99999', 'NAM_SMOP': cp('повтор')},
        {'SMOCOD': b'45 01', 'TF_OKATO': b'37001', 'NAM_SMOP': cp('с пробелом')},
        {'SMOCOD': b'45', 'TF_OKATO': b'37002', 'NAM_SMOP': cp('короткий')},
        {'SMOCOD': b'x1234', 'TF_OKATO': b'', 'NAM_SMOP': cp('без ОКАТО')},
        {'SMOCOD': b'\xb0\xb1\xb2', 'TF_OKATO': b'12345', 'NAM_SMOP': cp('без пары')},
    ])
    extend_table(os.path.join(p, 'tarif.dbf'), [
        {'COD_SPEC': 1439, 'CATEGORY': 1, 'PLACE': 20, 'PURPOSE': b'03', 'TARIF': 1.5, 'DATE_TAR': b'20200101'},
        {'COD_SPEC': 1441, 'CATEGORY': 3, 'PLACE': 20, 'PURPOSE': b'03', 'TARIF': 7, 'DATE_TAR': None},
        {'COD_SPEC': 1442, 'CATEGORY': 3, 'PLACE': 20, 'PURPOSE': b'03', 'TARIF': -12.25,
         'DATE_TAR': b'20190315'},
        {'COD_SPEC': 1443, 'CATEGORY': 3, 'PLACE': 21, 'PURPOSE': b'03', 'TARIF': 1, 'DATE_TAR': b'20190315'},
        {'COD_SPEC': 1444, 'CATEGORY': 3, 'PLACE': 20, 'PURPOSE': b'3', 'TARIF': 2, 'DATE_TAR': b'20190315'},
        {'COD_SPEC': 9999, 'CATEGORY': 3, 'PLACE': 20, 'PURPOSE': b'03', 'TARIF': 0, 'DATE_TAR': b'00000000'},
    ])
    extend_table(os.path.join(p, 'city.dbf'), [
        {'NAME': cp('Уфа'), 'SOCR': cp('г'), 'CODE': b'02000001000'},
        {'NAME': cp('уфа'), 'SOCR': cp('П'), 'CODE': b'74000099000'},
        {'NAME': cp('Двойной'), 'SOCR': cp('г'), 'CODE': b'02000002000'},
        {'NAME': cp('Двойной'), 'SOCR': cp('пгт'), 'CODE': b'74000003000'},
        {'NAME': cp('Двойной'), 'SOCR': cp('г'), 'CODE': b'74000004000'},
        {'NAME': cp('Без кода'), 'SOCR': cp('г'), 'CODE': b''},
        {'NAME': cp('Без кода'), 'SOCR': cp('г'), 'CODE': b''},
        {'NAME': cp('Одинокий'), 'SOCR': b'x', 'CODE': b'02000005000'},
        {'NAME': b'\xb0\xb1', 'SOCR': cp('г'), 'CODE': b'74000006000'},
    ])
    streets = []
    for code, prefix in [(b'74000004000', b'0001'), (b'74000003000', b'0002'), (b'74000099000', b'0003'),
                         (b'74000006000', b'0004')]:
        for name, socr in [(cp('Ленина'), cp('ул')), (cp('Садовый'), cp('пер')), (cp('Полевая 1-я'), cp('ул')),
                           (cp('Октября'), cp('пр-кт')), (cp('Октября'), cp('проспект')), (cp('Мира'), cp('УЛ'))]:
            streets.append({'NAME': name, 'SOCR': socr, 'CODE': code + prefix + b'00'})
    extend_table(os.path.join(p, 'street.dbf'), streets)
    return app


# ---------------------------------------------------------------- archives

LAYOUT_A = [('NGOD', 'C', 10, 0), ('NUMV', 'C', 9, 0), ('PROF', 'C', 2, 0), ('PRFB', 'C', 1, 0),
            ('SPOL', 'C', 20, 0), ('FAM', 'C', 40, 0), ('IMYA', 'C', 40, 0), ('OTCH', 'C', 40, 0),
            ('KOD1', 'C', 10, 0), ('POL', 'C', 1, 0), ('TDOKUM', 'C', 2, 0), ('NDOKUM', 'C', 30, 0),
            ('SNILS', 'C', 14, 0), ('CITY', 'C', 40, 0), ('ULIC', 'C', 60, 0), ('DOM', 'C', 12, 0),
            ('KVAR', 'C', 10, 0), ('SMO', 'C', 20, 0), ('DPRM', 'C', 6, 0), ('TPRM', 'C', 5, 0),
            ('TISP', 'C', 5, 0), ('TPER', 'C', 5, 0), ('VYEZ', 'C', 5, 0), ('PRZD', 'C', 5, 0),
            ('TGSP', 'C', 5, 0), ('TSTA', 'C', 5, 0), ('DSHS', 'C', 7, 0), ('DS1', 'C', 7, 0),
            ('REZL', 'C', 5, 0), ('ISHOD', 'N', 3, 0), ('KUDA', 'C', 100, 0), ('POVD', 'C', 5, 0),
            ('TRAV', 'C', 5, 0), ('POVT', 'C', 5, 0), ('MEST', 'C', 5, 0), ('KILO', 'C', 6, 0),
            ('DOKT', 'C', 15, 0), ('PRTY', 'C', 2, 0)]
LAYOUT_B = [f for f in LAYOUT_A if f[0] not in ('SPOL', 'KOD1', 'ISHOD')]
LAYOUT_B.insert(4, ('NPOLIS', 'C', 20, 0))
LAYOUT_B.insert(8, ('DATA_R', 'D', 8, 0))
LAYOUT_B.append(('COD_SPEC', 'N', 6, 0))

CITIES = ['=Уфа', '=уфа', '= Уфа ', '-ПОС Нефтекамск', '-пос. Нефтекамск', '-Нефтекамск ПОС', 'Уфа', '=Двойной',
          '-ПОС Двойной', '=Без кода', '=Одинокий', '=Нет такого', '=Стерлитамак', '=Салават', '=Межгорье',
          '-ПОС Подгорный', '-ПОС Межгорье', '=ПОС Уфа', '=Уфа ПОС', '']
STREETS = ['ул. Ленина', 'ул.Ленина', 'Ленина ул', 'пер. Садовый', 'пер.Садовый', '1-я Полевая', 'ул. 1-я Полевая',
           'Полевая 1-я', 'пр-кт Октября', 'проспект Октября', 'пр. Октября', 'пр-т Октября', 'ул Мира',
           'ул. Мира/', '+ГКБ 8', '*ГКБ 8', '+ГКБ 21', '*РОДДОМ 3', '+НЕТ В LPU', '+БЕЗ КОДА', '+ЦГБ',
           '+Неизвестная', '*', '+', 'ул. Садовая', 'ул. Советская', 'ул. Школьная', 'ул. Победы',
           'ул. Гагарина', 'Северная 1-я', '2-й Северный', 'ул. Ленина=', 'ул. =Ле\\нина+', '.Мира',
           'УЛ. УЛ. Ленина', 'ул. Неизвестная', '']
HOUSES = [b'12', b'12a', cp('12а'), cp('12А'), b'12|5', b'123456', cp('корп 2'), b'', b'9999', b'10000',
          b'0x12', cp('5/1 стр 2'), b' 7', b'-3', cp('д.5'), b'12 ', cp('ЖЖЖЖ')]
FLATS = [b'1', b'15', cp('кв.15'), b'', b'99999', cp('2б'), b'0', b'x', b'4|2']
SMOS = [b'740011', b'740052', b'740073', b'450011', b'020031', b'660020', b'74001', b'7400', b'0', b'',
        b'-1xxx', cp('7А'), b'00', b'x1', b'45 011', b'74001 extra', b'45', b'\xb0\xb1\xb2', b'99999']
PROFILES = [cp(x) for x in ['Л', 'Ф', 'А', 'К', 'П', 'Б', 'Т', 'Х', 'Я', 'ХЯ', '', 'Д', 'Е', 'Н', 'Р', 'л',
                            '9', 'В', ' Ф']]
REZLS = [b'%d' % n for n in range(401, 421)] + [b'408\x00', b'?', b'\xb0\xb1', b' 41', b'', b'999', b'41']
KUDAS = [cp(x) for x in ['ГКБ 8', 'ГКБ 21', 'ДБ 17', 'РД 3', 'ЦГБ', 'ТП 1', 'Хоспис', 'хоспис', 'Неизвестная',
                         '']] + [b'\xb0', b'GKB 8\x00']
POVDS = [b'%02d' % n for n in range(1, 12)] + [b'#', cp('я'), b'', b'1', b'99']
TRAVS = [b'%02d' % n for n in range(1, 10)] + [b'', b'1', b'x']
POVTS = [b'1', b'2', b'3', b'4', b'5', b'5 ', b'', b'x']
MESTS = [b'1', b'2', b'3', b'4', b'5', b'6', b'7', b'x', b'']
KILOS = [b'12', cp('12км'), b'', b'-5', b'0x10', b'9999', b'-999', b'00012', b'x']
PRTYS = [b'1', b'6', b'7', b'', b'x', b'0x6', b'-6', b' 7']
DIAGNOSES = [b'I10', b'J06.9', b'S06.0', b'R10.4', b'', b'I21.9', b'A#B', cp('ЖЖЖ'), b'Z76.8XX', b'I10|',
             b'J06\x00']


def call_values(n, layout, safe, station_start):
    """One call as a dict of field bytes."""
    r = rnd
    start = r.randint(0, 1439)
    v = {
        'NGOD': b'%d' % n, 'NUMV': b'%d' % (100000 + n), 'PROF': r.choice(PROFILES[:7] + [b'']),
        'PRFB': r.choice(PROFILES[:9]), 'FAM': cp(r.choice(['Иванов', 'Петрова', 'Сидоров'])),
        'IMYA': cp('Иван'), 'OTCH': cp('Петрович'), 'POL': cp(r.choice(['М', 'Ж'])),
        'TDOKUM': b'14', 'NDOKUM': b'75 02 %06d' % r.randint(100000, 999999), 'SNILS': b'123-456-789 64',
        'CITY': cp(r.choice(CITIES[:6])), 'ULIC': cp(r.choice(STREETS[:14])), 'DOM': b'%d' % r.randint(1, 150),
        'KVAR': b'%d' % r.randint(1, 300), 'SMO': r.choice(SMOS[:6]),
        'DPRM': b'24%02d%02d' % (r.randint(1, 12), r.randint(1, 28)), 'TPRM': hhmm(start),
        'TISP': hhmm(start + 90), 'TPER': hhmm(start + 2), 'VYEZ': hhmm(start + 15), 'PRZD': hhmm(start + 30),
        'TGSP': hhmm(start + 60), 'TSTA': hhmm(start + 75), 'DSHS': b'I10', 'DS1': b'J06.9',
        'REZL': b'%d' % r.randint(401, 417), 'KUDA': r.choice(KUDAS[:7]), 'POVD': b'%02d' % r.randint(1, 10),
        'TRAV': b'%02d' % r.randint(1, 7), 'POVT': b'%d' % r.randint(1, 4), 'MEST': b'%d' % r.randint(1, 6),
        'KILO': b'%d' % r.randint(0, 60), 'DOKT': cp('Петрова А.И.'), 'PRTY': b'%d' % r.randint(1, 7),
        'SPOL': b'%016d' % r.randint(0, 10 ** 16 - 1), 'NPOLIS': b'%016d' % r.randint(0, 10 ** 16 - 1),
        'KOD1': b'%02d.%02d.19%02d' % (r.randint(1, 28), r.randint(1, 12), r.randint(40, 99)),
        'DATA_R': b'19%02d%02d%02d' % (r.randint(40, 99), r.randint(1, 12), r.randint(1, 28)),
        'ISHOD': b'%d' % r.randint(401, 403), 'COD_SPEC': b'%d' % r.choice([1439, 1440, 1441, 1445]),
    }
    if safe:
        return v
    h = lambda width, good: hostile(width, good)
    v.update({
        'NGOD': h(10, [v['NGOD'], cp('№5'), b'']), 'NUMV': h(9, [v['NUMV'], b'#12=', b'']),
        'PROF': h(2, PROFILES), 'PRFB': h(1, PROFILES), 'SPOL': policy(), 'NPOLIS': policy(),
        'FAM': h(40, [v['FAM'], cp('о#брайен|семёнова'), b'x' * 40]), 'IMYA': h(40, [v['IMYA'], cp('ёлка')]),
        'OTCH': h(40, [v['OTCH'], b'']), 'POL': h(1, [cp('М'), cp('Ж'), cp('м'), b'']),
        'SNILS': snils(), 'CITY': h(40, [cp(c) for c in CITIES]), 'ULIC': h(60, [cp(s) for s in STREETS]),
        'DOM': h(12, HOUSES), 'KVAR': h(10, FLATS), 'SMO': h(20, SMOS),
        'DPRM': h(6, [v['DPRM'], b'240230', b'', b'2401', b'x40101', b'24-1-1', b'991231', b'0x0101', b'240100']),
        'TPRM': time_value(start), 'TISP': time_value(start + 90), 'TPER': time_value(start),
        'VYEZ': time_value(start), 'PRZD': time_value(start), 'TGSP': time_value(start), 'TSTA': time_value(start),
        'DSHS': h(7, DIAGNOSES), 'DS1': h(7, DIAGNOSES), 'REZL': h(5, REZLS), 'KUDA': h(100, KUDAS),
        'POVD': h(5, POVDS), 'TRAV': h(5, TRAVS), 'POVT': h(5, POVTS), 'MEST': h(5, MESTS),
        'KILO': r.choice(KILOS), 'DOKT': h(15, [v['DOKT'], cp('смирнов о.п.'), b'']), 'PRTY': r.choice(PRTYS),
        'KOD1': h(10, [v['KOD1'], b'31.02.2000', b'01.01.0000', b'1.1.2000', b'', b'01-01-1990', b'00.00.0000']),
        'ISHOD': r.choice([b'401', b'402', b'403', b'', b'0', b'-5', b'391', b'499', b'400']),
        'COD_SPEC': r.choice([b'1439', b'1441', b'1442', b'1443', b'1444', b'9999', b'0', b'', b'-999', b'1445']),
        'DATA_R': r.choice([v['DATA_R'], None, b'20000231', b'00000000', b'abcdefgh']),
    })
    tdokum, ndokum = document()
    v['TDOKUM'], v['NDOKUM'] = tdokum, ndokum
    # Calls that would end the run are kept out of these archives.
    if start_time_ends_run(v['TPRM']):
        v['DPRM'] = b'xx'
    if end_time_ends_run(v['TISP']):
        v['TISP'] = b''
    return v


def encode_values(values, codepage):
    """Bytes written in 1251 into the archive's code page."""
    if codepage == 'cp1251':
        return values
    out = {}
    for k, b in values.items():
        if isinstance(b, bytes):
            out[k] = b.decode('cp1251', errors='replace').encode('cp866', errors='replace')
        else:
            out[k] = b
    return out


def write_archive(path, layout, calls, codepage, safe_share, deleted_share=0.0):
    w = Writer(path, layout, 'ascii', language=0x65 if codepage == 'cp866' else 0xC9)
    for n in range(1, calls + 1):
        safe = rnd.random() < safe_share
        values = encode_values(call_values(n, layout, safe, 0), codepage)
        w.add(values, deleted=rnd.random() < deleted_share)
    w.close()


def write_ending(out, name, layout, calls, bad_at, change):
    """A small archive whose call `bad_at` ends the run."""
    w = Writer(os.path.join(out, name), layout, 'ascii')
    for n in range(1, calls + 1):
        values = call_values(n, layout, True, 0)
        if n == bad_at:
            change(values)
        w.add(encode_values(values, 'cp866'))
    w.close()


def rewrite_table(path, drop=(), retype=()):
    """The table without the fields in `drop`, and with the fields in
    `retype` (name -> (type, width)) as character fields holding text."""
    fields, records = read_table(path)
    kept = []
    for f in fields:
        if f[0] in drop:
            continue
        kept.append((f[0],) + retype[f[0]] + (0,) if f[0] in retype else f)
    w = Writer(path, kept, 'cp866')
    offsets, at = {}, 1
    for f in fields:
        offsets[f[0]] = (at, f[2])
        at += f[2]
    for record in records:
        values = {}
        for f in kept:
            start, width = offsets[f[0]]
            values[f[0]] = b'x' + record[start:start + width] if f[0] in retype else record[start:start + width]
        w.add(values, deleted=record[:1] == b'*')
    w.close()


def build_variants(out, app):
    """Application folders whose references lack a field that a lookup needs
    or hold text where a number belongs: the runs end with an error at the
    first call that reaches the lookup, or log its group each time."""
    variants = {
        'lpu_without_adress': ('pavkdirs/lpu.dbf', ('ADRESS',), {}),
        'lpu_category_text': ('pavkdirs/lpu.dbf', (), {'CATEGORY': ('C', 4)}),
        'city_without_socr': ('pavkdirs/city.dbf', ('SOCR',), {}),
        'f002_without_okato': ('pavkdirs/f002.dbf', ('TF_OKATO',), {}),
        'tarif_without_date': ('pavkdirs/tarif.dbf', ('DATE_TAR',), {}),
        'rslt_without_pavk': ('dirstrans/tr_rslt.dbf', ('PAVK',), {}),
        'lpu_mapping_without_pavk': ('dirstrans/tr_lpu.dbf', ('PAVK',), {}),
    }
    for name, (table, drop, retype) in variants.items():
        folder = os.path.join(out, 'variants', name)
        shutil.copytree(app, folder)
        rewrite_table(os.path.join(folder, table), drop, retype)


def main():
    out, sample = sys.argv[1], sys.argv[2]
    calls = int(sys.argv[3]) if len(sys.argv) > 3 else 20000
    if os.path.exists(out):
        shutil.rmtree(out)
    os.makedirs(os.path.join(out, 'archives'))
    os.makedirs(os.path.join(out, 'ending'))
    app = build_app(out, sample)
    build_variants(out, app)
    write_archive(os.path.join(out, 'variants', 'F1232411.DBF'), LAYOUT_A, 3000, 'cp866', 0.5)
    a = os.path.join(out, 'archives')
    write_archive(os.path.join(a, 'F1232401.DBF'), LAYOUT_A, calls, 'cp866', 0.5, 0.02)
    write_archive(os.path.join(a, 'F6721703.DBF'), LAYOUT_B, calls // 2, 'cp866', 0.4)
    write_archive(os.path.join(a, 'F1232402.DBF'), LAYOUT_A, calls // 2, 'cp1251', 0.3)
    e = os.path.join(out, 'ending')
    write_ending(e, 'F1232403.DBF', LAYOUT_A, 40, 17, lambda v: v.update(TPRM=b'25:00', DPRM=b'240101'))
    write_ending(e, 'F1232404.DBF', LAYOUT_A, 40, 23, lambda v: v.update(TISP=b'0x:10'))
    write_ending(e, 'F1232405.DBF', LAYOUT_A, 40, 9, lambda v: v.update(ISHOD=b'1'))
    write_ending(e, 'F1232406.DBF', LAYOUT_A, 40, 31, lambda v: v.update(KILO=b'99999'))
    write_ending(e, 'F6721707.DBF', LAYOUT_B, 40, 12, lambda v: v.update(COD_SPEC=b'12345'))
    write_ending(e, 'F1232408.DBF', [f for f in LAYOUT_A if f[0] != 'NGOD'], 40, 3,
                 lambda v: v.update(KOD1=b'xx'))
    write_ending(e, 'F1232409.DBF', [f for f in LAYOUT_A if f[0] != 'FAM'], 20, 1, lambda v: None)
    layout_c = [f if f[0] != 'ISHOD' else ('ISHOD', 'C', 3, 0) for f in LAYOUT_A] + [('COD_SPEC', 'C', 5, 0)]
    write_ending(e, 'F1232410.DBF', layout_c, 40, 25, lambda v: v.update(COD_SPEC=b'14x'))


if __name__ == '__main__':
    main()
