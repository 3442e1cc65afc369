#!/usr/bin/env python3
"""Throws hostile UCI input at the engine and checks that it keeps answering.

Not part of the test suite: a tool for robustness hunts.  Each campaign runs
for a time budget; after every step the engine must answer "isready", every
search must end in one "bestmove" line, and a position the tool knows must be
answered with a legal move (checked by chesslite.py).  Sanitizer reports of
the master and its workers are collected in FUZZLOG.

  python3 tests/tools/uci_fuzz.py [seed] [seconds per campaign] [campaigns] [Max CPUs]

campaigns: a comma-separated choice of fen, moves, go, chaos, team, dribble,
bytes, eof (default: all).  ORVEX names the program (default: build-san/orvex,
else build/orvex).  A failing step leaves the input that led to it in
FUZZLOG/repro.* and the whole conversation in FUZZLOG/talk.*.
"""
import os, sys, time, random, subprocess, threading, queue, glob, shutil, re

from chesslite import Pos, name

_ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
_DEFAULT_BIN = next((p for p in (os.path.join(_ROOT, "build-san", "orvex"), os.path.join(_ROOT, "build", "orvex"))
                     if os.path.exists(p)), "orvex")
BIN = os.environ.get("ORVEX", _DEFAULT_BIN)
LOGDIR = os.environ.get("FUZZLOG", "/tmp/orvexfuzz")
MOVE_RE = re.compile(r"^bestmove ([a-h][1-8][a-h][1-8][qrnb]?)( ponder ([a-h][1-8][a-h][1-8][qrnb]?))?$")
LINE_MAX = 8191


class Fault(Exception):
    pass


class Engine:
    def __init__(self, cpus):
        os.makedirs(LOGDIR, exist_ok=True)
        env = dict(os.environ)
        env["ASAN_OPTIONS"] = f"log_path={LOGDIR}/asan:detect_leaks=0"
        env["UBSAN_OPTIONS"] = f"log_path={LOGDIR}/ubsan:print_stacktrace=1"
        self.p = subprocess.Popen([BIN], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=open(f"{LOGDIR}/stderr.{os.getpid()}", "ab"), env=env)
        self.q = queue.Queue()
        self.log = []  # what we sent, for reproduction
        t = threading.Thread(target=self._reader, daemon=True)
        t.start()
        self.send(f"setoption name Max CPUs value {cpus}")
        self.send("setoption name Output value Sparse")
        self.sync(30)

    def _reader(self):
        for raw in self.p.stdout:
            self.log.append(b"<< " + raw)
            self.q.put(raw.decode("latin-1").rstrip("\n"))
        self.q.put(None)

    def send(self, text, newline=True):
        data = text.encode("latin-1") if isinstance(text, str) else text
        if newline:
            data += b"\n"
        self.log.append(data)
        try:
            self.p.stdin.write(data)
            self.p.stdin.flush()
        except (BrokenPipeError, OSError):
            raise Fault(f"engine stopped reading (rc={self.p.poll()})")

    def line(self, timeout):
        try:
            l = self.q.get(timeout=timeout)
        except queue.Empty:
            raise Fault(f"no output within {timeout}s")
        if l is None:
            raise Fault(f"output ended (rc={self.p.wait()})")
        return l

    def sync(self, timeout=20, extra=0):
        """extra: readyok answers owed to lines sent before (lines that begin with isready)."""
        self.send("isready")
        end = time.time() + timeout
        lines = []
        while True:
            l = self.line(max(0.1, end - time.time()))
            if l == "readyok":
                if extra == 0:
                    return lines
                extra -= 1
                continue
            lines.append(l)

    def bestmove(self, timeout=30):
        end = time.time() + timeout
        self.ready_seen = 0
        while True:
            l = self.line(max(0.1, end - time.time()))
            if l == "readyok":
                self.ready_seen += 1
            if l.startswith("bestmove"):
                return l

    def drain(self):
        out = []
        while True:
            try:
                l = self.q.get_nowait()
            except queue.Empty:
                return out
            if l is None:
                raise Fault(f"output ended (rc={self.p.wait()})")
            out.append(l)

    def close(self):
        try:
            self.send("quit")
        except Fault:
            pass
        try:
            self.p.wait(10)
        except subprocess.TimeoutExpired:
            self.p.kill()
            raise Fault("no exit after quit")


