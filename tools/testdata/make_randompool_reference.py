#!/usr/bin/python3
# An independent model of the random pool's seeding, stirring and drawing, written from
# the design (60 SHA-1 slots seeded from clock samples and an HMAC-SHA1 of the first, a
# two-pass XOR stir with a running 20-byte value, 1,180 bytes drawn between stirs), run
# with every clock sample 0 and "OS" randomness that is a fixed pattern (byte i of the n-th
# request is 31 n + 7 i mod 256). Prints, as hex, the 32 bytes drawn in each of three runs
# from a fresh pool:
#   1. the first 32 bytes drawn, then the 32 drawn from offset 1,176 (across the second stir);
#   2. 100 bytes drawn, 63 + 1 bytes of 0x5c added, then the 32 drawn across the next stir;
#   3. 1,170 bytes drawn, 64 bytes of 0x33 added (across the end of the pool, which stirs),
#      then the next 32 drawn.
# Usage: /usr/bin/python3 tools/testdata/make_randompool_reference.py
import hashlib
import hmac

SIZE, PIECE, BLOCK = 1200, 20, 64


class Pool:
    def __init__(self):
        self.requests = 0
        self.pool = bytearray(SIZE)
        self.input = bytearray(BLOCK)
        self.count = 0
        self.position = 0
        self.seeded = False
        self.stirring = False

    def entropy(self, n):
        out = bytes((31 * self.requests + 7 * i) % 256 for i in range(n))
        self.requests += 1
        return out

    def mix_entropy(self, target):
        for i, b in enumerate(self.entropy(len(target))):
            target[i] ^= b

    def seed(self):
        sample = bytes(8)               # the stopped clock
        key = self.entropy(8)           # the HMAC key from the OS source
        slots = [bytearray(hashlib.sha1(sample).digest())]
        slots[0] = bytearray(hmac.new(key, bytes(slots[0]), hashlib.sha1).digest())
        for k in range(59):
            for i in range(8):
                slots[k][i] ^= sample[i]
            slots.append(bytearray(hashlib.sha1(bytes(slots[k])).digest()))
        self.pool = bytearray(b"".join(bytes(s) for s in slots))
        self.mix_entropy(self.pool)
        self.seeded = True

    def fill(self):
        if not self.seeded:
            self.seed()
        if self.stirring:
            return
        self.stirring = True
        self.add(bytes(8))
        value = bytearray(hashlib.sha1(bytes(self.input)).digest())
        self.count = 0
        self.mix_entropy(self.pool)
        for _ in range(2):
            for offset in range(SIZE - PIECE, -1, -PIECE):
                for i in range(PIECE):
                    self.pool[offset + i] ^= value[i]
                value = bytearray(self.pool[offset:offset + PIECE])
        self.position = PIECE
        self.stirring = False

    def add(self, data):
        data = bytes(data)
        while len(data) >= BLOCK - self.count:
            missing = BLOCK - self.count
            self.input[self.count:BLOCK] = data[:missing]
            data = data[missing:]
            digest = hashlib.sha1(bytes(self.input)).digest()
            for b in digest:
                if self.position >= SIZE:
                    self.position = 0
                self.pool[self.position] ^= b
                self.position += 1
            if self.position < PIECE:
                self.fill()
            self.count = 0
        self.input[self.count:self.count + len(data)] = data
        self.count += len(data)

    def draw(self, n):
        out = bytearray()
        for _ in range(n):
            if not self.seeded or self.position >= SIZE:
                self.fill()
            out.append(self.pool[self.position])
            self.position += 1
        return bytes(out)


pool = Pool()
first = pool.draw(32)
pool.draw(1176 - 32)
print(first.hex() + pool.draw(32).hex())
pool = Pool()
pool.draw(100)
pool.add(b"\x5c" * 63)
pool.add(b"\x5c")
print(pool.draw(1112)[-32:].hex())
pool = Pool()
pool.draw(1170)
pool.add(b"\x33" * 64)
print(pool.draw(32).hex())
