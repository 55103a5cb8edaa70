#!/usr/bin/env python3
"""Composes the larger levels of the normal and hard sets from hand-made puzzle pieces.

Each level below names its size, look, tune and the pieces placed on it (by hand, at chosen
cells); the space between them is filled with sand, wall ledges with rocks on them, loose rocks,
diamonds and apples from a seeded generator, so the same script always writes the same files.
Besides the level it writes a move list for tools/LevelRecorder.cpp: the piece's own moves in the
order the pieces are listed, then "all" (every diamond left) and "exit". The recorder plays that
list through the real game and writes the solution that the replay test checks.

    python3 tools/compose_levels.py            # writes data/levels/... and the .moves files
"""
import os
import random

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Pieces: rows of level characters ('?' keeps whatever the filler puts there) and moves
# relative to the piece's top-left cell. In moves, "@x,y" is a cell of the piece, "#k" the ant
# count after this piece (written as k<n>).
PIECES = {
    # Diamonds walled in by round walls; a bomb lies at the corridor's start.
    "vault": (
        ["#OOOO#",
         "#ObbO#",
         "#OOOO#",
         "*.....",
         "++++++"],
        "g@0,3 R aR L3 w200 s"),
    # A red ant patrols a trench; drop the left rock on it from the side.
    "trench": (
        ["+++++++++++",
         "++r++++r+++",
         "+++++++++++",
         "##.####.###",
         "#b.e.....b#",
         "###########"],
        "g@3,0 D2 e@2,4 cL s KILL"),
    # A rock in a walled corridor; push it into the pit to reach the diamond.
    "pushway": (
        ["#########",
         ".r.....b#",
         "###.#####",
         "#########"],
        "g@0,1 cR2 s"),
    # A green ant circles a block; walk under its rock as it comes round and keep going.
    "ring": (
        ["+++r+++",
         "+++++++",
         "###.###",
         "#E....#",
         "#.###.#",
         "#.....#",
         "#######"],
        "g@0,1 R2 e@2,3 R3 s KILL"),
    # A yellow door with a blue key and diamonds behind it.
    "yellowroom": (
        ["#######",
         "#b+'+b#",
         "#+++++#",
         "###1###"],
        "g@3,4 U3 g@1,1 g@5,1 g@3,4"),
    # The exit behind a blue door.
    "blueexit": (
        ["#####",
         "#+x+#",
         "#+++#",
         "##2##"],
        ""),
    # A lying yellow key inside round walls that need a bomb; bombs beside it.
    "keyvault": (
        ["#OOO#",
         "#O\"O#",
         "#OOO#",
         "**...",
         "+++++"],
        "g@0,3 R2 aR L3 w200 s key"),
    # A row of lying bombs under round lids: one lit bomb sets off the chain, and every
    # blast lifts a lid off a diamond.
    "chain": (
        ["###b#b#b###",
         "###O#O#O###",
         "*..*******#",
         "###########"],
        "g@0,2 R aR L3 w300 s"),
}