def check_logs():
    bad = [f for f in glob.glob(f"{LOGDIR}/asan*") + glob.glob(f"{LOGDIR}/ubsan*")]
    if bad:
        raise Fault("sanitizer report: " + ", ".join(bad))
    for f in glob.glob(f"{LOGDIR}/stderr.*"):
        if os.path.getsize(f) > 0:
            raise Fault("stderr output in " + f)


def check_move(line, pos):
    """pos: a Pos the engine must have accepted, or None for unknown (form check only)."""
    m = MOVE_RE.match(line)
    if not m:
        raise Fault(f"malformed bestmove line {line!r}")
    mv = m.group(1)
    if pos is None:
        return
    legal = pos.legal()
    if not legal:
        return  # no move exists; any answer is accepted here (we look at them by hand)
    if mv not in legal:
        raise Fault(f"illegal bestmove {mv} in {pos.fen()}; legal: {' '.join(legal)}")
    if m.group(3):
        after = pos.make(mv)
        if m.group(3) not in after.legal():
            raise Fault(f"illegal ponder move {m.group(3)} after {mv} in {pos.fen()}")


# ---------------------------------------------------------------- generators

def random_game_pos(rng, plies):
    p = Pos()
    moves = []
    for _ in range(plies):
        legal = p.legal()
        if not legal:
            break
        m = rng.choice(legal)
        moves.append(m)
        p = p.make(m)
    return p, moves


def engine_fen(p):
    """FEN text of a position the engine should accept as given."""
    q = p.copy()
    if q.ep is not None and not q.ep_capturable():
        q.ep = None
    return q.fen()


def random_placement(rng):
    """A random legal-looking placement (kings, side not to move not in check)."""
    while True:
        b = [None] * 64
        sqs = rng.sample(range(64), 2)
        b[sqs[0]] = 'K'; b[sqs[1]] = 'k'
        n = rng.randint(0, 14)
        for _ in range(n):
            c = rng.choice("PNBRQpnbrq")
            s = rng.randrange(64)
            if b[s] is None and not (c in "Pp" and (s < 8 or s >= 56)):
                b[s] = c
        if sum(1 for c in b if c == 'P') > 8 or sum(1 for c in b if c == 'p') > 8:
            continue
        p = Pos("4k3/8/8/8/8/8/8/4K3 w - -")
        p.b = b
        p.w = rng.random() < 0.5
        p.castle = set(); p.ep = None
        if abs((sqs[0] & 7) - (sqs[1] & 7)) <= 1 and abs((sqs[0] >> 3) - (sqs[1] >> 3)) <= 1:
            continue
        if p.attacked(p.king(not p.w), p.w):
            continue
        return p


def mutate_text(rng, s):
    s = list(s)
    for _ in range(rng.randint(1, 4)):
        op = rng.randrange(6)
        i = rng.randrange(len(s) + 1)
        if op == 0 and s:
            del s[min(i, len(s) - 1)]
        elif op == 1:
            s.insert(i, chr(rng.choice([rng.randrange(1, 256), ord(rng.choice("pnbrqkPNBRQK12345678/ -wbKQkqa-h"))])))
        elif op == 2 and s:
            s[min(i, len(s) - 1)] = rng.choice("pnbrqkPNBRQK0123456789/ -wbKQkqeh\x80\xff")
        elif op == 3:
            s = s[:i]
        elif op == 4:
            s.insert(i, rng.choice(["9", "88", "/", "//", "  ", "K", "k", "P", "p", "\x00", "\r", "\t", "moves", "fen"]))
        else:
            j = rng.randrange(len(s) + 1)
            s[i:i] = s[j:j + rng.randint(1, 10)]
    return "".join(s)


