#!/usr/bin/env python3
"""Makes a delay-load import library from MinGW's import library of a DLL.

usage: make_delay_lib.py NM DLLTOOL IMPORT_LIB DLL_NAME OUTPUT

The exported functions are read from the import library (its stdcall thunks
_Name@N), written to a module definition file and turned into a library
whose thunks load the DLL on the first call (dlltool --output-delaylib).
Callers must call the thunks, not the import pointers: the programs are
compiled with DECLSPEC_IMPORT defined empty.
"""
import os
import re
import subprocess
import sys

THUNK = re.compile(r'^[0-9a-fA-F]+ T _(\w+(?:@\d+)?)$')


def exports(nm, import_lib):
    out = subprocess.run([nm, import_lib], check=True, capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        m = THUNK.match(line.strip())
        if m and not m.group(1).startswith(('_imp_', 'imp_', '_head_')) and not m.group(1).endswith('_iname'):
            names.add(m.group(1))
    return sorted(names)


def main():
    nm, dlltool, import_lib, dll, output = sys.argv[1:6]
    names = exports(nm, import_lib)
    if not names:
        raise SystemExit(f'no exports found in {import_lib}')
    definition = output + '.def'
    with open(definition, 'w') as f:
        f.write(f'LIBRARY {dll}\nEXPORTS\n')
        for n in names:
            f.write(n + '\n')
    if os.path.exists(output):
        os.remove(output)
    # -k: the DLL exports the undecorated names of the stdcall functions.
    subprocess.run([dlltool, '-k', '-d', definition, '-y', output], check=True)


if __name__ == '__main__':
    main()
