"""A small, slow legal-move generator that the UCI fuzz tool checks the engine's moves with.

Run on its own it checks itself against published perft counts.
"""

START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"


def sq(f, r):
    return r * 8 + f


def name(s):
    return "abcdefgh"[s & 7] + "12345678"[s >> 3]


class Pos:
    def __init__(self, fen=START):
        parts = fen.split()
        self.b = [None] * 64
        r, f = 7, 0
        for c in parts[0]:
            if c == '/':
                r -= 1; f = 0
            elif c.isdigit():
                f += int(c)
            else:
                self.b[sq(f, r)] = c; f += 1
        self.w = parts[1] == 'w'
        self.castle = set(parts[2]) - {'-'} if len(parts) > 2 else set()
        self.ep = None
        if len(parts) > 3 and parts[3] != '-':
            self.ep = sq(ord(parts[3][0]) - 97, int(parts[3][1]) - 1)
        self.half = int(parts[4]) if len(parts) > 4 else 0
        self.full = int(parts[5]) if len(parts) > 5 else 1

    def copy(self):
        p = Pos.__new__(Pos)
        p.b = self.b[:]; p.w = self.w; p.castle = set(self.castle); p.ep = self.ep
        p.half = self.half; p.full = self.full
        return p

    def fen(self):
        rows = []
        for r in range(7, -1, -1):
            s, e = "", 0
            for f in range(8):
                c = self.b[sq(f, r)]
                if c is None:
                    e += 1
                else:
                    if e: s += str(e); e = 0
                    s += c
            if e: s += str(e)
            rows.append(s)
        cs = "".join(c for c in "KQkq" if c in self.castle) or "-"
        ep = name(self.ep) if self.ep is not None else "-"
        return f"{'/'.join(rows)} {'w' if self.w else 'b'} {cs} {ep} {self.half} {self.full}"

    def own(self, c, white):
        return c is not None and (c.isupper() == white)

    def attacked(self, s, by_white):
        f, r = s & 7, s >> 3
        b = self.b
        pawn = 'P' if by_white else 'p'
        dr = -1 if by_white else 1
        for df in (-1, 1):
            ff, rr = f + df, r + dr
            if 0 <= ff < 8 and 0 <= rr < 8 and b[sq(ff, rr)] == pawn:
                return True
        kn = 'N' if by_white else 'n'
        kg = 'K' if by_white else 'k'
        for df, dr2 in ((1, 2), (2, 1), (-1, 2), (-2, 1), (1, -2), (2, -1), (-1, -2), (-2, -1)):
            ff, rr = f + df, r + dr2
            if 0 <= ff < 8 and 0 <= rr < 8 and b[sq(ff, rr)] == kn:
                return True
        for df in (-1, 0, 1):
            for dr2 in (-1, 0, 1):
                if df or dr2:
                    ff, rr = f + df, r + dr2
                    if 0 <= ff < 8 and 0 <= rr < 8 and b[sq(ff, rr)] == kg:
                        return True
        for dirs, pcs in ((((1, 0), (-1, 0), (0, 1), (0, -1)), "RQ"), (((1, 1), (1, -1), (-1, 1), (-1, -1)), "BQ")):
            if not by_white:
                pcs = pcs.lower()
            for df, dr2 in dirs:
                ff, rr = f + df, r + dr2
                while 0 <= ff < 8 and 0 <= rr < 8:
                    c = b[sq(ff, rr)]
                    if c is not None:
                        if c in pcs:
                            return True
                        break
                    ff += df; rr += dr2
        return False

    def king(self, white):
        k = 'K' if white else 'k'
        return self.b.index(k)

    def in_check(self):
        return self.attacked(self.king(self.w), not self.w)

    def pseudo(self):
        out = []
        b, W = self.b, self.w
        for s in range(64):
            c = b[s]
            if not self.own(c, W):
                continue
            f, r = s & 7, s >> 3
            t = c.upper()
            if t == 'P':
                dr = 1 if W else -1
                last = 7 if W else 0
                start = 1 if W else 6
                def add(to):
                    if to >> 3 == last:
                        for pr in "qrbn":
                            out.append(name(s) + name(to) + pr)
                    else:
                        out.append(name(s) + name(to))
                rr = r + dr
                if 0 <= rr < 8 and b[sq(f, rr)] is None:
                    add(sq(f, rr))
                    if r == start and b[sq(f, rr + dr)] is None:
                        out.append(name(s) + name(sq(f, rr + dr)))
                for df in (-1, 1):
                    ff = f + df
                    if 0 <= ff < 8 and 0 <= rr < 8:
                        to = sq(ff, rr)
                        if (b[to] is not None and not self.own(b[to], W)) or to == self.ep:
                            add(to)
            elif t in 'NK':
                deltas = ((1, 2), (2, 1), (-1, 2), (-2, 1), (1, -2), (2, -1), (-1, -2), (-2, -1)) if t == 'N' else \
                    ((1, 0), (-1, 0), (0, 1), (0, -1), (1, 1), (1, -1), (-1, 1), (-1, -1))
                for df, dr in deltas:
                    ff, rr = f + df, r + dr
                    if 0 <= ff < 8 and 0 <= rr < 8 and not self.own(b[sq(ff, rr)], W):
                        out.append(name(s) + name(sq(ff, rr)))
            else:
                dirs = []
                if t in 'RQ':
                    dirs += [(1, 0), (-1, 0), (0, 1), (0, -1)]
                if t in 'BQ':
                    dirs += [(1, 1), (1, -1), (-1, 1), (-1, -1)]
                for df, dr in dirs:
                    ff, rr = f + df, r + dr
                    while 0 <= ff < 8 and 0 <= rr < 8:
                        c2 = b[sq(ff, rr)]
                        if self.own(c2, W):
                            break
                        out.append(name(s) + name(sq(ff, rr)))
                        if c2 is not None:
                            break
                        ff += df; rr += dr
        # castling
        if W and b[4] == 'K':
            if 'K' in self.castle and b[7] == 'R' and b[5] is None and b[6] is None and not any(
                    self.attacked(x, False) for x in (4, 5, 6)):
                out.append("e1g1")
            if 'Q' in self.castle and b[0] == 'R' and b[1] is None and b[2] is None and b[3] is None and not any(
                    self.attacked(x, False) for x in (4, 3, 2)):
                out.append("e1c1")
        if not W and b[60] == 'k':
            if 'k' in self.castle and b[63] == 'r' and b[61] is None and b[62] is None and not any(
                    self.attacked(x, True) for x in (60, 61, 62)):
                out.append("e8g8")
            if 'q' in self.castle and b[56] == 'r' and b[57] is None and b[58] is None and b[59] is None and not any(
                    self.attacked(x, True) for x in (60, 59, 58)):
                out.append("e8c8")
        return out

    def make(self, m):
        p = self.copy()
        b = p.b
        fr = sq(ord(m[0]) - 97, int(m[1]) - 1)
        to = sq(ord(m[2]) - 97, int(m[3]) - 1)
        c = b[fr]
        cap = b[to] is not None
        b[fr] = None
        if c.upper() == 'P' and to == self.ep:
            b[to - 8 if self.w else to + 8] = None
            cap = True
        b[to] = c
        if len(m) > 4:
            b[to] = m[4].upper() if self.w else m[4]
        if c.upper() == 'K' and abs(to - fr) == 2:
            if to == 6: b[5], b[7] = b[7], None
            if to == 2: b[3], b[0] = b[0], None
            if to == 62: b[61], b[63] = b[63], None
            if to == 58: b[59], b[56] = b[56], None
        p.ep = None
        if c.upper() == 'P' and abs(to - fr) == 16:
            p.ep = (to + fr) // 2
        for s, rights in ((4, "KQ"), (60, "kq"), (0, "Q"), (7, "K"), (56, "q"), (63, "k")):
            if fr == s or to == s:
                p.castle -= set(rights)
        p.half = 0 if (cap or c.upper() == 'P') else p.half + 1
        if not self.w:
            p.full += 1
        p.w = not self.w
        return p

    def legal(self):
        res = []
        for m in self.pseudo():
            q = self.make(m)
            if not q.attacked(q.king(self.w), q.w):
                res.append(m)
        return res

    def ep_capturable(self):
        """FEN ep field only when a capture is possible (the engine drops it otherwise)."""
        return self.ep is not None and any(m[2:4] == name(self.ep) and self.b[sq(ord(m[0]) - 97, int(m[1]) - 1)].upper() == 'P'
                                           for m in self.legal())


def perft(p, d):
    if d == 0:
        return 1
    return sum(perft(p.make(m), d - 1) for m in p.legal())


if __name__ == "__main__":
    assert perft(Pos(), 3) == 8902, perft(Pos(), 3)
    kiwi = Pos("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1")
    assert perft(kiwi, 2) == 2039, perft(kiwi, 2)
    p3 = Pos("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1")
    assert perft(p3, 3) == 2812, perft(p3, 3)
    p4 = Pos("r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1")
    assert perft(p4, 3) == 9467, perft(p4, 3)
    print("ok")