HOSTILE_FENS = [
    "", " ", "8/8/8/8/8/8/8/8 w - -", "k7/8/8/8/8/8/8/K7", "K7/8/8/8/8/8/8/k7 b",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 999999999999999999999 -5",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkqKQkq e3e6 0 1",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq z9 0 1",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq i3 0 1",
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq e\xff 0 1",
    "PPPPPPPP/PPPPPPPP/PPPPPPPP/PPPPPPPP/pppppppp/pppppppp/pppppppp/ppppppkK w - -",
    "QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/QQQQkQQQ/qqqqqqqq/qqqqqqqq/qqqqqqqq/qqqqqqqK w - -",
    "kkkkkkkk/8/8/8/8/8/8/KKKKKKKK w - -",
    "7k/8/8/8/8/8/8/K6P w - -", "Pk6/8/8/8/8/8/8/K7 b - -", "k7/8/8/8/8/8/8/K6p w - -",
    "99999999/8/8/8/8/8/8/8 w", "k/K w", "1k/2/3/4/5/6/7/8K w - -",
    "8/8/8/8/8/8/8/8/8/8/8/8/8/k7/K7 w - -",
    "4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1",
    "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
    "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",
    "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1",
    "4k3/8/8/3pP3/8/8/8/4K3 b - d6 0 1",
    "4k3/8/8/3pP3/8/8/8/4K3 w - e6 0 1",
    "4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1",
    "4k3/8/8/8/3Pp3/8/8/4K3 b - d6 0 1",
    "4k3/8/8/K2pP2r/8/8/8/8 w - d6 0 1",
    "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2",  # mate available
    "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",   # checkmated
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",                                  # stalemate
    "k7/8/KQ6/8/8/8/8/8 w - - 0 1",
    "4k3/4q3/8/8/8/8/8/4K3 w - -",   # in check
    "4k3/8/8/8/8/8/3q1q2/4K3 w - -",
    "4k3/8/8/b7/8/8/8/4K3 w - - ",
    "4k3/8/8/8/8/8/8/4K3 w - - 0 1 extra tokens here",
    "\x00\x01\x02", "\x80" * 50, "/" * 200, "1" * 300, "8/" * 100,
]


def hostile_fen(rng):
    r = rng.random()
    if r < 0.25:
        return rng.choice(HOSTILE_FENS)
    if r < 0.45:
        p, _ = random_game_pos(rng, rng.randint(0, 80))
        return mutate_text(rng, engine_fen(p))
    if r < 0.55:
        n = rng.randint(0, 120)
        return "".join(chr(rng.randrange(1, 256)) for _ in range(n))
    if r < 0.7:
        return mutate_text(rng, rng.choice(HOSTILE_FENS[:30]))
    p = random_placement(rng)
    return mutate_text(rng, engine_fen(p))


def emulate_moves(start, text):
    """The position the engine reaches from `start` by the move text, by its rules."""
    p = start
    i = 0
    sqt = lambda j: j + 1 < len(text) and 'a' <= text[j] <= 'h' and '1' <= text[j + 1] <= '8'
    while sqt(i) and sqt(i + 2):
        promo = text[i + 4] if i + 4 < len(text) and text[i + 4] in "bnqr" else ""
        mv = text[i:i + 4] + promo
        if mv not in p.legal():
            break
        p = p.make(mv)
        if i + 4 >= len(text):
            break
        i += 5
        while i < len(text) and text[i] == ' ':
            i += 1
    return p


def cut_line(line):
    """What the engine keeps of a position line: first 8191 chars, NUL-cut, trailing blanks
    and a trailing 'moves' removed."""
    line = line[:LINE_MAX]
    line = line.split("\x00")[0]
    line = line.rstrip(" \r\n")
    if len(line) >= 6 and line.endswith("moves"):
        line = line[:-6]
    return line


def expected_from_line(line):
    """Position for a 'position startpos moves ...' line, or None when unsure."""
    line = cut_line(line)
    if "fen" in line:
        return None
    k = line.find("moves")
    if k < 0:
        return Pos()
    text = line[k + 6:] if k + 5 < len(line) else ""
    return emulate_moves(Pos(), text)


