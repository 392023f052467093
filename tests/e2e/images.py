"""Serial download images for the end-to-end tests: section records, header areas, payloads."""
import random
import struct


def record(flag=1, program=0, kind=0, unit=0, length=0, rest=0):
    r = bytearray(44)
    r[0] = flag
    r[1:30] = b"KORVANTEX" + b" " * 20
    r[31] = program
    r[32] = kind
    r[33] = unit
    r[34:38] = struct.pack(">I", length)
    r[38:44] = bytes([rest]) * 6
    return bytes(r)


def payload(length, seed):
    rng = random.Random(seed)
    return bytes(rng.getrandbits(8) for _ in range(length))


def section(rec, data, filler=0xFF):
    return rec + bytes([filler]) * 20 + data


def end_record():
    return record(flag=1, kind=7, rest=0x5C)


def one_anal_section(seed=1):
    """64 + 14336 + 44 = 14444 bytes."""
    return section(record(), payload(0x3800, seed)) + end_record()


def program(length, seed=2):
    return section(record(program=1, length=length), payload(length, seed)) + end_record()
