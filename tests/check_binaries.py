#!/usr/bin/env python3
"""Checks that the Windows programs are 32-bit GUI executables that import
only DLLs Windows itself ships (no MinGW runtime DLLs). Prints the plain
'N passed, N failed' line."""
import os
import struct
import sys

SYSTEM_DLLS = {
    'kernel32.dll', 'user32.dll', 'gdi32.dll', 'comctl32.dll', 'comdlg32.dll', 'advapi32.dll',
    'shell32.dll', 'ole32.dll', 'oleaut32.dll', 'olepro32.dll', 'winmm.dll', 'opengl32.dll',
    'glu32.dll', 'msvcrt.dll', 'version.dll', 'winspool.drv', 'ws2_32.dll',
}
IMAGE_FILE_MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
SUBSYSTEM_WINDOWS_GUI = 2


def rva_to_offset(sections, rva):
    for va, size, raw in sections:
        if va <= rva < va + max(size, 1):
            return rva - va + raw
    raise ValueError(f'RVA {rva:#x} outside every section')


def read_cstr(data, off):
    end = data.index(b'\0', off)
    return data[off:end].decode('ascii')


def check(path):
    problems = []
    data = open(path, 'rb').read()
    if data[:2] != b'MZ':
        return ['no MZ header']
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        return ['no PE signature']
    machine, nsec, _, _, _, optsize, _ = struct.unpack_from('<HHIIIHH', data, pe + 4)
    opt = pe + 24
    magic = struct.unpack_from('<H', data, opt)[0]
    subsystem = struct.unpack_from('<H', data, opt + 68)[0]
    if machine != IMAGE_FILE_MACHINE_I386:
        problems.append(f'machine {machine:#x} is not i386')
    if magic != PE32_MAGIC:
        problems.append('not PE32')
    if subsystem != SUBSYSTEM_WINDOWS_GUI:
        problems.append(f'subsystem {subsystem} is not GUI')
    import_rva = struct.unpack_from('<I', data, opt + 96 + 8)[0]
    sections = []
    for i in range(nsec):
        s = opt + optsize + 40 * i
        vsize, va, rawsize, raw = struct.unpack_from('<IIII', data, s + 8)
        sections.append((va, max(vsize, rawsize), raw))
    off = rva_to_offset(sections, import_rva)
    while True:
        name_rva = struct.unpack_from('<I', data, off + 12)[0]
        if name_rva == 0:
            break
        dll = read_cstr(data, rva_to_offset(sections, name_rva)).lower()
        if dll not in SYSTEM_DLLS:
            problems.append(f'imports {dll}')
        off += 20
    return problems


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else 'build/win32'
    passed = failed = 0
    for exe in ('KORVID.exe', 'KORVEX.exe', 'KORVAC.exe'):
        path = os.path.join(build, exe)
        if not os.path.exists(path):
            continue
        problems = check(path)
        if problems:
            failed += 1
            print(f'FAIL {exe}: ' + '; '.join(problems))
        else:
            passed += 1
    print(f'{passed} passed, {failed} failed')
    return 0 if failed == 0 and passed > 0 else 1


if __name__ == '__main__':
    sys.exit(main())