def hostile_move_token(rng, p):
    r = rng.random()
    legal = p.legal()
    if r < 0.6 and legal:
        return rng.choice(legal), True
    if r < 0.7:
        return rng.choice(["e2e4", "e1g1", "e8c8", "a7a8q", "e7e8k", "a1a1", "h8h8", "e2e9", "i2i4", "0000",
                           "e2e4q", "g1f3n", "e7e8", "b7a8b", "@@@@", "e2", "e2e", "E2E4", "e2-e4", "\x80\x81e4",
                           "a2a4\x00junk", "e2e4\re7e5"]), False
    if r < 0.85:
        # pseudo-random square pairs
        return name(rng.randrange(64)) + name(rng.randrange(64)) + rng.choice(["", "", "q", "r", "b", "n", "x"]), False
    n = rng.randint(1, 7)
    return "".join(chr(rng.randrange(33, 127)) for _ in range(n)), False


# ---------------------------------------------------------------- campaigns

def go_check(e, pos, depth=2, timeout=60):
    e.send(f"go depth {depth}")
    check_move(e.bestmove(timeout), pos)


def campaign_fen(e, rng, deadline):
    n = 0
    while time.time() < deadline:
        n += 1
        if rng.random() < 0.4:
            if rng.random() < 0.5:
                p, _ = random_game_pos(rng, rng.randint(0, 120))
            else:
                p = random_placement(rng)
            fen = engine_fen(p)
            if rng.random() < 0.3:  # drop counters or use huge ones
                parts = fen.split()
                fen = " ".join(parts[:4]) if rng.random() < 0.5 else " ".join(parts[:4] + [str(rng.randrange(10 ** 12)), str(-rng.randrange(10 ** 12))])
            e.send("position fen " + fen)
            go_check(e, p, depth=rng.choice([1, 2, 3]))
        else:
            fen = hostile_fen(rng)
            e.send("position fen " + fen)
            e.send("go depth 2")
            check_move(e.bestmove(60), None)
        e.sync()
    return n


def campaign_moves(e, rng, deadline):
    n = 0
    while time.time() < deadline:
        n += 1
        r = rng.random()
        p = Pos()
        toks = []
        if r < 0.15:
            # knights shuffling: repetition, fifty-move and key history limits
            cycle = ["g1f3", "g8f6", "f3g1", "f6g8"] if rng.random() < 0.5 else ["b1c3", "b8c6", "c3b1", "c6b8"]
            count = rng.choice([100, 400, 767, 768, 769, 1000, 1023, 1024, 1025, 1600, 1700, 3000])
            toks = [cycle[i % 4] for i in range(count)]
            if rng.random() < 0.5:
                toks.append(rng.choice(["e2e4", "e7e5", "d2d4"]))
        elif r < 0.25:
            # a long random game
            for _ in range(rng.randint(100, 600)):
                legal = p.legal()
                if not legal:
                    break
                m = rng.choice(legal)
                toks.append(m)
                p = p.make(m)
        else:
            for _ in range(rng.randint(0, 40)):
                tok, ok = hostile_move_token(rng, p)
                toks.append(tok)
                if ok:
                    p = p.make(tok)
        sep = rng.choice([" ", " ", "  ", " ", "\t", ","])
        line = "position startpos moves " + sep.join(toks)
        if rng.random() < 0.1:
            line += rng.choice([" ", "   ", " \r", " moves", "moves"])
        if rng.random() < 0.05:
            line = line.replace("startpos ", "")
        e.send(line)
        expect = expected_from_line(line) if "\r" not in line[:-1] else None
        go_check(e, expect, depth=rng.choice([1, 2, 3]))
        e.sync()
    return n


GO_TOKENS = ["wtime", "btime", "winc", "binc", "movestogo", "depth", "nodes", "mate", "movetime", "infinite",
             "ponder", "searchmoves"]


def rnd_value(rng):
    return rng.choice(["0", "-1", "1", "5", "50", "300", str(rng.randrange(1000)), str(rng.randrange(10 ** 6)),
                       "2147483647", "2147483648", "4294967295", "4294967296", "-2147483648", "9" * 30, "-" + "9" * 30,
                       "abc", "", "+7", "--3", "0x10", "1e9", "\x00", "nan"])


