#!/usr/bin/env python3
"""Post-link step of the runtime KORVEX.exe.

The runtime finds a program that the linker appended to it through the four
bytes at file offset 128, which must hold 0 in the runtime as shipped. The
MinGW linker puts the PE signature exactly there (e_lfanew = 0x80). This
moves the PE headers (signature, file header, optional header, section table)
a few bytes further back, inside the header area that the first section
leaves free, points e_lfanew at the new place and zeroes bytes 128..131.

Usage: move_pe_header.py FILE   (the file is changed in place; running it
again on a processed file changes nothing)
"""
import struct
import sys

TARGET = 0x88  # new e_lfanew: behind bytes 128..131, 8-byte aligned


def fail(msg):
    sys.stderr.write('move_pe_header: ' + msg + '\n')
    sys.exit(1)


def main():
    if len(sys.argv) != 2:
        fail('usage: move_pe_header.py FILE')
    path = sys.argv[1]
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    if len(data) < 0x40 or data[:2] != b'MZ':
        fail(path + ': not an executable')
    lfanew = struct.unpack_from('<I', data, 0x3C)[0]
    if data[lfanew:lfanew + 4] != b'PE\0\0':
        fail(path + ': no PE signature at e_lfanew')
    if lfanew >= 132 and data[128:132] == b'\0\0\0\0':
        return  # already processed
    nsections, opt_size = struct.unpack_from('<H', data, lfanew + 6)[0], struct.unpack_from('<H', data, lfanew + 20)[0]
    headers_len = 4 + 20 + opt_size + 40 * nsections
    opt = lfanew + 24
    magic = struct.unpack_from('<H', data, opt)[0]
    if magic != 0x10B:
        fail(path + ': not a 32-bit PE file')
    size_of_headers = struct.unpack_from('<I', data, opt + 60)[0]
    first_raw = min((struct.unpack_from('<I', data, lfanew + 24 + opt_size + 40 * i + 20)[0]
                     for i in range(nsections)
                     if struct.unpack_from('<I', data, lfanew + 24 + opt_size + 40 * i + 16)[0] > 0),
                    default=size_of_headers)
    limit = min(size_of_headers, first_raw)
    new_end = TARGET + headers_len
    if new_end > limit:
        fail(path + ': no room to move the PE headers')
    old_end = lfanew + headers_len
    if any(data[old_end:new_end]):
        fail(path + ': the bytes behind the section table are in use')
    block = bytes(data[lfanew:old_end])
    data[lfanew:new_end] = b'\0' * (new_end - lfanew)
    data[TARGET:new_end] = block
    struct.pack_into('<I', data, 0x3C, TARGET)
    if data[128:132] != b'\0\0\0\0':
        fail(path + ': bytes 128..131 are not free')
    with open(path, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
