#!/usr/bin/env python3
"""Checks the resources a Windows executable carries: the firmware image, the error picture
and the icon, the manifest and the version resource.

    pe_resources.py EXE --image-size BYTES [--version X.Y.Z]
                                            checks both; prints what it found; exit 1 on a fault
    pe_resources.py EXE --dump              prints the manifest and the version strings

Reads the PE file itself (no Windows tool needed): the resource tree of the .rsrc section,
the image (STREAM0, type 100, exactly --image-size bytes), the bitmap BITMAP0, the icon group ZEDA,
the manifest (type 24, identifier 1) and the version block (type 16).
"""
import argparse
import struct
import sys
import xml.etree.ElementTree as ET

RT_BITMAP = 2
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
RT_IMAGE = 100

SUPPORTED_OS = {
    '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}': 'Windows 7',
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}': 'Windows 8',
    '{1f676c76-80e1-4239-95bb-83d0f6d0da78}': 'Windows 8.1',
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}': 'Windows 10 and 11',
}


class PE:
    def __init__(self, data):
        self.data = data
        if data[:2] != b'MZ':
            raise ValueError('not an executable (no MZ header)')
        pe = struct.unpack_from('<I', data, 0x3C)[0]
        if data[pe:pe + 4] != b'PE\0\0':
            raise ValueError('no PE header')
        sections, opt_size = struct.unpack_from('<H12xH', data, pe + 6)
        opt = pe + 24
        magic = struct.unpack_from('<H', data, opt)[0]
        dirs = opt + (96 if magic == 0x10B else 112)
        self.rsrc_rva, self.rsrc_size = struct.unpack_from('<II', data, dirs + 2 * 8)
        self.sections = []
        at = opt + opt_size
        for i in range(sections):
            vsize, va, rsize, raw = struct.unpack_from('<IIII', data, at + 40 * i + 8)
            self.sections.append((va, max(vsize, rsize), raw))

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError('address %#x lies in no section' % rva)

    def resources(self):
        """[(type, name, language, bytes)] with numeric ids as ints, names as strings."""
        if self.rsrc_rva == 0:
            return []
        base = self.offset(self.rsrc_rva)
        out = []

        def entries(at):
            named, ids = struct.unpack_from('<12xHH', self.data, base + at)
            for i in range(named + ids):
                name, value = struct.unpack_from('<II', self.data, base + at + 16 + 8 * i)
                if name & 0x80000000:
                    n_at = base + (name & 0x7FFFFFFF)
                    length = struct.unpack_from('<H', self.data, n_at)[0]
                    key = self.data[n_at + 2:n_at + 2 + 2 * length].decode('utf-16-le')
                else:
                    key = name
                yield key, value

        for rtype, v1 in entries(0):
            for rname, v2 in entries(v1 & 0x7FFFFFFF):
                for lang, v3 in entries(v2 & 0x7FFFFFFF):
                    rva, size = struct.unpack_from('<II', self.data, base + v3)
                    at = self.offset(rva)
                    out.append((rtype, rname, lang, self.data[at:at + size]))
        return out


def version_block(data):
    """The version resource as {'fixed': (file, product), 'strings': {block: {k: v}},
    'translations': [(lang, codepage)]}."""
    result = {'fixed': None, 'strings': {}, 'translations': []}

    def node(at):
        length, value_length, kind = struct.unpack_from('<HHH', data, at)
        end = at + length
        p = at + 6
        key_end = p
        while data[key_end:key_end + 2] != b'\0\0':
            key_end += 2
        key = data[p:key_end].decode('utf-16-le')
        p = (key_end + 2 + 3) & ~3
        value_at = p
        value_bytes = value_length * 2 if kind == 1 else value_length
        p = (p + value_bytes + 3) & ~3
        children = []
        while p < end:
            child = node(p)
            children.append(child)
            p = (p + child[0] + 3) & ~3
        return length, key, kind, data[value_at:value_at + value_bytes], children

    _, key, _, value, children = node(0)
    if key != 'VS_VERSION_INFO':
        raise ValueError('the version resource starts with %r' % key)
    if len(value) >= 52 and struct.unpack_from('<I', value, 0)[0] == 0xFEEF04BD:
        fms, fls, pms, pls = struct.unpack_from('<IIII', value, 8)
        quad = lambda ms, ls: '%d.%d.%d.%d' % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        result['fixed'] = (quad(fms, fls), quad(pms, pls))
    for _, ckey, _, _, grand in children:
        if ckey == 'StringFileInfo':
            for _, table, _, _, strings in grand:
                result['strings'][table] = {
                    k: v.decode('utf-16-le').rstrip('\0') for _, k, _, v, _ in strings}
        elif ckey == 'VarFileInfo':
            for _, vkey, _, v, _ in grand:
                if vkey == 'Translation':
                    for i in range(0, len(v) - 3, 4):
                        result['translations'].append(struct.unpack_from('<HH', v, i))
    return result