def campaign_go(e, rng, deadline):
    n = 0
    while time.time() < deadline:
        n += 1
        if rng.random() < 0.5:
            p, _ = random_game_pos(rng, rng.randint(0, 60))
        else:
            p = random_placement(rng)
        e.send("position fen " + engine_fen(p))
        toks = ["go"]
        held = False
        for _ in range(rng.randint(0, 8)):
            t = rng.choice(GO_TOKENS)
            toks.append(t)
            if t in ("infinite", "ponder"):
                held = True
            elif t == "searchmoves":
                legal = p.legal()
                for _ in range(rng.choice([0, 1, 2, 5, 300])):
                    toks.append(rng.choice(legal) if legal and rng.random() < 0.5 else
                                name(rng.randrange(64)) + name(rng.randrange(64)))
            elif rng.random() < 0.9:
                toks.append(rnd_value(rng))
        line = " ".join(toks)
        # keep the searches short: a node limit or a short movetime unless already limited
        if rng.random() < 0.5:
            line += rng.choice([" nodes 3000", " depth 3", " movetime 50"])
        e.send(line)
        try:
            bm = e.bestmove(1.5)
        except Fault:
            e.send("stop")
            bm = e.bestmove(30)
        eline = line.split("\x00")[0]
        if "searchmoves" not in eline:
            check_move(bm, p)
        else:
            check_move(bm, None)
            mv = bm.split()[1]
            legal = set(p.legal())
            toks2 = re.split(r"[ \t\r\n]+", eline.strip(" \t\r\n"))[1:]
            named = []
            seen = False
            i = 0
            while i < len(toks2):
                t = toks2[i]
                i += 1
                if t in GO_TOKENS:
                    if t == "searchmoves":
                        seen = True
                    elif t not in ("infinite", "ponder"):
                        i += 1  # its value, whatever it is
                    continue
                if seen and len(t) in (4, 5) and re.match(r"^[a-h][1-8][a-h][1-8]", t):
                    named.append(t if len(t) == 5 and t[4] in "bnqr" else t[:4])
            allowed = {t for t in named[:255] if t in legal and not (len(t) == 5 and t[4] == "b")}
            if not named:
                check_move(bm, p)
            elif not allowed and mv != "a1a1":
                raise Fault(f"searchmoves: {bm} though no named move is legal: {line!r} in {p.fen()}")
            if allowed and mv not in allowed:
                raise Fault(f"searchmoves: {bm} not among {sorted(allowed)}: {line!r} in {p.fen()}")
        extra = e.sync()
        if any(l.startswith("bestmove") for l in extra):
            raise Fault(f"extra bestmove after {line!r}: {extra}")
    return n


OPTION_NAMES = ["Hash", "hash", "Max CPUs", "max cpus", "Display Draw Scores", "Output", "Engine Priority",
                "IO Supplementation", "Compensate Lost Time", "NalimovPath", "NalimovCache", "NalimovUsage",
                "Preserve Analysis", "Clear Hash", "clear hash", "Ponder", "MultiPV", "multipv", "UCI_ShowCurrLine",
                "UCI_LimitStrength", "UCI_Elo", "Server Buffer", "UCI_AnalyseMode", "UCI_Opponent", "UCI_EngineAbout",
                "Contempt", "Outlook", "Rate Of Play", "Time Usage", "Emergency Time Buffer", "Bogus"]
OPTION_VALUES = ["true", "false", "Verbose", "Normal", "Sparse", "Low", "Normal", "NormalAndLow", "Never",
                 "Frequently", "Very Pessimistic", "Ultra Optimistic", "Ultraslow", "Fast", "Constant", "Small",
                 "Large", "/nonexistent", "/tmp", "", "x" * 3000]


def random_setoption(rng, allow_heavy=True, cpus=1):
    name_ = rng.choice(OPTION_NAMES)
    if name_ in ("Max CPUs", "max cpus"):
        v = rng.choice(["1", "2", "0", "-5", "3", str(cpus)]) if allow_heavy else str(cpus)
    elif name_ in ("Hash", "hash"):
        v = rng.choice(["1", "2", "16", "0", "-1", "99999999999", "4096"]) if allow_heavy else "16"
        if v == "4096" and rng.random() < 0.8:
            v = "8"
    elif name_ in ("NalimovPath",):
        v = rng.choice(["", "/nonexistent", "/tmp;/nonexistent,", "x" * 500])
    elif name_ == "Output":
        v = rng.choice(["Normal", "Sparse", "Verbose", "bogus"])
    elif name_ in ("IO Supplementation",):
        v = "false"  # the idle re-sends would confuse the bestmove counting here
    else:
        v = rng.choice(OPTION_VALUES + [rnd_value(rng)])
    form = rng.random()
    if form < 0.8:
        return f"setoption name {name_} value {v}"
    if form < 0.9:
        return f"setoption name {name_} value"
    return f"setoption name {name_}"


