# A virtual MIFARE Classic card for the PC/SC reader's tests: it connects to
# pcscd's virtual reader driver (vsmartcard-vpcd, port 35963) through
# python3-virtualsmartcard and answers the PC/SC storage-card commands from a
# memory image: get data (the UID), load key, general authenticate (key A of
# the block's sector) and read binary (a block of an authenticated sector).
# Usage: virtual_mifare.py <key A, 12 hex digits> <card number, 12 digits>
import sys, logging
sys.path.insert(0, '/usr/lib/python3/site-packages/virtualsmartcard')
import types
sys.modules.setdefault('sha', types.ModuleType('sha'))  # only the crypto cards need it
from virtualsmartcard.VirtualSmartcard import VirtualICC, SmartcardOS

class Mifare(SmartcardOS):
    def __init__(self, key, number):
        self.mem = bytearray(64 * 16)
        for s in range(16):
            t = (s * 4 + 3) * 16
            self.mem[t:t+6] = key
            self.mem[t+6:t+10] = bytes.fromhex('FF078069')
            self.mem[t+10:t+16] = b'\xff' * 6
        self.mem[4*16:5*16] = ('0000' + number).encode()[:16]
        self.slot = None; self.authed = None
    def getATR(self): return bytes.fromhex('3B8F8001804F0CA000000306030001000000006A')
    def powerUp(self): pass
    def powerDown(self): self.authed = None
    def reset(self): self.authed = None
    def execute(self, m):
        m = bytes(m)
        # Malformed commands are refused as a reader would: wrong length
        # 6700, wrong parameters 6A86.
        if m[:2] == b'\xff\xca':
            if m != bytes.fromhex('FFCA000000'): return b'\x6a\x86'
            return bytes.fromhex('04A1B2C3') + b'\x90\x00'
        if m[:2] == b'\xff\x82':
            if len(m) != 11 or m[4] != 6: return b'\x67\x00'
            if m[2:4] != b'\x00\x00': return b'\x6a\x86'
            self.slot = m[5:11]; return b'\x90\x00'
        if m[:2] == b'\xff\x86':
            if len(m) != 10 or m[4] != 5: return b'\x67\x00'
            if m[2:4] != b'\x00\x00' or m[5] != 1 or m[6] != 0 or m[8] != 0x60 or m[9] != 0:
                return b'\x6a\x86'  # version 1, key A in slot 0 only
            block = m[7]; t = (block // 4 * 4 + 3) * 16
            if self.slot is not None and self.mem[t:t+6] == self.slot: self.authed = block // 4; return b'\x90\x00'
            self.authed = None; return b'\x63\x00'
        if m[:2] == b'\xff\xb0':
            if len(m) != 5 or m[2] != 0 or m[4] != 0x10: return b'\x67\x00'
            block = m[3]
            if self.authed != block // 4: return b'\x69\x82'
            return bytes(self.mem[block*16:block*16+16]) + b'\x90\x00'
        return b'\x6d\x00'

logging.basicConfig(level=logging.WARNING)
v = VirtualICC(None, 'iso7816', 'localhost', 35963)
v.os = Mifare(bytes.fromhex(sys.argv[1]), sys.argv[2])
v.run()