class Level:
    def __init__(self, w, h, seed):
        self.w, self.h = w, h
        self.rng = random.Random(seed)
        self.cells = [["+"] * w for _ in range(h)]
        self.reserved = [[False] * w for _ in range(h)]
        for x in range(w):
            self.cells[0][x] = self.cells[h - 1][x] = "#"
        for y in range(h):
            self.cells[y][0] = self.cells[y][w - 1] = "#"
        self.moves = []
        self.kills = 0
        self.texts = []
        self.hungry = 100

    def stamp(self, name, px, py, extra_moves=""):
        rows, moves = PIECES[name]
        for dy, row in enumerate(rows):
            for dx, c in enumerate(row):
                if c != "?":
                    self.cells[py + dy][px + dx] = c
        # The piece and a ring of plain sand round it are kept free of filler, and so are the
        # three rows above it (nothing loose may drop into it).
        for y in range(py - 4, py + len(rows) + 1):
            for x in range(px - 1, px + max(len(r) for r in rows) + 1):
                if 0 <= x < self.w and 0 <= y < self.h:
                    self.reserved[y][x] = True
        words = []
        for word in (moves + " " + extra_moves).split():
            if word == "KILL":
                self.kills += 1
                word = "k%d" % self.kills
            elif "@" in word:
                head, cell = word.split("@")
                x, y = map(int, cell.split(","))
                word = "%s%d,%d" % (head, px + x, py + y)
            words.append(word)
        if words:
            self.moves.append("feed " + " ".join(words) + "  # " + name)

    def put(self, x, y, c):
        self.cells[y][x] = c
        self.reserved[y][x] = True
        # Nothing loose right round the start or the exit: no rock waits on the player's head.
        if c in "px":
            for yy in range(max(0, y - 3), min(self.h, y + 3)):
                for xx in range(max(0, x - 2), min(self.w, x + 3)):
                    self.reserved[yy][xx] = True

    def free(self, x, y):
        return not self.reserved[y][x] and self.cells[y][x] == "+"

    def scatter(self, ledges, rocks, diamonds, apples, rounds=0, spacing=1):
        rng = self.rng
        for _ in range(ledges):
            length = rng.randint(3, 7)
            x = rng.randint(2, self.w - length - 3)
            y = rng.randint(3, self.h - 3)
            if all(self.free(x + i, y) and self.free(x + i, y - 1) for i in range(length)):
                for i in range(length):
                    self.cells[y][x + i] = "#"
                    self.reserved[y][x + i] = True
                for i in range(length):
                    if rng.random() < 0.45:
                        self.cells[y - 1][x + i] = "r"
                        self.reserved[y - 1][x + i] = True
        for _ in range(rounds):
            x = rng.randint(2, self.w - 3)
            y = rng.randint(3, self.h - 3)
            if self.free(x, y) and self.free(x, y - 1):
                self.cells[y][x] = "O"
                self.cells[y - 1][x] = rng.choice("rb")
                self.reserved[y][x] = self.reserved[y - 1][x] = True
        for char, count in (("r", rocks), ("b", diamonds), ("B", apples)):
            placed = 0
            tries = 0
            while placed < count and tries < count * 200:
                tries += 1
                x = rng.randint(1, self.w - 2)
                y = rng.randint(1, self.h - 2)
                near = any(self.cells[yy][xx] in "rbB"
                           for yy in range(max(0, y - spacing), min(self.h, y + spacing + 1))
                           for xx in range(max(0, x - spacing), min(self.w, x + spacing + 1)))
                if self.free(x, y) and not near:
                    self.cells[y][x] = char
                    placed += 1

    def write(self, difficulty, name, tileset, music):
        path = os.path.join(ROOT, "data", "levels", difficulty, name + ".txt")
        with open(path, "w") as f:
            f.write("%d %d\n%s\n%s\n" % (self.w, self.h, tileset, music))
            for row in self.cells:
                f.write("".join(row) + "\n")
            f.write("%d\n" % len(self.texts))
            for x, y, lines in self.texts:
                f.write("%d %d %d\n" % (x, y, len(lines)))
                for line in lines:
                    f.write(line + "\n")
        moves = os.path.join(ROOT, "tests", "play", "solutions", name + ".moves")
        with open(moves, "w") as f:
            f.write("# Written by tools/compose_levels.py: each piece's own moves, then the rest.\n")
            for line in self.moves:
                f.write(line + "\n")
            f.write("h%d all exit\n" % self.hungry)
        print(path)