def campaign_chaos(e, rng, deadline, cpus):
    """Interleaved commands during searches.  Tracks how many bestmove lines are owed."""
    n = 0
    pos = Pos()
    e.send("position startpos")
    while time.time() < deadline:
        n += 1
        # a fresh known position while idle
        if rng.random() < 0.5:
            pos, moves = random_game_pos(rng, rng.randint(0, 40))
            e.send("position startpos moves " + " ".join(moves) if moves else "position startpos")
        kind = rng.choice(["depth", "nodes", "movetime", "infinite", "ponder", "infinite"])
        go = {"depth": "go depth 3", "nodes": "go nodes 5000", "movetime": "go movetime 50",
              "infinite": "go infinite", "ponder": "go ponder wtime 2000 btime 2000"}[kind]
        e.send(go)
        held = kind in ("infinite", "ponder")
        hit = False
        # disturb it
        for _ in range(rng.randint(0, 6)):
            r = rng.random()
            if r < 0.2:
                e.send("isready")
            elif r < 0.35:
                e.send(random_setoption(rng, allow_heavy=(rng.random() < 0.15), cpus=cpus))
            elif r < 0.45 and kind == "infinite":
                e.send("tt")  # ignored: an infinite search keeps the engine busy until "stop"
            elif r < 0.55 and kind == "infinite":
                e.send(rng.choice(["position startpos moves e2e4", "position fen 8/8/8/8/8/8/8/8 w - -", "go depth 1",
                                   "go infinite", "ucinewgame"]))
            elif r < 0.6:
                e.send(rng.choice(["", "   ", "\r", "\x00", "garbage", "uci", "debug on", "register later"]))
            elif r < 0.65 and kind == "ponder" and not hit:
                e.send("ponderhit")  # a second one after the search ended would repeat its report
                hit = True
            time.sleep(rng.choice([0, 0, 0.01, 0.05]))
        if held:
            time.sleep(rng.choice([0, 0.02, 0.2]))
            e.send(rng.choice(["stop", "stop", "ponderhit"]) if kind == "ponder" and not hit else "stop")
        # collect: exactly one bestmove; ponderhit after ponder without stop ends within its time
        try:
            bm = e.bestmove(20)
        except Fault:
            e.send("stop")
            bm = e.bestmove(20)
        check_move(bm, pos)
        lines = e.sync(30)
        if any(l.startswith("bestmove") for l in lines):
            raise Fault(f"second bestmove: {lines}")
        # option changes may have changed the team; restore one known state now and then
        if rng.random() < 0.1:
            e.send(f"setoption name Max CPUs value {cpus}")
            e.send("setoption name Output value Sparse")
            e.send("setoption name MultiPV value 1")
            e.sync(30)
    return n


def campaign_bytes(e, rng, deadline):
    n = 0
    while time.time() < deadline:
        n += 1
        r = rng.random()
        if r < 0.3:
            data = bytes(rng.randrange(256) for _ in range(rng.randint(0, 200)))
            data = data.replace(b"\n", b" ")
        elif r < 0.45:
            data = (rng.choice([b"position startpos moves ", b"position fen ", b"go ", b"setoption name Hash value ",
                                b"isready", b"x"]) + b"e2e4 " * rng.randint(1000, 5000))
        elif r < 0.6:
            data = b"a" * rng.choice([8190, 8191, 8192, 8193, 16382, 16383, 16384, 100000])
            data = data[:-7] + b"isready"  # a tail that must not be executed as its own line
        elif r < 0.75:
            w = rng.choice([b"isready", b"position startpos", b"go depth 1", b"stop", b"uci", b"ucinewgame"])
            i = rng.randint(0, len(w))
            data = w[:i] + rng.choice([b"\x00", b"\r", b"\r\r", b"\t", b"\xff"]) + w[i:]
        else:
            base = rng.choice([b"position fen ", b"position startpos moves ", b"go ", b"setoption name ",
                               b"ponderhit", b"stop", b"tt", b"quitx"])
            data = base + bytes(rng.randrange(1, 256) for _ in range(rng.randint(0, 60))).replace(b"\n", b" ")
        if data.startswith(b"tt") or data.startswith(b"quit"):
            data = b"x" + data
        e.send(data)
        # a go line may have started a search (possibly infinite): stop it and count its answer
        e.send("stop")
        owed = sum(1 for l in data.split(b"\n") if l[:LINE_MAX].split(b"\x00")[0].startswith(b"isready"))
        lines = e.sync(60, extra=owed)
        # the engine must still search correctly
        if n % 10 == 0:
            e.send("position startpos moves e2e4")
            e.send("go depth 2")
            bm = e.bestmove(30)
            check_move(bm, Pos().make("e2e4"))
            e.sync()
    return n


