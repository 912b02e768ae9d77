"""Sound fixtures made by the tests, and reading what SDL's disk audio driver wrote."""

import array
import math
import struct
import wave

RATE = 44100  # the disk driver writes S16LE stereo at this rate


def write_midi(path, notes, ticks_per_beat=480, program=0):
    """A type-0 Standard MIDI File: (key, beats) notes one after another at 120 bpm,
    on a General MIDI program (0, a piano, by default)."""
    events = bytearray(b"\x00\xc0" + bytes([program]))
    for key, beats in notes:
        events += b"\x00\x90" + bytes([key, 100])
        events += variable_length(int(beats * ticks_per_beat)) + b"\x80" + bytes([key, 0])
    events += b"\x00\xff\x2f\x00"
    with open(path, "wb") as f:
        f.write(b"MThd" + struct.pack(">IHHH", 6, 0, 1, ticks_per_beat))
        f.write(b"MTrk" + struct.pack(">I", len(events)) + bytes(events))


def variable_length(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def write_wave(path, tone_s, silence_s, frequency=440):
    """A mono 16-bit wave: a tone, then silence."""
    samples = array.array("h")
    for i in range(int(tone_s * 22050)):
        samples.append(int(12000 * math.sin(2 * math.pi * frequency * i / 22050)))
    samples.extend([0] * int(silence_s * 22050))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(22050)
        w.writeframes(samples.tobytes())


def loudness(path, window_s=0.05):
    """The peak of each window of the rendered file, both channels."""
    data = array.array("h")
    with open(path, "rb") as f:
        data.frombytes(f.read())
    step = int(RATE * window_s) * 2
    return [max((abs(v) for v in data[i:i + step]), default=0) for i in range(0, len(data), step)]