def levels():
    # ---- normal ----
    lv = Level(36, 24, 201)
    lv.put(2, 2, "p")
    lv.stamp("vault", 20, 4)
    lv.stamp("pushway", 4, 14)
    lv.put(33, 21, "x")
    lv.scatter(ledges=6, rocks=14, diamonds=12, apples=6, rounds=3)
    lv.texts.append((2, 2, ["round walls, a rock in a corridor",
                            "and plenty of loose stone. take",
                            "the bomb on your way to the vault."]))
    lv.write("normal", "stone_cellar", "tileset3", "level3.ogg")

    lv = Level(40, 28, 202)
    lv.put(2, 25, "p")
    lv.stamp("trench", 6, 4)
    lv.stamp("trench", 24, 14)
    lv.put(37, 2, "x")
    lv.scatter(ledges=8, rocks=16, diamonds=14, apples=10)
    lv.write("normal", "twin_trenches", "tileset3", "level4.ogg")

    lv = Level(40, 30, 203)
    lv.put(20, 2, "p")
    lv.stamp("keyvault", 4, 6)
    lv.stamp("yellowroom", 28, 8)
    lv.stamp("blueexit", 18, 23)
    lv.scatter(ledges=8, rocks=14, diamonds=12, apples=7)
    lv.texts.append((20, 2, ["the exit is behind a blue door,",
                             "the blue key behind a yellow one,",
                             "and the yellow key in a vault."]))
    lv.write("normal", "locks_and_keys", "tileset3", "level4.ogg")

    lv = Level(44, 32, 204)
    lv.put(2, 2, "p")
    lv.stamp("ring", 30, 4)
    lv.stamp("vault", 8, 20)
    lv.put(41, 29, "x")
    lv.scatter(ledges=10, rocks=18, diamonds=14, apples=7, rounds=4)
    lv.write("normal", "green_circle", "tileset3", "level3.ogg")

    lv = Level(46, 34, 205)
    lv.put(2, 31, "p")
    lv.stamp("chain", 10, 5)
    lv.stamp("pushway", 30, 24)
    lv.stamp("vault", 28, 10)
    lv.put(43, 2, "x")
    lv.scatter(ledges=10, rocks=20, diamonds=16, apples=12, rounds=4)
    lv.write("normal", "powder_keg", "tileset3", "level4.ogg")

    lv = Level(48, 40, 206)
    lv.put(24, 20, "p")
    lv.stamp("trench", 4, 3)
    lv.stamp("ring", 36, 28)
    lv.stamp("pushway", 34, 4)
    lv.stamp("vault", 6, 30)
    lv.put(24, 37, "x")
    lv.scatter(ledges=14, rocks=24, diamonds=18, apples=18, rounds=4)
    lv.write("normal", "deep_quarry", "tileset3", "level3.ogg")

    # ---- hard ----
    lv = Level(64, 48, 301)
    lv.put(2, 2, "p")
    lv.stamp("trench", 10, 8)
    lv.stamp("vault", 40, 6)
    lv.stamp("chain", 20, 30)
    lv.stamp("ring", 50, 34)
    lv.put(61, 45, "x")
    lv.scatter(ledges=24, rocks=60, diamonds=26, apples=28, rounds=8)
    lv.texts.append((2, 2, ["a long dig with little to eat.",
                            "every step counts down here."]))
    lv.hungry = 160
    lv.write("hard", "hungry_depths", "tileset4", "level5.ogg")

    lv = Level(72, 64, 302)
    lv.put(36, 2, "p")
    lv.stamp("keyvault", 6, 50)
    lv.stamp("yellowroom", 60, 52)
    lv.stamp("blueexit", 34, 30)
    lv.stamp("trench", 8, 10)
    lv.stamp("pushway", 50, 12)
    lv.scatter(ledges=30, rocks=70, diamonds=30, apples=33, rounds=10)
    lv.hungry = 160
    lv.write("hard", "keyholders", "tileset4", "level4.ogg")

    lv = Level(96, 64, 303)
    lv.put(2, 61, "p")
    lv.stamp("chain", 10, 6)
    lv.stamp("chain", 60, 40)
    lv.stamp("vault", 40, 20)
    lv.stamp("vault", 80, 8)
    lv.stamp("trench", 20, 48)
    lv.put(93, 2, "x")
    lv.scatter(ledges=40, rocks=100, diamonds=36, apples=39, rounds=14)
    lv.hungry = 160
    lv.write("hard", "blasting_gallery", "tileset4", "level5.ogg")

    lv = Level(96, 96, 304)
    lv.put(48, 48, "p")
    lv.stamp("trench", 6, 6)
    lv.stamp("trench", 78, 6)
    lv.stamp("ring", 8, 80)
    lv.stamp("ring", 80, 80)
    lv.stamp("vault", 44, 20)
    lv.stamp("pushway", 44, 72)
    lv.put(48, 93, "x")
    lv.scatter(ledges=60, rocks=150, diamonds=44, apples=57, rounds=16)
    lv.hungry = 160
    lv.write("hard", "ant_country", "tileset4", "level4.ogg")

    lv = Level(128, 96, 305)
    lv.put(2, 2, "p")
    lv.stamp("keyvault", 110, 10)
    lv.stamp("yellowroom", 12, 80)
    lv.stamp("blueexit", 116, 86)
    lv.stamp("chain", 50, 40)
    lv.stamp("trench", 70, 70)
    lv.stamp("vault", 30, 20)
    lv.stamp("ring", 90, 40)
    lv.scatter(ledges=80, rocks=200, diamonds=50, apples=65, rounds=20)
    lv.hungry = 160
    lv.write("hard", "long_way_down", "tileset4", "level5.ogg")

    lv = Level(128, 128, 306)
    lv.put(64, 2, "p")
    lv.stamp("trench", 10, 14)
    lv.stamp("trench", 100, 30)
    lv.stamp("ring", 60, 60)
    lv.stamp("chain", 20, 100)
    lv.stamp("vault", 100, 100)
    lv.stamp("keyvault", 40, 40)
    lv.stamp("yellowroom", 90, 70)
    lv.stamp("pushway", 10, 60)
    lv.stamp("blueexit", 62, 120)
    lv.scatter(ledges=110, rocks=300, diamonds=64, apples=110, rounds=30)
    lv.texts.append((64, 2, ["the deepest mine of all. the exit",
                             "is locked twice over, far below."]))
    lv.hungry = 160
    lv.write("hard", "the_great_mine", "tileset4", "level5.ogg")


if __name__ == "__main__":
    levels()