def campaign_dribble(e, rng, deadline):
    """Lines written in pieces with pauses, while timed searches run: each search keeps its time."""
    n = 0
    while time.time() < deadline:
        n += 1
        pos, moves = random_game_pos(rng, rng.randint(0, 30))
        text = ("position startpos moves " + " ".join(moves) if moves else "position startpos") + "\n"
        text += "go movetime 300\n"
        text += rng.choice(["isready\n", "setoption name Contempt value 5\n", "position startpos\n", "stop\n",
                            "go depth 1\n", "ucinewgame\n"])
        t0 = None
        pieces = []
        i = 0
        while i < len(text):
            k = rng.randint(1, 12)
            pieces.append(text[i:i + k])
            i += k
        for piece in pieces:
            e.send(piece, newline=False)
            if t0 is None and "go movetime" in "".join(pieces[:pieces.index(piece) + 1]):
                t0 = time.time()
            time.sleep(rng.choice([0, 0, 0.001, 0.02, 0.1]))
        bm = e.bestmove(20)
        took = time.time() - (t0 or time.time())
        check_move(bm, pos)
        if took > 5:
            raise Fault(f"go movetime 300 answered after {took:.1f}s")
        # a second search may have been started by the last line: stop it
        e.send("stop")
        e.sync(30, extra=(1 if text.endswith("isready\n") else 0) - e.ready_seen)
    return n


def count_workers(e):
    out = subprocess.run(["ps", "-o", "pid=", "--ppid", str(e.p.pid)], capture_output=True, text=True).stdout
    return len(out.split())


def campaign_team(e, rng, deadline, cpus):
    """Hash and Max CPUs changes while searches run; the team must match the setting afterwards."""
    n = 0
    procs = cpus
    while time.time() < deadline:
        n += 1
        pos, moves = random_game_pos(rng, rng.randint(0, 30))
        e.send("position startpos moves " + " ".join(moves) if moves else "position startpos")
        e.send(rng.choice(["go infinite", "go depth 30", "go ponder", "go movetime 400"]))
        for _ in range(rng.randint(1, 4)):
            time.sleep(rng.choice([0, 0.05, 0.3]))
            r = rng.random()
            if r < 0.4:
                e.send(f"setoption name {rng.choice(['Hash', 'hash'])} value {rng.choice([1, 2, 3, 8, 16, 33, 0, -4])}")
            elif r < 0.8:
                procs = rng.choice([1, 2, 3])
                e.send(f"setoption name Max CPUs value {procs}")
            elif r < 0.9:
                e.send(rng.choice(["setoption name Clear Hash", "ucinewgame", "setoption name MultiPV value 3",
                                   "setoption name MultiPV value 1"]))
            else:
                e.send("isready")
        e.send("stop")
        check_move(e.bestmove(60), pos)
        lines = e.sync(60)
        if any(l.startswith("bestmove") for l in lines):
            raise Fault(f"second bestmove: {lines}")
        time.sleep(0.2)
        w = count_workers(e)
        if w != min(procs, os.cpu_count()) - 1:
            raise Fault(f"{w} worker processes for Max CPUs {procs}")
        names = [f for f in os.listdir("/dev/shm") if f.startswith("Orvex") and str(e.p.pid) in f]
        if names:
            raise Fault(f"names left while the team runs: {names}")
    return n


