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


def dig(unit=1):
    """A DIG section: with the library's DIG sizes it carries no payload."""
    return section(record(kind=1, unit=unit), b"")


def dig_only(sections=40):
    """Enough DIG records to pass the 2048 bytes below which the library finds no section."""
    return b"".join(dig(i % 2) for i in range(sections)) + end_record()
