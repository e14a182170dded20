# Prints, as JSON, what python3-vobject reads of every card in the files given:
# per file a list of cards, each a sorted list of "NAME;PARAMETERS:VALUE"
# strings. What the vCard versions write differently for the same thing is
# written one way here (encodings, TYPE=pref and PREF=1, 2.1's bare types,
# embedded binary data as base64 or as a data: URI, a date in ISO 8601's
# extended form, which 4.0 writes in the basic one), and VERSION, PRODID and
# REV, which a writer sets itself, are left out.
import base64
import json
import re
import sys

import vobject

ENCODINGS = {'QUOTED-PRINTABLE', 'BASE64', 'B', '8BIT', '7BIT'}
DATES = {'BDAY', 'ANNIVERSARY', 'DEATHDATE'}
EXTENDED_DATE = re.compile(r'^(\d{4})-(\d{2})-(\d{2})(?:T(\d{2}):(\d{2})(?::(\d{2}))?(Z|[+-]\d{2}(?::?\d{2})?)?)?$')


def basic_date(text):
    match = EXTENDED_DATE.match(text)
    if not match:
        return text
    year, month, day, hour, minute, second, zone = match.groups()
    basic = year + month + day
    if hour:
        basic += 'T' + hour + minute + (second or '') + (zone or '').replace(':', '')
    return basic


def parameters(line):
    found = {}
    for name, values in line.params.items():
        name = name.upper()
        if name in ('CHARSET', 'ENCODING'):
            continue
        if name == 'VALUE' and all(v.lower() in ('uri', 'binary') for v in values):
            continue
        found.setdefault(name, []).extend(values)
    for value in getattr(line, 'singletonparams', []):
        if value.upper() not in ENCODINGS:
            found.setdefault('TYPE', []).append(value)
    if 'TYPE' in found:
        types = [t.lower() for v in found['TYPE'] for t in v.split(',')]
        if 'pref' in types:
            types = [t for t in types if t != 'pref']
            found['PREF'] = ['1']
        found['TYPE'] = types
    return found


def value(line, found):
    v = line.value
    if isinstance(v, bytes):
        media = found.pop('TYPE', [''])[0]
        return 'binary %s %s' % (media, base64.b64encode(v).decode())
    if isinstance(v, str) and v.startswith('data:') and ';base64,' in v:
        media, data = v[5:].split(';base64,', 1)
        found.pop('MEDIATYPE', None)
        media = '' if media.lower() == 'application/octet-stream' else media.split('/')[-1].lower()
        return 'binary %s %s' % (media, base64.b64encode(base64.b64decode(data)).decode())
    if isinstance(v, str):
        return v
    if isinstance(v, (list, tuple)):
        return json.dumps([str(item) for item in v], ensure_ascii=False)
    return json.dumps(vars(v), sort_keys=True, ensure_ascii=False)


def card_properties(card):
    properties = []
    for line in card.getChildren():
        name = line.name.upper()
        if name in ('VERSION', 'PRODID', 'REV'):
            continue
        found = parameters(line)
        text = value(line, found)
        if name in DATES and [v.lower() for v in found.get('VALUE', [])] != ['text']:
            text = basic_date(text)
        group = (line.group.lower() + '.') if line.group else ''
        written = ';'.join('%s=%s' % (k, ','.join(sorted(vs))) for k, vs in sorted(found.items()) if vs)
        properties.append('%s%s%s:%s' % (group, name, ';' + written if written else '', text))
    return sorted(properties)


files = []
for path in sys.argv[1:]:
    with open(path, encoding='utf-8', errors='replace', newline='') as f:
        # vobject unescapes every value as 3.0 text, so a data: URI would end
        # at its first comma: that one is escaped for it.
        text = f.read().replace(';base64,', ';base64\\,')
        files.append([card_properties(card) for card in vobject.readComponents(text)])
print(json.dumps(files, ensure_ascii=False))