def campaign_eof(rng, cpus, rounds):
    for i in range(rounds):
        e = Engine(cpus)
        e.send(rng.choice(["position startpos", "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"]))
        e.send(rng.choice(["go infinite", "go depth 30", "go ponder", "go movetime 5000", "go depth 2"]))
        time.sleep(rng.choice([0, 0.05, 0.3]))
        e.p.stdin.close()
        try:
            rc = e.p.wait(15)
        except subprocess.TimeoutExpired:
            e.p.kill()
            raise Fault("no exit at end of input during a search")
        if rc != 0:
            raise Fault(f"exit code {rc} at end of input")
        time.sleep(0.5)
        left = [f for f in os.listdir("/dev/shm") if f.startswith("Orvex") and str(e.p.pid) in f]
        if left:
            raise Fault(f"shared memory left: {left}")


def reference_search(e):
    e.send("ucinewgame")
    e.send("position startpos moves e2e4 e7e5 g1f3")
    e.send("go depth 5")
    lines = []
    while True:
        l = e.line(60)
        lines.append(l)
        if l.startswith("bestmove"):
            break
    e.sync()
    return [l for l in lines if l.startswith("bestmove") or " pv " in l]


def main():
    seed = int(sys.argv[1]) if len(sys.argv) > 1 else int(time.time())
    budget = float(sys.argv[2]) if len(sys.argv) > 2 else 5
    which = sys.argv[3].split(",") if len(sys.argv) > 3 else ["fen", "moves", "go", "chaos", "team", "dribble",
                                                              "bytes", "eof"]
    cpus = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    shutil.rmtree(LOGDIR, ignore_errors=True)
    rng = random.Random(seed)
    print(f"seed {seed} cpus {cpus}", flush=True)
    ref = None
    if cpus == 1:
        e = Engine(1)
        ref = reference_search(e)
        again = reference_search(e)
        print("reference deterministic within one process:", ref == again, flush=True)
        e.close()
    for c in which:
        e = Engine(cpus) if c != "eof" else None
        t0 = time.time()
        try:
            if c == "fen":
                n = campaign_fen(e, rng, t0 + budget)
            elif c == "moves":
                n = campaign_moves(e, rng, t0 + budget)
            elif c == "go":
                n = campaign_go(e, rng, t0 + budget)
            elif c == "chaos":
                n = campaign_chaos(e, rng, t0 + budget, cpus)
            elif c == "bytes":
                n = campaign_bytes(e, rng, t0 + budget)
            elif c == "dribble":
                n = campaign_dribble(e, rng, t0 + budget)
            elif c == "team":
                n = campaign_team(e, rng, t0 + budget, cpus)
            elif c == "eof":
                campaign_eof(rng, cpus, 8)
                n = 8
            if e is not None:
                e.send(f"setoption name Max CPUs value {cpus}")
                e.send("setoption name MultiPV value 1")
                e.send("setoption name UCI_LimitStrength value false")
                e.send("setoption name Contempt value 0")
                e.send("setoption name Outlook value Neutral")
                e.sync(30)
                if ref is not None:
                    got = reference_search(e)
                    if got != ref:
                        print(f"  note: reference search differs after campaign {c}:\n   {ref}\n   {got}", flush=True)
                e.close()
            check_logs()
            print(f"campaign {c}: {n} steps ok ({time.time() - t0:.0f}s)", flush=True)
        except Fault as f:
            print(f"FAULT in campaign {c}: {f}", flush=True)
            if e is not None:
                with open(f"{LOGDIR}/repro.{c}.{seed}", "wb") as fh:
                    fh.write(b"".join(l for l in e.log if not l.startswith(b"<< ")))
                with open(f"{LOGDIR}/talk.{c}.{seed}", "wb") as fh:
                    fh.write(b"".join(l if l.startswith(b"<< ") else b">> " + l[:300] + (b"\n" if len(l) > 300 else b"") for l in e.log))
                try:
                    e.p.kill()
                except Exception:
                    pass
            for lf in glob.glob(f"{LOGDIR}/*san*"):
                print(open(lf, errors="replace").read()[:4000])
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