def manifest_facts(text):
    """What the manifest asks for, by its XML, not by its spelling."""
    root = ET.fromstring(text)
    facts = {'common_controls_6': False, 'level': None, 'supported_os': [], 'dpi_aware': None,
             'dpi_awareness': None}
    for el in root.iter():
        tag = el.tag.split('}')[-1]
        if tag == 'assemblyIdentity' and el.get('name') == 'Microsoft.Windows.Common-Controls':
            facts['common_controls_6'] = el.get('version', '').startswith('6.')
        elif tag == 'requestedExecutionLevel':
            facts['level'] = el.get('level')
        elif tag == 'supportedOS':
            facts['supported_os'].append(el.get('Id', '').lower())
        elif tag == 'dpiAware':
            facts['dpi_aware'] = (el.text or '').strip()
        elif tag == 'dpiAwareness':
            facts['dpi_awareness'] = [s.strip() for s in (el.text or '').split(',')]
    return facts


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('exe')
    parser.add_argument('--version', help='the expected version, X.Y.Z or X.Y.Z.W')
    parser.add_argument('--dump', action='store_true')
    parser.add_argument('--image-size', type=int, help='bytes in the image STREAM0')
    args = parser.parse_args()

    with open(args.exe, 'rb') as f:
        pe = PE(f.read())
    res = pe.resources()
    manifests = [r for r in res if r[0] == RT_MANIFEST]
    versions = [r for r in res if r[0] == RT_VERSION]
    faults = []

    named = {(r[0], r[1]): len(r[3]) for r in res}
    if named.get((RT_IMAGE, 'STREAM0')) != args.image_size:
        faults.append('image STREAM0 of type 100: %s bytes, want %s' %
                      (named.get((RT_IMAGE, 'STREAM0')), args.image_size))
    if (RT_BITMAP, 'BITMAP0') not in named:
        faults.append('no bitmap BITMAP0')
    if (RT_GROUP_ICON, 'ZEDA') not in named:
        faults.append('no icon group ZEDA')
    if len(manifests) != 1 or manifests[0][1] != 1:
        faults.append('manifest resources: %s (want one, identifier 1)' %
                      [(r[1], r[2]) for r in manifests])
    if len(versions) != 1:
        faults.append('version resources: %d (want one)' % len(versions))
    if args.dump:
        for r in manifests:
            print(r[3].decode('utf-8', 'replace'))
        for r in versions:
            print(version_block(r[3]))
        return 0
    if faults:
        for f in faults:
            print('FAULT: ' + f)
        return 1

    m = manifest_facts(manifests[0][3].decode('utf-8'))
    print('manifest: %s' % m)
    if not m['common_controls_6']:
        faults.append('the manifest does not ask for Common Controls 6')
    if m['level'] != 'asInvoker':
        faults.append('execution level %r, want asInvoker' % m['level'])
    missing = [name for guid, name in SUPPORTED_OS.items() if guid not in m['supported_os']]
    if missing:
        faults.append('supportedOS lacks %s' % ', '.join(missing))
    if not m['dpi_awareness'] or m['dpi_awareness'][0] != 'PerMonitorV2':
        faults.append('dpiAwareness %r, want PerMonitorV2 first' % m['dpi_awareness'])
    if m['dpi_aware'] not in ('true', 'true/pm', 'True/PM'):
        faults.append('dpiAware fallback %r' % m['dpi_aware'])

    v = version_block(versions[0][3])
    print('version: %s' % v)
    lang = versions[0][2]
    if lang != 0x0419:
        faults.append('version resource language %#06x, want 0x0419 (Russian)' % lang)
    tables = v['strings']
    table = tables.get('041904B0') or tables.get('041904E3')
    if table is None:
        faults.append('no Russian string table (041904B0 or 041904E3): %s' % list(tables))
        table = {}
    if not any(t in ((0x0419, 1200), (0x0419, 1251)) for t in v['translations']):
        faults.append('translation %s, want Russian with 1200 or 1251' % v['translations'])
    if table.get('ProductName') != 'Magnetoflux bootloader':
        faults.append('ProductName %r' % table.get('ProductName'))
    if not table.get('FileDescription'):
        faults.append('no FileDescription')
    if args.version:
        want = (args.version.split('.') + ['0', '0', '0'])[:4]
        quad = '.'.join(str(int(x)) for x in want)
        if v['fixed'] != (quad, quad):
            faults.append('fixed file/product version %s, want %s' % (v['fixed'], quad))
        for key in ('FileVersion', 'ProductVersion'):
            if table.get(key) != args.version:
                faults.append('%s %r, want %r' % (key, table.get(key), args.version))
    for f in faults:
        print('FAULT: ' + f)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
