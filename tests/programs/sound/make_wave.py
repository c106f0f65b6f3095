#!/usr/bin/env python3
"""Writes beep.wav beside this script: 0.1 s of a 440 Hz sine, 8 kHz,
8-bit mono PCM. The checked-in file is its output."""
import math
import os
import struct

RATE, SAMPLES = 8000, 800
data = bytes(int(128 + 100 * math.sin(2 * math.pi * 440 * i / RATE)) for i in range(SAMPLES))
fmt = struct.pack('<IHHIIHH', 16, 1, 1, RATE, RATE, 1, 8)
wave = b'WAVE' + b'fmt ' + fmt + b'data' + struct.pack('<I', len(data)) + data
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'beep.wav'), 'wb') as f:
    f.write(b'RIFF' + struct.pack('<I', len(wave)) + wave)
